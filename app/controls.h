#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"

// The control layer: the state and events of Form1's controls, the same on every platform.
namespace vt {

// A check box, plain or drawn as a push button. Its Click runs whenever Value changes, from a
// user's click or from code, exactly once a change: the handlers rely on that re-entrancy.
class CheckBox {
  public:
    CheckBox(Platform& platform, ControlId id, bool visible)
        : platform_(platform), id_(id), visible_(visible) {}

    std::int32_t Value() const { return value_; }
    void SetValue(std::int32_t value);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    // A user's click: unchecked becomes checked and checked becomes unchecked.
    void UserClick() { SetValue(value_ == 1 ? 0 : 1); }

    std::function<void()> Click;

  private:
    Platform& platform_;
    ControlId id_;
    std::int32_t value_ = 0;
    bool visible_;
};

class TextBox {
  public:
    TextBox(Platform& platform, ControlId id) : platform_(platform), id_(id) {}
    std::wstring Text() const { return platform_.GetControlText(id_); }
    void SetText(std::wstring_view text) { platform_.SetControlText(id_, text); }

  private:
    Platform& platform_;
    ControlId id_;
};

class Timer {
  public:
    explicit Timer(Platform& platform) : platform_(platform) {}
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

  private:
    Platform& platform_;
    bool enabled_ = false;
};

}  // namespace vt
