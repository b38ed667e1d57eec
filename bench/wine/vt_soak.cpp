// The soak's tray menu rounds, against a monitoring Vintrell under the load of test_window soak.
//   vt_soak menu [--stop] [--click-wait-ms 10000]
// one tray menu round: right-clicks Vintrell's icon (SendInput), or posts Vintrell the icon's
// callback as the shell does when the click has not reached it in time; holds the menu a
// second, lets it go with a click on the empty desktop (WM_CANCELMODE when that does not reach
// it), and checks that Vintrell monitors (measure.sh then opens a matching window of
// test_window's, which Vintrell must close). --stop clicks the menu's item instead, and waits for
// the window. Prints "key value" pairs.

#include "probe.h"

namespace {

// Vintrell's pop-up menu, when one is shown.
HWND MenuOf(DWORD processId) {
    char name[16] = {};
    for (HWND window : probe::TopLevelWindows()) {
        if (probe::WindowProcessId(window) == processId && IsWindowVisible(window) &&
            GetClassNameA(window, name, sizeof(name)) > 0 && std::string(name) == "#32768") {
            return window;
        }
    }
    return nullptr;
}

// A click of the mouse's button at (x, y) of the screen, through the system's input.
void Click(int x, int y, bool right) {
    INPUT input[3] = {};
    for (INPUT& one : input) {
        one.type = INPUT_MOUSE;
    }
    input[0].mi.dx = x * 65536 / GetSystemMetrics(SM_CXSCREEN);
    input[0].mi.dy = y * 65536 / GetSystemMetrics(SM_CYSCREEN);
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    input[2].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    if (SendInput(3, input, sizeof(INPUT)) != 3) {
        probe::Fail("SendInput");
    }
}

int MenuRound(const probe::Args& args) {
    HWND main = probe::FindVintrellWindow();
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    RECT bar{};
    if (main == nullptr || tray == nullptr || !GetWindowRect(tray, &bar)) {
        throw std::runtime_error("no Vintrell window or no taskbar");
    }
    const DWORD processId = probe::WindowProcessId(main);
    const auto shown = [&] { return MenuOf(processId) != nullptr; };
    const auto gone = [&] { return MenuOf(processId) == nullptr; };
    // A menu a late click opened after the last round: let go first.
    if (shown()) {
        std::printf("stray 1 ");
        static_cast<void>(PostMessageA(main, WM_CANCELMODE, 0, 0));  // checked by the wait
        static_cast<void>(probe::PumpUntil(2000, gone));
    }
    // The icon: at the taskbar's right end, where Wine draws 20-pixel icon cells.
    double clicked = probe::NowMs();
    Click(bar.right - 10, (bar.top + bar.bottom) / 2, true);
    const char* openedBy = "click";
    if (!probe::PumpUntil(static_cast<double>(args.Number("--click-wait-ms", 10000)), shown)) {
        openedBy = "posted";
        clicked = probe::NowMs();
        if (!PostMessageA(main, probe::kTrayCallbackMessage, probe::kTrayIconId, WM_RBUTTONUP)) {
            probe::Fail("PostMessageA");
        }
        if (!probe::PumpUntil(1500, shown)) {
            std::printf("shown_ms none\n");
            return 1;
        }
    }
    std::printf("shown_ms %.0f opened_by %s", probe::NowMs() - clicked, openedBy);
    probe::PumpFor(1000);
    RECT menu{};
    if (args.Flag("--stop")) {
        if (!GetWindowRect(MenuOf(processId), &menu)) {
            std::printf(" stopped none\n");
            return 1;
        }
        clicked = probe::NowMs();
        Click((menu.left + menu.right) / 2, (menu.top + menu.bottom) / 2, false);
        const bool idle = probe::PumpUntil(10000, [&] { return probe::Idle(main); });
        std::printf(" window_shown_ms %.0f\n", idle ? probe::NowMs() - clicked : -1.0);
        return idle ? 0 : 1;
    }
    const char* closedBy = gone() ? "itself" : "click";
    clicked = probe::NowMs();
    Click(900, 150, false);  // the empty desktop: the load keeps to the left
    if (!probe::PumpUntil(2000, gone)) {
        closedBy = "cancel";
        static_cast<void>(PostMessageA(main, WM_CANCELMODE, 0, 0));  // checked by the wait
        if (!probe::PumpUntil(2000, gone)) {
            std::printf(" closed_by none\n");
            return 1;
        }
    }
    std::printf(" closed_by %s closed_ms %.0f", closedBy, probe::NowMs() - clicked);
    const bool monitoring = probe::PumpUntil(3000, [&] { return probe::Monitoring(main); });
    std::printf(" monitoring %d\n", monitoring ? 1 : 0);
    return monitoring ? 0 : 1;
}

int Run(const probe::Args& args) {
    if (args.Word(0) == "menu") {
        const int status = MenuRound(args);
        std::fflush(stdout);
        return status;
    }
    std::fprintf(stderr, "usage: vt_soak menu [--stop] [--click-wait-ms MS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    return probe::RunProbe("vt_soak", argc, argv, Run);
}
