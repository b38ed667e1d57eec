#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "tests/unit/sim_settings.h"

// The simulated desktop's Win32 behaviour that the program's tests rely on: titles, close
// requests and their timing, the route of Form1's messages, the tray and the registry.
namespace vt::sim {
namespace {

class RecordingEvents final : public FormEvents {
  public:
    void OnClick(ControlId control) override { Log("click", static_cast<int>(control)); }
    void OnDblClick(ControlId control) override { Log("dblclick", static_cast<int>(control)); }
    void OnMouseMove(ControlId control) override { Log("move", static_cast<int>(control)); }
    void OnTimer() override { Log("timer", 0); }
    void OnMenuCommand(MenuId item) override { Log("menu", static_cast<int>(item)); }
    void OnQueryUnload() override { Log("unload", 0); }
    void OnEndSession() override { Log("endsession", 0); }
    void OnRegisteredMessage(UInt message, WParam, LParam) override {
        Log("registered", static_cast<int>(message));
    }

    std::vector<std::string> log;

  private:
    void Log(const char* what, int id) {
        log.push_back(std::string(what) + ":" + std::to_string(id));
    }
};

// A subclass as the program installs one: it records the message and hands it on.
SimPlatform* gSim = nullptr;
WndProc gSaved = nullptr;
std::vector<UInt> gSeen;
LResult VT_CALLBACK RecordingProc(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
    gSeen.push_back(msg);
    return gSim->CallWindowProcA(gSaved, hWnd, msg, wParam, lParam);
}

Bool32 CollectHandles(Hwnd hWnd, LParam lParam) noexcept {
    auto* handles = reinterpret_cast<std::vector<Hwnd>*>(lParam);
    handles->push_back(hWnd);
    return handles->size() < 3 ? 1 : 0;
}

TEST(SimDesktop, TitlesAreReadIntoTheCallersBuffer) {
    SimPlatform sim;
    const Hwnd longTitle = sim.AddWindow(std::wstring(60, L'x') + L"calc");
    const Hwnd euro = sim.AddWindow(L"\u20AC 5");
    char buffer[50];
    EXPECT_EQ(sim.GetWindowTextA(longTitle, buffer, 50), 49);
    EXPECT_EQ(std::string(buffer), std::string(49, 'x'));
    EXPECT_EQ(sim.GetWindowTextA(euro, buffer, 50), 3);
    EXPECT_EQ(std::string(buffer), "\x80 5");
    EXPECT_EQ(sim.GetWindowTextA(euro, buffer, 1), 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(sim.GetWindowTextA(0x7777, buffer, 50), 0);
    EXPECT_EQ(buffer[0], '\0');
}

TEST(SimDesktop, EnumWindowsReportsNewestFirstAndStopsWhenAsked) {
    SimPlatform sim;
    RecordingEvents events;
    const Hwnd first = sim.AddWindow(L"one");
    const Hwnd form = sim.CreateForm(events);
    sim.AddRawHandle(-5);
    const Hwnd last = sim.AddWindow(L"two");
    std::vector<Hwnd> handles;
    sim.EnumWindows(
        [](Hwnd hWnd, LParam lParam) noexcept -> Bool32 {
            reinterpret_cast<std::vector<Hwnd>*>(lParam)->push_back(hWnd);
            return 1;
        },
        reinterpret_cast<LParam>(&handles));
    EXPECT_EQ(handles, (std::vector<Hwnd>{last, -5, form, first}));

    handles.clear();
    sim.EnumWindows(CollectHandles, reinterpret_cast<LParam>(&handles));
    EXPECT_EQ(handles.size(), 3u);
}

// The windows whose SendMessageCallbackA callback has run, in order.
void RecordAnswer(Hwnd hWnd, UInt msg, std::uintptr_t data, LResult /*result*/) {
    EXPECT_EQ(msg, WM_CLOSE);
    reinterpret_cast<std::vector<Hwnd>*>(data)->push_back(hWnd);
}

bool SendClose(SimPlatform& sim, Hwnd hWnd, std::vector<Hwnd>& answered) {
    return sim.SendMessageCallbackA(hWnd, WM_CLOSE, 0, 0, &RecordAnswer,
                                    reinterpret_cast<std::uintptr_t>(&answered)) != 0;
}

TEST(SimDesktop, CloseRequestsReturnAtOnceAndAreAnsweredWhenTheProgramTakesMessages) {
    SimPlatform sim;
    const Hwnd owner = sim.AddWindow(L"owner");
    const Hwnd owned = sim.AddWindow(L"owned", CloseBehaviour::Declines, owner);
    const Hwnd declines = sim.AddWindow(L"declines", CloseBehaviour::Declines);
    const Hwnd refuses = sim.AddWindow(L"elevated");
    sim.Window(refuses).refusesMessages = true;
    std::vector<Hwnd> answered;

    EXPECT_TRUE(SendClose(sim, owner, answered));
    EXPECT_FALSE(sim.WindowExists(owner));
    EXPECT_FALSE(sim.WindowExists(owned));  // destroyed with its owner, never asked
    EXPECT_TRUE(SendClose(sim, declines, answered));
    EXPECT_TRUE(SendClose(sim, declines, answered));
    EXPECT_EQ(sim.Window(declines).closeRequests, 2);
    EXPECT_FALSE(SendClose(sim, owner, answered));  // gone
    EXPECT_FALSE(SendClose(sim, refuses, answered));
    EXPECT_EQ(sim.Window(refuses).closeRequests, 0);
    EXPECT_EQ(sim.CloseLog(), (std::vector<Hwnd>{owner, declines, declines}));
    EXPECT_TRUE(answered.empty());  // not before the program takes messages
    sim.DoEvents();
    EXPECT_EQ(answered, (std::vector<Hwnd>{owner, declines, declines}));
}

TEST(SimDesktop, AHungWindowNeverAnswersAndOneThatAsksAnswersWhenItsUserDoes) {
    SimPlatform sim;
    const Hwnd hung = sim.AddWindow(L"hung", CloseBehaviour::Hung);
    const Hwnd asks = sim.AddWindow(L"editor", CloseBehaviour::Asks);
    std::vector<Hwnd> answered;
    EXPECT_TRUE(SendClose(sim, hung, answered));
    EXPECT_TRUE(SendClose(sim, asks, answered));
    EXPECT_TRUE(SendClose(sim, asks, answered));  // asked again from inside its question
    EXPECT_EQ(sim.Window(asks).questionsOpen, 2);
    sim.DoEvents();
    EXPECT_TRUE(answered.empty());

    sim.AnswerQuestion(asks, false);  // Cancel: the window stays
    EXPECT_EQ(sim.Window(asks).questionsOpen, 1);
    EXPECT_TRUE(sim.WindowExists(asks));
    EXPECT_FALSE(sim.Tick());  // no timer: the message loop takes the answer all the same
    EXPECT_EQ(answered, std::vector<Hwnd>{asks});
    sim.AnswerQuestion(asks, true);
    EXPECT_FALSE(sim.WindowExists(asks));
    sim.DoEvents();
    EXPECT_EQ(answered, (std::vector<Hwnd>{asks, asks}));
    EXPECT_EQ(sim.Window(hung).closeRequests, 1);
    EXPECT_EQ(sim.CloseLog(), (std::vector<Hwnd>{hung, asks, asks}));
}

TEST(SimDesktop, FormMessagesGoThroughTheCurrentProcedure) {
    SimPlatform sim;
    RecordingEvents events;
    gSim = &sim;
    gSeen.clear();
    const Hwnd form = sim.CreateForm(events);
    EXPECT_FALSE(sim.ControlVisible(ControlId::Check8));
    gSaved = sim.SetWindowLongA(form, GWL_WNDPROC, &RecordingProc);
    EXPECT_EQ(gSaved, sim.FormClassProc());

    sim.SetTimerEnabled(true);
    EXPECT_TRUE(sim.Tick());
    sim.Click(ControlId::Check1);
    sim.Click(ControlId::Check8);  // invisible: nothing happens
    sim.DblClickListItem(5);       // out of range: nothing selected, still a double click
    EXPECT_EQ(sim.ListSelectedIndex(), -1);
    sim.ChooseFromNextMenu(MenuId::mnuStopMonitoring);
    sim.onMenuOpen = [&] { events.log.push_back("open"); };
    sim.PopupMenu(MenuId::mnuTray);
    events.log.push_back("returned");
    sim.PopupMenu(MenuId::mnuTray);  // nothing queued: closes without a command
    // A window of the caller's thread handles it within the call, and answers right after.
    std::vector<Hwnd> answered;
    EXPECT_TRUE(SendClose(sim, form, answered));
    EXPECT_EQ(answered, std::vector<Hwnd>{form});
    EXPECT_EQ(events.log, (std::vector<std::string>{"timer:0", "click:101", "dblclick:110", "open",
                                                    "menu:201", "returned", "open", "unload:0"}));
    EXPECT_EQ(sim.MenusShown(), 2);

    sim.EndProgram();
    EXPECT_EQ(gSeen.back(), WM_NCDESTROY);
    EXPECT_FALSE(sim.WindowExists(form));
    EXPECT_FALSE(sim.Tick());
    EXPECT_FALSE(SendClose(sim, form, answered));
}

TEST(SimDesktop, AnswersQueuedAndNeverAskedForFailTheTest) {
    EXPECT_NONFATAL_FAILURE(
        {
            SimPlatform sim;
            sim.AnswerMessageBox(IDYES);
            sim.ChooseFromNextMenu(std::nullopt);
        },
        "message box answer 6; menu closed without a choice;");
}

TEST(SimDesktop, DoEventsDeliversWhatWasWaitingThenTheTick) {
    SimPlatform sim;
    RecordingEvents events;
    const Hwnd form = sim.CreateForm(events);
    sim.SetTimerEnabled(true);
    sim.QueueTick();
    EXPECT_EQ(sim.PostMessageA(form, WM_CLOSE, 0, 0), 1);
    sim.DoEvents();
    sim.DoEvents();  // the tick was taken: nothing more
    EXPECT_EQ(events.log, (std::vector<std::string>{"unload:0", "timer:0"}));

    sim.QueueTick();
    sim.SetTimerEnabled(false);
    sim.SetTimerEnabled(true);
    sim.DoEvents();  // disabling the timer dropped the waiting tick
    EXPECT_EQ(events.log.size(), 2u);
}

TEST(SimDesktop, TrayIconsFollowTheShellsRules) {
    SimPlatform sim;
    RecordingEvents events;
    const Hwnd form = sim.CreateForm(events);
    NotifyIconDataA data;
    data.cbSize = sizeof data;
    data.hWnd = form;
    data.uCallbackMessage = 2025;
    data.hIcon = sim.ApplicationIcon();
    data.uFlags = NIF_TIP;
    EXPECT_EQ(sim.Shell_NotifyIconA(NIM_MODIFY, &data), 0);  // no icon yet
    data.uFlags = NIF_MESSAGE | NIF_ICON;
    sim.FailNotifyIcon(NIM_ADD, 1);
    EXPECT_EQ(sim.Shell_NotifyIconA(NIM_ADD, &data), 0);
    EXPECT_EQ(sim.Shell_NotifyIconA(NIM_ADD, &data), 1);
    EXPECT_EQ(sim.Shell_NotifyIconA(NIM_ADD, &data), 0);  // already there
    std::snprintf(data.szTip, sizeof data.szTip, "%s", "tip");
    EXPECT_EQ(sim.TrayIcon()->szTip[0], '\0');  // NIM_ADD without NIF_TIP sets no tip
    data.uFlags = NIF_TIP;
    EXPECT_EQ(sim.Shell_NotifyIconA(NIM_MODIFY, &data), 1);
    EXPECT_EQ(std::string(sim.TrayIcon()->szTip), "tip");
    EXPECT_EQ(sim.TrayIcon()->uCallbackMessage, 2025u);
    EXPECT_EQ(sim.NotifyCalls().size(), 5u);

    const UInt taskbarCreated = sim.RegisterWindowMessageA("TaskbarCreated");
    EXPECT_GE(taskbarCreated, 0xC000u);
    EXPECT_EQ(sim.RegisterWindowMessageA("taskbarcreated"), taskbarCreated);
    gSim = &sim;
    gSeen.clear();
    gSaved = sim.SetWindowLongA(form, GWL_WNDPROC, &RecordingProc);
    sim.MouseOnTrayIcon(WM_RBUTTONUP);
    sim.RecreateTaskbar();
    EXPECT_EQ(gSeen, (std::vector<UInt>{2025, taskbarCreated}));
    EXPECT_FALSE(sim.TrayIconShown());
    EXPECT_EQ(sim.Shell_NotifyIconA(NIM_DELETE, &data), 0);
}

TEST(SimDesktop, RegistryKeysIgnoreCaseAndCheckAccess) {
    SimPlatform sim;
    const char* run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run\\";
    Hkey key = 0;
    ASSERT_EQ(sim.RegOpenKeyExA(HKEY_LOCAL_MACHINE, run, 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    const std::string path = "C:\\Vintrell.exe";
    EXPECT_EQ(sim.RegSetValueExA(key, "Vintrell.exe", 0, REG_SZ,
                                 reinterpret_cast<const std::uint8_t*>(path.c_str()),
                                 static_cast<UInt>(path.size() + 1)),
              ERROR_SUCCESS);
    UInt type = 0;
    std::string data;
    EXPECT_EQ(sim.RegQueryValueExA(key, "VINTRELL.EXE", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, std::string(path.c_str(), path.size() + 1));
    EXPECT_EQ(sim.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(sim.RegValueNames(HKEY_LOCAL_MACHINE, run), std::vector<std::string>{"Vintrell.exe"});

    ASSERT_EQ(sim.RegOpenKeyExA(HKEY_LOCAL_MACHINE, run, 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(sim.RegDeleteValueA(key, "Vintrell.exe"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(sim.RegCloseKey(key), ERROR_SUCCESS);

    sim.DenyWrite(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft");
    EXPECT_EQ(sim.RegOpenKeyExA(HKEY_LOCAL_MACHINE, run, 0, KEY_SET_VALUE, &key),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(sim.RegOpenKeyExA(HKEY_LOCAL_MACHINE, run, 0, 0x20019, &key), ERROR_SUCCESS);
    EXPECT_EQ(sim.RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(sim.RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nowhere", 0, KEY_QUERY_VALUE, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(sim.OpenKeyCount(), 0);
}

TEST(SimDesktop, ListSelectionFollowsRemovals) {
    SimPlatform sim;
    RecordingEvents events;
    sim.CreateForm(events);
    for (const wchar_t* item : {L"a", L"b", L"c", L"d"}) {
        sim.ListAdd(item);
    }
    sim.SelectListItem(2);
    ASSERT_TRUE(sim.ListRemove(0));
    EXPECT_EQ(sim.ListSelectedIndex(), 1);
    EXPECT_EQ(sim.ListText(1), L"c");
    ASSERT_TRUE(sim.ListRemove(2));
    EXPECT_EQ(sim.ListSelectedIndex(), 1);
    ASSERT_TRUE(sim.ListRemove(1));
    EXPECT_EQ(sim.ListSelectedIndex(), -1);
    // An item the list does not have is reported by the result, and nothing changes.
    EXPECT_EQ(sim.ListText(2), std::nullopt);
    EXPECT_EQ(sim.ListTextStart(-1, 5), std::nullopt);
    EXPECT_FALSE(sim.ListRemove(1));
    EXPECT_EQ(sim.ListItems(), std::vector<std::wstring>{L"b"});
    sim.FailListReads(true);
    EXPECT_THROW(sim.ListCount(), AppError);
}

}  // namespace
}  // namespace vt::sim
