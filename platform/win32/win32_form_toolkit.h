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

// The real window toolkit and the message loop. Form1 is an ANSI top-level window holding the
// controls of kForm1Controls (the entry box a Unicode one), the hidden menu mnuTray and Timer1;
// it reports user actions to FormEvents. The toolkit owns every handle it creates; the controls
// and the tooltip go with the window. Its parts: form_window.cpp (creation and the controls'
// state), form_messages.cpp (the window procedure), form_painting.cpp, win32_list_view.cpp.
class Win32FormToolkit : public FormToolkit {
  public:
    explicit Win32FormToolkit(HINSTANCE instance);
    ~Win32FormToolkit();
    Win32FormToolkit(const Win32FormToolkit&) = delete;
    Win32FormToolkit& operator=(const Win32FormToolkit&) = delete;

    // Runs the message loop until the program ends; returns the exit code.
    int RunMessageLoop();

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
    std::wstring GetWindowTextW(ControlId control) override;
    void SetControlText(ControlId control, std::wstring_view text) override;
    void SetTimerEnabled(bool enabled) override;
    void SetMousePointer(std::int32_t pointer) override;
    bool LoadMouseIcon(std::wstring_view path) override;
    void PopupMenu(MenuId menu) override;
    std::int32_t MessageBox(std::wstring_view text, UInt style, std::wstring_view caption) override;
    void DoEvents() override;
    void EndProgram() override;

    std::int32_t ListCount() override;
    void ListAdd(std::wstring_view text) override;
    std::optional<std::wstring> ListText(std::int32_t index) override;
    std::optional<std::wstring> ListTextStart(std::int32_t index, std::size_t maxLength) override;
    bool ListRemove(std::int32_t index) override;
    void ListClear() override;
    std::int32_t ListSelectedIndex() override;
    void ListAddColumn(std::wstring_view header) override;
    bool ListSetColumnWidth(std::int32_t column, std::int32_t widthTwips) override;

  private:
    HWND Handle() const { return window_.get(); }  // nullptr before CreateForm and once gone
    // Form1's window, or AppError when it does not exist.
    HWND RequireForm() const;
    // The control's window; the form's own for ControlId::Form; nullptr for an unknown id.
    HWND Control(ControlId id) const;
    // The same, or AppError for an unknown id and when the window does not exist.
    HWND RequireControl(ControlId id) const;
    int ToPixels(std::int32_t twips) const { return TwipsToPixels(twips, dpi_); }
    std::int32_t ToTwips(int pixels) const { return PixelsToTwips(pixels, dpi_); }
    // Hands a mouse message of the list view or of its header to the list's tooltip, which
    // watches no window itself; every message the program's loops take passes here.
    void RelayToToolTip(const MSG& message) const;
    void Dispatch(MSG& message);

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
    void OnSetFocus();

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

    HINSTANCE instance_;
    FormEvents* events_ = nullptr;  // nullptr while the window is being torn down
    int dpi_ = USER_DEFAULT_SCREEN_DPI;

    // Declared in the order they must outlive one another: the window goes first.
    UniqueIcon blankIcon_;
    std::optional<WindowClass> class_;
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
    // A pop-up menu or message box is open (nested ones too): its own loop takes the keyboard
    // and the mouse.
    bool inModalLoop_ = false;
};

}  // namespace vt::win32
