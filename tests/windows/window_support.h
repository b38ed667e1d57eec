#pragma once

// Helpers of the window tests: a real Form1 window on the real platform, with what it reports
// recorded and the message boxes it would show answered.
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/win32_form_toolkit.h"
#include "resources/layout.h"

namespace vt::test {

// Records every event the window reports; `onClick` runs for each click, as the control
// layer would.
class RecordingEvents final : public FormEvents {
  public:
    void OnClick(ControlId control) override;
    void OnDblClick(ControlId control) override { dblClicks.push_back(control); }
    void OnMouseMove(ControlId control) override { mouseMoves.push_back(control); }
    void OnTimer() override;
    void OnMenuCommand(MenuId item) override { menuCommands.push_back(item); }
    void OnQueryUnload() override { ++queryUnloads; }
    void OnEndSession() override { ++endSessions; }
    void OnRegisteredMessage(UInt message, WParam, LParam) override {
        registeredMessages.push_back(message);
    }

    std::vector<ControlId> clicks;
    std::vector<ControlId> dblClicks;
    std::vector<ControlId> mouseMoves;
    std::vector<MenuId> menuCommands;
    int ticks = 0;
    int queryUnloads = 0;
    int endSessions = 0;
    std::vector<UInt> registeredMessages;
    std::function<void(ControlId)> onClick;
    std::function<void()> onTimer;
};

struct ShownBox {
    std::wstring text;
    UInt style = 0;
    std::wstring caption;
};

// The real platform, except that message boxes are recorded and answered with OK instead of
// waiting for a person.
class AnsweringPlatform final : public win32::Win32Platform {
  public:
    AnsweringPlatform() : Win32Platform(::GetModuleHandleA(nullptr)) {}
    std::int32_t MessageBox(std::wstring_view text, UInt style, std::wstring_view caption) override;
    std::vector<ShownBox> boxes;
};

// A fresh Form1 window on the real platform, reporting to `events`.
class FormTest : public ::testing::Test {
  protected:
    FormTest();
    ~FormTest() override;

    HWND Control(ControlId id) const { return ::GetDlgItem(form, static_cast<int>(id)); }
    std::string Ansi(std::wstring_view text) const { return platform.UnicodeToAnsi(text); }
    // Shows the window and makes it the active one, as a person's click would.
    void ShowAndActivate();

    RecordingEvents events;
    AnsweringPlatform platform;
    HWND form = nullptr;
    int dpi = 0;
};

// An item of a pop-up menu as it showed.
struct ShownMenuItem {
    UINT id = 0;
    std::string caption;
    UINT state = 0;  // GetMenuState's flags
};

// Drives the pop-up menus of this thread from inside their modal loop, as a person would: once
// a menu shows (and `delayMs` later), presses the keys on the keyboard. As a guard, closes a
// menu that stays open or never shows for a few seconds, so that no test hangs in it.
class MenuDriver {
  public:
    explicit MenuDriver(std::vector<WORD> keys, int delayMs = 0);
    MenuDriver(const MenuDriver&) = delete;
    MenuDriver& operator=(const MenuDriver&) = delete;
    ~MenuDriver();

    bool MenuSeen() const { return seen_; }
    bool ClosedByGuard() const { return closedByGuard_; }
    // The menu that showed: its items, and its default item (-1 for none).
    const std::vector<ShownMenuItem>& ShownItems() const { return items_; }
    UINT ShownDefaultItem() const { return defaultItem_; }

  private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void Drive();
    void RecordItems(HMENU menu);

    static inline MenuDriver* active_ = nullptr;  // a timer procedure gets no object
    std::vector<WORD> keys_;
    DWORD delayMs_;
    DWORD armedAt_;
    DWORD seenAt_ = 0;
    bool seen_ = false;
    bool pressed_ = false;
    bool closedByGuard_ = false;
    std::vector<ShownMenuItem> items_;
    UINT defaultItem_ = static_cast<UINT>(-1);
    UINT_PTR timer_ = 0;
};

// Presses and releases each key in turn, through the system's keyboard input.
void PressKeys(const std::vector<WORD>& keys);

// Dispatches this thread's messages for about `milliseconds`.
void PumpFor(int milliseconds);
// Removes a WM_QUIT that ending the program left in this thread's queue; true if one was there.
bool TakeQuit();

// A control's rectangle in the form's client coordinates.
RECT ClientRectOf(HWND form, HWND control);
// The rectangle the table gives, converted to pixels at the display's resolution.
RECT TableRect(const ControlLayout& layout, int dpi);

}  // namespace vt::test
