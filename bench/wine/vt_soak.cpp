// The soak's load and its tray menu rounds, against a monitoring Vintrell.
//   vt_soak run [--seconds 600] [--rate 20] [--seed S]
// opens --rate windows a second, without taking the foreground. One in five has a title
// holding "VtProbe popup" (in one of four cases, at its start, middle or end) and a thread of
// its own; the others have plain titles, some near the keyword, and live 0.2 to 1.5 s. Of the
// matching ones, one in 100 is hung (takes no message) for 10 s from its creation; one in ten
// answers WM_CLOSE with a modal question box, answered "No" 1 to 4 s later, and then closes;
// one in four declines two WM_CLOSE and closes at the third; the rest close at the first. One
// in ten is a burst of three windows opened at once by its thread, each closing at the first;
// one in ten a main window that declines WM_CLOSE until its two pop-ups, opened at once 0 to
// 300 ms after it on its thread, have gone. One not closed 10 s after it could answer (after
// its release; after its answer) is missed.
// Prints a CSV line a matching window, then "# plain" and "# load" totals; exits with 2 when a
// matching window was missed, a plain one asked, or a question asked again while open.
//   vt_soak menu [--stop] [--click-wait-ms 10000]
// one tray menu round: right-clicks Vintrell's icon (SendInput), or posts Vintrell the icon's
// callback as the shell does when the click has not reached it in time; holds the menu a
// second, lets it go with a click on the empty desktop (WM_CANCELMODE when that does not reach
// it), and checks that Vintrell monitors and asks a new matching window to close. --stop
// clicks the menu's item instead, and waits for the window. Prints "key value" pairs.

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <list>
#include <random>

#include "probe.h"

namespace {

enum class Kind { kPlain, kClose, kDecline, kQuestion, kHung, kBurst, kMain, kPopup };
constexpr const char* kKindNames[] = {"plain", "close", "decline", "question",
                                      "hung",  "burst", "main",    "popup"};

// One window's life. A matching window's is written by its own thread and read once that
// thread has ended.
struct SoakWindow {
    Kind kind = Kind::kPlain;
    long number = 0;
    double createdMs = 0.0;   // at WM_NCCREATE
    double returnedMs = 0.0;  // when CreateWindowExA returned
    double readyMs = 0.0;     // when its thread takes messages: once shown, or a hung one's release
    double endMs = 0.0;       // a plain window's end of life
    double firstCloseMs = 0.0;
    double goneMs = 0.0;
    int closeRequests = 0;
    int closesWhileAsking = 0;  // WM_CLOSE arrivals while the question was open, its own included
    bool asking = false;
    bool closed = false;  // by a request, not by the probe
    long waitMs = 0;      // a hung window's hang, a question's time open, a main's pop-ups' delay
    HWND window = nullptr;
    probe::UniqueHandle thread;                       // a matching window's own
    std::vector<std::unique_ptr<SoakWindow>> others;  // the windows its thread opens beside it
    std::string title;
    bool failed = false;
};

SoakWindow* StateOf(HWND window) {
    return reinterpret_cast<SoakWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

BOOL CALLBACK AnswerBox(HWND window, LPARAM) {
    char name[16] = {};
    if (GetClassNameA(window, name, sizeof(name)) > 0 && std::string(name) == "#32770") {
        // The box's "No": it ends the dialog with IDNO.
        static_cast<void>(PostMessageA(window, WM_COMMAND, IDNO, 0));
    }
    return TRUE;
}

void CALLBACK AnswerQuestion(HWND, UINT, UINT_PTR timer, DWORD) {
    static_cast<void>(KillTimer(nullptr, timer));  // a one-shot timer
    static_cast<void>(EnumThreadWindows(GetCurrentThreadId(), &AnswerBox, 0));
}

void CloseAsAsked(SoakWindow& state) {
    if (state.kind == Kind::kQuestion) {
        state.asking = true;
        if (SetTimer(nullptr, 0, static_cast<UINT>(state.waitMs), &AnswerQuestion) == 0) {
            probe::Fail("SetTimer");
        }
        // Modal: its loop takes every message of the thread, a second WM_CLOSE included.
        if (MessageBoxA(state.window, "Save the changes?", "Soak question",
                        MB_YESNOCANCEL | MB_ICONQUESTION) == 0) {
            probe::Fail("MessageBoxA");
        }
        state.asking = false;
    }
    state.closed = true;
    static_cast<void>(DestroyWindow(state.window));  // ours: it cannot fail
}

LRESULT CALLBACK SoakWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* state =
            static_cast<SoakWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        state->createdMs = probe::NowMs();
        state->window = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    }
    SoakWindow* state = StateOf(window);
    if (state == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == WM_CLOSE) {
        if (state->closeRequests++ == 0) {
            state->firstCloseMs = probe::NowMs();
        }
        state->closesWhileAsking += state->kind == Kind::kQuestion ? 1 : 0;
        // A plain window asked to close is a false match: counted, and left to its life.
        const bool declines = state->kind == Kind::kPlain || state->asking ||
                              (state->kind == Kind::kDecline && state->closeRequests <= 2) ||
                              (state->kind == Kind::kMain &&
                               !std::all_of(state->others.begin(), state->others.end(),
                                            [](const auto& popup) { return popup->goneMs > 0.0; }));
        if (!declines) {
            try {
                CloseAsAsked(*state);
            } catch (const std::exception& error) {
                std::fprintf(stderr, "vt_soak: %s\n", error.what());
            }
        }
        return 0;
    }
    if (message == WM_NCDESTROY) {
        state->goneMs = probe::NowMs();
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

const probe::WindowClass* g_windowClass = nullptr;
constexpr long kMatchEvery = 5, kDeclineEvery = 4, kQuestionEvery = 10, kHangEvery = 100;
constexpr long kGroupEvery = 10;  // a burst at 2, a main window with pop-ups at 7
constexpr long kHangMs = 10000, kMissMs = 10000;

bool CreateSoakWindow(SoakWindow& state) {
    // Spread over the left of the screen: the tray menu rounds click the empty right.
    const int x = static_cast<int>(state.number * 37 % 460);
    const int y = static_cast<int>(state.number * 53 % 400);
    if (CreateWindowExA(0, g_windowClass->Name(), state.title.c_str(), WS_OVERLAPPEDWINDOW, x, y,
                        280, 140, nullptr, nullptr, GetModuleHandleA(nullptr), &state) == nullptr) {
        return false;
    }
    state.returnedMs = probe::NowMs();
    // Without activation: a window taking the foreground would close the tray menu.
    static_cast<void>(ShowWindow(state.window, SW_SHOWNOACTIVATE));  // answers: was it visible
    state.readyMs = probe::NowMs();
    return true;
}

// A matching window's thread: the window takes its messages at once, whatever the others do.
// A hung one takes none at all for its hang.
DWORD WINAPI WindowThread(void* parameter) {
    auto& state = *static_cast<SoakWindow*>(parameter);
    if (!CreateSoakWindow(state)) {
        state.failed = true;
        return 1;
    }
    if (state.kind == Kind::kHung) {
        Sleep(static_cast<DWORD>(state.waitMs));
        state.readyMs = probe::NowMs();
    }
    if (state.kind == Kind::kMain) {
        probe::PumpFor(static_cast<double>(state.waitMs));
    }
    // The others at once: one CreateWindowExA after another, no message taken between them.
    for (const auto& other : state.others) {
        if (!CreateSoakWindow(*other)) {
            state.failed = true;
            break;
        }
    }
    const double ready = probe::NowMs();
    for (const auto& other : state.others) {
        other->readyMs = ready;
    }
    state.readyMs = state.kind == Kind::kBurst ? ready : state.readyMs;
    const auto allGone = [&] {
        return state.goneMs > 0.0 &&
               std::all_of(state.others.begin(), state.others.end(),
                           [](const auto& other) { return other->goneMs > 0.0; });
    };
    const long allowedMs = kMissMs + (state.kind == Kind::kHung ? 0 : state.waitMs);
    if (!state.failed && !probe::PumpUntil(static_cast<double>(allowedMs), allGone)) {
        static_cast<void>(DestroyWindow(state.window));  // missed
        for (const auto& other : state.others) {
            static_cast<void>(DestroyWindow(other->window));  // missed, or never made
        }
    }
    return state.failed ? 1 : 0;
}

std::string MatchingTitle(long number) {
    std::string word = "VtProbe popup";  // as given, lower, upper or alternating case
    for (std::size_t i = 0; i < word.size() && number % 4 != 0; ++i) {
        const bool upper = number % 4 == 2 || (number % 4 == 3 && i % 2 == 1);
        const auto c = static_cast<unsigned char>(word[i]);
        word[i] = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
    }
    const std::string count = std::to_string(number);
    return number % 3 == 0   ? word + " " + count
           : number % 3 == 1 ? "Soak " + count + " - " + word
                             : "Notice " + count + ": " + word + " window";
}

// Plain titles, among them some that come near the keyword without holding it.
std::string PlainTitle(long number) {
    static constexpr const char* kPatterns[] = {"Soak plain window %ld", "Vt probe pop up %ld",
                                                "VtProbe pop %ld", "VtProbe_popup %ld",
                                                "Report %04ld.txt - Viewer"};
    char title[64] = {};
    std::snprintf(title, sizeof(title), kPatterns[number % std::size(kPatterns)], number);
    return title;
}

class Soak {
  public:
    explicit Soak(const probe::Args& args)
        : rate_(args.Number("--rate", 20)),
          seconds_(static_cast<double>(args.Number("--seconds", 600))),
          random_(static_cast<std::uint32_t>(
              args.Number("--seed", static_cast<long>(GetTickCount() & 0x7fffffff)))) {
        if (rate_ <= 0 || seconds_ <= 0) {
            throw std::runtime_error("bad arguments");
        }
    }
    Soak(const Soak&) = delete;
    Soak& operator=(const Soak&) = delete;
    // Only after a failure are threads left: they end within their time, and are waited for.
    ~Soak() {
        for (const auto& state : live_) {
            if (state->thread) {
                static_cast<void>(WaitForSingleObject(state->thread.get(), INFINITE));
            }
        }
    }

    int Run() {
        std::printf(
            "window,kind,created_s,returned_ms,ready_ms,close_requests,first_close_ms,"
            "closes_while_asking,gone_ms,result\n");
        origin_ = probe::NowMs();
        const double periodMs = 1000.0 / static_cast<double>(rate_);
        const double stopMs = origin_ + seconds_ * 1000.0;
        // Each opening at a random moment of its period: at every phase of the monitor's tick.
        std::uniform_real_distribution<double> phase(0.0, periodMs);
        long opened = 0;
        double due = origin_ + phase(random_);
        while (probe::NowMs() < stopMs || !live_.empty()) {
            for (double now = probe::NowMs(); due <= now && due < stopMs; now = probe::NowMs()) {
                maxLagMs_ = std::max(maxLagMs_, now - due);
                Open(opened++);
                due = origin_ + static_cast<double>(opened) * periodMs + phase(random_);
            }
            EndLives(probe::NowMs());
            probe::PumpFor(std::clamp(due - probe::NowMs(), 1.0, periodMs));
        }
        const double seconds = std::min(seconds_, (probe::NowMs() - origin_) / 1000.0);
        std::printf("# plain opened %ld asked_to_close %ld\n", plainOpened_, plainAsked_);
        std::printf(
            "# load rate %ld seconds %.1f opened %ld per_second %.2f max_lag_ms %.1f matching %ld "
            "missed %ld asked_again %ld\n",
            rate_, seconds, opened, static_cast<double>(opened) / seconds, maxLagMs_,
            matchingOpened_, missed_, askedAgain_);
        std::fflush(stdout);
        return missed_ > 0 || plainAsked_ > 0 || askedAgain_ > 0 ? 2 : 0;
    }

  private:
    void Open(long index) {
        auto state = std::make_unique<SoakWindow>();
        if (index % kMatchEvery != 0) {
            state->number = ++plainOpened_;
            state->title = PlainTitle(state->number);
            state->endMs = std::uniform_real_distribution<double>(200, 1500)(random_);
        } else {
            const long number = state->number = ++matchingOpened_;
            state->title = MatchingTitle(number);
            state->kind = number % kHangEvery == kHangEvery / 2           ? Kind::kHung
                          : number % kQuestionEvery == kQuestionEvery / 2 ? Kind::kQuestion
                          : number % kGroupEvery == 2                     ? Kind::kBurst
                          : number % kGroupEvery == 7                     ? Kind::kMain
                          : number % kDeclineEvery == 0                   ? Kind::kDecline
                                                                          : Kind::kClose;
            state->waitMs = state->kind == Kind::kHung ? kHangMs
                            : state->kind == Kind::kMain
                                ? std::uniform_int_distribution<long>(0, 300)(random_)
                            : state->kind == Kind::kQuestion
                                ? std::uniform_int_distribution<long>(1000, 4000)(random_)
                                : 0;
            const bool burst = state->kind == Kind::kBurst;
            for (int i = 2; i <= (burst || state->kind == Kind::kMain ? 3 : 1); ++i) {
                auto other = std::make_unique<SoakWindow>();
                other->kind = burst ? Kind::kBurst : Kind::kPopup;
                other->number = number;
                other->title = state->title + " #" + std::to_string(i);
                state->others.push_back(std::move(other));
            }
        }
        if (state->kind != Kind::kPlain) {
            // A window belongs to the thread that creates it.
            state->thread.reset(CreateThread(nullptr, 0, &WindowThread, state.get(), 0, nullptr));
            if (!state->thread) {
                probe::Fail("CreateThread");
            }
        } else if (!CreateSoakWindow(*state)) {
            probe::Fail("CreateWindowExA");
        } else {
            state->endMs += state->createdMs;
        }
        live_.push_back(std::move(state));
    }

    // Ends the plain windows whose life is over and the matching ones past their time, and
    // records the windows that are gone.
    void EndLives(double now) {
        for (auto it = live_.begin(); it != live_.end();) {
            SoakWindow& state = **it;
            if (state.thread && WaitForSingleObject(state.thread.get(), 0) != WAIT_OBJECT_0) {
                ++it;
                continue;
            }
            if (state.failed) {
                throw std::runtime_error("a window of its own thread could not be created");
            }
            if (!state.thread && state.goneMs == 0.0 && now >= state.endMs) {
                static_cast<void>(DestroyWindow(state.window));  // ours: it cannot fail
            }
            if (state.goneMs == 0.0) {
                ++it;
                continue;
            }
            if (state.kind == Kind::kPlain) {
                plainAsked_ += state.closeRequests > 0 ? 1 : 0;
            } else {
                Record(state);
                for (const auto& other : state.others) {
                    Record(*other);
                }
            }
            it = live_.erase(it);
        }
    }

    void Record(const SoakWindow& state) {
        missed_ += state.closed ? 0 : 1;
        askedAgain_ += state.closesWhileAsking > 1 ? 1 : 0;
        std::printf("%ld,%s,%.3f,%.1f,%.1f,%d,", state.number,
                    kKindNames[static_cast<int>(state.kind)], (state.createdMs - origin_) / 1000.0,
                    state.returnedMs - state.createdMs, state.readyMs - state.createdMs,
                    state.closeRequests);
        if (state.closeRequests > 0) {
            std::printf("%.1f", state.firstCloseMs - state.createdMs);
        }
        std::printf(",%d,%.1f,%s\n", state.closesWhileAsking, state.goneMs - state.createdMs,
                    state.closed ? "closed" : "missed");
        std::fflush(stdout);
    }

    long rate_;
    double seconds_;
    std::mt19937 random_;
    double origin_ = 0.0;
    double maxLagMs_ = 0.0;
    std::list<std::unique_ptr<SoakWindow>> live_;
    long plainOpened_ = 0, plainAsked_ = 0, matchingOpened_ = 0, missed_ = 0, askedAgain_ = 0;
};

// ---- A tray menu round

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
    // Vintrell still asks a new matching window to close.
    SoakWindow check;
    check.kind = Kind::kClose;
    check.title = "VtProbe popup round check";
    if (!CreateSoakWindow(check)) {
        probe::Fail("CreateWindowExA");
    }
    const bool asked = probe::PumpUntil(3000, [&] { return check.goneMs > 0.0; });
    std::printf(" monitoring %d check_close_ms %.0f\n", monitoring ? 1 : 0,
                asked ? check.firstCloseMs - check.createdMs : -1.0);
    if (!asked) {
        static_cast<void>(DestroyWindow(check.window));  // ours: it cannot fail
    }
    return monitoring && asked ? 0 : 1;
}

int Run(const probe::Args& args) {
    const probe::WindowClass windowClass("VtSoakWindow", &SoakWindowProc);
    g_windowClass = &windowClass;
    const std::string command = args.Word(0);
    if (command == "run") {
        Soak soak(args);
        return soak.Run();
    }
    if (command == "menu") {
        const int status = MenuRound(args);
        std::fflush(stdout);
        return status;
    }
    std::fprintf(stderr, "usage: vt_soak run [options] | menu [--stop] [--click-wait-ms MS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    return probe::RunProbe("vt_soak", argc, argv, Run);
}
