#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// The main window's controls as data: both platforms build Form1 from this table.
namespace vt {

enum class ControlId : std::int32_t {
    Form = 0,  // the window itself (its background between the controls)
    Check1 = 101,
    Check2,
    Check3,
    Check4,
    Check5,
    Check6,
    Check8,
    Text1,
    Label1,
    ListView1,
};

enum class MenuId : std::int32_t {
    mnuTray = 200,
    mnuStopMonitoring = 201,
};

enum class ControlKind {
    CheckBox,    // an ordinary check box
    PushButton,  // a check box drawn as a push button (owner-drawn on Windows)
    TextBox,
    Label,
    ListView,
};

struct ControlLayout {
    ControlId id;
    std::string_view name;
    ControlKind kind;
    std::wstring_view caption;
    std::int32_t left, top, width, height;  // twips, from the client area's top-left corner
    std::int32_t tabIndex;
    std::int32_t fontSizeCentipoints;  // Arial bold; 1125 = 11.25 pt
    bool visible;
};

inline constexpr std::int32_t kTwipsPerInch = 1440;
inline constexpr std::int32_t kFormClientWidth = 6000;
inline constexpr std::int32_t kFormClientHeight = 4980;
inline constexpr std::wstring_view kFormInitialCaption = L"Form1";
// Form1's window class: a second start of the program finds the running copy by it.
inline constexpr const char* kForm1ClassName = "VintrellForm1";
inline constexpr std::wstring_view kFontFace = L"Arial";
inline constexpr std::int32_t kFontWeight = 700;
inline constexpr std::int32_t kTimer1Interval = 100;  // milliseconds
inline constexpr std::uintptr_t kTimer1Id = 1;        // the wParam of its WM_TIMER
inline constexpr std::wstring_view kListViewToolTip =
    L"Double-click item to remove it. Move bar to right and out of window to reveal full names.";
inline constexpr std::wstring_view kTrayMenuCaption = L"Pellidor";
inline constexpr std::wstring_view kStopMonitoringCaption = L"Stop Monitoring - Show Main Window";

// In tab order.
inline constexpr std::array<ControlLayout, 10> kForm1Controls{{
    {ControlId::Text1, "Text1", ControlKind::TextBox, L"", 120, 435, 4815, 400, 0, 900, true},
    {ControlId::Check1, "Check1", ControlKind::PushButton, L"Add", 5040, 435, 840, 400, 1, 1125,
     true},
    {ControlId::Check3, "Check3", ControlKind::PushButton, L"Delete Selected", 120, 3960, 2895, 400,
     2, 1125, true},
    {ControlId::Check4, "Check4", ControlKind::PushButton, L"Clear List", 3120, 3960, 2760, 400, 3,
     1125, true},
    {ControlId::Check2, "Check2", ControlKind::PushButton, L"Start Monitoring", 120, 4440, 2895,
     400, 4, 1125, true},
    {ControlId::Label1, "Label1", ControlKind::Label,
     L" Enter full window name or some of the letters:", 120, 120, 4335, 255, 5, 900, true},
    {ControlId::ListView1, "ListView1", ControlKind::ListView, L"", 120, 960, 5760, 2655, 6, 900,
     true},
    {ControlId::Check5, "Check5", ControlKind::PushButton, L"Help", 3120, 4440, 2760, 400, 7, 1125,
     true},
    {ControlId::Check6, "Check6", ControlKind::CheckBox, L"Load this software on Windows startup",
     120, 3660, 3930, 285, 8, 900, true},
    {ControlId::Check8, "Check8", ControlKind::CheckBox, L"Start in system tray", 3840, 3660, 2100,
     285, 9, 900, false},
}};

constexpr const ControlLayout* FindControl(ControlId id) {
    for (const ControlLayout& layout : kForm1Controls) {
        if (layout.id == id) {
            return &layout;
        }
    }
    return nullptr;
}

}  // namespace vt
