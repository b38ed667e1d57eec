#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/error.h"
#include "tests/unit/tray_fixture.h"

namespace vt::testing {
namespace {

using TrayTest = TrayFixture;

std::string TipField(const NotifyIconDataA& data) {
    return std::string(data.szTip, sizeof(data.szTip));
}

void ExpectAddRecord(const sim::NotifyCall& call, Hwnd hWnd) {
    EXPECT_EQ(call.message, NIM_ADD);
    EXPECT_EQ(call.data.cbSize, 88u);
    EXPECT_EQ(call.data.hWnd, hWnd);
    EXPECT_EQ(call.data.uID, 0u);
    EXPECT_EQ(call.data.uFlags, NIF_MESSAGE | NIF_ICON);
    EXPECT_EQ(call.data.uCallbackMessage, 2025u);
    EXPECT_EQ(call.data.hIcon, sim::SimPlatform::kApplicationIcon);
}

// --- The icon record ---------------------------------------------------------------------

TEST_F(TrayTest, EverySessionUsesTheSameRecordOverTheWindowsOwnProcedure) {
    StartMonitoring();
    EXPECT_EQ(sim.CurrentWndProc(), &APIStuff::TrayWindowProc);
    sim.ChooseFromNextMenu(MenuId::mnuStopMonitoring);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);
    EXPECT_EQ(sim.CurrentWndProc(), sim.FormClassProc());
    sim.SendToForm(Tray::TRAY_CALLBACK_MESSAGE, 0, WM_RBUTTONUP);  // a click that came late
    EXPECT_EQ(sim.MenusShown(), 1);

    sim.ShowForm();
    StartMonitoring();
    const std::vector<sim::NotifyCall>& calls = sim.NotifyCalls();
    ASSERT_EQ(NotifyMessages(),
              (std::vector<UInt>{NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_ADD, NIM_MODIFY}));
    ExpectAddRecord(calls[0], form.hWnd());
    ExpectAddRecord(calls[3], form.hWnd());
    EXPECT_EQ(calls[1].data.uFlags, NIF_TIP);
    EXPECT_EQ(calls[2].data.uFlags, 0u);
    for (const sim::NotifyCall& call : calls) {
        EXPECT_EQ(call.data.hWnd, form.hWnd());
        EXPECT_EQ(call.data.uID, 0u);
        EXPECT_TRUE(call.succeeded);
    }
    EXPECT_TRUE(Monitoring());
    form.mnuStopMonitoring_Click();
    EXPECT_EQ(sim.CurrentWndProc(), sim.FormClassProc());
}

TEST_F(TrayTest, TipFillsItsSixtyFourBytes) {
    StartMonitoring();
    EXPECT_EQ(TipField(sim.NotifyCalls()[1].data),
              "Right-click here to access the menu" + std::string(1, '\0') + std::string(28, ' '));

    const std::wstring seventy(70, L'x');
    Tray::SetTrayTip(seventy);
    EXPECT_EQ(TipField(sim.TrayIcon().value()), std::string(63, 'x') + std::string(1, '\0'));

    // Converted to the ANSI code page, not narrowed.
    Tray::SetTrayTip(L"Caf\u00e9");
    EXPECT_EQ(TipField(sim.TrayIcon().value()).substr(0, 6), std::string("Caf\xE9\0 ", 6));
}

TEST_F(TrayTest, AddingWhileShownNeverSubclassesTwice) {
    Tray::AddTrayIcon(form, MenuId::mnuTray);
    Tray::AddTrayIcon(form, MenuId::mnuTray);
    EXPECT_EQ(NotifyMessages(), std::vector<UInt>{NIM_ADD});
    // Subclassed twice, it would put the subclass itself back.
    Tray::RemoveTrayIcon();
    EXPECT_EQ(sim.CurrentWndProc(), sim.FormClassProc());
}

// --- TrayWindowProc ----------------------------------------------------------------------

TEST_F(TrayTest, RightButtonReleaseOpensTheMenuAndItsItemStops) {
    InstallRecorder();
    StartMonitoring();
    std::optional<Hwnd> foregroundAtMenu;
    bool visibleAtMenu = true;
    sim.onMenuOpen = [&] {
        foregroundAtMenu = sim.ForegroundWindow();
        visibleAtMenu = sim.FormVisibleNow();
    };
    sim.ChooseFromNextMenu(MenuId::mnuStopMonitoring);

    EXPECT_EQ(sim.MouseOnTrayIcon(WM_RBUTTONUP), 0);

    EXPECT_EQ(sim.MenusShown(), 1);
    EXPECT_EQ(foregroundAtMenu, form.hWnd());
    EXPECT_FALSE(visibleAtMenu);
    EXPECT_TRUE(Idle());
    EXPECT_FALSE(sim.Tick());
    EXPECT_EQ(sim.ListItems(), std::vector<std::wstring>{L"notepad"});
    EXPECT_EQ(sim.CurrentWndProc(), RecorderProc());
    EXPECT_TRUE(sim.PostedMessages().empty());
    EXPECT_TRUE(ToRecorder(Tray::TRAY_CALLBACK_MESSAGE).empty());
    // The tray acts for the window no more: a late click is the window's own business.
    EXPECT_EQ(APIStuff::TrayWindowProc(form.hWnd(), Tray::TRAY_CALLBACK_MESSAGE, 0, WM_RBUTTONUP),
              kRecorderResult);
    EXPECT_EQ(sim.MenusShown(), 1);
}

TEST_F(TrayTest, MenuClosedWithoutChoiceStaysInTheTrayAndPostsNull) {
    StartMonitoring();
    sim.ChooseFromNextMenu(std::nullopt);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);

    EXPECT_EQ(sim.MenusShown(), 1);
    EXPECT_TRUE(Monitoring());
    EXPECT_EQ(sim.PostedMessages(), (std::vector<std::pair<Hwnd, UInt>>{{form.hWnd(), WM_NULL}}));
}

TEST_F(TrayTest, OtherMouseMessagesGoOnUnchanged) {
    InstallRecorder();
    StartMonitoring();
    const std::vector<UInt> mouse{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
                                  WM_RBUTTONDOWN};
    for (const UInt m : mouse) {
        EXPECT_EQ(sim.MouseOnTrayIcon(m), kRecorderResult);
    }

    const std::vector<Delivered> got = ToRecorder(Tray::TRAY_CALLBACK_MESSAGE);
    ASSERT_EQ(got.size(), mouse.size());
    for (std::size_t i = 0; i < mouse.size(); ++i) {
        EXPECT_EQ(got[i].lParam, static_cast<LParam>(mouse[i]));
        EXPECT_EQ(got[i].wParam, 0u);  // the icon's uID
    }
    EXPECT_EQ(sim.MenusShown(), 0);
    EXPECT_TRUE(sim.PostedMessages().empty());
    EXPECT_TRUE(Monitoring());
}

TEST_F(TrayTest, AFailingSubclassOrAnEmptiedOwnerStillPassesMessagesOn) {
    InstallRecorder();
    StartMonitoring();
    sim.onMenuOpen = [] { throw AppError(0, "test", L"the menu failed"); };
    EXPECT_EQ(sim.MouseOnTrayIcon(WM_RBUTTONUP), kRecorderResult);
    EXPECT_EQ(ToRecorder(Tray::TRAY_CALLBACK_MESSAGE).size(), 1u);
    EXPECT_TRUE(sim.Messages().empty());

    // A later subclass that saved TrayWindowProc may still call it once the icon is gone.
    form.mnuStopMonitoring_Click();
    ASSERT_FALSE(sim.TrayIconShown());
    EXPECT_EQ(APIStuff::TrayWindowProc(form.hWnd(), WM_NULL, 0, 0), kRecorderResult);
    EXPECT_EQ(ToRecorder(WM_NULL).size(), 1u);
}

TEST_F(TrayTest, DestroyedWindowTakesTheIconAlong) {
    InstallRecorder();
    StartMonitoring();
    sim.SendToForm(WM_NCDESTROY, 0, 0);

    const std::vector<Delivered> got = ToRecorder(WM_NCDESTROY);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_FALSE(got[0].iconShown);  // gone before the window's own procedure saw the message
    EXPECT_FALSE(sim.TrayIconShown());
    EXPECT_EQ(sim.CurrentWndProc(), RecorderProc());
    EXPECT_EQ(APIStuff::TrayWindowProc(form.hWnd(), Tray::TRAY_CALLBACK_MESSAGE, 0, WM_RBUTTONUP),
              kRecorderResult);
    EXPECT_EQ(sim.MenusShown(), 0);
}

TEST_F(TrayTest, NewTaskbarGetsTheIconBackWithoutASecondSubclass) {
    InstallRecorder();
    sim.RecreateTaskbar();  // while idle the window's own procedure deals with it
    EXPECT_TRUE(sim.NotifyCalls().empty());

    StartMonitoring();
    const NotifyIconDataA before = sim.TrayIcon().value();
    sim.RecreateTaskbar();

    ASSERT_TRUE(sim.TrayIconShown());
    const std::vector<UInt> calls = NotifyMessages();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[2], NIM_ADD);
    EXPECT_EQ(calls[3], NIM_MODIFY);
    ExpectAddRecord(sim.NotifyCalls()[2], form.hWnd());
    EXPECT_EQ(TipField(sim.TrayIcon().value()), TipField(before));
    EXPECT_EQ(sim.CurrentWndProc(), &APIStuff::TrayWindowProc);
    const UInt taskbarCreated = sim.RegisterWindowMessageA("TaskbarCreated");
    EXPECT_EQ(ToRecorder(taskbarCreated).size(), 2u);  // passed on, idle and monitoring

    // Still one hop to the window's own procedure, and the menu still works.
    EXPECT_EQ(sim.MouseOnTrayIcon(WM_LBUTTONUP), kRecorderResult);
    EXPECT_EQ(ToRecorder(Tray::TRAY_CALLBACK_MESSAGE).size(), 1u);
    sim.ChooseFromNextMenu(MenuId::mnuStopMonitoring);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);
    EXPECT_TRUE(Idle());
}

TEST_F(TrayTest, ElevatedTheIconStillComesBackWithANewTaskbar) {
    // Explorer's broadcast reaches an elevated program only through its message filter.
    sim.RunElevated(true);
    StartMonitoring();
    sim.RecreateTaskbar();

    ASSERT_TRUE(sim.TrayIconShown());
    EXPECT_TRUE(Monitoring());
    EXPECT_EQ(NotifyMessages(), (std::vector<UInt>{NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_MODIFY}));
    EXPECT_TRUE(sim.Messages().empty());
}

TEST_F(TrayTest, TaskbarCreatedWhileTheIconIsStillThereKeepsItAndMonitoring) {
    InstallRecorder();
    StartMonitoring();
    const std::uint64_t before = sim.NowMs();
    // Any program may broadcast it; the shell refuses NIM_ADD for an icon it has.
    const UInt taskbarCreated = sim.RegisterWindowMessageA("TaskbarCreated");
    sim.SendToForm(taskbarCreated, 0, 0);

    EXPECT_TRUE(Monitoring());
    EXPECT_TRUE(sim.Messages().empty());
    ASSERT_EQ(NotifyMessages(),
              (std::vector<UInt>{NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_MODIFY, NIM_MODIFY}));
    EXPECT_FALSE(sim.NotifyCalls()[2].succeeded);
    EXPECT_EQ(sim.NotifyCalls()[3].data.uFlags, NIF_MESSAGE | NIF_ICON);
    EXPECT_EQ(sim.NotifyCalls()[4].data.uFlags, NIF_TIP);
    EXPECT_STREQ(sim.TrayIcon()->szTip, "Right-click here to access the menu");
    EXPECT_EQ(sim.NowMs(), before);  // no wait for a busy shell
    EXPECT_EQ(ToRecorder(taskbarCreated).size(), 1u);
}

TEST_F(TrayTest, NewTaskbarThatRefusesTheIconBringsTheWindowBack) {
    InstallRecorder();
    StartMonitoring();
    sim.FailNotifyIcon(NIM_ADD, 1000);
    sim.RecreateTaskbar();
    EXPECT_TRUE(sim.Messages().empty());  // asked again for about a second first
    TickFor(2000);

    EXPECT_TRUE(Idle());
    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_TRUE(sim.Messages()[0].formVisible);
    EXPECT_EQ(sim.Messages()[0].text,
              L"ERROR while starting monitoring - The notification area icon could not be put back "
              L"after the taskbar was re-created, so monitoring has ended");
    EXPECT_EQ(sim.CurrentWndProc(), RecorderProc());
}

TEST_F(TrayTest, SweepFailingWhileTheMenuIsOpenLeavesNothingPosted) {
    StartMonitoring();
    BreakSweep();
    sim.onMenuOpen = [&] { sim.Tick(); };
    sim.ChooseFromNextMenu(std::nullopt);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);

    EXPECT_TRUE(Idle());
    EXPECT_TRUE(sim.PostedMessages().empty());
    ASSERT_EQ(sim.Messages().size(), 1u);
    EXPECT_EQ(sim.Messages()[0].text.rfind(
                  L"ERROR while monitoring windows - monitoring has been aborted - ", 0),
              0u);
}

// A right-click that reaches the icon while a sweep passes pending messages must not open the
// menu there: its modal loop would hold the sweep, and every tick would find a sweep running.
TEST_F(TrayTest, RightClickDuringASweepOpensTheMenuAfterItAndTicksSweepWhileItIsOpen) {
    sim.ListAdd(L"popup");
    StartMonitoring();
    int menusDuringSweep = -1;
    const Hwnd waiting = sim.AddWindow(L"Popup that waits", sim::CloseBehaviour::Declines);
    sim.Window(waiting).onClose = [&] {
        sim.MouseOnTrayIcon(WM_RBUTTONUP);
        menusDuringSweep = sim.MenusShown();
        sim.Window(waiting).onClose = nullptr;
    };
    Hwnd openedWithTheMenu = 0;
    bool closedWhileTheMenuWasOpen = false;
    sim.onMenuOpen = [&] {
        openedWithTheMenu = sim.AddWindow(L"Another popup");
        sim.Tick();
        closedWhileTheMenuWasOpen = !sim.WindowExists(openedWithTheMenu);
    };
    sim.ChooseFromNextMenu(std::nullopt);

    ASSERT_TRUE(sim.Tick());
    EXPECT_EQ(menusDuringSweep, 0);
    EXPECT_EQ(sim.MenusShown(), 0);
    sim.DoEvents();  // the message loop, after the tick

    EXPECT_EQ(sim.MenusShown(), 1);
    EXPECT_NE(openedWithTheMenu, 0);
    EXPECT_TRUE(closedWhileTheMenuWasOpen);
    EXPECT_TRUE(Monitoring());
}

// A sweep that fails stops monitoring: the right-click it held is forgotten with the icon.
TEST_F(TrayTest, ARightClickDuringASweepThatStopsMonitoringOpensNoMenu) {
    InstallRecorder();
    StartMonitoring();
    const Hwnd waiting = sim.AddWindow(L"Untitled - Notepad", sim::CloseBehaviour::Declines);
    sim.Window(waiting).onClose = [&] {
        sim.MouseOnTrayIcon(WM_RBUTTONUP);
        throw std::runtime_error("the close request failed");  // and so the sweep
    };

    sim.Tick();
    sim.DoEvents();

    EXPECT_EQ(sim.MenusShown(), 0);
    EXPECT_TRUE(Idle());
    EXPECT_TRUE(ToRecorder(Tray::TRAY_CALLBACK_MESSAGE).empty());
}

TEST(TrayOwnershipTest, AFormThatGoesTakesItsIconAlong) {
    sim::SimPlatform sim;
    {
        Form1 form(sim);
        sim.ShowForm();
        sim.ListAdd(L"notepad");
        sim.Click(ControlId::Check2);
        ASSERT_TRUE(sim.TrayIconShown());
    }
    EXPECT_FALSE(sim.TrayIconShown());
    EXPECT_EQ(sim.CurrentWndProc(), sim.FormClassProc());
    // A message that still reaches the subclass finds nothing of the form's: no menu, no crash.
    EXPECT_EQ(APIStuff::TrayWindowProc(0x1000, Tray::TRAY_CALLBACK_MESSAGE, 0, WM_RBUTTONUP), 0);
    EXPECT_EQ(sim.MenusShown(), 0);
}

}  // namespace
}  // namespace vt::testing
