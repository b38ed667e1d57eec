// The end-to-end suite's eyes: reports what is on the Wine desktop (windows, controls, list
// items, message boxes, menus, the taskbar) as "key<TAB>value" lines, and starts programs
// while timing their windows. It only reads: the harness acts through the mouse and the
// keyboard. Under a Wine virtual desktop X knows the desktop and the shown top-level windows,
// but no controls, hidden windows, message box texts or tray icons, so positions come from
// here, in Windows' screen coordinates, which equal the X root's.

#include "target_common.h"

#include "resources/layout.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using e2e::Emit;

// The program under test; another can be named for trying the probe on Wine's own programs.
std::string ProgramName() {
    const char* name = std::getenv("VINTRELL_E2E_PROGRAM");
    return name != nullptr && *name != '\0' ? name : "Vintrell.exe";
}

constexpr UINT kQueryTimeout = 2000;  // a hung target must not hang the probe

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Values stay on one line: control characters are written as escapes.
std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out;
}

void Put(const std::string& key, const std::string& value) {
    Emit("%s\t%s", key.c_str(), Escape(value).c_str());
}

void Put(const std::string& key, long long value) {
    Put(key, std::to_string(value));
}

std::string RectText(const RECT& r) {
    return std::to_string(r.left) + " " + std::to_string(r.top) + " " +
           std::to_string(r.right - r.left) + " " + std::to_string(r.bottom - r.top);
}

std::map<DWORD, std::string> ProcessNames() {
    std::map<DWORD, std::string> names;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        return names;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        names[entry.th32ProcessID] = entry.szExeFile;
    }
    return names;
}

std::vector<DWORD> ProcessesNamed(const std::string& name) {
    std::vector<DWORD> ids;
    for (const auto& [id, exe] : ProcessNames()) {
        if (Lower(exe) == Lower(name)) {
            ids.push_back(id);
        }
    }
    return ids;
}

std::string ClassOf(HWND window) {
    char buffer[256] = {};
    GetClassNameA(window, buffer, sizeof(buffer));
    return buffer;
}

// WM_GETTEXT crosses processes (GetWindowTextA does not ask an edit control of another
// process for its current text).
std::string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kQueryTimeout,
                             &length)) {
        return {};
    }
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kQueryTimeout, &copied)) {
        return {};
    }
    text.resize(std::min<size_t>(copied, length));
    return text;
}

LRESULT Query(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kQueryTimeout,
                             &result)) {
        return -1;
    }
    return static_cast<LRESULT>(result);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> DirectChildren(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

DWORD ProcessOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

// Memory in another process, for the list view and header messages that carry pointers.
class RemoteBuffer {
  public:
    RemoteBuffer(DWORD processId, size_t size) : size_(size) {
        process_.reset(OpenProcess(
            PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
            FALSE, processId));
        if (process_) {
            address_ = static_cast<char*>(VirtualAllocEx(process_.get(), nullptr, size,
                                                         MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        }
    }
    ~RemoteBuffer() {
        if (address_ != nullptr) {
            VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
        }
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Valid() const { return address_ != nullptr; }
    char* At(size_t offset) const { return address_ + offset; }
    bool Write(size_t offset, const void* data, size_t size) const {
        SIZE_T done = 0;
        return offset + size <= size_ &&
               WriteProcessMemory(process_.get(), address_ + offset, data, size, &done) &&
               done == size;
    }
    bool Read(size_t offset, void* data, size_t size) const {
        SIZE_T done = 0;
        return offset + size <= size_ &&
               ReadProcessMemory(process_.get(), address_ + offset, data, size, &done) &&
               done == size;
    }

  private:
    UniqueHandle process_;
    char* address_ = nullptr;
    size_t size_;
};

constexpr size_t kTextOffset = 512;
constexpr size_t kTextSize = 1024;

std::optional<std::string> RemoteText(const RemoteBuffer& buffer) {
    std::string text(kTextSize, '\0');
    if (!buffer.Read(kTextOffset, text.data(), text.size())) {
        return std::nullopt;
    }
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::optional<std::string> ListItemText(HWND list, const RemoteBuffer& buffer, int index) {
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = buffer.At(kTextOffset);
    item.cchTextMax = static_cast<int>(kTextSize);
    const char zero[1] = {0};
    if (!buffer.Write(0, &item, sizeof(item)) || !buffer.Write(kTextOffset, zero, 1)) {
        return std::nullopt;
    }
    Query(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(index),
          reinterpret_cast<LPARAM>(buffer.At(0)));
    return RemoteText(buffer);
}

std::optional<RECT> ListItemRect(HWND list, const RemoteBuffer& buffer, int index) {
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    if (!buffer.Write(0, &rect, sizeof(rect)) ||
        Query(list, LVM_GETITEMRECT, static_cast<WPARAM>(index),
              reinterpret_cast<LPARAM>(buffer.At(0))) <= 0 ||
        !buffer.Read(0, &rect, sizeof(rect))) {
        return std::nullopt;
    }
    return rect;
}

std::optional<std::string> HeaderText(HWND header, const RemoteBuffer& buffer, int index) {
    HDITEMA item{};
    item.mask = HDI_TEXT;
    item.pszText = buffer.At(kTextOffset);
    item.cchTextMax = static_cast<int>(kTextSize);
    const char zero[1] = {0};
    if (!buffer.Write(0, &item, sizeof(item)) || !buffer.Write(kTextOffset, zero, 1) ||
        Query(header, HDM_GETITEMA, static_cast<WPARAM>(index),
              reinterpret_cast<LPARAM>(buffer.At(0))) <= 0) {
        return std::nullopt;
    }
    return RemoteText(buffer);
}

RECT ScreenRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

RECT ClientRelative(HWND parent, HWND child) {
    RECT rect = ScreenRect(child);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void ReportList(HWND main, HWND list, DWORD processId) {
    Put("list.rect", RectText(ClientRelative(main, list)));
    Put("list.screen", RectText(ScreenRect(list)));
    const LRESULT count = Query(list, LVM_GETITEMCOUNT, 0, 0);
    Put("list.count", count);
    Put("list.selected", Query(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    RemoteBuffer buffer(processId, kTextOffset + kTextSize);
    if (!buffer.Valid()) {
        Put("list.remote", "unavailable");
        return;
    }
    HWND header = reinterpret_cast<HWND>(Query(list, LVM_GETHEADER, 0, 0));
    const LRESULT columns = header != nullptr ? Query(header, HDM_GETITEMCOUNT, 0, 0) : 0;
    Put("list.columns", columns);
    for (int c = 0; c < columns; ++c) {
        Put("list.column." + std::to_string(c + 1), HeaderText(header, buffer, c).value_or("?"));
        Put("list.column." + std::to_string(c + 1) + ".width",
            Query(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(c), 0));
    }
    for (int i = 0; i < count; ++i) {
        const std::string key = "list.item." + std::to_string(i + 1);
        Put(key, ListItemText(list, buffer, i).value_or("?"));
        if (const auto rect = ListItemRect(list, buffer, i)) {
            RECT screen = *rect;
            MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&screen), 2);
            Put(key + ".screen", RectText(screen));
        }
    }
}

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

// Polls until the predicate holds or the time is up; true when it held.
template <typename Predicate>
bool PollUntil(int timeoutMs, Predicate predicate) {
    const e2e::Stopwatch clock;
    while (true) {
        if (predicate()) {
            return true;
        }
        if (clock.Milliseconds() >= timeoutMs) {
            return false;
        }
        Sleep(10);
    }
}

int WaitMain(const std::string& state, int timeoutMs) {
    const bool reached = PollUntil(timeoutMs, [&] {
        HWND main = FindMainWindow();
        if (state == "visible") {
            return main != nullptr && IsWindowVisible(main) && TextOf(main) == "Vintrell";
        }
        if (state == "hidden") {
            return main != nullptr && !IsWindowVisible(main);
        }
        if (state == "exists") {
            return main != nullptr;
        }
        return ProcessesNamed(ProgramName()).empty();  // "gone"
    });
    Put("wait.reached", reached ? 1 : 0);
    ReportMain(FindMainWindow());
    return reached ? 0 : 1;
}

UniqueHandle Launch(const std::string& commandLine, DWORD* processId) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::string mutableLine = commandLine;
    if (!CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        Put("launch.error", static_cast<long long>(GetLastError()));
        return UniqueHandle();
    }
    CloseHandle(info.hThread);
    *processId = info.dwProcessId;
    return UniqueHandle(info.hProcess);
}

// Starts a program once per run and times its window whose title contains the given text:
// when it first shows and when it is gone. Each run ends as "closed", "closed_before_shown"
// (the program ended before its window was ever seen shown) or "open" (still there at the
// timeout; the program is then ended).
int LaunchWatch(int timeoutMs, int runs, const std::string& titlePart,
                const std::string& commandLine) {
    const std::string wanted = Lower(titlePart);
    int closedRuns = 0;
    for (int run = 1; run <= runs; ++run) {
        const std::string key = "run." + std::to_string(run);
        DWORD processId = 0;
        UniqueHandle process = Launch(commandLine, &processId);
        if (!process) {
            return 2;
        }
        const e2e::Stopwatch clock;
        HWND seen = nullptr;
        long long appearedAt = -1;
        long long goneAt = -1;
        bool ended = false;
        while (clock.Milliseconds() < timeoutMs) {
            if (seen == nullptr) {
                for (HWND window : TopLevelWindows()) {
                    if (ProcessOf(window) == processId && IsWindowVisible(window) &&
                        Lower(TextOf(window)).find(wanted) != std::string::npos) {
                        seen = window;
                        appearedAt = clock.Milliseconds();
                        break;
                    }
                }
                if (seen == nullptr && WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
                    ended = true;
                    break;
                }
            } else if (!IsWindow(seen) || !IsWindowVisible(seen)) {
                goneAt = clock.Milliseconds();
                break;
            }
            Sleep(1);
        }
        Put(key + ".appeared_ms", appearedAt);
        if (goneAt >= 0 || ended) {
            ++closedRuns;
            Put(key + ".result", ended ? "closed_before_shown" : "closed");
            Put(key + ".closed_after_ms", ended ? 0 : goneAt - appearedAt);
            DWORD code = STILL_ACTIVE;
            WaitForSingleObject(process.get(), 3000);
            GetExitCodeProcess(process.get(), &code);
            Put(key + ".exit_code", code);
        } else {
            Put(key + ".result", "open");
            Put(key + ".closed_after_ms", -1);
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 3000);
        }
    }
    Put("runs.closed", closedRuns);
    return 0;
}

// Starts Vintrell and watches its main window from the first moment on.
int LaunchMain(int watchMs, const std::string& commandLine) {
    DWORD processId = 0;
    UniqueHandle process = Launch(commandLine, &processId);
    if (!process) {
        return 2;
    }
    const e2e::Stopwatch clock;
    bool everFound = false;
    bool everVisible = false;
    while (clock.Milliseconds() < watchMs) {
        for (HWND window : TopLevelWindows()) {
            if (ProcessOf(window) == processId && IsMainWindowCandidate(window)) {
                everFound = true;
                everVisible = everVisible || IsWindowVisible(window);
            }
        }
        Sleep(2);
    }
    Put("watch.found", everFound ? 1 : 0);
    Put("watch.ever_visible", everVisible ? 1 : 0);
    ReportMain(FindMainWindow());
    return 0;
}

int Kill(int argc, char** argv) {
    int killed = 0;
    for (int i = 2; i < argc; ++i) {
        for (DWORD id : ProcessesNamed(argv[i])) {
            UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
            if (process && TerminateProcess(process.get(), 1)) {
                WaitForSingleObject(process.get(), 3000);
                ++killed;
            }
        }
    }
    Put("killed", killed);
    return 0;
}

int Usage() {
    Emit(
        "usage: probe list | layout | main | dialogs | menus | tray | wait-tip MS | wait-main "
        "visible|hidden|exists|gone MS | wait-dialog MS | wait-menu MS | wait-tray 0|1 MS | "
        "launch-watch MS RUNS TITLE CMDLINE | launch-main MS CMDLINE | kill NAME... | "
        "count NAME | wait-exit NAME MS");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const std::string command = argv[1];
    const auto number = [&](int index, int fallback) {
        return e2e::ArgumentAsInt(index < argc ? argv[index] : nullptr, fallback);
    };
    if (command == "list") {
        ReportAllWindows();
    } else if (command == "layout") {
        ReportLayout();
    } else if (command == "main") {
        HWND main = FindMainWindow();
        ReportMain(main);
        return main != nullptr ? 0 : 1;
    } else if (command == "wait-main" && argc >= 4) {
        return WaitMain(argv[2], number(3, 5000));
    } else if (command == "dialogs") {
        ReportDialogs();
    } else if (command == "wait-dialog") {
        const bool found = PollUntil(number(2, 5000), [] { return !VisibleDialogs().empty(); });
        ReportDialogs();
        return found ? 0 : 1;
    } else if (command == "menus") {
        ReportMenus();
    } else if (command == "wait-menu") {
        const bool found = PollUntil(number(2, 5000), [] {
            HWND menu = FindWindowA("#32768", nullptr);
            return menu != nullptr && IsWindowVisible(menu);
        });
        ReportMenus();
        return found ? 0 : 1;
    } else if (command == "wait-tip") {
        const bool shown = PollUntil(number(2, 5000), [] {
            for (HWND window : TopLevelWindows()) {
                if (ClassOf(window) == TOOLTIPS_CLASSA && IsWindowVisible(window)) {
                    return true;
                }
            }
            return false;
        });
        ReportTips();
        return shown ? 0 : 1;
    } else if (command == "tray") {
        ReportTray();
    } else if (command == "wait-tray" && argc >= 4) {
        const bool wantVisible = number(2, 1) != 0;
        const bool reached = PollUntil(number(3, 5000), [&] {
            HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
            return (tray != nullptr && IsWindowVisible(tray)) == wantVisible;
        });
        ReportTray();
        return reached ? 0 : 1;
    } else if (command == "launch-watch" && argc >= 6) {
        return LaunchWatch(number(2, 3000), number(3, 1), argv[4], argv[5]);
    } else if (command == "launch-main" && argc >= 4) {
        return LaunchMain(number(2, 3000), argv[3]);
    } else if (command == "kill") {
        return Kill(argc, argv);
    } else if (command == "wait-exit" && argc >= 4) {
        const bool gone =
            PollUntil(number(3, 5000), [&] { return ProcessesNamed(argv[2]).empty(); });
        Put("count", static_cast<long long>(ProcessesNamed(argv[2]).size()));
        return gone ? 0 : 1;
    } else if (command == "count" && argc >= 3) {
        Put("count", static_cast<long long>(ProcessesNamed(argv[2]).size()));
    } else {
        return Usage();
    }
    return 0;
}
