// Form1's real window as created: geometry, captions, fonts, styles, icon, menu and tooltip.
// First: the platform header orders the seam before <windows.h>.
#include "window_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <array>
#include <string>
#include <vector>

namespace vt::test {
namespace {

using FormLayout = FormTest;

// The bitmaps GetIconInfo hands to its caller.
struct IconBitmaps {
    explicit IconBitmaps(const ICONINFO& taken) : info(taken) {}
    ICONINFO info;
    IconBitmaps(const IconBitmaps&) = delete;
    IconBitmaps& operator=(const IconBitmaps&) = delete;
    ~IconBitmaps() {
        ::DeleteObject(info.hbmMask);
        ::DeleteObject(info.hbmColor);
    }
};

struct ToolTipSearch {
    HWND owner;
    HWND found = nullptr;
};

BOOL CALLBACK FindOwnedToolTip(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<ToolTipSearch*>(lParam);
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof(className));
    if (::GetWindow(window, GW_OWNER) == search.owner &&
        ::lstrcmpiA(className, TOOLTIPS_CLASSA) == 0) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// The tooltip window that `owner` owns, among this thread's windows.
HWND OwnedToolTip(HWND owner) {
    ToolTipSearch search{owner};
    ::EnumThreadWindows(::GetCurrentThreadId(), FindOwnedToolTip,
                        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

LONG Style(HWND window) {
    return ::GetWindowLongA(window, GWL_STYLE);
}

TEST_F(FormLayout, ClientAreaAndEveryControlSitWhereTheTableSaysAtTheDisplayResolution) {
    RECT client;
    ASSERT_TRUE(::GetClientRect(form, &client));
    EXPECT_EQ(client.right, win32::TwipsToPixels(kFormClientWidth, dpi));
    EXPECT_EQ(client.bottom, win32::TwipsToPixels(kFormClientHeight, dpi));

    for (const ControlLayout& layout : kForm1Controls) {
        SCOPED_TRACE(std::string(layout.name));
        const HWND control = Control(layout.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(::GetParent(control), form);
        EXPECT_EQ(::GetDlgCtrlID(control), static_cast<int>(layout.id));
        const RECT actual = ClientRectOf(form, control);
        const RECT expected = TableRect(layout, dpi);
        EXPECT_EQ(actual.left, expected.left);
        EXPECT_EQ(actual.top, expected.top);
        EXPECT_EQ(actual.right, expected.right);
        EXPECT_EQ(actual.bottom, expected.bottom);
    }
    // The platform reports the whole window, frame included, in twips.
    RECT frame;
    ASSERT_TRUE(::GetWindowRect(form, &frame));
    EXPECT_EQ(platform.FormWidthTwips(), win32::PixelsToTwips(frame.right - frame.left, dpi));
    EXPECT_GT(platform.FormHeightTwips(), kFormClientHeight);  // the title bar adds to it
}

TEST_F(FormLayout, CaptionsAreTheTablesAndTheLabelKeepsItsLeadingSpace) {
    EXPECT_EQ(win32::WindowTextAnsi(form), "Form1");
    for (const ControlLayout& layout : kForm1Controls) {
        SCOPED_TRACE(std::string(layout.name));
        EXPECT_EQ(win32::WindowTextAnsi(Control(layout.id)), Ansi(layout.caption));
    }
    EXPECT_EQ(platform.GetWindowTextW(ControlId::Label1),
              L" Enter full window name or some of the letters:");

    platform.SetCaption(L"Vintrell");
    EXPECT_EQ(win32::WindowTextAnsi(form), "Vintrell");
}

TEST_F(FormLayout, EveryControlUsesArialBoldAtItsSizeOneFontPerSize) {
    std::vector<HFONT> buttonFonts;
    std::vector<HFONT> otherFonts;
    for (const ControlLayout& layout : kForm1Controls) {
        SCOPED_TRACE(std::string(layout.name));
        const auto font =
            reinterpret_cast<HFONT>(::SendMessageA(Control(layout.id), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        LOGFONTA description{};
        ASSERT_EQ(::GetObjectA(font, sizeof(description), &description),
                  static_cast<int>(sizeof(description)));
        EXPECT_STREQ(description.lfFaceName, "Arial");
        EXPECT_EQ(description.lfWeight, 700);
        EXPECT_EQ(description.lfHeight, -::MulDiv(layout.fontSizeCentipoints, dpi, 7200));
        EXPECT_EQ(description.lfCharSet, ANSI_CHARSET);
        EXPECT_FALSE(description.lfItalic || description.lfUnderline || description.lfStrikeOut);
        (layout.kind == ControlKind::PushButton ? buttonFonts : otherFonts).push_back(font);
        EXPECT_EQ(layout.fontSizeCentipoints, layout.kind == ControlKind::PushButton ? 1125 : 900);
    }
    ASSERT_EQ(buttonFonts.size(), 5u);
    for (HFONT font : buttonFonts) {
        EXPECT_EQ(font, buttonFonts.front());
    }
    for (HFONT font : otherFonts) {
        EXPECT_EQ(font, otherFonts.front());
    }
}

TEST_F(FormLayout, TheWindowHasAFixedBorderAMinimizeBoxNoMaximizeBoxAndStartsHidden) {
    const LONG style = Style(form);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(::IsWindowVisible(form));
    EXPECT_FALSE(::IsWindowVisible(form));
    EXPECT_EQ(::GetMenu(form), nullptr);
    EXPECT_EQ(::GetParent(form), nullptr);  // unowned: a taskbar button while shown
    EXPECT_EQ(::GetClassLongPtrA(form, GCLP_HBRBACKGROUND),
              reinterpret_cast<LONG_PTR>(::GetStockObject(WHITE_BRUSH)));

    // Shown, it stays the same size: the frame is not a sizing border.
    platform.ShowForm();
    EXPECT_TRUE(::IsWindowVisible(form));
    RECT before;
    ::GetWindowRect(form, &before);
    ::SendMessageA(form, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    EXPECT_FALSE(::IsZoomed(form));
    RECT after;
    ::GetWindowRect(form, &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    // Minimizing is allowed.
    ::SendMessageA(form, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(::IsIconic(form));
    ::SendMessageA(form, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(::IsIconic(form));
    platform.HideForm();
    EXPECT_FALSE(::IsWindowVisible(form));
}

TEST_F(FormLayout, TheWindowIconIsThirtyTwoPixelsSquareAndEntirelyTransparent) {
    const auto icon = reinterpret_cast<HICON>(::GetClassLongPtrA(form, GCLP_HICON));
    ASSERT_NE(icon, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(icon, &info));
    const IconBitmaps owned(info);
    BITMAP mask{};
    ASSERT_NE(::GetObjectA(info.hbmMask, sizeof(mask), &mask), 0);
    EXPECT_EQ(mask.bmWidth, 32);
    // A colour icon keeps its AND mask alone; every bit set means every pixel shows through.
    ASSERT_EQ(mask.bmHeight, 32);
    std::vector<BYTE> bits(static_cast<std::size_t>(mask.bmWidthBytes) * 32);
    ASSERT_EQ(::GetBitmapBits(info.hbmMask, static_cast<LONG>(bits.size()), bits.data()),
              static_cast<LONG>(bits.size()));
    for (int row = 0; row < 32; ++row) {
        for (int byte = 0; byte < 4; ++byte) {
            EXPECT_EQ(bits[static_cast<std::size_t>(row * mask.bmWidthBytes + byte)], 0xFF)
                << "row " << row;
        }
    }
}

TEST_F(FormLayout, ControlsHaveTheirKindsAndStartEmptyUncheckedAndCheck8Invisible) {
    for (const ControlLayout& layout : kForm1Controls) {
        SCOPED_TRACE(std::string(layout.name));
        const LONG style = Style(Control(layout.id));
        EXPECT_EQ((style & WS_VISIBLE) != 0, layout.visible);
        EXPECT_EQ((style & WS_TABSTOP) != 0, layout.kind != ControlKind::Label);
        if (layout.kind == ControlKind::PushButton) {
            EXPECT_EQ(style & BS_TYPEMASK, BS_OWNERDRAW);
        } else if (layout.kind == ControlKind::CheckBox) {
            EXPECT_EQ(style & BS_TYPEMASK, BS_CHECKBOX);  // toggled by the program, not itself
            EXPECT_EQ(::SendMessageA(Control(layout.id), BM_GETCHECK, 0, 0), BST_UNCHECKED);
        }
    }
    EXPECT_FALSE(Style(Control(ControlId::Check8)) & WS_VISIBLE);

    const HWND text = Control(ControlId::Text1);
    EXPECT_TRUE(Style(text) & ES_AUTOHSCROLL);
    EXPECT_TRUE(::GetWindowLongA(text, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_GE(static_cast<unsigned long>(::SendMessageA(text, EM_GETLIMITTEXT, 0, 0)),
              0x7FFFFFFEul);

    const HWND list = Control(ControlId::ListView1);
    char className[64] = {};
    ::GetClassNameA(list, className, sizeof(className));
    EXPECT_STREQ(className, WC_LISTVIEWA);
    EXPECT_EQ(Style(list) & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_TRUE(Style(list) & LVS_SINGLESEL);
    EXPECT_TRUE(::GetWindowLongA(list, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(platform.ListCount(), 0);
    const auto header = reinterpret_cast<HWND>(::SendMessageA(list, LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    EXPECT_EQ(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 0);
}

TEST_F(FormLayout, TheListCarriesItsTooltip) {
    const HWND tip = OwnedToolTip(form);
    ASSERT_NE(tip, nullptr);
    ASSERT_EQ(::SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    ASSERT_TRUE(::SendMessageA(tip, TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_EQ(reinterpret_cast<HWND>(tool.uId), Control(ControlId::ListView1));
    EXPECT_TRUE(tool.uFlags & TTF_IDISHWND);
    // The whole text, read back in its Unicode form: the ANSI messages cut it at 80 bytes.
    wchar_t shown[256] = {};
    TTTOOLINFOW query{};
    query.cbSize = TTTOOLINFOW_V2_SIZE;
    query.hwnd = tool.hwnd;
    query.uId = tool.uId;
    query.lpszText = shown;
    ::SendMessageW(tip, TTM_GETTEXTW, std::size(shown), reinterpret_cast<LPARAM>(&query));
    EXPECT_EQ(std::wstring_view(shown), kListViewToolTip);
}

TEST_F(FormLayout, NoMenuBarAndTheTrayMenuShowsItsOneItem) {
    EXPECT_EQ(::GetMenu(form), nullptr);
    ShowAndActivate();
    MenuDriver closer({VK_ESCAPE});
    platform.PopupMenu(MenuId::mnuTray);
    ASSERT_TRUE(closer.MenuSeen());
    ASSERT_EQ(closer.ShownItems().size(), 1u);
    const ShownMenuItem& item = closer.ShownItems()[0];
    EXPECT_EQ(item.id, static_cast<UINT>(MenuId::mnuStopMonitoring));
    EXPECT_EQ(item.caption, "Stop Monitoring - Show Main Window");
    EXPECT_EQ(item.state & (MF_DISABLED | MF_GRAYED), 0u);
    EXPECT_EQ(closer.ShownDefaultItem(), static_cast<UINT>(-1));
}

}  // namespace
}  // namespace vt::test
