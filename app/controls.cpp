#include "app/controls.h"

namespace vt {

void CheckBox::SetValue(std::int32_t value) {
    if (value == value_) {
        return;
    }
    value_ = value;
    platform_.SetCheckValue(id_, value);
    // The platform's own check message notifies nobody, so the click is raised here.
    if (Click) {
        Click();
    }
}

void CheckBox::SetVisible(bool visible) {
    visible_ = visible;
    platform_.SetControlVisible(id_, visible);
}

void Timer::SetEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    platform_.SetTimerEnabled(enabled);
}

}  // namespace vt
