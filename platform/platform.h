#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/types.h"
#include "resources/layout.h"

namespace vt {

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

  protected:
    ~FormEvents() = default;
};

// The platform as the program reaches it. Operations that Windows offers keep their Win32
// names and shapes; the rest stand for the window toolkit that hosts Form1. Texts are the
// program's Unicode strings except where an operation's Win32 shape is ANSI.
// Failures are reported as results where Win32 reports them, and as AppError elsewhere.
class Platform {
  public:
    virtual ~Platform() = default;

    // --- Text -----------------------------------------------------------------------------
    virtual std::wstring AnsiToUnicode(std::string_view ansi) const = 0;  // system ANSI code page
    virtual std::string UnicodeToAnsi(std::wstring_view text) const = 0;
    virtual std::wstring UpperCase(std::wstring_view text) const = 0;  // user locale's mapping

    // --- Window system (user32) ------------------------------------------------------------
    // Every top-level window of the desktop, hidden ones and those of every process.
    virtual Bool32 EnumWindows(EnumWindowsProc proc, LParam lParam) = 0;
    virtual std::int32_t GetWindowTextA(Hwnd hWnd, char* buffer, std::int32_t maxCount) = 0;
    virtual LResult SendMessageTimeoutA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam,
                                        UInt flags, UInt timeoutMs, std::uintptr_t* result) = 0;
    virtual WndProc SetWindowLongA(Hwnd hWnd, std::int32_t index, WndProc newProc) = 0;
    virtual LResult CallWindowProcA(WndProc proc, Hwnd hWnd, UInt msg, WParam wParam,
                                    LParam lParam) = 0;
    virtual Bool32 SetForegroundWindow(Hwnd hWnd) = 0;
    virtual Bool32 PostMessageA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) = 0;
    virtual UInt RegisterWindowMessageA(const char* name) = 0;
    virtual Hwnd GetAncestor(Hwnd hWnd, UInt flags) = 0;
    virtual Hwnd GetDesktopWindow() = 0;
    // Out of context: `proc` runs on this thread whenever it takes messages, with `context`.
    // 0 when the hook cannot be set.
    virtual Hwineventhook SetWinEventHook(UInt eventMin, UInt eventMax, WinEventProc proc,
                                          LParam context, UInt flags) = 0;
    virtual Bool32 UnhookWinEvent(Hwineventhook hook) = 0;
    // Dispatches the messages already waiting, once (the end of a sweep, shut-down).
    virtual void DoEvents() = 0;
    virtual void Sleep(UInt milliseconds) = 0;

    // --- Notification area (shell32) --------------------------------------------------------
    virtual Bool32 Shell_NotifyIconA(UInt message, NotifyIconDataA* data) = 0;
    virtual Hicon ApplicationIcon() = 0;  // the executable's own icon, owned by the platform

    // --- Registry (advapi32) -----------------------------------------------------------------
    virtual std::int32_t RegOpenKeyExA(Hkey root, const char* subKey, UInt options, UInt access,
                                       Hkey* result) = 0;
    virtual std::int32_t RegCreateKeyExA(Hkey root, const char* subKey, UInt access,
                                         Hkey* result) = 0;
    virtual std::int32_t RegQueryValueExA(Hkey key, const char* valueName, UInt* type,
                                          std::string* data) = 0;
    virtual std::int32_t RegSetValueExA(Hkey key, const char* valueName, UInt reserved, UInt type,
                                        const std::uint8_t* data, UInt size) = 0;
    virtual std::int32_t RegDeleteValueA(Hkey key, const char* valueName) = 0;
    virtual std::int32_t RegCloseKey(Hkey key) = 0;

    // --- Per-user settings store ---------------------------------------------------------------
    // nullopt when the value (or its application or section) is absent; AppError naming the
    // key when it is present but cannot be read as a string.
    virtual std::optional<std::wstring> GetSetting(std::wstring_view appName,
                                                   std::wstring_view section,
                                                   std::wstring_view key) = 0;
    // AppError when the value cannot be stored; the previous value then stays.
    virtual void SaveSetting(std::wstring_view appName, std::wstring_view section,
                             std::wstring_view key, std::wstring_view value) = 0;

    // --- File system, shell, clock and chance ---------------------------------------------
    // The running module's full path, as the file system spells it (Unicode, not the ANSI
    // code page's rendering of it).
    virtual std::wstring ExecutablePath() = 0;
    // The path's short (8.3) form; empty when the volume keeps none.
    virtual std::wstring GetShortPathNameW(std::wstring_view longPath) = 0;
    virtual bool GetFileDateTime(std::wstring_view path) = 0;  // false when it cannot be read
    // Starts a command line without waiting for it; AppError when it cannot be started.
    virtual void Shell(std::wstring_view commandLine, std::int32_t showCommand) = 0;
    virtual double SecondsSinceMidnight() = 0;
    virtual void Randomize(double seed) = 0;
    virtual double Rnd() = 0;  // in [0, 1)

    // --- The window toolkit: Form1 and its controls ------------------------------------------
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
    virtual std::wstring GetControlText(ControlId control) = 0;
    virtual void SetControlText(ControlId control, std::wstring_view text) = 0;

    // ListView1, 0-based here; the list view contract in keywords/ adds the 1-based rules.
    virtual std::int32_t ListCount() = 0;
    virtual void ListAdd(std::wstring_view text) = 0;  // appends
    // An index the list does not have raises AppError(err::kIndexOutOfBounds, "ListView1",
    // "Index out of bounds") here, found by the list itself rather than against ListCount: a
    // sweep reads every keyword, so reading the list costs one message an item.
    virtual std::wstring ListText(std::int32_t index) = 0;
    // The item's first maxLength characters, or all of it when it is shorter: the cost of the
    // read does not grow with the item. The same error for an index the list does not have.
    virtual std::wstring ListTextStart(std::int32_t index, std::size_t maxLength) = 0;
    virtual void ListRemove(std::int32_t index) = 0;  // the same for an index it does not have
    virtual void ListClear() = 0;
    virtual std::int32_t ListSelectedIndex() = 0;  // -1 when none is selected
    virtual void ListAddColumn(std::wstring_view header) = 0;
    virtual void ListSetColumnWidth(std::int32_t column, std::int32_t widthTwips) = 0;

    virtual void SetTimerEnabled(bool enabled) = 0;  // Timer1, every kTimer1Interval ms
    // 0: each part shows its usual pointer; 99: the custom pointer over the whole window.
    virtual void SetMousePointer(std::int32_t pointer) = 0;
    // Loads a cursor file as the custom pointer; false when it is not a cursor.
    virtual bool LoadMouseIcon(std::wstring_view path) = 0;
    // Shows a menu of Form1 as a modal pop-up at the pointer, left-aligned, items chosen with
    // the left button; the chosen item's command has been handled when it returns.
    virtual void PopupMenu(MenuId menu) = 0;
    // An application-modal message box owned by Form1; returns the button pressed.
    virtual std::int32_t MessageBox(std::wstring_view text, UInt style,
                                    std::wstring_view caption) = 0;
    // Ends the program: Form1 is destroyed (without further close events) and the message
    // loop ends.
    virtual void EndProgram() = 0;
};

}  // namespace vt
