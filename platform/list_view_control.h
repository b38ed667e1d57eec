#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vt {

// ListView1, the common controls' list view in report view. Items and columns count from 0
// here; the list view contract in keywords/ adds the 1-based rules and raises its errors.
class ListViewControl {
  public:
    virtual std::int32_t ListCount() = 0;
    virtual void ListAdd(std::wstring_view text) = 0;  // appends
    // nullopt for an index the list does not have, found by the list itself rather than
    // against ListCount: a sweep reads every keyword, so reading the list costs one message an
    // item.
    virtual std::optional<std::wstring> ListText(std::int32_t index) = 0;
    // The item's first maxLength characters, or all of it when it is shorter: the cost of the
    // read does not grow with the item. nullopt as above.
    virtual std::optional<std::wstring> ListTextStart(std::int32_t index,
                                                      std::size_t maxLength) = 0;
    virtual bool ListRemove(std::int32_t index) = 0;  // false for an index it does not have
    virtual void ListClear() = 0;
    virtual std::int32_t ListSelectedIndex() = 0;  // -1 when none is selected
    virtual void ListAddColumn(std::wstring_view header) = 0;
    // False for a column the list does not have.
    virtual bool ListSetColumnWidth(std::int32_t column, std::int32_t widthTwips) = 0;

  protected:
    ~ListViewControl() = default;
};

}  // namespace vt
