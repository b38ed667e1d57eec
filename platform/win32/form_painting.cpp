// How Form1 draws: the push buttons' faces and the white under the labels and check boxes.
#include "platform/win32/win32_form_toolkit.h"

#include <commctrl.h>

#include <string>

namespace vt::win32 {

namespace {

constexpr int kFocusInset = 4;  // pixels between a button's edge and its focus frame
constexpr COLORREF kWhite = RGB(255, 255, 255);

}  // namespace

void Win32FormToolkit::OnDrawItem(const DRAWITEMSTRUCT& item) {
    const std::size_t index = IndexOf(static_cast<ControlId>(item.CtlID));
    if (item.CtlType != ODT_BUTTON || index == kNoControl) {
        return;
    }
    // Painting has nobody to report to: a step that fails leaves its part of the face as it was,
    // and the next paint tries again.
    const HDC dc = item.hDC;
    const int saved = ::SaveDC(dc);
    // Pressed while the mouse button is held on it, and while checked.
    const bool sunken = (item.itemState & ODS_SELECTED) != 0 || checkValues_[index] != 0;
    RECT face = item.rcItem;
    static_cast<void>(::FillRect(dc, &face, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH))));
    static_cast<void>(
        ::DrawEdge(dc, &face, sunken ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST));
    if (sunken) {
        static_cast<void>(::OffsetRect(&face, 1, 1));
    }
    std::string caption = WindowTextAnsi(item.hwndItem);
    static_cast<void>(::SelectObject(dc, FontFor(kForm1Controls[index].fontSizeCentipoints)));
    static_cast<void>(::SetBkMode(dc, TRANSPARENT));
    static_cast<void>(::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT)));
    static_cast<void>(::DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &face,
                                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX));
    if ((item.itemState & ODS_FOCUS) != 0) {
        RECT focus = item.rcItem;
        static_cast<void>(::InflateRect(&focus, -kFocusInset, -kFocusInset));
        static_cast<void>(::DrawFocusRect(dc, &focus));
    }
    static_cast<void>(::RestoreDC(dc, saved));
}

LRESULT Win32FormToolkit::OnControlColour(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The label and the check boxes stand on the form's white, not the system's grey.
    const std::optional<ControlId> control = ControlOf(reinterpret_cast<HWND>(lParam));
    const std::size_t index = control ? IndexOf(*control) : kNoControl;
    if (index == kNoControl || (kForm1Controls[index].kind != ControlKind::Label &&
                                kForm1Controls[index].kind != ControlKind::CheckBox)) {
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
    const HDC dc = reinterpret_cast<HDC>(wParam);
    // Both return the previous colour, not success.
    static_cast<void>(::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT)));
    static_cast<void>(::SetBkColor(dc, kWhite));
    return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
}

}  // namespace vt::win32
