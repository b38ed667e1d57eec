#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/controls.h"
#include "app/main_module.h"
#include "keywords/list_view.h"
#include "platform/platform.h"

namespace vt {

inline constexpr std::wstring_view kAppTitle = L"Vintrell";
inline constexpr std::wstring_view kTrayTip = L"Right-click here to access the menu";

// The main window: its controls, its state, and the handlers of its events. The handlers are
// defined beside the subsystem they belong to (monitor/, keywords/, settings/, app/).
class Form1 final : public FormEvents {
public:
    explicit Form1(Platform& platform);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    Platform& platform() const { return platform_; }
    Hwnd hWnd() const { return hWnd_; }

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
    std::int32_t MousePointer = 0;  // 0 default, 99 custom
    // Opened by start-up on about one start in a hundred; empty opens nothing.
    std::wstring HomePageAddress{Main::kHomePageAddress};

    // Start-up and shut-down (app/startup.cpp)
    // Runs Form_Load, then shows the window unless start-up went into the tray.
    void Start();
    void Form_Load();
    void Form_QueryUnload();

    // Keyword commands (keywords/commands.cpp)
    void Check1_Click();
    void Check3_Click();
    void Check4_Click();
    void ListView1_Click();
    void ListView1_DblClick();

    // Monitoring (monitor/monitoring.cpp, monitor/sweep.cpp)
    void Check2_Click();
    void mnuStopMonitoring_Click();
    void Timer1_Timer();

    // Start options (settings/start_options.cpp)
    void Check6_Click();
    void Check8_Click();

    // Help and pointer feedback (app/help.cpp, app/pointer.cpp)
    void Check5_Click();
    void Check1_MouseMove();
    void Check2_MouseMove();
    void Check3_MouseMove();
    void Check4_MouseMove();
    void Check5_MouseMove();
    void Form_MouseMove();
    void Label1_MouseMove();
    void Text1_MouseMove();
    void ListView1_MouseMove();

    // FormEvents: the window layer's events, dispatched to the handlers above.
    void OnClick(ControlId control) override;
    void OnDblClick(ControlId control) override;
    void OnMouseMove(ControlId control) override;
    void OnTimer() override;
    void OnMenuCommand(MenuId item) override;
    void OnQueryUnload() override;
    void OnEndSession() override;

private:
    // Hides the window into the tray and starts the timer; on failure reports it and returns
    // to Idle with the window shown.
    void EnterMonitoring();
    void SetMousePointer(std::int32_t pointer);
    void ShowMessage(std::wstring_view text, UInt style = MB_OK);

    Platform& platform_;
    Hwnd hWnd_ = 0;
    bool sweeping_ = false;  // a tick during a sweep's message pass must not start another
};

}  // namespace vt
