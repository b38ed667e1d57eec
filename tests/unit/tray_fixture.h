#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "monitor/main_window_handle.h"
#include "platform/sim/sim_platform.h"
#include "tray/tray_window_proc.h"
#include "tray/tray_icon.h"

namespace vt::testing {

// What the main window's own procedure received while it sat beneath the tray subclass.
struct Delivered {
    UInt msg = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    bool iconShown = false;
};

// Form1 on sim as start-up leaves it (shown, handle recorded), with a procedure under the
// subclass that records what it is handed and answers kRecorderResult.
class TrayFixture : public ::testing::Test {
  protected:
    static constexpr LResult kRecorderResult = 4242;

    TrayFixture() {
        Globals::MainWindowHandle = form.hWnd();
        sim.ShowForm();
        current = this;
    }

    ~TrayFixture() override { current = nullptr; }

    void InstallRecorder() { sim.SetWindowLongA(form.hWnd(), GWL_WNDPROC, &Recorder); }
    static WndProc RecorderProc() { return &Recorder; }

    // Start Monitoring as the user does it, with one keyword in the list.
    void StartMonitoring() {
        if (sim.ListCount() == 0) {
            sim.ListAdd(L"notepad");
        }
        sim.Click(ControlId::Check2);
    }

    // Lets Timer1 tick for `ms` of the clock, or until it stops.
    void TickFor(std::uint64_t ms) {
        const std::uint64_t until = sim.NowMs() + ms;
        while (sim.NowMs() < until && sim.Tick()) {
        }
    }

    bool Monitoring() const {
        return sim.TrayIconShown() && !sim.FormVisibleNow() && sim.TimerEnabled();
    }
    bool Idle() const {
        return !sim.TrayIconShown() && sim.FormVisibleNow() && !sim.TimerEnabled();
    }

    std::vector<UInt> NotifyMessages() const {
        std::vector<UInt> messages;
        for (const sim::NotifyCall& call : sim.NotifyCalls()) {
            messages.push_back(call.message);
        }
        return messages;
    }

    std::vector<Delivered> ToRecorder(UInt msg) const {
        std::vector<Delivered> found;
        for (const Delivered& d : delivered) {
            if (d.msg == msg) {
                found.push_back(d);
            }
        }
        return found;
    }

    // Makes the next sweep fail: the keyword list cannot be read while a window is up.
    void BreakSweep() {
        sim.AddWindow(L"Untitled - Notepad");
        sim.FailListReads(true);
    }

    sim::SimPlatform sim;
    Form1 form{sim};
    std::vector<Delivered> delivered;

  private:
    static LResult VT_CALLBACK Recorder(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
        TrayFixture& self = *current;
        self.delivered.push_back({msg, wParam, lParam, self.sim.TrayIconShown()});
        self.sim.CallWindowProcA(self.sim.FormClassProc(), hWnd, msg, wParam, lParam);
        return kRecorderResult;
    }

    static inline TrayFixture* current = nullptr;
};

inline constexpr std::wstring_view kStartFailedNoIcon =
    L"ERROR while starting monitoring - The notification area icon could not be added";
inline constexpr std::wstring_view kSweepAbortedPrefix =
    L"ERROR while monitoring windows - monitoring has been aborted - ";

}  // namespace vt::testing
