#pragma once

// The seam first: <windows.h> defines macros with the names of its constants.
#include "platform/form_toolkit.h"

#include <memory>

#include "platform/win32/handles.h"

namespace vt::win32 {

class FormWindow;  // Form1's real window and controls (form_window.h)

// The real window toolkit: Form1 as an ANSI window with common controls (the entry box a
// Unicode one), its ListView1, and the message loop. ListView1's operations are in
// win32_list_view.cpp.
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
    // Form1, or AppError when it does not exist.
    FormWindow& RequireForm() const;
    HWND RequireControl(ControlId id) const;

    HINSTANCE instance_;
    std::unique_ptr<FormWindow> form_;
    // A pop-up menu or message box is open (nested ones too): its own loop takes the keyboard
    // and the mouse.
    bool inModalLoop_ = false;
};

}  // namespace vt::win32
