// The test windows, made on demand for the Windows tests, the end-to-end suite and the
// measurements. The first word picks the window; the suite reads the lines it writes.
//
//   close TITLE TIMEOUT_MS   closes at the first request: "closed_after_ms N" from just before
//                            its creation, or "not_closed" after TIMEOUT_MS (exit 1)
//   decline TITLE SECONDS    declines every request: "close N", N its ms; ends after SECONDS
//   hang TITLE SECONDS       answers briefly, then its thread takes no message ("hung") for
//                            SECONDS, or until --release is set; what came meanwhile is handled
//                            afterwards ("awake"), a request then closing it ("close")
//   ask TITLE SECONDS        a request opens a Yes/No/Cancel box titled like the window ("prompt
//                            N"; boxes nest, as each takes the next request); Yes or No closes,
//                            Cancel or closing the box keeps it ("answer N ID"); "closed" once
//                            a request closed it; --release answers No; exits kAskedExitBase +
//                            requests + kCancelledStep per question cancelled
//   burst TITLE COUNT TIMEOUT_MS  COUNT windows made one after the other before any message is
//                            taken; each closes at its first request: "closed I after_ms N
//                            after_burst_ms M drawn D", N from its CreateWindowExA's return, M
//                            from the last one's, D 1 when painted before; "not_closed I" for
//                            those open after TIMEOUT_MS, then "done"; exit 0 when all closed.
//                            --class C: of that class (Progman: the first is made the shell's
//                            window, "shell_window 1" when the system took it);
//                            --under-a-declining-one: below a third of their thread that
//                            declines every request
//   plain --count N          N windows of titles that match nothing, until ended; "ready N"
//   reaction ..., soak ...   the measurements' loads (reaction_load.cpp, soak_load.cpp)
// Every window but plain ones prints "created" once shown. Options of all: --hidden (the
// windows are not shown), --ready EVENT (a named event set once the windows are up).

#include "tests/targets/test_window.h"

#include "tests/targets/target_window.h"

#include <deque>

namespace vt::targets {
namespace {

// Each kind has its row at the left of the desktop, away from the centred Vintrell window and
// the taskbar, so that screenshots tell them apart.
enum class Row { ClosesAtOnce = 0, Hung = 1, Declines = 2, AsksToSave = 3 };

struct Handle {
    HANDLE value = nullptr;
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (value != nullptr) {
            static_cast<void>(CloseHandle(value));
        }
    }
};

// A named event given with --ready or --release; none without the option.
void OpenNamedEvent(const Args& args, std::string_view option, DWORD access, Handle& held) {
    const std::string name = args.Text(option);
    held.value = name.empty() ? nullptr : OpenEventA(access, FALSE, name.c_str());
}

class Program {
  public:
    explicit Program(const Args& args)
        : args_(args),
          title_(args.Word(1)),
          show_(args.Flag("--hidden") ? Show::Hidden : Show::AtCreation),
          start_(NowMs()) {
        OpenNamedEvent(args, "--ready", EVENT_MODIFY_STATE, ready_);
        OpenNamedEvent(args, "--release", SYNCHRONIZE, release_);
    }

    long long SinceStart() const { return static_cast<long long>(NowMs() - start_); }

    TargetWindow& Make(Row row, const std::string& title) {
        return Make(16, 16 + 124 * static_cast<int>(row), title);
    }

    TargetWindow& Make(int x, int y, const std::string& title,
                       const char* className = kWindowClass) {
        TargetWindow& made = windows_.emplace_back();
        if (!CreateTargetWindow(made, title, x, y, show_, className)) {
            Emit("error CreateWindowExA %lu", GetLastError());
            std::exit(3);
        }
        return made;
    }

    // "created", and the ready event set.
    void Up() {
        Emit("created");
        if (ready_.value != nullptr && !SetEvent(ready_.value)) {
            Emit("error SetEvent %lu", GetLastError());
            std::exit(3);
        }
    }

    bool Released() const {
        return release_.value != nullptr && WaitForSingleObject(release_.value, 0) == WAIT_OBJECT_0;
    }

    // Takes messages until the window has gone, or is released, or SECONDS have passed, when
    // it is destroyed.
    void LiveFor(TargetWindow& window, double seconds) {
        const bool gone =
            PumpUntil(seconds * 1000.0, [&] { return window.goneMs > 0 || Released(); });
        if (!gone && window.goneMs == 0.0) {
            static_cast<void>(DestroyWindow(window.handle));  // ours: it cannot fail
        }
    }

    int Close();
    int Decline();
    int Hang();
    int Ask();
    int Burst();

  private:
    const Args& args_;
    std::string title_;
    Show show_;
    double start_;
    Handle ready_;
    Handle release_;
    std::deque<TargetWindow> windows_;  // never moves what it holds: the procedure points there
};

int Program::Close() {
    TargetWindow& window = Make(Row::ClosesAtOnce, title_);
    window.onRequest = [&](TargetWindow&) { Emit("closed_after_ms %lld", SinceStart()); };
    Up();
    if (!PumpUntil(static_cast<double>(args_.Number(2, 5000)), [&] { return window.closed; })) {
        Emit("not_closed");
        return 1;
    }
    return 0;
}

int Program::Decline() {
    TargetWindow& window = Make(Row::Declines, title_);
    window.declines = kEveryRequest;
    window.onRequest = [&](TargetWindow&) { Emit("close %lld", SinceStart()); };
    Up();
    LiveFor(window, static_cast<double>(args_.Number(2, 10)));
    return 0;
}

int Program::Hang() {
    TargetWindow& window = Make(Row::Hung, title_);
    window.onRequest = [](TargetWindow&) { Emit("close"); };
    PumpFor(300);
    if (window.goneMs > 0) {
        Emit("closed_before_hang");
        return 0;
    }
    Emit("hung");
    Up();
    // From here the thread takes no message: every one sent to the window waits.
    const auto hang = static_cast<DWORD>(args_.Number(2, 10)) * 1000U;
    if (release_.value != nullptr) {
        static_cast<void>(WaitForSingleObject(release_.value, hang));  // either ends the hang
    } else {
        Sleep(hang);
    }
    Emit("awake");
    PumpFor(1000);
    return 0;
}

int Program::Ask() {
    TargetWindow& window = Make(Row::AsksToSave, title_);
    window.asks = true;
    const double end = start_ + static_cast<double>(args_.Number(2, 10)) * 1000.0;
    window.answerNo = [&] { return Released() || NowMs() >= end; };
    window.onRequest = [](TargetWindow& asked) { Emit("prompt %d", asked.prompts + 1); };
    window.onAnswer = [](TargetWindow&, int prompt, int answer) {
        Emit("answer %d %d", prompt, answer);
    };
    Up();
    LiveFor(window, (end - NowMs()) / 1000.0);
    if (window.closed) {
        Emit("closed");
    }
    return kAskedExitBase + window.closeRequests + kCancelledStep * window.cancelled;
}

// SetShellWindow is user32's, but no header declares it.
bool MakeShellWindow(HWND window) {
    using SetShellWindowProc = BOOL(WINAPI*)(HWND);
    const auto setShellWindow = reinterpret_cast<SetShellWindowProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetShellWindow")));
    return setShellWindow != nullptr && setShellWindow(window) != FALSE;
}

int Program::Burst() {
    const long count = args_.Number(2, 10);
    const std::string className = args_.Text("--class", kWindowClass);
    double burstMade = 0.0;
    std::vector<TargetWindow*> burst;
    for (long i = 0; i < count; ++i) {
        TargetWindow& window = Make(16 + 8 * static_cast<int>(i), 16 + 8 * static_cast<int>(i),
                                    title_, className.c_str());
        window.onRequest = [i, &burstMade](TargetWindow& asked) {
            Emit("closed %ld after_ms %lld after_burst_ms %lld drawn %d", i,
                 static_cast<long long>(NowMs() - asked.returnedMs),
                 static_cast<long long>(NowMs() - burstMade), asked.paintedMs > 0 ? 1 : 0);
        };
        burst.push_back(&window);
        if (className == "Progman" && i == 0) {
            Emit("shell_window %d", MakeShellWindow(window.handle) ? 1 : 0);
        }
    }
    if (args_.Flag("--under-a-declining-one")) {
        TargetWindow& top = Make(16, 16, title_, className.c_str());
        top.declines = kEveryRequest;
        if (!SetWindowPos(top.handle, HWND_TOP, 0, 0, 0, 0,
                          SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE)) {
            return 3;
        }
    }
    burstMade = NowMs();
    Up();
    const auto allClosed = [&] {
        return std::all_of(burst.begin(), burst.end(),
                           [](const TargetWindow* w) { return w->closed; });
    };
    const bool closed = PumpUntil(static_cast<double>(args_.Number(3, 5000)), allClosed);
    for (long i = 0; i < count; ++i) {
        if (!burst[static_cast<std::size_t>(i)]->closed) {
            Emit("not_closed %ld", i);
        }
    }
    Emit("done");
    return closed ? 0 : 1;
}

// Titles of everyday lengths, some longer than the 49 characters a sweep reads.
std::string PlainTitle(long index) {
    static constexpr const char* kPatterns[] = {
        "Quarterly report %04ld.txt - Text Editor",
        "Inbox (%ld unread) - Mail",
        "Untitled %ld",
        "Project plan %04ld - Spreadsheet - Review copy for the meeting on Monday",
        "Downloads %ld",
        "Build log %04ld - Terminal",
    };
    char title[128] = {};
    std::snprintf(title, sizeof(title), kPatterns[index % std::size(kPatterns)], index);
    return title;
}

int Plain(const Args& args) {
    const long count = args.Number("--count", 50);
    std::deque<TargetWindow> windows;
    for (long i = 0; i < count; ++i) {
        if (!CreateTargetWindow(windows.emplace_back(), PlainTitle(i),
                                static_cast<int>((i * 7) % 600), static_cast<int>((i * 5) % 400),
                                Show::AtCreation)) {
            Emit("error CreateWindowExA %lu", GetLastError());
            return 3;
        }
        PumpMessages();  // keeps the desktop responsive while it fills
    }
    Emit("ready %ld", count);
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
}

}  // namespace
}  // namespace vt::targets

int main(int argc, char** argv) {
    using namespace vt::targets;
    const Args args(argc, argv);
    const std::string mode = args.Word(0);
    if (mode == "plain") {
        return Plain(args);
    }
    if (mode == "reaction") {
        return RunReaction(args);
    }
    if (mode == "soak") {
        return RunSoak(args);
    }
    Program program(args);
    if (mode == "close" && argc >= 4) {
        return program.Close();
    }
    if (mode == "decline" && argc >= 4) {
        return program.Decline();
    }
    if (mode == "hang" && argc >= 4) {
        return program.Hang();
    }
    if (mode == "ask" && argc >= 4) {
        return program.Ask();
    }
    if (mode == "burst" && argc >= 5) {
        return program.Burst();
    }
    Emit(
        "usage: test_window close|decline|hang|ask TITLE TIME | burst TITLE COUNT TIMEOUT_MS | "
        "plain --count N | reaction ... | soak ...");
    return 2;
}
