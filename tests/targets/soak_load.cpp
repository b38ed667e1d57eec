// The soak's load, against a monitoring Vintrell.
//   test_window soak [--seconds 600] [--rate 20] [--seed S]
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

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <list>
#include <memory>
#include <random>
#include <stdexcept>

#include "tests/targets/target_window.h"
#include "tests/targets/test_window.h"

namespace vt::targets {
namespace {

enum class Kind { kPlain, kClose, kDecline, kQuestion, kHung, kBurst, kMain, kPopup };
constexpr const char* kKindNames[] = {"plain", "close", "decline", "question",
                                      "hung",  "burst", "main",    "popup"};

// One window's life. A matching window's is written by its own thread and read once that
// thread has ended.
struct SoakWindow {
    TargetWindow window;
    Kind kind = Kind::kPlain;
    long number = 0;
    double readyMs = 0.0;  // when its thread takes messages: once shown, or a hung one's release
    double endMs = 0.0;    // a plain window's end of life
    long waitMs = 0;       // a hung window's hang, a question's time open, a main's pop-ups' delay
    HANDLE thread = nullptr;                          // a matching window's own
    std::vector<std::unique_ptr<SoakWindow>> others;  // the windows its thread opens beside it
    std::string title;
    bool failed = false;

    SoakWindow() = default;
    SoakWindow(const SoakWindow&) = delete;
    SoakWindow& operator=(const SoakWindow&) = delete;
    ~SoakWindow() {
        if (thread != nullptr) {
            static_cast<void>(CloseHandle(thread));
        }
    }
};

constexpr long kMatchEvery = 5, kDeclineEvery = 4, kQuestionEvery = 10, kHangEvery = 100;
constexpr long kGroupEvery = 10;  // a burst at 2, a main window with pop-ups at 7
constexpr long kHangMs = 10000, kMissMs = 10000;

// What each kind does with a request: a plain window asked is a false match, counted and left
// to its life; a question's open box declines the requests that come meanwhile.
void Behave(SoakWindow& state) {
    TargetWindow& window = state.window;
    window.declines = state.kind == Kind::kPlain     ? kEveryRequest
                      : state.kind == Kind::kDecline ? 2
                                                     : 0;
    window.asks = state.kind == Kind::kQuestion;
    window.questionText = "Save the changes?";
    window.questionTitle = "Soak question";
    window.answerNo = [&window, wait = static_cast<double>(state.waitMs)] {
        return NowMs() >= window.firstCloseMs + wait;
    };
    window.holds = [&state] {
        return state.window.questionsOpen > 0 ||
               (state.kind == Kind::kMain &&
                !std::all_of(state.others.begin(), state.others.end(),
                             [](const auto& popup) { return popup->window.goneMs > 0.0; }));
    };
}

bool CreateSoakWindow(SoakWindow& state) {
    Behave(state);
    // Spread over the left of the screen: the tray menu rounds click the empty right.
    const int x = static_cast<int>(state.number * 37 % 460);
    const int y = static_cast<int>(state.number * 53 % 400);
    // Without activation: a window taking the foreground would close the tray menu.
    if (!CreateTargetWindow(state.window, state.title, x, y, Show::WithoutActivation)) {
        return false;
    }
    state.readyMs = NowMs();
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
        state.readyMs = NowMs();
    }
    if (state.kind == Kind::kMain) {
        PumpFor(static_cast<double>(state.waitMs));
    }
    // The others at once: one CreateWindowExA after another, no message taken between them.
    for (const auto& other : state.others) {
        if (!CreateSoakWindow(*other)) {
            state.failed = true;
            break;
        }
    }
    const double ready = NowMs();
    for (const auto& other : state.others) {
        other->readyMs = ready;
    }
    state.readyMs = state.kind == Kind::kBurst ? ready : state.readyMs;
    const auto allGone = [&] {
        return state.window.goneMs > 0.0 &&
               std::all_of(state.others.begin(), state.others.end(),
                           [](const auto& other) { return other->window.goneMs > 0.0; });
    };
    const long allowedMs = kMissMs + (state.kind == Kind::kHung ? 0 : state.waitMs);
    if (!state.failed && !PumpUntil(static_cast<double>(allowedMs), allGone)) {
        static_cast<void>(DestroyWindow(state.window.handle));  // missed
        for (const auto& other : state.others) {
            static_cast<void>(DestroyWindow(other->window.handle));  // missed, or never made
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
    explicit Soak(const Args& args)
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
            if (state->thread != nullptr) {
                static_cast<void>(WaitForSingleObject(state->thread, INFINITE));
            }
        }
    }

    int Run() {
        std::printf(
            "window,kind,created_s,returned_ms,ready_ms,close_requests,first_close_ms,"
            "closes_while_asking,gone_ms,result\n");
        origin_ = NowMs();
        const double periodMs = 1000.0 / static_cast<double>(rate_);
        const double stopMs = origin_ + seconds_ * 1000.0;
        // Each opening at a random moment of its period: at every phase of the monitor's tick.
        std::uniform_real_distribution<double> phase(0.0, periodMs);
        long opened = 0;
        double due = origin_ + phase(random_);
        while (NowMs() < stopMs || !live_.empty()) {
            for (double now = NowMs(); due <= now && due < stopMs; now = NowMs()) {
                maxLagMs_ = std::max(maxLagMs_, now - due);
                Open(opened++);
                due = origin_ + static_cast<double>(opened) * periodMs + phase(random_);
            }
            EndLives(NowMs());
            PumpFor(std::clamp(due - NowMs(), 1.0, periodMs));
        }
        const double seconds = std::min(seconds_, (NowMs() - origin_) / 1000.0);
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
            state->thread = CreateThread(nullptr, 0, &WindowThread, state.get(), 0, nullptr);
            if (state->thread == nullptr) {
                throw std::runtime_error("CreateThread failed");
            }
        } else if (!CreateSoakWindow(*state)) {
            throw std::runtime_error("CreateWindowExA failed");
        } else {
            state->endMs += state->window.createdMs;
        }
        live_.push_back(std::move(state));
    }

    // Ends the plain windows whose life is over and the matching ones past their time, and
    // records the windows that are gone.
    void EndLives(double now) {
        for (auto it = live_.begin(); it != live_.end();) {
            SoakWindow& state = **it;
            if (state.thread != nullptr && WaitForSingleObject(state.thread, 0) != WAIT_OBJECT_0) {
                ++it;
                continue;
            }
            if (state.failed) {
                throw std::runtime_error("a window of its own thread could not be created");
            }
            if (state.thread == nullptr && state.window.goneMs == 0.0 && now >= state.endMs) {
                static_cast<void>(DestroyWindow(state.window.handle));  // ours: it cannot fail
            }
            if (state.window.goneMs == 0.0) {
                ++it;
                continue;
            }
            if (state.kind == Kind::kPlain) {
                plainAsked_ += state.window.closeRequests > 0 ? 1 : 0;
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
        missed_ += state.window.closed ? 0 : 1;
        askedAgain_ += state.kind == Kind::kQuestion && state.window.closeRequests > 1 ? 1 : 0;
        std::printf("%ld,%s,%.3f,%.1f,%.1f,%d,", state.number,
                    kKindNames[static_cast<int>(state.kind)],
                    (state.window.createdMs - origin_) / 1000.0,
                    state.window.returnedMs - state.window.createdMs,
                    state.readyMs - state.window.createdMs, state.window.closeRequests);
        if (state.window.closeRequests > 0) {
            std::printf("%.1f", state.window.firstCloseMs - state.window.createdMs);
        }
        std::printf(",%d,%.1f,%s\n", state.kind == Kind::kQuestion ? state.window.closeRequests : 0,
                    state.window.goneMs - state.window.createdMs,
                    state.window.closed ? "closed" : "missed");
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

}  // namespace

int RunSoak(const Args& args) {
    try {
        Soak soak(args);
        return soak.Run();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "test_window: %s\n", error.what());
        return 1;
    }
}

}  // namespace vt::targets
