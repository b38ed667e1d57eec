#include "app/controls.h"

namespace vt {

// Each setter calls the toolkit first: should it fail, the cached state still says what the
// screen shows.

void CheckBox::SetValue(std::int32_t value) {
    if (value == value_) {
        return;
    }
    form_.SetCheckValue(id_, value);
    value_ = value;
    // The toolkit's own check message notifies nobody, so the click is raised here.
    if (Click) {
        Click();
    }
}

void CheckBox::SetVisible(bool visible) {
    form_.SetControlVisible(id_, visible);
    visible_ = visible;
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    form_.SetTimerEnabled(enabled);
    enabled_ = enabled;
}

bool CheckBox::Pushed() {
    if (value_ != 1) {
        return false;
    }
    SetValue(0);
    return true;
}

}  // namespace vt
