#include "app/controls.h"

namespace vt {

// Each setter calls the platform first: should it fail, the cached state still says what the
// screen shows.

void CheckBox::SetValue(std::int32_t value) {
    if (value == value_) {
        return;
    }
    platform_.SetCheckValue(id_, value);
    value_ = value;
    // The platform's own check message notifies nobody, so the click is raised here.
    if (Click) {
        Click();
    }
}

void CheckBox::SetVisible(bool visible) {
    platform_.SetControlVisible(id_, visible);
    visible_ = visible;
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    platform_.SetTimerEnabled(enabled);
    enabled_ = enabled;
}

}  // namespace vt
