#include "keywords/list_view.h"

#include "platform/error.h"

namespace vt {

namespace {

void CheckIndex(std::int32_t index, std::int32_t count) {
    if (index < 1 || index > count) {
        throw AppError(err::kIndexOutOfBounds, "ListView1", L"Index out of bounds");
    }
}

}  // namespace

std::wstring ListView::Item(std::int32_t index) const {
    CheckIndex(index, Count());
    return platform_.ListText(index - 1);
}

void ListView::Remove(std::int32_t index) {
    CheckIndex(index, Count());
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
