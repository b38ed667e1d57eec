#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/controls.h"
#include "app/main_module.h"
#include "keywords/list_view.h"
#include "monitor/window_monitor.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "tray/tray_icon.h"
#include "tray/tray_owner.h"

namespace vt {

inline constexpr std::wstring_view kAppTitle = L"Vintrell";
inline constexpr std::wstring_view kTrayTip = L"Right-click here to access the menu";

// The main window: its controls, its state, and the handlers of its events, one file of app/
// per subsystem. The monitor and the tray below it reach it through MonitorHost and TrayOwner.
class Form1 final : public FormEvents, public TrayOwner, public MonitorHost {
  public:
    explicit Form1(Platform& platform);
    // The module-level tray state must never point at a form that is gone.
    ~Form1();
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    WindowSystem& windows() const override { return platform_.windows; }
    const TextConversion& text() const override { return platform_.text; }
    SystemServices& clock() const override { return platform_.system; }
    Hwnd hWnd() const override { return hWnd_; }
    bool Ended() const override { return ended_; }
    bool Busy() const override { return monitor_.Sweeping(); }
    void ShowTrayMenu(MenuId menu) override { platform_.form.PopupMenu(menu); }

    // A message box captioned with the application's title; the button pressed. Once the
    // program has ended it shows nothing and returns 0.
    std::int32_t ShowMessage(std::wstring_view text, UInt style = MB_OK);

    CheckBox Check1;  // Add
    CheckBox Check2;  // Start Monitoring
    CheckBox Check3;  // Delete Selected
    CheckBox Check4;  // Clear List
    CheckBox Check5;  // Help
    CheckBox Check6;  // Load this software on Windows startup
    CheckBox Check8;  // Start in system tray
    TextBox Text1;
    ListView ListView1;
    Timer Timer1;

    bool IsLoading = false;
    // Opened by start-up on about one start in a hundred; empty opens nothing.
    std::wstring HomePageAddress{Main::kHomePageAddress};

    // Start-up and shut-down (app/startup.cpp); Start shows the window unless it went to the tray
    void Start();
    void Form_Load();
    void Form_QueryUnload();

    // Keyword commands (app/keyword_commands.cpp)
    void Check1_Click();
    void Check3_Click();
    void Check4_Click();
    void ListView1_Click();
    void ListView1_DblClick();

    // Monitoring (app/monitoring.cpp); the sweep and the window events are monitor_'s
    void Check2_Click();
    void mnuStopMonitoring_Click();
    void Timer1_Timer();

    // Start options (app/start_options.cpp)
    void Check6_Click();
    void Check8_Click();

    // Help (app/help.cpp) and pointer feedback: the hand over the five buttons.
    void Check5_Click();
    void Check1_MouseMove() { platform_.form.SetMousePointer(kMousePointerCustom); }
    void Check2_MouseMove() { platform_.form.SetMousePointer(kMousePointerCustom); }
    void Check3_MouseMove() { platform_.form.SetMousePointer(kMousePointerCustom); }
    void Check4_MouseMove() { platform_.form.SetMousePointer(kMousePointerCustom); }
    void Check5_MouseMove() { platform_.form.SetMousePointer(kMousePointerCustom); }
    void Form_MouseMove() { platform_.form.SetMousePointer(kMousePointerDefault); }
    void Label1_MouseMove() { platform_.form.SetMousePointer(kMousePointerDefault); }
    void Text1_MouseMove() { platform_.form.SetMousePointer(kMousePointerDefault); }
    void ListView1_MouseMove() { platform_.form.SetMousePointer(kMousePointerDefault); }

    // FormEvents, dispatched to the handlers above.
    void OnClick(ControlId control) override;
    void OnDblClick(ControlId control) override;
    void OnMouseMove(ControlId control) override;
    void OnTimer() override;
    void OnMenuCommand(MenuId item) override;
    void OnQueryUnload() override;
    // Nothing needs saving: the session's end is an ordinary close.
    void OnEndSession() override { OnQueryUnload(); }
    void OnRegisteredMessage(UInt message, WParam wParam, LParam lParam) override;

  private:
    // Runs a handler that has no error trap of its own: its error is shown, never passed on.
    template <typename Handler>
    void Guarded(Handler&& handler) noexcept;
    // Hides the window into the tray and starts the timer; on failure reports it and returns
    // to Idle. An icon the shell refuses is asked for again for `iconPatienceMs`.
    void EnterMonitoring(std::uint32_t iconPatienceMs);
    // Another start has handed over and ended: the window shows in front, monitoring stopped.
    void ShowForSecondStart();

    // MonitorHost (app/monitoring.cpp)
    const ListView& KeywordList() const override { return ListView1; }
    bool Timer1Enabled() const override { return Timer1.Enabled(); }
    void AbortMonitoring(std::wstring_view description) override;
    void AfterSweep() override { Tray::SweepEnded(); }
    void TrayIconLost(std::wstring_view description) override;
    // AppError instead of saving over a stored list that start-up could not read.
    void SaveKeywords();
    // No selection is the ordinary case, so each step that fails is skipped in silence.
    void RemoveSelectedKeyword() noexcept;
    // Sets the option boxes without running their handlers, after a change that failed.
    void ShowStartOptions(std::int32_t startup, std::int32_t tray);

    Platform& platform_;
    Hwnd hWnd_ = 0;
    bool ended_ = false;
    bool keywordListLoaded_ = false;  // start-up read the stored list
    UInt secondStartMessage_ = 0;     // what a second start posts; 0 when it is not registered
    WindowMonitor monitor_{platform_.windows, platform_.text, platform_.form, *this};
    const SettingsStore settings_{platform_.registry, platform_.text, platform_.system};
    bool changingStartup_ = false;   // Check6_Click runs: Check8_Click leaves its errors to it
    bool revertingOptions_ = false;  // ShowStartOptions runs: the option handlers do nothing
};

}  // namespace vt
