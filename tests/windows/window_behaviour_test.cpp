// What Form1's real window does with the user's actions and the program's calls.
// First: the platform header orders the seam before <windows.h>.
#include "window_support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/controls.h"
#include "keywords/list_view.h"
#include "platform/error.h"
#include "tests/windows/cursor_file.h"

namespace vt::test {
namespace {

using FormBehaviour = FormTest;

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageA(window, message, wParam, lParam);
}

LPARAM At(int x, int y) {
    return MAKELPARAM(x, y);
}

TEST_F(FormBehaviour, ButtonAndCheckBoxClicksAreReportedOnceEachAndNothingElseIs) {
    ShowAndActivate();
    Send(Control(ControlId::Check1), BM_CLICK);
    Send(Control(ControlId::Check6), BM_CLICK);
    EXPECT_EQ(events.clicks, (std::vector{ControlId::Check1, ControlId::Check6}));
    // A plain check box is toggled by the program, never by itself.
    EXPECT_EQ(Send(Control(ControlId::Check6), BM_GETCHECK), BST_UNCHECKED);

    // A quick second click on a button is a click too, not a lost double click.
    const HWND add = Control(ControlId::Check1);
    events.clicks.clear();
    Send(add, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    Send(add, WM_LBUTTONUP, 0, At(5, 5));
    Send(add, WM_LBUTTONDBLCLK, MK_LBUTTON, At(5, 5));
    Send(add, WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(events.clicks, (std::vector{ControlId::Check1, ControlId::Check1}));

    // The label, the entry box and the form's background have no click.
    events.clicks.clear();
    Send(Control(ControlId::Label1), WM_LBUTTONDOWN, MK_LBUTTON, At(3, 3));
    Send(Control(ControlId::Label1), WM_LBUTTONUP, 0, At(3, 3));
    Send(form, WM_LBUTTONDOWN, MK_LBUTTON, At(2, 2));
    Send(form, WM_LBUTTONUP, 0, At(2, 2));
    EXPECT_TRUE(events.clicks.empty());
}

TEST_F(FormBehaviour, TheControlLayerOnTheRealWindowClicksOnceAChangeAndButtonsSpringBack) {
    ShowAndActivate();
    CheckBox startup(platform, ControlId::Check6, true);
    CheckBox add(platform, ControlId::Check1, true);
    int startupClicks = 0;
    int addClicks = 0;
    int addCommands = 0;
    startup.Click = [&] { ++startupClicks; };
    add.Click = [&] {  // the push-button convention
        ++addClicks;
        if (add.Value() == 1) {
            add.SetValue(0);
            ++addCommands;
        }
    };
    events.onClick = [&](ControlId id) { (id == ControlId::Check6 ? startup : add).UserClick(); };
    const HWND box = Control(ControlId::Check6);

    startup.SetValue(1);
    startup.SetValue(1);  // no change, no click
    EXPECT_EQ(startupClicks, 1);
    EXPECT_EQ(Send(box, BM_GETCHECK), BST_CHECKED);
    startup.SetValue(0);
    EXPECT_EQ(startupClicks, 2);
    EXPECT_EQ(Send(box, BM_GETCHECK), BST_UNCHECKED);
    Send(box, BM_CLICK);  // a person's click goes the same way
    EXPECT_EQ(startupClicks, 3);
    EXPECT_EQ(Send(box, BM_GETCHECK), BST_CHECKED);

    Send(Control(ControlId::Check1), BM_CLICK);
    Send(Control(ControlId::Check1), BM_CLICK);
    EXPECT_EQ(addCommands, 2);
    EXPECT_EQ(addClicks, 4);  // each reset enters the handler once more
    EXPECT_EQ(add.Value(), 0);
}

// The colour of one pixel of a control as it is drawn now.
COLORREF PixelOf(HWND control, int x, int y) {
    ::UpdateWindow(control);
    const HDC dc = ::GetDC(control);
    const COLORREF colour = ::GetPixel(dc, x, y);
    ::ReleaseDC(control, dc);
    return colour;
}

TEST_F(FormBehaviour, PushButtonsShowAWhiteFaceRaisedAndSunkenWhileHeldOrChecked) {
    ShowAndActivate();
    const HWND button = Control(ControlId::Check5);
    RECT client;
    ::GetClientRect(button, &client);
    const int middle = client.bottom / 2;
    const int right = client.right - 1;

    EXPECT_EQ(PixelOf(button, 3, 3), RGB(255, 255, 255));
    // Raised: light on the left, dark on the right.
    EXPECT_EQ(PixelOf(button, 0, middle), ::GetSysColor(COLOR_3DLIGHT));
    EXPECT_EQ(PixelOf(button, right, middle), ::GetSysColor(COLOR_3DDKSHADOW));

    platform.SetCheckValue(ControlId::Check5, 1);
    EXPECT_EQ(PixelOf(button, 3, 3), RGB(255, 255, 255));
    EXPECT_EQ(PixelOf(button, 0, middle), ::GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(PixelOf(button, right, middle), ::GetSysColor(COLOR_BTNHIGHLIGHT));

    platform.SetCheckValue(ControlId::Check5, 0);
    EXPECT_EQ(PixelOf(button, 0, middle), ::GetSysColor(COLOR_3DLIGHT));

    // Held down by the mouse: sunken until the button is released.
    Send(button, WM_LBUTTONDOWN, MK_LBUTTON, At(5, 5));
    EXPECT_EQ(PixelOf(button, 0, middle), ::GetSysColor(COLOR_BTNSHADOW));
    Send(button, WM_LBUTTONUP, 0, At(5, 5));
    EXPECT_EQ(PixelOf(button, 0, middle), ::GetSysColor(COLOR_3DLIGHT));
    EXPECT_EQ(events.clicks, (std::vector{ControlId::Check5}));
}

// Presses a key as the message loop would receive it, and lets the platform dispatch it.
void PressKey(FormToolkit& platform, WPARAM key) {
    ::PostMessageA(::GetFocus(), WM_KEYDOWN, key, 1);
    ::PostMessageA(::GetFocus(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    platform.DoEvents();
}

TEST_F(FormBehaviour, TabWalksTheTabOrderWhileEnterAndEscapeDoNothing) {
    ShowAndActivate();
    ASSERT_EQ(::GetFocus(), Control(ControlId::Text1));  // tab index 0 has the focus first

    // The label takes no focus and the invisible Check8 is passed over.
    const std::array order{ControlId::Check1, ControlId::Check3,    ControlId::Check4,
                           ControlId::Check2, ControlId::ListView1, ControlId::Check5,
                           ControlId::Check6, ControlId::Text1};
    for (ControlId next : order) {
        PressKey(platform, VK_TAB);
        EXPECT_EQ(::GetDlgCtrlID(::GetFocus()), static_cast<int>(next));
    }
    // Focusing a button through the keyboard does not turn it into another kind of button.
    EXPECT_EQ(::GetWindowLongA(Control(ControlId::Check1), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);

    platform.SetControlText(ControlId::Text1, L"calc");
    PressKey(platform, VK_RETURN);
    PressKey(platform, VK_ESCAPE);
    ::SetFocus(Control(ControlId::Check1));
    PressKey(platform, VK_RETURN);
    PressKey(platform, VK_ESCAPE);
    EXPECT_TRUE(events.clicks.empty());
    EXPECT_EQ(events.queryUnloads, 0);
    EXPECT_TRUE(::IsWindowVisible(form));
    EXPECT_EQ(platform.GetWindowTextW(ControlId::Text1), L"calc");
}

// Letters the ANSI code page lacks reach the entry box and the program whole: the box is a
// Unicode window (Windows' ANSI edit control keeps the code page's bytes; Wine's keeps Unicode
// either way) and the program's loops take characters in Unicode.
TEST_F(FormBehaviour, TheEntryBoxKeepsTypedLettersTheCodePageLacks) {
    const std::wstring typed = L"\u041f\u0440\u0438\u0432\u0435\u0442 1";
    ASSERT_NE(platform.AnsiToUnicode(Ansi(typed)), typed) << "the code page holds every letter";
    ShowAndActivate();
    const HWND box = Control(ControlId::Text1);
    EXPECT_TRUE(::IsWindowUnicode(box));
    ::SetFocus(box);
    for (const wchar_t letter : typed) {
        ASSERT_TRUE(::PostMessageW(box, WM_CHAR, letter, 1));
    }
    platform.DoEvents();
    EXPECT_EQ(platform.GetWindowTextW(ControlId::Text1), typed);
    // And what the program puts there stays whole too.
    platform.SetControlText(ControlId::Text1, L"");
    platform.SetControlText(ControlId::Text1, typed);
    EXPECT_EQ(platform.GetWindowTextW(ControlId::Text1), typed);
}

// Windows copies an ANSI item text in whole characters: a double-byte character that does not
// fit is left out, and the text ends one byte short of the buffer. Wine's list writes half of
// it instead, so the list is made to copy as Windows does.
WNDPROC gListProc = nullptr;

LRESULT CALLBACK WholeCharacterCopy(HWND list, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* item = reinterpret_cast<LVITEMA*>(lParam);
    if (msg != LVM_GETITEMA || item == nullptr || (item->mask & LVIF_TEXT) == 0 ||
        item->cchTextMax <= 0) {
        return ::CallWindowProcA(gListProc, list, msg, wParam, lParam);
    }
    std::string whole(1 << 16, '\0');
    LVITEMA full = *item;
    full.pszText = whole.data();
    full.cchTextMax = static_cast<int>(whole.size());
    if (!::CallWindowProcA(gListProc, list, msg, wParam, reinterpret_cast<LPARAM>(&full))) {
        return FALSE;
    }
    const std::size_t room = static_cast<std::size_t>(item->cchTextMax) - 1;
    std::size_t copied = 0;
    while (whole[copied] != '\0') {
        const std::size_t width = ::IsDBCSLeadByte(static_cast<BYTE>(whole[copied])) ? 2 : 1;
        if (copied + width > room) {
            break;
        }
        copied += width;
    }
    std::memcpy(item->pszText, whole.data(), copied);
    item->pszText[copied] = '\0';
    return TRUE;
}

// Registered on its own, in a process started in a Japanese locale (code page 932): a long item
// whose double-byte character falls across the end of the read buffer is read whole, not cut.
TEST_F(FormBehaviour, LongItemsInADoubleByteCodePageAreReadWhole) {
    ASSERT_EQ(::GetACP(), 932u) << "run with LC_ALL=ja_JP.UTF-8";
    const HWND list = Control(ControlId::ListView1);
    gListProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WholeCharacterCopy)));
    ASSERT_NE(gListProc, nullptr);
    // Each length puts a two-byte character across the end of a 256- or 512-byte buffer.
    for (const std::size_t prefix : {253u, 254u, 509u, 510u}) {
        const std::wstring keyword = std::wstring(prefix, L'a') + L"\u65E5\u672C\u8A9E";
        platform.ListAdd(keyword);
        EXPECT_EQ(platform.ListText(platform.ListCount() - 1), keyword) << prefix;
        EXPECT_EQ(platform.ListTextStart(platform.ListCount() - 1, prefix + 2),
                  keyword.substr(0, prefix + 2))
            << prefix;
    }
    ::SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gListProc));
}

TEST_F(FormBehaviour, TheListAddsReadsRemovesAndClearsItemsOfAnyLength) {
    const std::wstring longName(1000, L'x');
    platform.ListAdd(L"notepad");
    platform.ListAdd(longName);
    platform.ListAdd(L"Untitled - Notepad");
    ASSERT_EQ(platform.ListCount(), 3);
    EXPECT_EQ(platform.ListText(0), L"notepad");
    EXPECT_EQ(platform.ListText(1), longName);
    EXPECT_EQ(platform.ListText(2), L"Untitled - Notepad");
    EXPECT_EQ(platform.ListTextStart(1, 50), longName.substr(0, 50));
    EXPECT_EQ(platform.ListTextStart(2, 50), L"Untitled - Notepad");
    EXPECT_EQ(platform.ListTextStart(2, 8), L"Untitled");
    EXPECT_EQ(platform.ListSelectedIndex(), -1);

    ASSERT_TRUE(platform.ListRemove(1));
    EXPECT_EQ(platform.ListCount(), 2);
    EXPECT_EQ(platform.ListText(1), L"Untitled - Notepad");

    LVITEMA state{};
    state.stateMask = LVIS_SELECTED;
    state.state = LVIS_SELECTED;
    Send(Control(ControlId::ListView1), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ(platform.ListSelectedIndex(), 1);

    // The list itself refuses an index it does not have, as the simulated one does ...
    EXPECT_EQ(platform.ListText(2), std::nullopt);
    EXPECT_EQ(platform.ListTextStart(2, 50), std::nullopt);
    EXPECT_EQ(platform.ListText(-1), std::nullopt);
    EXPECT_FALSE(platform.ListRemove(2));
    EXPECT_FALSE(platform.ListRemove(-1));
    EXPECT_EQ(platform.ListCount(), 2);

    platform.ListAddColumn(L"Windows To Close");
    EXPECT_FALSE(platform.ListSetColumnWidth(1, 5430));
    ASSERT_TRUE(platform.ListSetColumnWidth(0, 5430));
    EXPECT_EQ(Send(Control(ControlId::ListView1), LVM_GETCOLUMNWIDTH, 0),
              win32::TwipsToPixels(5430, dpi));

    // ... and the list view contract makes of that the list's own error.
    ListView contract(platform);
    for (const auto& call : {std::function<void()>([&] { contract.Item(3); }),
                             std::function<void()>([&] { contract.ItemStart(3, 50); }),
                             std::function<void()>([&] { contract.Remove(3); }),
                             std::function<void()>([&] { contract.Remove(0); }),
                             std::function<void()>([&] { contract.SetColumnWidth(2, 4700); })}) {
        try {
            call();
            ADD_FAILURE() << "an index outside the list was used";
        } catch (const AppError& error) {
            EXPECT_EQ(error.Number(), err::kIndexOutOfBounds);
            EXPECT_STREQ(error.Source(), "ListView1");
            EXPECT_EQ(error.Description(), L"Index out of bounds");
        }
    }
    EXPECT_EQ(platform.ListCount(), 2);

    platform.ListClear();
    EXPECT_EQ(platform.ListCount(), 0);
}

TEST_F(FormBehaviour, ClicksAndDoubleClicksInTheListAreReported) {
    ShowAndActivate();
    platform.ListAddColumn(L"Windows To Close");
    platform.ListAdd(L"notepad");
    const HWND list = Control(ControlId::ListView1);
    RECT item{};
    item.left = LVIR_BOUNDS;
    ASSERT_TRUE(Send(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item)));
    const LPARAM point = At(item.left + 5, (item.top + item.bottom) / 2);

    ::PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::PostMessageA(list, WM_LBUTTONUP, 0, point);
    platform.DoEvents();
    EXPECT_EQ(events.clicks, (std::vector{ControlId::ListView1}));
    EXPECT_EQ(platform.ListSelectedIndex(), 0);

    ::PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    ::PostMessageA(list, WM_LBUTTONUP, 0, point);
    platform.DoEvents();
    EXPECT_EQ(events.dblClicks, (std::vector{ControlId::ListView1}));
}

TEST_F(FormBehaviour, Timer1TicksOnlyWhileEnabled) {
    platform.SetTimerEnabled(true);
    PumpFor(650);
    EXPECT_GE(events.ticks, 2);  // every 100 ms; a busy machine may merge some
    EXPECT_LE(events.ticks, 7);
    platform.SetTimerEnabled(false);
    const int ticks = events.ticks;
    PumpFor(300);
    EXPECT_EQ(events.ticks, ticks);
}

// Writes a file into the temporary folder; returns its path.
std::string WriteTempFile(const char* name, const std::vector<std::uint8_t>& bytes) {
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

TEST_F(FormBehaviour, PointerMovesAreReportedPerControlAndTheCustomPointerCoversTheWindow) {
    ShowAndActivate();
    const HWND add = Control(ControlId::Check1);
    const HWND list = Control(ControlId::ListView1);
    const auto header = reinterpret_cast<HWND>(Send(list, LVM_GETHEADER));
    const auto move = [](UINT hit) { return MAKELPARAM(hit, WM_MOUSEMOVE); };
    // The real pointer away from the window, so that only these moves are reported.
    ::SetCursorPos(0, 0);
    PumpFor(50);
    events.mouseMoves.clear();

    Send(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(add), move(HTCLIENT));
    Send(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(header), move(HTCLIENT));
    Send(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(form), move(HTCLIENT));
    Send(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(form), move(HTCAPTION));  // the title bar
    Send(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(add),
         MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));  // not a move
    EXPECT_EQ(events.mouseMoves,
              (std::vector{ControlId::Check1, ControlId::ListView1, ControlId::Form}));

    // Default: each control chooses its own pointer.
    platform.SetMousePointer(0);
    EXPECT_EQ(Send(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(add), move(HTCLIENT)), FALSE);

    // Custom without an image: the arrow, over the controls too.
    const HCURSOR arrow = ::LoadCursorA(nullptr, IDC_ARROW);
    platform.SetMousePointer(99);
    ::SetCursor(nullptr);
    EXPECT_EQ(Send(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(list), move(HTCLIENT)), TRUE);
    EXPECT_EQ(::GetCursor(), arrow);

    // A file that is no cursor is refused; a cursor file is shown over the whole window.
    const std::string text = "not a cursor";
    const std::string notCursor = WriteTempFile(
        "vintrell_window_test.txt", std::vector<std::uint8_t>(text.begin(), text.end()));
    EXPECT_FALSE(platform.LoadMouseIcon(platform.AnsiToUnicode(notCursor)));
    const std::string cursorFile = WriteTempFile("vintrell_window_test.cur", MinimalCursorFile());
    ASSERT_TRUE(platform.LoadMouseIcon(platform.AnsiToUnicode(cursorFile)));
    EXPECT_EQ(Send(form, WM_SETCURSOR, reinterpret_cast<WPARAM>(add), move(HTCLIENT)), TRUE);
    EXPECT_NE(::GetCursor(), arrow);
    EXPECT_NE(::GetCursor(), nullptr);
    ::DeleteFileA(notCursor.c_str());
    ::DeleteFileA(cursorFile.c_str());
}

TEST_F(FormBehaviour, ClosingAsksTheProgramAndEndingDestroysTheWindowAndEndsTheLoop) {
    EXPECT_EQ(Send(form, WM_CLOSE), 0);
    EXPECT_EQ(events.queryUnloads, 1);
    EXPECT_TRUE(::IsWindow(form));  // the program decides

    EXPECT_EQ(Send(form, WM_QUERYENDSESSION), TRUE);
    Send(form, WM_ENDSESSION, FALSE);
    EXPECT_EQ(events.endSessions, 0);
    Send(form, WM_ENDSESSION, TRUE);
    EXPECT_EQ(events.endSessions, 1);

    platform.EndProgram();
    EXPECT_FALSE(::IsWindow(form));
    EXPECT_EQ(events.queryUnloads, 1);  // no close event on the way out
    // DoEvents leaves the quit where the message loop finds it.
    platform.DoEvents();
    EXPECT_EQ(platform.RunMessageLoop(), 0);
    EXPECT_FALSE(::IsWindowVisible(form));
    EXPECT_THROW(platform.SetCaption(L"Vintrell"), AppError);
}

TEST_F(FormBehaviour, PopupMenuHasRunTheChosenCommandWhenItReturns) {
    ShowAndActivate();
    {
        MenuDriver chooser({VK_DOWN, VK_RETURN});
        platform.PopupMenu(MenuId::mnuTray);
        EXPECT_TRUE(chooser.MenuSeen());
        EXPECT_FALSE(chooser.ClosedByGuard());
        EXPECT_EQ(events.menuCommands, (std::vector{MenuId::mnuStopMonitoring}));
    }
    {
        MenuDriver closer({VK_ESCAPE});
        platform.PopupMenu(MenuId::mnuTray);
        EXPECT_TRUE(closer.MenuSeen());
        EXPECT_FALSE(closer.ClosedByGuard());
        EXPECT_EQ(events.menuCommands.size(), 1u);
    }
}

TEST_F(FormBehaviour, DoEventsFromATimerTickLeavesTheKeysToAnOpenMenu) {
    ShowAndActivate();
    // Each tick presses the keys once the menu shows and then lets the waiting messages
    // through, as the end of a sweep does.
    bool pressed = false;
    events.onTimer = [&] {
        const HWND menu = ::FindWindowA("#32768", nullptr);
        if (!pressed && menu != nullptr && ::IsWindowVisible(menu)) {
            PressKeys({VK_DOWN, VK_RETURN});
            pressed = true;
        }
        platform.DoEvents();
    };
    platform.SetTimerEnabled(true);
    MenuDriver guard({});
    platform.PopupMenu(MenuId::mnuTray);
    platform.SetTimerEnabled(false);
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(guard.ClosedByGuard());
    EXPECT_EQ(events.menuCommands, (std::vector{MenuId::mnuStopMonitoring}));
}

// The same for a message box: Enter, pressed while a tick lets the waiting messages through,
// is the box's, whose dialog manager turns it into its OK button.
// Ends the test's box when the key did not: on a timer of its own, as the test's ticks may
// never come.
bool gBoxClosedByGuard = false;
void CALLBACK CloseTestBox(HWND, UINT, UINT_PTR, DWORD) {
    if (const HWND box = ::FindWindowA("#32770", "Vintrell test box")) {
        gBoxClosedByGuard = true;
        ::EndDialog(box, IDCANCEL);
    }
}

TEST_F(FormBehaviour, DoEventsFromATimerTickLeavesTheKeysToAnOpenMessageBox) {
    ShowAndActivate();
    bool pressed = false;
    gBoxClosedByGuard = false;
    const UINT_PTR guard = ::SetTimer(nullptr, 0, 4000, CloseTestBox);
    ASSERT_NE(guard, 0u);
    events.onTimer = [&] {
        const HWND box = ::FindWindowA("#32770", "Vintrell test box");
        if (box != nullptr && !pressed && ::IsWindowVisible(box)) {
            PressKeys({VK_RETURN});
            pressed = true;
        }
        platform.DoEvents();
    };
    platform.SetTimerEnabled(true);
    const std::int32_t answer =
        platform.Win32FormToolkit::MessageBox(L"Press Enter", MB_OK, L"Vintrell test box");
    platform.SetTimerEnabled(false);
    static_cast<void>(::KillTimer(nullptr, guard));
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(gBoxClosedByGuard);
    EXPECT_EQ(answer, IDOK);
}

TEST_F(FormBehaviour, ShowingCheck8UncoversItWhereItOverlapsCheck6) {
    const HWND startup = Control(ControlId::Check6);
    const HWND tray = Control(ControlId::Check8);
    RECT startupRect = ClientRectOf(form, startup);
    RECT trayRect = ClientRectOf(form, tray);
    ASSERT_LT(trayRect.left, startupRect.right);  // the table makes them overlap
    ShowAndActivate();

    // Hidden, Check8 leaves Check6 whole: a click at Check6's right end is Check6's.
    POINT inOverlap{(trayRect.left + startupRect.right) / 2, (trayRect.top + trayRect.bottom) / 2};
    ::ClientToScreen(form, &inOverlap);
    EXPECT_EQ(::WindowFromPoint(inOverlap), startup);
    platform.SetControlVisible(ControlId::Check8, true);
    EXPECT_TRUE(::IsWindowVisible(tray));
    EXPECT_EQ(::WindowFromPoint(inOverlap), tray);
    platform.SetControlVisible(ControlId::Check8, false);
    EXPECT_EQ(::WindowFromPoint(inOverlap), startup);
}

}  // namespace
}  // namespace vt::test
