// The probe's reports: the main window and its controls, dialogs, menus, tooltips, the
// taskbar, every window, and the controls' table Vintrell is built from.

#include "probe.h"

#include "resources/layout.h"

#include <commctrl.h>

#include <algorithm>

namespace e2e {

// A control is named by its caption, or by its class when the caption is its content.
std::string ControlName(const std::string& className, const std::string& text) {
    if (text.empty() || className == "Edit" || className == "SysListView32") {
        return className;
    }
    return text;
}

void ReportControls(HWND main, DWORD processId) {
    int index = 0;
    for (HWND child : DirectChildren(main)) {
        const std::string className = ClassOf(child);
        const std::string text = TextOf(child);
        const std::string key = "ctl." + ControlName(className, text);
        Put("ctl." + std::to_string(++index), ControlName(className, text));
        Put(key + ".class", className);
        Put(key + ".text", text);
        Put(key + ".id", GetDlgCtrlID(child));
        Put(key + ".visible", IsWindowVisible(child) ? 1 : 0);
        Put(key + ".rect", RectText(ClientRelative(main, child)));
        Put(key + ".screen", RectText(ScreenRect(child)));
        if (className == "Button") {
            Put(key + ".check", Query(child, BM_GETCHECK, 0, 0));
            Put(key + ".state", Query(child, BM_GETSTATE, 0, 0));
        }
        if (className == "SysListView32") {
            ReportList(main, child, processId);
        }
    }
    Put("ctl.count", index);
}

bool IsMainWindowCandidate(HWND window) {
    const std::string className = ClassOf(window);
    if (className == "#32770" || className == "#32768" || className == "IME" ||
        className == "tooltips_class32") {
        return false;
    }
    return (GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
}

HWND FindMainWindow() {
    const std::vector<DWORD> ids = ProcessesNamed(ProgramName());
    for (HWND window : TopLevelWindows()) {
        if (std::find(ids.begin(), ids.end(), ProcessOf(window)) != ids.end() &&
            IsMainWindowCandidate(window)) {
            return window;
        }
    }
    return nullptr;
}

void ReportMain(HWND main) {
    Put("main.found", main != nullptr ? 1 : 0);
    Put("main.processes", static_cast<long long>(ProcessesNamed(ProgramName()).size()));
    if (main == nullptr) {
        return;
    }
    const DWORD processId = ProcessOf(main);
    Put("main.hwnd", static_cast<long long>(reinterpret_cast<UINT_PTR>(main)));
    Put("main.pid", processId);
    Put("main.class", ClassOf(main));
    Put("main.caption", TextOf(main));
    Put("main.visible", IsWindowVisible(main) ? 1 : 0);
    Put("main.iconic", IsIconic(main) ? 1 : 0);
    Put("main.style", GetWindowLongA(main, GWL_STYLE));
    Put("main.window", RectText(ScreenRect(main)));
    RECT client{};
    GetClientRect(main, &client);
    MapWindowPoints(main, nullptr, reinterpret_cast<POINT*>(&client), 2);
    Put("main.client", RectText(client));
    Put("main.screen_size", std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " " +
                                std::to_string(GetSystemMetrics(SM_CYSCREEN)));
    TITLEBARINFO title{};
    title.cbSize = sizeof(title);
    if (GetTitleBarInfo(main, &title)) {
        // The close button is the last element at the right end of the title bar.
        const RECT& bar = title.rcTitleBar;
        Put("main.titlebar", RectText(bar));
        Put("main.close_button", std::to_string(bar.right - GetSystemMetrics(SM_CXSIZE) / 2 - 1) +
                                     " " + std::to_string((bar.top + bar.bottom) / 2));
    }
    HDC screen = GetDC(nullptr);
    Put("main.dpi", GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
    Put("main.foreground", GetForegroundWindow() == main ? 1 : 0);
    ReportControls(main, processId);
}

struct DialogInfo {
    HWND window;
    std::string owner;
};

// Visible message boxes and other dialogs, topmost first.
std::vector<DialogInfo> VisibleDialogs() {
    const auto names = ProcessNames();
    std::vector<DialogInfo> dialogs;
    for (HWND window : TopLevelWindows()) {
        if (ClassOf(window) == "#32770" && IsWindowVisible(window)) {
            const auto found = names.find(ProcessOf(window));
            dialogs.push_back({window, found != names.end() ? found->second : "?"});
        }
    }
    return dialogs;
}

bool AnyDialogShown() {
    return !VisibleDialogs().empty();
}

void ReportDialogs() {
    const auto dialogs = VisibleDialogs();
    Put("dialog.count", static_cast<long long>(dialogs.size()));
    int index = 0;
    for (const DialogInfo& dialog : dialogs) {
        const std::string key = "dialog." + std::to_string(++index);
        Put(key + ".process", dialog.owner);
        Put(key + ".caption", TextOf(dialog.window));
        Put(key + ".screen", RectText(ScreenRect(dialog.window)));
        Put(key + ".foreground", GetForegroundWindow() == dialog.window ? 1 : 0);
        std::string text;
        bool icon = false;
        for (HWND child : DirectChildren(dialog.window)) {
            const std::string className = ClassOf(child);
            const std::string childText = TextOf(child);
            const LONG style = GetWindowLongA(child, GWL_STYLE);
            if (className == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
                // Wine keeps the icon control in every message box, empty when none is asked.
                icon = icon || (IsWindowVisible(child) && Query(child, STM_GETICON, 0, 0) > 0);
            } else if (className == "Static" && !childText.empty()) {
                text += childText;
            } else if (className == "Button" && IsWindowVisible(child)) {
                Put(key + ".button." + childText, RectText(ScreenRect(child)));
            }
        }
        Put(key + ".text", text);
        Put(key + ".icon", icon ? 1 : 0);
    }
}

void ReportMenus() {
    int index = 0;
    for (HWND window : TopLevelWindows()) {
        if (ClassOf(window) == "#32768" && IsWindowVisible(window)) {
            const std::string key = "menu." + std::to_string(++index);
            // Only the rectangle: Wine keeps a menu's items in its owner's process.
            Put(key + ".screen", RectText(ScreenRect(window)));
        }
    }
    Put("menu.count", index);
}

// Shown tooltips of any process, with their text (Wine's tooltip answers WM_GETTEXT with the
// text of the tool it shows).
int ReportTips() {
    int index = 0;
    for (HWND window : TopLevelWindows()) {
        if (ClassOf(window) == TOOLTIPS_CLASSA && IsWindowVisible(window)) {
            const std::string key = "tip." + std::to_string(++index);
            Put(key + ".text", TextOf(window));
            Put(key + ".screen", RectText(ScreenRect(window)));
        }
    }
    Put("tip.count", index);
    return index;
}

void ReportTray() {
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    Put("tray.found", tray != nullptr ? 1 : 0);
    if (tray == nullptr) {
        return;
    }
    Put("tray.visible", IsWindowVisible(tray) ? 1 : 0);
    Put("tray.screen", RectText(ScreenRect(tray)));
    int index = 0;
    for (HWND child : DirectChildren(tray)) {
        const std::string key = "tray.child." + std::to_string(++index);
        Put(key + ".class", ClassOf(child));
        Put(key + ".text", TextOf(child));
        Put(key + ".visible", IsWindowVisible(child) ? 1 : 0);
        Put(key + ".screen", RectText(ScreenRect(child)));
    }
    Put("tray.children", index);
}

void ReportAllWindows() {
    const auto names = ProcessNames();
    int index = 0;
    for (HWND window : TopLevelWindows()) {
        const std::string key = "window." + std::to_string(++index);
        const auto found = names.find(ProcessOf(window));
        Put(key, std::to_string(reinterpret_cast<UINT_PTR>(window)) + " " +
                     (found != names.end() ? found->second : "?") + " " + ClassOf(window) +
                     " visible=" + (IsWindowVisible(window) ? "1" : "0") + " [" +
                     RectText(ScreenRect(window)) + "] " + TextOf(window));
    }
}

const char* KindName(vt::ControlKind kind) {
    switch (kind) {
        case vt::ControlKind::CheckBox:
            return "CheckBox";
        case vt::ControlKind::PushButton:
            return "PushButton";
        case vt::ControlKind::TextBox:
            return "TextBox";
        case vt::ControlKind::Label:
            return "Label";
        case vt::ControlKind::ListView:
            return "ListView";
    }
    return "?";
}

std::string Ansi(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// The controls' table that Vintrell is built from, as compiled into this probe: the harness
// compares it with what the window shows. Twips, from the client area's top-left corner.
void ReportLayout() {
    int index = 0;
    for (const vt::ControlLayout& control : vt::kForm1Controls) {
        const std::string key = "layout." + std::to_string(++index);
        Put(key + ".name", std::string(control.name));
        Put(key + ".kind", KindName(control.kind));
        Put(key + ".caption", Ansi(control.caption));
        Put(key + ".twips", std::to_string(control.left) + " " + std::to_string(control.top) + " " +
                                std::to_string(control.width) + " " +
                                std::to_string(control.height));
        Put(key + ".visible", control.visible ? 1 : 0);
    }
    Put("layout.count", index);
}

}  // namespace e2e
