#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/types.h"
#include "resources/layout.h"

namespace vt {

// Form1's MousePointer settings.
inline constexpr std::int32_t kMousePointerDefault = 0;  // each part shows its usual pointer
inline constexpr std::int32_t kMousePointerCustom = 99;  // MouseIcon over the whole window

// RegisterWindowMessageA's numbers run from here to 0xFFFF.
inline constexpr UInt kFirstRegisteredMessage = 0xC000;

// What the window layer reports to the program. Each call runs on the window thread.
class FormEvents {
  public:
    virtual void OnClick(ControlId control) = 0;  // a button or check box clicked, a list click
    virtual void OnDblClick(ControlId control) = 0;
    virtual void OnMouseMove(ControlId control) = 0;  // ControlId::Form for the background
    virtual void OnTimer() = 0;                       // a tick of Timer1
    virtual void OnMenuCommand(MenuId item) = 0;
    virtual void OnQueryUnload() = 0;  // the window is being closed, for whatever reason
    virtual void OnEndSession() = 0;   // Windows is ending the user's session
    // A message registered at run time (RegisterWindowMessageA) reached Form1's window.
    virtual void OnRegisteredMessage(UInt message, WParam wParam, LParam lParam) = 0;

  protected:
    ~FormEvents() = default;
};

// The window toolkit that hosts Form1: the window, its controls, Timer1, the hidden menu,
// message boxes and the message loop.
class FormToolkit {
  public:
    // Creates Form1, hidden, with every control of kForm1Controls, the hidden menu mnuTray
    // and Timer1 (disabled). Events go to `events` from then on.
    virtual Hwnd CreateForm(FormEvents& events) = 0;
    virtual void SetCaption(std::wstring_view caption) = 0;
    virtual void ShowForm() = 0;
    virtual void HideForm() = 0;
    virtual void MoveForm(std::int32_t leftTwips, std::int32_t topTwips) = 0;
    virtual std::int32_t FormWidthTwips() = 0;  // the whole window, frame included
    virtual std::int32_t FormHeightTwips() = 0;
    virtual std::int32_t ScreenWidthTwips() = 0;
    virtual std::int32_t ScreenHeightTwips() = 0;

    virtual void SetCheckValue(ControlId control, std::int32_t value) = 0;  // shows it, no event
    virtual void SetControlVisible(ControlId control, bool visible) = 0;
    // The control's whole text as it holds it, every character the user typed: not through
    // the ANSI code page (GetWindowTextW).
    virtual std::wstring GetWindowTextW(ControlId control) = 0;
    virtual void SetControlText(ControlId control, std::wstring_view text) = 0;

    virtual void SetTimerEnabled(bool enabled) = 0;  // Timer1, every kTimer1Interval ms
    // kMousePointerDefault or kMousePointerCustom.
    virtual void SetMousePointer(std::int32_t pointer) = 0;
    // Loads a cursor file as the custom pointer; false when it is not a cursor.
    virtual bool LoadMouseIcon(std::wstring_view path) = 0;
    // Shows a menu of Form1 as a modal pop-up at the pointer, left-aligned, items chosen with
    // the left button; the chosen item's command has been handled when it returns.
    virtual void PopupMenu(MenuId menu) = 0;
    // An application-modal message box owned by Form1; returns the button pressed.
    virtual std::int32_t MessageBox(std::wstring_view text, UInt style,
                                    std::wstring_view caption) = 0;
    // Dispatches the messages already waiting, once (the end of a sweep, shut-down).
    virtual void DoEvents() = 0;
    // Ends the program: Form1 is destroyed (without further close events) and the message
    // loop ends.
    virtual void EndProgram() = 0;

    // ListView1, the common controls' list view in report view. Items and columns count from 0
    // here; the list view contract in keywords/ adds the 1-based rules and raises its errors.
    virtual std::int32_t ListCount() = 0;
    virtual void ListAdd(std::wstring_view text) = 0;  // appends
    // nullopt for an index the list does not have, found by the list itself rather than
    // against ListCount: a sweep reads every keyword, so reading the list costs one message an
    // item.
    virtual std::optional<std::wstring> ListText(std::int32_t index) = 0;
    // The item's first maxLength characters, or all of it when it is shorter: the cost of the
    // read does not grow with the item. nullopt as above.
    virtual std::optional<std::wstring> ListTextStart(std::int32_t index,
                                                      std::size_t maxLength) = 0;
    virtual bool ListRemove(std::int32_t index) = 0;  // false for an index it does not have
    virtual void ListClear() = 0;
    virtual std::int32_t ListSelectedIndex() = 0;  // -1 when none is selected
    virtual void ListAddColumn(std::wstring_view header) = 0;
    // False for a column the list does not have.
    virtual bool ListSetColumnWidth(std::int32_t column, std::int32_t widthTwips) = 0;

  protected:
    ~FormToolkit() = default;
};

}  // namespace vt
