// Holds a load of windows against a monitoring Vintrell and counts what becomes of each.
//   vt_soak run [--seconds 600] [--rate 20] [--match-every 5] [--decline-every 4]
//               [--hang-every 100] [--hang-ms 10000] [--miss-ms 10000] [--plain-min-ms 200]
//               [--plain-max-ms 1500] [--keyword "VtProbe popup"] [--seed S]
// opens --rate windows a second for --seconds, shown without taking the foreground. One in
// --match-every has a title holding the keyword (in one of four cases, at the start, middle
// or end); the others have plain titles, some of them near the keyword, and the probe destroys
// them itself after a life of --plain-min-ms to --plain-max-ms. Of the matching windows, one
// in --hang-every lives on a thread of its own that handles no message for --hang-ms, then
// takes them up again; of the rest, one in --decline-every answers its first two WM_CLOSE by
// staying open and closes at the third, and the others close at the first. A matching window
// still open --miss-ms after its creation (after its release, for a hung one) is missed: the
// probe destroys it. Prints one CSV line per matching window, a "# hung" line per hung window
// (what Vintrell closed while it hung), and "# plain" and "# load" totals; exits with 2 when a
// matching window was missed, a plain one was asked to close, or a hung one was not survived.
//   vt_soak tray
// prints the notification area's rectangle and whether it is shown: "x y w h visible".
//   vt_soak wait menu|no-menu|monitoring|idle MS [--watch-click] [--post-callback]
// prints "polling", then waits up to MS for Vintrell's tray menu to be shown or gone, or for
// Vintrell to be monitoring (window hidden, icon present) or idle (window shown, no icon);
// prints "at UNIX_MS" (milliseconds since 1970, as `date +%s%3N`), and for a menu shown its
// rectangle, "screen x y w h"; exits with 1 when the time ran out. --watch-click adds
// "click_at UNIX_MS|none": when a low-level mouse hook saw the first right-button release,
// that is when the click entered Wine's input. --post-callback first posts Vintrell's window
// the icon's callback message for a right-button release, as the shell does, and prints
// "posted_at UNIX_MS": Vintrell's answer to the click without Wine's input in between.
//   vt_soak close-menu key|cancel MS
// lets Vintrell's tray menu go without the input queue: "key" posts the menu window Escape's
// WM_KEYDOWN and WM_KEYUP, "cancel" posts Vintrell's window WM_CANCELMODE; then waits up to MS
// for the menu to be gone and prints "sent_at UNIX_MS at UNIX_MS" (exit 1: still shown).
//   vt_soak closes MS
// opens a window whose title holds the keyword (--keyword) and prints "close_ms N" when
// Vintrell asks it to close within MS, "close_ms none" and exits with 1 otherwise.
//   vt_soak state
// Vintrell's window, icon and menu, whose window is in the foreground, and where the system
// has Vintrell's thread's input (active, focus and capture windows, menu mode) and the
// foreground thread's.
//   vt_soak gdi
// Vintrell's GDI objects, by type, from the GDI handle table of its bitness.

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <list>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "process_objects.h"

namespace {

constexpr UINT kTrayIconId = 0;
constexpr UINT kTrayCallbackMessage = 2025;  // the icon's, as Vintrell registers it
constexpr double kPollMs = 5.0;
constexpr double kDrainPollMs = 20.0;

const probe::Clock& TheClock() {
    static const probe::Clock clock;
    return clock;
}

// ---- The load

enum class Kind { kPlain, kClose, kDecline, kHung };

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::kPlain:
            return "plain";
        case Kind::kClose:
            return "close";
        case Kind::kDecline:
            return "decline";
        case Kind::kHung:
            return "hung";
    }
    return "?";
}

// One window's life. A hung window's is written by its own thread and read by the main thread
// once that thread has ended.
struct SoakWindow {
    Kind kind = Kind::kPlain;
    long number = 0;         // among the matching windows, or among the plain ones
    double createdMs = 0.0;  // at WM_NCCREATE
    double endMs = 0.0;      // a plain window's end of life, a matching one's deadline
    double firstCloseMs = 0.0;
    double closingMs = 0.0;  // the WM_CLOSE the window went away for
    double goneMs = 0.0;     // at WM_NCDESTROY
    int closeRequests = 0;
    bool closedByRequest = false;
    bool destroyedByProbe = false;
    HWND window = nullptr;
};

SoakWindow* StateOf(HWND window) {
    return reinterpret_cast<SoakWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT OnClose(HWND window, SoakWindow& state) {
    const double now = TheClock().NowMs();
    if (state.closeRequests++ == 0) {
        state.firstCloseMs = now;
    }
    // A plain window asked to close is a false match: counted, and left to its life's end.
    if (state.kind == Kind::kPlain || (state.kind == Kind::kDecline && state.closeRequests <= 2)) {
        return 0;
    }
    state.closingMs = now;
    state.closedByRequest = true;
    DestroyWindow(window);
    return 0;
}

LRESULT CALLBACK SoakWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_NCCREATE: {
            auto* state =
                static_cast<SoakWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
            state->createdMs = TheClock().NowMs();
            SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
            break;
        }
        case WM_CLOSE:
            if (SoakWindow* state = StateOf(window)) {
                return OnClose(window, *state);
            }
            return 0;
        case WM_NCDESTROY:
            if (SoakWindow* state = StateOf(window)) {
                state->goneMs = TheClock().NowMs();
                SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            }
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

struct Settings {
    double seconds = 600.0;
    long rate = 20;
    long matchEvery = 5;
    long declineEvery = 4;
    long hangEvery = 100;
    long hangMs = 10000;
    long missMs = 10000;
    long plainMinMs = 200;
    long plainMaxMs = 1500;
    std::string keyword;
};

// The keyword as a title holds it: as given, lower case, upper case, or in alternating case.
std::string KeywordCase(const std::string& keyword, long variant) {
    std::string text = keyword;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool upper = variant == 2 || (variant == 3 && i % 2 == 1);
        if (variant >= 1) {
            text[i] = static_cast<char>(upper ? std::toupper(c) : std::tolower(c));
        }
    }
    return text;
}

std::string MatchingTitle(const std::string& keyword, long number) {
    const std::string word = KeywordCase(keyword, number % 4);
    const std::string count = std::to_string(number);
    switch (number % 3) {
        case 0:
            return word + " " + count;
        case 1:
            return "Soak " + count + " - " + word;
        default:
            return "Notice " + count + ": " + word + " window";
    }
}

// Plain titles, among them some that come near the default keyword without holding it.
std::string PlainTitle(long number) {
    static constexpr const char* kPatterns[] = {
        "Soak plain window %ld", "Vt probe pop up %ld",       "VtProbe pop %ld",
        "VtProbe_popup %ld",     "Report %04ld.txt - Viewer",
    };
    constexpr long kCount = static_cast<long>(sizeof(kPatterns) / sizeof(kPatterns[0]));
    char title[64] = {};
    std::snprintf(title, sizeof(title), kPatterns[number % kCount], number);
    return title;
}

HWND CreateSoakWindow(const char* windowClass, const std::string& title, int x, int y,
                      SoakWindow& state) {
    HWND window = CreateWindowExA(0, windowClass, title.c_str(), WS_OVERLAPPEDWINDOW, x, y, 280,
                                  140, nullptr, nullptr, GetModuleHandleA(nullptr), &state);
    if (window != nullptr) {
        // Shown without activation: a window taking the foreground would close the tray menu.
        ShowWindow(window, SW_SHOWNOACTIVATE);
    }
    state.window = window;
    return window;
}

// A matching window on a thread of its own, which stops handling messages for a while.
struct HungWindow {
    SoakWindow state;
    std::string title;
    const char* windowClass = nullptr;
    int x = 0;
    int y = 0;
    DWORD hangMs = 0;
    DWORD missMs = 0;
    double hangStartMs = 0.0;
    double releasedMs = 0.0;
    bool failed = false;
    HANDLE release = nullptr;  // set to end the hang early, when the probe stops
    HANDLE thread = nullptr;
    bool collected = false;
};

DWORD WINAPI HungThread(void* parameter) {
    auto& hung = *static_cast<HungWindow*>(parameter);
    if (CreateSoakWindow(hung.windowClass, hung.title, hung.x, hung.y, hung.state) == nullptr) {
        hung.failed = true;
        return 1;
    }
    hung.hangStartMs = TheClock().NowMs();
    // Neither the queue nor sent messages are looked at meanwhile: the window is hung.
    static_cast<void>(WaitForSingleObject(hung.release, hung.hangMs));
    hung.releasedMs = TheClock().NowMs();
    const bool gone =
        probe::PumpUntil(TheClock(), hung.missMs, [&] { return hung.state.goneMs > 0.0; });
    if (!gone) {
        hung.state.destroyedByProbe = true;
        DestroyWindow(hung.state.window);
    }
    return 0;
}

// What a matching window's CSV line and the hung windows' accounts need.
struct MatchRecord {
    Kind kind = Kind::kClose;
    long number = 0;
    double createdMs = 0.0;
    double firstCloseMs = 0.0;
    double closingMs = 0.0;
    double goneMs = 0.0;
    int closeRequests = 0;
    bool closed = false;
};

class Soak {
  public:
    explicit Soak(Settings settings)
        : settings_(std::move(settings)), windowClass_("VtSoakWindow", &SoakWindowProc) {}
    Soak(const Soak&) = delete;
    Soak& operator=(const Soak&) = delete;
    // Only after a failure is anything left: the hung threads are let go, the windows ended.
    ~Soak() {
        for (auto& hung : hung_) {
            if (hung->thread != nullptr) {
                SetEvent(hung->release);
                static_cast<void>(WaitForSingleObject(hung->thread, 2 * hung->missMs));
                CloseHandle(hung->thread);
            }
            CloseHandle(hung->release);
        }
        for (auto& state : live_) {
            if (state->goneMs == 0.0) {
                DestroyWindow(state->window);
            }
        }
    }

    int Run(std::uint32_t seed) {
        random_.seed(seed);
        std::printf("# seed %" PRIu32 "\n", seed);
        std::printf(
            "# settings rate %ld match_every %ld decline_every %ld hang_every %ld hang_ms %ld "
            "miss_ms %ld plain_min_ms %ld plain_max_ms %ld\n",
            settings_.rate, settings_.matchEvery, settings_.declineEvery, settings_.hangEvery,
            settings_.hangMs, settings_.missMs, settings_.plainMinMs, settings_.plainMaxMs);
        std::printf("window,kind,created_s,close_requests,first_close_ms,gone_ms,result\n");
        std::fflush(stdout);
        const probe::Clock& clock = TheClock();
        origin_ = clock.NowMs();
        const double periodMs = 1000.0 / static_cast<double>(settings_.rate);
        const double stopOpeningMs = origin_ + settings_.seconds * 1000.0;
        // Each opening at a random moment of its period, so that openings fall at every phase
        // of the monitor's tick.
        std::uniform_real_distribution<double> phase(0.0, periodMs);
        long opened = 0;
        double due = origin_ + phase(random_);
        for (;;) {
            double now = clock.NowMs();
            while (due <= now && due < stopOpeningMs) {
                maxLagMs_ = std::max(maxLagMs_, now - due);
                Open(opened++);
                due = origin_ + static_cast<double>(opened) * periodMs + phase(random_);
                now = clock.NowMs();
            }
            EndLives(now);
            CollectHung();
            if (now >= stopOpeningMs && live_.empty() && HungLeft() == 0) {
                break;
            }
            // Woken by any message; else at the next opening, or now and then while the last
            // windows go.
            probe::PumpFor(clock, now < stopOpeningMs
                                      ? std::clamp(due - clock.NowMs(), 1.0, periodMs)
                                      : kDrainPollMs);
        }
        const double seconds = (clock.NowMs() - origin_) / 1000.0;
        return Report(opened, std::min(seconds, settings_.seconds));
    }

  private:
    void Open(long index) {
        std::uniform_int_distribution<int> x(0, 460);
        std::uniform_int_distribution<int> y(0, 400);
        if (index % settings_.matchEvery != 0) {
            auto state = std::make_unique<SoakWindow>();
            state->kind = Kind::kPlain;
            state->number = ++plainOpened_;
            std::uniform_int_distribution<long> life(settings_.plainMinMs, settings_.plainMaxMs);
            const std::string title = PlainTitle(state->number);
            if (CreateSoakWindow(windowClass_.Name(), title, x(random_), y(random_), *state) ==
                nullptr) {
                probe::Fail("CreateWindowExA");
            }
            state->endMs = state->createdMs + static_cast<double>(life(random_));
            live_.push_back(std::move(state));
            return;
        }
        const long number = ++matchingOpened_;
        const std::string title = MatchingTitle(settings_.keyword, number);
        // The first hung window comes half a period in, not at the start.
        if (number % settings_.hangEvery == settings_.hangEvery / 2) {
            OpenHung(number, title, x(random_), y(random_));
            return;
        }
        auto state = std::make_unique<SoakWindow>();
        state->kind = number % settings_.declineEvery == 0 ? Kind::kDecline : Kind::kClose;
        state->number = number;
        if (CreateSoakWindow(windowClass_.Name(), title, x(random_), y(random_), *state) ==
            nullptr) {
            probe::Fail("CreateWindowExA");
        }
        state->endMs = state->createdMs + static_cast<double>(settings_.missMs);
        live_.push_back(std::move(state));
    }

    void OpenHung(long number, const std::string& title, int x, int y) {
        auto hung = std::make_unique<HungWindow>();
        hung->state.kind = Kind::kHung;
        hung->state.number = number;
        hung->title = title;
        hung->windowClass = windowClass_.Name();
        hung->x = x;
        hung->y = y;
        hung->hangMs = static_cast<DWORD>(settings_.hangMs);
        hung->missMs = static_cast<DWORD>(settings_.missMs);
        hung->release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (hung->release == nullptr) {
            probe::Fail("CreateEventA");
        }
        hung->thread = CreateThread(nullptr, 0, &HungThread, hung.get(), 0, nullptr);
        if (hung->thread == nullptr) {
            probe::Fail("CreateThread");
        }
        hung_.push_back(std::move(hung));
    }

    // Ends the plain windows whose life is over and the matching ones past their deadline, and
    // records the windows that are gone.
    void EndLives(double now) {
        for (auto it = live_.begin(); it != live_.end();) {
            SoakWindow& state = **it;
            if (state.goneMs == 0.0 && now >= state.endMs) {
                state.destroyedByProbe = true;
                DestroyWindow(state.window);
            }
            if (state.goneMs == 0.0) {
                ++it;
                continue;
            }
            if (state.kind == Kind::kPlain) {
                plainEnded_ += state.destroyedByProbe ? 1 : 0;
                plainCloseRequests_ += state.closeRequests;
                plainAsked_ += state.closeRequests > 0 ? 1 : 0;
            } else {
                Record(state);
            }
            it = live_.erase(it);
        }
    }

    void CollectHung() {
        for (auto& hung : hung_) {
            if (hung->collected || WaitForSingleObject(hung->thread, 0) != WAIT_OBJECT_0) {
                continue;
            }
            hung->collected = true;
            if (hung->failed) {
                throw std::runtime_error("a hung window could not be created");
            }
            Record(hung->state);
        }
    }

    long HungLeft() const {
        return static_cast<long>(std::count_if(hung_.begin(), hung_.end(),
                                               [](const auto& hung) { return !hung->collected; }));
    }

    void Record(const SoakWindow& state) {
        MatchRecord record;
        record.kind = state.kind;
        record.number = state.number;
        record.createdMs = state.createdMs;
        record.firstCloseMs = state.firstCloseMs;
        record.closingMs = state.closingMs;
        record.goneMs = state.goneMs;
        record.closeRequests = state.closeRequests;
        record.closed = state.closedByRequest && !state.destroyedByProbe;
        records_.push_back(record);
        std::printf("%ld,%s,%.3f,%d,", record.number, KindName(record.kind),
                    (record.createdMs - origin_) / 1000.0, record.closeRequests);
        if (record.closeRequests > 0) {
            std::printf("%.1f", record.firstCloseMs - record.createdMs);
        }
        std::printf(",%.1f,%s\n", record.goneMs - record.createdMs,
                    record.closed ? "closed" : "missed");
        std::fflush(stdout);
    }

    // A hung window is survived when, while it hung, Vintrell closed other matching windows
    // and missed none of those opened meanwhile. Whether it closed the hung one itself once
    // released is its own line's result.
    bool ReportHung(const HungWindow& hung) const {
        long othersClosed = 0;
        long othersMissed = 0;
        double othersMaxMs = 0.0;
        for (const MatchRecord& record : records_) {
            if (record.kind == Kind::kHung) {
                continue;
            }
            if (record.closed && record.closingMs >= hung.hangStartMs &&
                record.closingMs <= hung.releasedMs) {
                ++othersClosed;
            }
            if (record.createdMs >= hung.hangStartMs && record.createdMs <= hung.releasedMs) {
                othersMissed += record.closed ? 0 : 1;
                if (record.closeRequests > 0) {
                    othersMaxMs = std::max(othersMaxMs, record.firstCloseMs - record.createdMs);
                }
            }
        }
        const SoakWindow& state = hung.state;
        const bool closed = state.closedByRequest && !state.destroyedByProbe;
        const bool survived = othersClosed > 0 && othersMissed == 0;
        std::printf(
            "# hung window %ld created_s %.3f hang_ms %.0f others_closed %ld others_missed %ld "
            "others_max_first_close_ms %.1f closed_after_release_ms ",
            state.number, (state.createdMs - origin_) / 1000.0, hung.releasedMs - hung.hangStartMs,
            othersClosed, othersMissed, othersMaxMs);
        if (closed) {
            std::printf("%.1f", state.closingMs - hung.releasedMs);
        } else {
            std::printf("none");
        }
        std::printf(" survived %d\n", survived ? 1 : 0);
        return survived;
    }

    int Report(long opened, double seconds) {
        long missed = 0;
        for (const MatchRecord& record : records_) {
            missed += record.closed ? 0 : 1;
        }
        long notSurvived = 0;
        for (const auto& hung : hung_) {
            notSurvived += ReportHung(*hung) ? 0 : 1;
        }
        std::printf("# plain opened %ld ended_by_probe %ld asked_to_close %ld close_requests %ld\n",
                    plainOpened_, plainEnded_, plainAsked_, plainCloseRequests_);
        std::printf(
            "# load seconds %.1f opened %ld per_second %.2f max_lag_ms %.1f matching %ld "
            "missed %ld hung %zu hung_not_survived %ld\n",
            seconds, opened, static_cast<double>(opened) / seconds, maxLagMs_, matchingOpened_,
            missed, hung_.size(), notSurvived);
        std::fflush(stdout);
        if (static_cast<long>(records_.size()) != matchingOpened_) {
            throw std::runtime_error("matching windows opened and accounted for differ");
        }
        if (missed > 0 || plainAsked_ > 0 || notSurvived > 0) {
            std::fprintf(stderr,
                         "vt_soak: %ld of %ld matching windows missed, %ld plain windows asked to "
                         "close, %ld hung windows not survived\n",
                         missed, matchingOpened_, plainAsked_, notSurvived);
            return 2;
        }
        return 0;
    }

    Settings settings_;
    probe::WindowClass windowClass_;
    std::mt19937 random_;
    double origin_ = 0.0;
    double maxLagMs_ = 0.0;
    std::list<std::unique_ptr<SoakWindow>> live_;
    std::vector<std::unique_ptr<HungWindow>> hung_;
    std::vector<MatchRecord> records_;
    long plainOpened_ = 0;
    long plainEnded_ = 0;
    long plainAsked_ = 0;
    long plainCloseRequests_ = 0;
    long matchingOpened_ = 0;
};

int RunLoad(const probe::Args& args) {
    Settings settings;
    settings.seconds = static_cast<double>(args.Number("--seconds", 600));
    settings.rate = args.Number("--rate", 20);
    settings.matchEvery = args.Number("--match-every", 5);
    settings.declineEvery = args.Number("--decline-every", 4);
    settings.hangEvery = args.Number("--hang-every", 100);
    settings.hangMs = args.Number("--hang-ms", 10000);
    settings.missMs = args.Number("--miss-ms", 10000);
    settings.plainMinMs = args.Number("--plain-min-ms", 200);
    settings.plainMaxMs = args.Number("--plain-max-ms", 1500);
    settings.keyword = args.Text("--keyword", "VtProbe popup");
    if (settings.seconds <= 0 || settings.rate <= 0 || settings.matchEvery <= 0 ||
        settings.declineEvery <= 0 || settings.hangEvery <= 0 || settings.hangMs < 0 ||
        settings.missMs <= 0 || settings.plainMinMs < 0 ||
        settings.plainMaxMs < settings.plainMinMs || settings.keyword.empty()) {
        throw std::runtime_error("bad arguments");
    }
    const auto seed = static_cast<std::uint32_t>(
        args.Number("--seed", static_cast<long>(GetTickCount() & 0x7fffffff)));
    Soak soak(std::move(settings));
    return soak.Run(seed);
}

// ---- Vintrell's state, as the soak's script checks it

std::string ClassOf(HWND window) {
    char name[64] = {};
    const int length = GetClassNameA(window, name, static_cast<int>(sizeof(name)));
    return std::string(name, static_cast<std::size_t>(length > 0 ? length : 0));
}

std::string RectText(HWND window) {
    RECT rect{};
    static_cast<void>(GetWindowRect(window, &rect));
    return std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
           std::to_string(rect.right - rect.left) + " " + std::to_string(rect.bottom - rect.top);
}

// A pop-up menu shown by the process.
HWND MenuOf(DWORD processId) {
    for (HWND window : probe::TopLevelWindows()) {
        if (ClassOf(window) == "#32768" && IsWindowVisible(window) &&
            probe::WindowProcessId(window) == processId) {
            return window;
        }
    }
    return nullptr;
}

// Milliseconds since 1970, as the script's `date +%s%3N`.
double UnixMs() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const auto ticks =
        (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    constexpr unsigned long long kEpochTicks = 116444736000000000ULL;  // 1601 to 1970
    return static_cast<double>(ticks - kEpochTicks) / 10000.0;
}

// The first right-button release a low-level hook of this process saw, as UnixMs.
double g_rightUpAtMs = 0.0;

LRESULT CALLBACK RightUpHook(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code == HC_ACTION && wParam == WM_RBUTTONUP && g_rightUpAtMs == 0.0) {
        g_rightUpAtMs = UnixMs();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Handles messages (a low-level hook's calls among them) while `done` is polled.
template <typename Done>
bool PollUntil(double timeoutMs, Done&& done) {
    const probe::Clock& clock = TheClock();
    const double end = clock.NowMs() + timeoutMs;
    bool reached = done();
    while (!reached && clock.NowMs() < end) {
        static_cast<void>(MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(kPollMs),
                                                      QS_ALLINPUT, MWMO_INPUTAVAILABLE));
        static_cast<void>(probe::PumpMessages());
        reached = done();
    }
    return reached;
}

HWND VintrellWindow() {
    HWND main = probe::FindVintrellWindow(nullptr);
    if (main == nullptr) {
        throw std::runtime_error("no Vintrell window");
    }
    return main;
}

int Wait(const probe::Args& args) {
    const std::string state = args.Word(1);
    const double timeoutMs = std::stod(args.Word(2).empty() ? "5000" : args.Word(2));
    HWND main = VintrellWindow();
    const DWORD processId = probe::WindowProcessId(main);
    const auto reached = [&]() -> bool {
        if (state == "menu") {
            return MenuOf(processId) != nullptr;
        }
        if (state == "no-menu") {
            return MenuOf(processId) == nullptr;
        }
        const bool icon = probe::TrayIconPresent(main, kTrayIconId);
        if (state == "monitoring") {
            return !IsWindowVisible(main) && icon;
        }
        if (state == "idle") {
            return IsWindowVisible(main) && !icon;
        }
        throw std::runtime_error("usage: vt_soak wait menu|no-menu|monitoring|idle MS");
    };
    const bool watchClick = args.Flag("--watch-click");
    HHOOK hook = nullptr;
    if (watchClick) {
        hook = SetWindowsHookExA(WH_MOUSE_LL, &RightUpHook, GetModuleHandleA(nullptr), 0);
        if (hook == nullptr) {
            probe::Fail("SetWindowsHookExA");
        }
    }
    std::printf("polling\n");
    std::fflush(stdout);
    if (args.Flag("--post-callback")) {
        std::printf("posted_at %.0f\n", UnixMs());
        if (!PostMessageA(main, kTrayCallbackMessage, kTrayIconId, WM_RBUTTONUP)) {
            probe::Fail("PostMessageA");
        }
    }
    const bool done = PollUntil(timeoutMs, reached);
    std::printf("at %.0f", UnixMs());
    if (HWND menu = MenuOf(processId); state == "menu" && menu != nullptr) {
        std::printf(" screen %s", RectText(menu).c_str());
    }
    if (watchClick) {
        // A click still on its way now is not waited for.
        static_cast<void>(UnhookWindowsHookEx(hook));
        if (g_rightUpAtMs > 0.0) {
            std::printf(" click_at %.0f", g_rightUpAtMs);
        } else {
            std::printf(" click_at none");
        }
    }
    std::printf("\n");
    std::fflush(stdout);
    return done ? 0 : 1;
}

int CloseMenu(const probe::Args& args) {
    const std::string way = args.Word(1);
    const double timeoutMs = std::stod(args.Word(2).empty() ? "2000" : args.Word(2));
    HWND main = VintrellWindow();
    const DWORD processId = probe::WindowProcessId(main);
    HWND menu = MenuOf(processId);
    const double sentAt = UnixMs();
    if (menu != nullptr) {
        if (way == "key") {
            // The menu's loop takes every message of its thread and reads Escape from the
            // posted ones as from typed ones.
            static_cast<void>(PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0x00010001));
            static_cast<void>(PostMessageA(menu, WM_KEYUP, VK_ESCAPE, 0xC0010001));
        } else if (way == "cancel") {
            static_cast<void>(PostMessageA(main, WM_CANCELMODE, 0, 0));
        } else {
            throw std::runtime_error("usage: vt_soak close-menu key|cancel MS");
        }
    }
    const bool gone = PollUntil(timeoutMs, [&] { return MenuOf(processId) == nullptr; });
    std::printf("sent_at %.0f at %.0f\n", sentAt, UnixMs());
    std::fflush(stdout);
    return gone ? 0 : 1;
}

// Whether Vintrell still asks a matching window to close: one of this process's, outside the
// load's count.
double g_closeAskedMs = 0.0;

LRESULT CALLBACK CheckWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_CLOSE) {
        if (g_closeAskedMs == 0.0) {
            g_closeAskedMs = TheClock().NowMs();
        }
        DestroyWindow(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int Closes(const probe::Args& args) {
    const double timeoutMs = std::stod(args.Word(1).empty() ? "3000" : args.Word(1));
    const std::string title = args.Text("--keyword", "VtProbe popup") + " round check";
    const probe::WindowClass windowClass("VtSoakCheckWindow", &CheckWindowProc);
    const double openedMs = TheClock().NowMs();
    HWND window =
        CreateWindowExA(0, windowClass.Name(), title.c_str(), WS_OVERLAPPEDWINDOW, 600, 420, 200,
                        100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) {
        probe::Fail("CreateWindowExA");
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    const bool asked = PollUntil(timeoutMs, [] { return g_closeAskedMs > 0.0; });
    if (IsWindow(window)) {
        DestroyWindow(window);
    }
    if (asked) {
        std::printf("close_ms %.0f\n", g_closeAskedMs - openedMs);
    } else {
        std::printf("close_ms none\n");
    }
    std::fflush(stdout);
    return asked ? 0 : 1;
}

const char* Owner(HWND window, DWORD vintrell) {
    if (window == nullptr) {
        return "none";
    }
    const DWORD owner = probe::WindowProcessId(window);
    return owner == vintrell ? "vintrell" : owner == GetCurrentProcessId() ? "probe" : "other";
}

// A window as "owner:class", or "none".
std::string Describe(HWND window, DWORD vintrell) {
    return window == nullptr ? std::string("none")
                             : std::string(Owner(window, vintrell)) + ":" + ClassOf(window);
}

// What the script notes when the menu did not show, and before it lets the menu go: where the
// system sends typed keys (the foreground thread's focus) and where Vintrell's thread stands.
int State() {
    HWND main = VintrellWindow();
    const DWORD processId = probe::WindowProcessId(main);
    int anyMenu = 0;
    for (HWND window : probe::TopLevelWindows()) {
        anyMenu += ClassOf(window) == "#32768" && IsWindowVisible(window) ? 1 : 0;
    }
    HWND foreground = GetForegroundWindow();
    std::printf("window_visible %d icon %d menu %d any_menu %d foreground %s",
                IsWindowVisible(main) ? 1 : 0, probe::TrayIconPresent(main, kTrayIconId) ? 1 : 0,
                MenuOf(processId) != nullptr ? 1 : 0, anyMenu, Owner(foreground, processId));
    std::printf(" foreground_window %s", Describe(foreground, processId).c_str());
    GUITHREADINFO mine{};
    mine.cbSize = sizeof(mine);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &mine)) {
        std::printf(" vt_active %s vt_focus %s vt_capture %s vt_menu_owner %s vt_in_menu %d",
                    Describe(mine.hwndActive, processId).c_str(),
                    Describe(mine.hwndFocus, processId).c_str(),
                    Describe(mine.hwndCapture, processId).c_str(),
                    Describe(mine.hwndMenuOwner, processId).c_str(),
                    (mine.flags & GUI_INMENUMODE) != 0 ? 1 : 0);
    }
    GUITHREADINFO front{};
    front.cbSize = sizeof(front);
    if (GetGUIThreadInfo(0, &front)) {
        std::printf(" fg_focus %s fg_active %s", Describe(front.hwndFocus, processId).c_str(),
                    Describe(front.hwndActive, processId).c_str());
    }
    std::printf("\n");
    std::fflush(stdout);
    return 0;
}

// Vintrell's GDI objects, from the GDI handle table its PEB points to. The table's entries
// are laid out alike in 32- and 64-bit processes; the PEB's field is not at the same place.
int Gdi() {
    HWND main = probe::FindVintrellWindow(nullptr);
    if (main == nullptr) {
        throw std::runtime_error("no Vintrell window");
    }
    const DWORD processId = probe::WindowProcessId(main);
    const probe::UniqueHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) {
        probe::Fail("OpenProcess");
    }
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (NtQueryInformationProcess(process.get(), ProcessBasicInformation, &basic, sizeof(basic),
                                  &length) != 0 ||
        basic.PebBaseAddress == nullptr) {
        throw std::runtime_error("no PEB");
    }
    constexpr std::uintptr_t kTableField = sizeof(void*) == 8 ? 0xf8 : 0x94;
    std::uintptr_t table = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(
            process.get(),
            reinterpret_cast<const std::uint8_t*>(basic.PebBaseAddress) + kTableField, &table,
            sizeof(table), &read) ||
        table == 0) {
        throw std::runtime_error("no GDI handle table");
    }
    std::vector<probe::GdiHandleEntry> entries(probe::kGdiHandleCount);
    if (!ReadProcessMemory(process.get(), reinterpret_cast<const void*>(table), entries.data(),
                           entries.size() * sizeof(probe::GdiHandleEntry), &read)) {
        probe::Fail("ReadProcessMemory");
    }
    probe::GdiCounts counts;
    for (const probe::GdiHandleEntry& entry : entries) {
        if (entry.type != 0 && (entry.unique & 0x80) == 0) {
            ++counts.total;
            ++counts.byType[entry.type];
        }
    }
    std::printf("%s\n", probe::DescribeGdiCounts(counts).c_str());
    std::fflush(stdout);
    return 0;
}

int Tray() {
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    if (tray == nullptr) {
        throw std::runtime_error("no taskbar");
    }
    std::printf("%s %d\n", RectText(tray).c_str(), IsWindowVisible(tray) ? 1 : 0);
    std::fflush(stdout);
    return 0;
}

int Run(const probe::Args& args) {
    const std::string command = args.Word(0);
    if (command == "run") {
        return RunLoad(args);
    }
    if (command == "wait") {
        return Wait(args);
    }
    if (command == "tray") {
        return Tray();
    }
    if (command == "close-menu") {
        return CloseMenu(args);
    }
    if (command == "closes") {
        return Closes(args);
    }
    if (command == "state") {
        return State();
    }
    if (command == "gdi") {
        return Gdi();
    }
    std::fprintf(stderr,
                 "usage: vt_soak run [options] | tray | state | gdi | closes MS | "
                 "close-menu key|cancel MS | wait menu|no-menu|monitoring|idle MS "
                 "[--watch-click] [--post-callback]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    return probe::RunProbe("vt_soak", argc, argv, Run);
}
