#pragma once

// The seam first: <windows.h> defines macros with the names of its constants.
#include "platform/form_toolkit.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_text.h"
#include "resources/layout.h"

namespace vt::win32 {

// Where a control stands in the table; kNoControl for none.
inline constexpr std::size_t kNoControl = kForm1Controls.size();
constexpr std::size_t IndexOf(ControlId id) {
    for (std::size_t index = 0; index < kForm1Controls.size(); ++index) {
        if (kForm1Controls[index].id == id) {
            return index;
        }
    }
    return kNoControl;
}

// A window's whole text, in the ANSI code page.
std::string WindowTextAnsi(HWND window);

// Dots per inch of the display, horizontally (LOGPIXELSX); twips convert at this rate.
int ScreenDpi();
inline int TwipsToPixels(std::int32_t twips, int dpi) {
    return ::MulDiv(twips, dpi, kTwipsPerInch);
}
inline std::int32_t PixelsToTwips(int pixels, int dpi) {
    return ::MulDiv(pixels, kTwipsPerInch, dpi);
}

// A registered window class, unregistered when its owner goes.
class WindowClass {
  public:
    explicit WindowClass(const WNDCLASSEXA& description);  // AppError when it is not registered
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;
    ~WindowClass();

    const char* Name() const { return name_; }

  private:
    const char* name_;
    HINSTANCE instance_;
};

// Form1's real window: an ANSI top-level window holding the controls of kForm1Controls, the
// hidden menu mnuTray and Timer1. It reports user actions to FormEvents and owns every handle
// it creates; the controls and the tooltip are destroyed with the window.
class FormWindow {
  public:
    // Creates the window, hidden, with the icons of `instance`'s resources.
    FormWindow(HINSTANCE instance, FormEvents& events);
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;
    ~FormWindow();

    HWND Handle() const { return window_.get(); }  // nullptr once destroyed
    // The control's window; the form's own for ControlId::Form; nullptr for an unknown id.
    HWND Control(ControlId id) const;
    // The same, or AppError for an unknown id and once the window is gone.
    HWND RequireControl(ControlId id) const;
    int ToPixels(std::int32_t twips) const { return TwipsToPixels(twips, dpi_); }
    std::int32_t ToTwips(int pixels) const { return PixelsToTwips(pixels, dpi_); }

    // The state a push-button check box shows (owner-drawn buttons keep none of their own),
    // or the check of a plain check box.
    void SetCheckValue(ControlId control, std::int32_t value);
    void SetControlVisible(ControlId control, bool visible);
    void SetTimerEnabled(bool enabled);
    void SetMousePointer(std::int32_t pointer) { mousePointer_ = pointer; }
    // False when the file cannot be loaded as a cursor; the previous one then stays.
    bool LoadMouseIcon(const std::wstring& path);
    // Modal; a chosen item's command has been handled when it returns.
    void PopupMenu(MenuId menu);
    // Destroys the window; the message loop then ends.
    void Destroy();
    // Hands a mouse message of the list view or of its header to the list's tooltip, which
    // watches no window itself; the platform's message dispatch calls it for every message.
    void RelayToToolTip(const MSG& message) const;

  private:
    static WNDCLASSEXA ClassDescription(HINSTANCE instance, HICON icon);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    // At WM_NCCREATE: the window finds this object from then on, and window_ owns it. False
    // when it cannot be attached; its creation then fails.
    static bool Attach(HWND window, LPARAM lParam) noexcept;
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    void OnCommand(WPARAM wParam, LPARAM lParam);
    void OnNotify(const NMHDR& header);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    LRESULT OnControlColour(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnSetCursor(HWND window, WPARAM wParam, LPARAM lParam);
    LRESULT OnSysCommand(HWND window, WPARAM wParam, LPARAM lParam);
    void OnActivate(WPARAM wParam);
    void OnSetFocus();
    void OnTimer(WPARAM timerId);
    void OnClose();
    void OnEndSession(bool ending);
    void OnDestroy();
    void OnNcDestroy();

    void CreateFonts();
    void CreateMenus();
    void CreateMainWindow();
    void CreateControls();
    void CreateToolTip();
    // Where two controls overlap, the later one in tab order shows and takes the mouse: the
    // control is cut by every visible control after it.
    void ClipControl(std::size_t index);
    void TearDown() noexcept;
    HFONT FontFor(std::int32_t centipoints) const;
    // The control of Form1 that `window` is or lies in; ControlId::Form for the form itself.
    std::optional<ControlId> ControlOf(HWND window) const;

    FormEvents* events_;  // nullptr while the window is being torn down
    HINSTANCE instance_;
    int dpi_;

    // Declared in the order they must outlive one another: the window goes first.
    UniqueIcon blankIcon_;
    WindowClass class_;
    std::vector<std::pair<std::int32_t, UniqueFont>> fonts_;  // by size in centipoints
    UniqueMenu menuBar_;
    UniqueCursor mouseIcon_;
    UniqueWindow window_;

    std::array<HWND, kForm1Controls.size()> controls_{};  // in table order; owned by window_
    std::array<std::int32_t, kForm1Controls.size()> checkValues_{};
    std::array<bool, kForm1Controls.size()> clipped_{};  // given a region by ClipControl
    HWND toolTip_ = nullptr;                             // owned by window_
    HWND lastFocus_ = nullptr;
    std::int32_t mousePointer_ = 0;
    bool quitOnDestroy_ = true;
};

}  // namespace vt::win32
