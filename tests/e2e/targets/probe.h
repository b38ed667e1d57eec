#pragma once

// The end-to-end suite's eyes: reports what is on the Wine desktop (windows, controls, list
// items, message boxes, menus, the taskbar) as "key<TAB>value" lines, and starts programs
// while timing their windows. It only reads: the harness acts through the mouse and the
// keyboard. Under a Wine virtual desktop X knows the desktop and the shown top-level windows,
// but no controls, hidden windows, message box texts or tray icons, so positions come from
// here, in Windows' screen coordinates, which equal the X root's.
// probe.cpp: reading windows and controls of other processes; probe_desktop.cpp: the reports;
// probe_main.cpp: the commands, waiting, starting programs.

#include "target_common.h"

#include <map>
#include <string>
#include <vector>

namespace e2e {

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// The program under test; another can be named for trying the probe on Wine's own programs.
std::string ProgramName();
std::string Lower(std::string text);
void Put(const std::string& key, const std::string& value);
void Put(const std::string& key, long long value);
std::string RectText(const RECT& r);
std::map<DWORD, std::string> ProcessNames();
std::vector<DWORD> ProcessesNamed(const std::string& name);
std::string ClassOf(HWND window);
std::string TextOf(HWND window);
// A message answered within the probe's bound (a hung target must not hang it); -1 when not.
LRESULT Query(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
std::vector<HWND> TopLevelWindows();
std::vector<HWND> DirectChildren(HWND parent);
DWORD ProcessOf(HWND window);
RECT ScreenRect(HWND window);
RECT ClientRelative(HWND parent, HWND child);
void ReportList(HWND main, HWND list, DWORD processId);

bool IsMainWindowCandidate(HWND window);
HWND FindMainWindow();
void ReportMain(HWND main);
void ReportDialogs();
bool AnyDialogShown();
void ReportMenus();
int ReportTips();
void ReportTray();
void ReportAllWindows();
void ReportLayout();

}  // namespace e2e
