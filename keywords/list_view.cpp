#include "keywords/list_view.h"

#include "platform/error.h"

namespace vt {

namespace {

// Only the indexes below 1: the platform raises the same error for those past the end, which
// spares a count of the list before every item.
void CheckIndex(std::int32_t index) {
    if (index < 1) {
        throw AppError(err::kIndexOutOfBounds, "ListView1", L"Index out of bounds");
    }
}

}  // namespace

std::wstring ListView::Item(std::int32_t index) const {
    CheckIndex(index);
    return platform_.ListText(index - 1);
}

std::wstring ListView::ItemStart(std::int32_t index, std::size_t maxLength) const {
    CheckIndex(index);
    return platform_.ListTextStart(index - 1, maxLength);
}

void ListView::Remove(std::int32_t index) {
    CheckIndex(index);
    platform_.ListRemove(index - 1);
}

std::int32_t ListView::SelectedIndex() const {
    const std::int32_t selected = platform_.ListSelectedIndex();
    if (selected < 0) {
        throw AppError(err::kObjectNotSet, "ListView1",
                       L"Object variable or With block variable not set");
    }
    return selected + 1;
}

}  // namespace vt
