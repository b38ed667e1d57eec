#pragma once

// The seam first: <windows.h> defines macros with the names of its constants.
#include "platform/platform.h"

#include <windows.h>
#undef MessageBox  // Platform::MessageBox, not the A/W macro

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vt::win32 {

class FormWindow;  // Form1's real window and controls (form_window.h)

// The real platform: every operation is a Win32 call, in its ANSI form.
class Win32Platform : public Platform {
  public:
    explicit Win32Platform(HINSTANCE instance);
    ~Win32Platform() override;

    // Runs the message loop until the program ends; returns the exit code.
    int RunMessageLoop();

    std::wstring AnsiToUnicode(std::string_view ansi) const override;
    std::string UnicodeToAnsi(std::wstring_view text) const override;
    std::wstring UpperCase(std::wstring_view text) const override;

    Bool32 EnumWindows(EnumWindowsProc proc, LParam lParam) override;
    std::int32_t GetWindowTextA(Hwnd hWnd, char* buffer, std::int32_t maxCount) override;
    LResult SendMessageTimeoutA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam, UInt flags,
                                UInt timeoutMs, std::uintptr_t* result) override;
    WndProc SetWindowLongA(Hwnd hWnd, std::int32_t index, WndProc newProc) override;
    LResult CallWindowProcA(WndProc proc, Hwnd hWnd, UInt msg, WParam wParam,
                            LParam lParam) override;
    Bool32 SetForegroundWindow(Hwnd hWnd) override;
    Bool32 PostMessageA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) override;
    UInt RegisterWindowMessageA(const char* name) override;
    Hwnd GetAncestor(Hwnd hWnd, UInt flags) override;
    Hwnd GetDesktopWindow() override;
    Hwineventhook SetWinEventHook(UInt eventMin, UInt eventMax, WinEventProc proc, LParam context,
                                  UInt flags) override;
    Bool32 UnhookWinEvent(Hwineventhook hook) override;
    void DoEvents() override;
    void Sleep(UInt milliseconds) override;

    Bool32 Shell_NotifyIconA(UInt message, NotifyIconDataA* data) override;
    Hicon ApplicationIcon() override;

    std::int32_t RegOpenKeyExA(Hkey root, const char* subKey, UInt options, UInt access,
                               Hkey* result) override;
    std::int32_t RegCreateKeyExA(Hkey root, const char* subKey, UInt access, Hkey* result) override;
    std::int32_t RegQueryValueExA(Hkey key, const char* valueName, UInt* type,
                                  std::string* data) override;
    std::int32_t RegSetValueExA(Hkey key, const char* valueName, UInt reserved, UInt type,
                                const std::uint8_t* data, UInt size) override;
    std::int32_t RegDeleteValueA(Hkey key, const char* valueName) override;
    std::int32_t RegCloseKey(Hkey key) override;

    std::optional<std::wstring> GetSetting(std::wstring_view appName, std::wstring_view section,
                                           std::wstring_view key) override;
    void SaveSetting(std::wstring_view appName, std::wstring_view section, std::wstring_view key,
                     std::wstring_view value) override;

    std::wstring ExecutablePath() override;
    std::wstring GetShortPathNameW(std::wstring_view longPath) override;
    bool GetFileDateTime(std::wstring_view path) override;
    void Shell(std::wstring_view commandLine, std::int32_t showCommand) override;
    double SecondsSinceMidnight() override;
    void Randomize(double seed) override;
    double Rnd() override;

    Hwnd CreateForm(FormEvents& events) override;
    void SetCaption(std::wstring_view caption) override;
    void ShowForm() override;
    void HideForm() override;
    void MoveForm(std::int32_t leftTwips, std::int32_t topTwips) override;
    std::int32_t FormWidthTwips() override;
    std::int32_t FormHeightTwips() override;
    std::int32_t ScreenWidthTwips() override;
    std::int32_t ScreenHeightTwips() override;

    void SetCheckValue(ControlId control, std::int32_t value) override;
    void SetControlVisible(ControlId control, bool visible) override;
    std::wstring GetControlText(ControlId control) override;
    void SetControlText(ControlId control, std::wstring_view text) override;

    std::int32_t ListCount() override;
    void ListAdd(std::wstring_view text) override;
    std::wstring ListText(std::int32_t index) override;
    std::wstring ListTextStart(std::int32_t index, std::size_t maxLength) override;
    void ListRemove(std::int32_t index) override;
    void ListClear() override;
    std::int32_t ListSelectedIndex() override;
    void ListAddColumn(std::wstring_view header) override;
    void ListSetColumnWidth(std::int32_t column, std::int32_t widthTwips) override;

    void SetTimerEnabled(bool enabled) override;
    void SetMousePointer(std::int32_t pointer) override;
    bool LoadMouseIcon(std::wstring_view path) override;
    void PopupMenu(MenuId menu) override;
    std::int32_t MessageBox(std::wstring_view text, UInt style, std::wstring_view caption) override;
    void EndProgram() override;

    // For the Windows tests: the real window, once created.
    FormWindow* Form() const { return form_.get(); }

  private:
    HINSTANCE instance_;
    std::unique_ptr<FormWindow> form_;
    std::uint32_t rndState_ = 0x50000;  // the generator's state, set by Randomize
};

// Conversions between a Win32 handle and the 32-bit integer the program keeps.
// The program keeps window and icon handles as 32-bit integers. 64-bit Windows keeps them
// 32-bit significant so that 32-bit programs can share them, and widens them by sign
// extension, as the conversions back do here.
inline HWND ToHwnd(Hwnd handle) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(handle));
}
inline Hwnd FromHwnd(HWND handle) {
    return static_cast<Hwnd>(reinterpret_cast<std::intptr_t>(handle));
}
inline HICON ToHicon(Hicon icon) {
    return reinterpret_cast<HICON>(static_cast<std::intptr_t>(static_cast<std::int32_t>(icon)));
}
inline Hicon FromHicon(HICON icon) {
    return static_cast<Hicon>(reinterpret_cast<std::uintptr_t>(icon));
}

}  // namespace vt::win32
