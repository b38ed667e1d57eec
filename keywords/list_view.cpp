#include "keywords/list_view.h"

#include <algorithm>
#include <utility>

#include "platform/error.h"

namespace vt {

namespace {

// The list itself reports an index past its end, which spares a count before every item.
[[noreturn]] void ThrowIndexOutOfBounds() {
    throw AppError(err::kIndexOutOfBounds, "ListView1", L"Index out of bounds");
}

std::wstring Found(std::optional<std::wstring> text) {
    if (!text) {
        ThrowIndexOutOfBounds();
    }
    return std::move(*text);
}

}  // namespace

std::wstring ListView::Item(std::int32_t index) const {
    return Found(index >= 1 ? platform_.ListText(index - 1) : std::nullopt);
}

std::wstring ListView::ItemStart(std::int32_t index, std::size_t maxLength) const {
    return Found(index >= 1 ? platform_.ListTextStart(index - 1, maxLength) : std::nullopt);
}

std::vector<std::wstring> ListView::Items(std::optional<std::size_t> maxLength) const {
    std::vector<std::wstring> items;
    const std::int32_t count = Count();
    items.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t i = 1; i <= count; ++i) {
        items.push_back(maxLength ? ItemStart(i, *maxLength) : Item(i));
    }
    return items;
}

void ListView::Remove(std::int32_t index) {
    if (index < 1 || !platform_.ListRemove(index - 1)) {
        ThrowIndexOutOfBounds();
    }
}

std::int32_t ListView::SelectedIndex() const {
    const std::int32_t selected = platform_.ListSelectedIndex();
    if (selected < 0) {
        throw AppError(err::kObjectNotSet, "ListView1",
                       L"Object variable or With block variable not set");
    }
    return selected + 1;
}

void ListView::SetColumnWidth(std::int32_t column, std::int32_t widthTwips) {
    if (!platform_.ListSetColumnWidth(column - 1, widthTwips)) {
        ThrowIndexOutOfBounds();
    }
}

}  // namespace vt
