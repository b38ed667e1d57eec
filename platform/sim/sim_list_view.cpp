// ListView1 of the simulated toolkit.
#include "platform/sim/sim_form.h"

namespace vt::sim {

std::int32_t SimForm::ListCount() {
    CheckListReadable();
    return static_cast<std::int32_t>(listItems_.size());
}

std::optional<std::wstring> SimForm::ListTextStart(std::int32_t index, std::size_t maxLength) {
    CheckListReadable();
    if (!HasItem(index)) {
        return std::nullopt;
    }
    std::wstring start = listItems_[static_cast<std::size_t>(index)].substr(0, maxLength);
    listCharactersRead_ += start.size();
    return start;
}

bool SimForm::ListRemove(std::int32_t index) {
    if (!HasItem(index)) {
        return false;
    }
    listItems_.erase(listItems_.begin() + index);
    if (selected_ == index) {
        selected_ = -1;
    } else if (selected_ > index) {
        --selected_;
    }
    return true;
}

void SimForm::ListClear() {
    listItems_.clear();
    selected_ = -1;
}

bool SimForm::ListSetColumnWidth(std::int32_t column, std::int32_t widthTwips) {
    if (column < 0 || column >= static_cast<std::int32_t>(columns_.size())) {
        return false;
    }
    columns_[static_cast<std::size_t>(column)].second = widthTwips;
    return true;
}

}  // namespace vt::sim
