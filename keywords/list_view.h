#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/form_toolkit.h"

// The list view contract: ListView1's items are the keyword list itself, addressed from 1.
namespace vt {

class ListView {
  public:
    explicit ListView(FormToolkit& platform) : platform_(platform) {}

    // ListItems
    std::int32_t Count() const { return platform_.ListCount(); }
    void Add(std::wstring_view text) { platform_.ListAdd(text); }
    std::wstring Item(std::int32_t index) const;  // AppError when out of 1..Count
    // The item's first maxLength characters (all of it when shorter); the same errors.
    std::wstring ItemStart(std::int32_t index, std::size_t maxLength) const;
    // Every item's text in list order; with maxLength, each read no further than that.
    std::vector<std::wstring> Items(std::optional<std::size_t> maxLength = std::nullopt) const;
    void Remove(std::int32_t index);  // AppError when out of 1..Count
    void Clear() { platform_.ListClear(); }

    // SelectedItem.Index; AppError when no item is selected.
    std::int32_t SelectedIndex() const;

    // ColumnHeaders
    void AddColumn(std::wstring_view header) { platform_.ListAddColumn(header); }
    void SetColumnWidth(std::int32_t column, std::int32_t widthTwips);  // AppError: no column

  private:
    FormToolkit& platform_;
};

}  // namespace vt
