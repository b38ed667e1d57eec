#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/form_toolkit.h"

// The control layer: the state and events of Form1's controls, the same on every platform.
namespace vt {

// A check box, plain or drawn as a push button. Its Click runs whenever Value changes, from a
// user's click or from code, exactly once a change: the handlers rely on that re-entrancy.
class CheckBox {
  public:
    CheckBox(FormToolkit& form, ControlId id, bool visible)
        : form_(form), id_(id), visible_(visible) {}

    ControlId Id() const { return id_; }
    std::int32_t Value() const { return value_; }
    void SetValue(std::int32_t value);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    void UserClick() { SetValue(value_ == 1 ? 0 : 1); }
    // For a push button's Click handler: true when the click checked it, which then springs
    // back at once; the spring-back's own Click gets false, so the command runs once.
    bool Pushed();

    std::function<void()> Click;

  private:
    FormToolkit& form_;
    ControlId id_;
    std::int32_t value_ = 0;
    bool visible_;
};

class TextBox {
  public:
    TextBox(FormToolkit& form, ControlId id) : form_(form), id_(id) {}
    std::wstring Text() const { return form_.GetWindowTextW(id_); }
    void SetText(std::wstring_view text) { form_.SetControlText(id_, text); }

  private:
    FormToolkit& form_;
    ControlId id_;
};

class Timer {
  public:
    explicit Timer(FormToolkit& form) : form_(form) {}
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);

  private:
    FormToolkit& form_;
    bool enabled_ = false;
};

}  // namespace vt
