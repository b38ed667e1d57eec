// What the probe reads of other processes' windows and controls, list views included.

#include "probe.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

namespace e2e {

std::string ProgramName() {
    const char* name = std::getenv("VINTRELL_E2E_PROGRAM");
    return name != nullptr && *name != '\0' ? name : "Vintrell.exe";
}

constexpr UINT kQueryTimeout = 2000;  // a hung target must not hang the probe

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

namespace {

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

}  // namespace

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

}  // namespace e2e
