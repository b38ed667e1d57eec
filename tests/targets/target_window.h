#pragma once

// The test windows of the Windows tests, the end-to-end suite and the measurements: one window
// procedure for all of them, told by each window's record what to do with a close request
// (close, decline, ask first) and writing there what happened, on the machine's shared clock.

#include <windows.h>

#include <functional>
#include <string>

namespace vt::targets {

inline constexpr const char* kWindowClass = "VintrellTestWindow";
inline constexpr int kEveryRequest = -1;  // `declines`: the window never closes when asked
// The exit status of an asking window's process: this, plus the requests it received, plus
// kCancelledStep for each question cancelled (its box closed).
inline constexpr int kAskedExitBase = 100;
inline constexpr int kCancelledStep = 1000;

// Milliseconds on the performance counter, which every process of the machine shares.
double NowMs();

// One line on standard output, flushed at once: the harness polls it while the program runs.
void Emit(const char* format, ...);

struct TargetWindow {
    // What it does with a close request.
    int declines = 0;   // requests declined before one is followed; kEveryRequest: all
    bool asks = false;  // a followed request first asks "Save?" in a modal box, kept on Cancel
    std::string questionText = "Save the changes before closing?";
    std::string questionTitle;       // empty: the window's own title
    std::function<bool()> answerNo;  // polled while the question is open: answers it "No"
    std::function<bool()> holds;     // declines while this holds
    std::function<void(TargetWindow&)> onRequest;  // told of each request once it is counted
    std::function<void(TargetWindow&, int, int)> onAnswer;  // a question's number and answer

    // What happened, in NowMs; 0 while it has not.
    HWND handle = nullptr;
    double callMs = 0.0;      // just before CreateWindowExA
    double createdMs = 0.0;   // at WM_NCCREATE
    double returnedMs = 0.0;  // when CreateWindowExA returned
    double paintedMs = 0.0;   // the first WM_PAINT
    double firstCloseMs = 0.0;
    double goneMs = 0.0;  // at WM_NCDESTROY
    int closeRequests = 0;
    int prompts = 0;    // questions opened (they nest: each box takes the next request too)
    int cancelled = 0;  // questions answered Cancel, or closed
    int questionsOpen = 0;
    bool closed = false;  // by a request
};

enum class Show {
    Hidden,
    AtCreation,         // WS_VISIBLE: shown, and active, before CreateWindowExA returns
    WithoutActivation,  // after it returns, leaving the foreground where it is
};

// Makes the window of `target` at (x, y), 280 by 110, of the class `className` (registered
// with the one procedure on first use); false when it could not.
bool CreateTargetWindow(TargetWindow& target, const std::string& title, int x, int y, Show show,
                        const char* className = kWindowClass);

// Dispatches every message waiting, sent ones included.
void PumpMessages();
// Handles messages until `done` holds or `timeoutMs` has passed; true when `done` held.
bool PumpUntil(double timeoutMs, const std::function<bool()>& done);
inline void PumpFor(double ms) {
    static_cast<void>(PumpUntil(ms, [] { return false; }));
}

}  // namespace vt::targets
