#include "settings/startup_registration.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace vt::RegStuff {

namespace {

// KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY |
// KEY_CREATE_LINK
constexpr UInt kRunKeyAccess = 0x3F;

// The machine's Run key in its 64-bit view, whichever build asks: a 32-bit build would otherwise
// see WOW6432Node's, a second key that Windows runs as well (Wine's 32-bit prefix has none).
UInt RunKeyAccess(Hkey root, UInt access) {
    return root == HKEY_LOCAL_MACHINE ? access | KEY_WOW64_64KEY : access;
}

// Case is ignored for ASCII letters only, so two names match only where the file system
// certainly takes them for one; any other difference keeps the path outside.
wchar_t AsciiUpper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](wchar_t x, wchar_t y) { return AsciiUpper(x) == AsciiUpper(y); });
}

// A path on a drive, "X:\" and names, none of them "." or "..": a path any other way spelt
// ("\\?\", a share, a relative one) is taken for none.
bool IsPlainDrivePath(std::wstring_view path) {
    if (path.size() < 3 || AsciiUpper(path[0]) < L'A' || AsciiUpper(path[0]) > L'Z' ||
        path[1] != L':' || path[2] != L'\\' || path.find(L'/') != std::wstring_view::npos) {
        return false;
    }
    const std::wstring names = std::wstring(path) + L'\\';
    return names.find(L"\\.\\") == std::wstring::npos &&
           names.find(L"\\..\\") == std::wstring::npos;
}

// The path with its short (8.3) names expanded, the only other spelling a folder has; as given
// when it cannot be found (a short name then stays outside). Empty for no plain drive path.
std::wstring LongForm(SystemServices& files, std::wstring_view path) {
    std::wstring expanded = files.GetLongPathNameW(path);
    if (expanded.empty()) {
        expanded = path;
    }
    return IsPlainDrivePath(expanded) ? expanded : std::wstring();
}

// Whether `path` lies inside `folder`: the folder's whole name, then a backslash and more.
bool IsInside(std::wstring_view path, std::wstring_view folder) {
    folder = folder.substr(0, folder.find_last_not_of(L'\\') + 1);
    // A drive's root ("C:") is no install folder: everything on the drive would be inside it.
    if (folder.size() <= 2 || path.size() <= folder.size() + 1 || path[folder.size()] != L'\\') {
        return false;
    }
    return SameName(path.substr(0, folder.size()), folder);
}

// The machine's own record of its Program Files folders, which only administrators can change;
// the environment's %ProgramFiles% and %ProgramW6432% are each user's to set.
constexpr const char* kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const wchar_t* kProgramFilesValues[] = {L"ProgramFilesDir", L"ProgramFilesDir (x86)",
                                                  L"ProgramW6432Dir"};

// In the 64-bit view whichever build asks: a 32-bit build's own view names the x86 folder as
// ProgramFilesDir.
std::vector<std::wstring> ProgramFilesFolders(RegistryAccess& registry) {
    std::vector<std::wstring> folders;
    const RegKey key = RegKey::Open(registry, HKEY_LOCAL_MACHINE, kCurrentVersionKey,
                                    KEY_QUERY_VALUE | KEY_WOW64_64KEY);
    for (const wchar_t* name : kProgramFilesValues) {
        UInt type = 0;
        std::wstring folder;
        // Not REG_EXPAND_SZ: its variables would be the user's environment again.
        if (key.IsOpen() &&
            registry.RegQueryValueExW(key.Get(), name, &type, &folder) == ERROR_SUCCESS &&
            type == REG_SZ) {
            folder.erase(folder.find_last_not_of(L'\0') + 1);
            folders.push_back(std::move(folder));
        }
    }
    return folders;
}

struct RunEntry {
    std::wstring path;
    std::string name;  // the executable's file name, in the system code page
    std::string data;  // its full path, in double quotes when it holds a blank
};

// The entry for this spelling of the path; nullopt when the system code page cannot hold it.
std::optional<RunEntry> EntryFor(const TextConversion& text, std::wstring_view path) {
    const std::wstring_view name = path.substr(path.find_last_of(L"\\/") + 1);
    // Unquoted, Windows would try "C:\Program.exe" first.
    const std::wstring data = path.find(L' ') == std::wstring_view::npos
                                  ? std::wstring(path)
                                  : L"\"" + std::wstring(path) + L"\"";
    std::optional<std::string> ansiName = ToAnsiExactly(text, name);
    std::optional<std::string> ansiData = ToAnsiExactly(text, data);
    if (name.empty() || !ansiName || !ansiData) {
        return std::nullopt;
    }
    return RunEntry{std::wstring(path), std::move(*ansiName), std::move(*ansiData)};
}

// The executable's own path when the system code page holds it exactly, else its short (8.3)
// form when that one is held; nullopt when neither is.
std::optional<RunEntry> RunEntryFor(const TextConversion& text, SystemServices& files,
                                    std::wstring_view executablePath) {
    if (std::optional<RunEntry> entry = EntryFor(text, executablePath)) {
        return entry;
    }
    return EntryFor(text, files.GetShortPathNameW(executablePath));
}

// What a Run key holds under a name, read with query access only.
struct RunValue {
    bool unknown = false;             // the key or the value is there but cannot be read
    std::optional<std::string> data;  // without its terminating NULs
};

RunValue ReadRunValue(RegistryAccess& registry, Hkey root, const std::string& name) {
    const RegKey key = RegKey::Open(registry, root, kRunKey, RunKeyAccess(root, KEY_QUERY_VALUE));
    if (!key.IsOpen()) {
        return {key.Result() != ERROR_FILE_NOT_FOUND, std::nullopt};
    }
    UInt type = 0;
    std::string data;
    const std::int32_t result = registry.RegQueryValueExA(key.Get(), name.c_str(), &type, &data);
    if (result != ERROR_SUCCESS) {
        return {result != ERROR_FILE_NOT_FOUND, std::nullopt};
    }
    data.erase(data.find_last_not_of('\0') + 1);
    return {false, std::move(data)};
}

// Sets a REG_SZ value on an open key; c_str() carries the terminating NUL that the size counts.
std::int32_t PutRegValue(RegistryAccess& registry, Hkey key, const std::string& valueName,
                         const std::string& value) {
    return registry.RegSetValueExA(key, valueName.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const std::uint8_t*>(value.c_str()),
                                   static_cast<UInt>(value.size() + 1));
}

// Sets the value under root's Run key; the first failing result. Only the user's key is made.
std::int32_t PutKeyValue(RegistryAccess& registry, Hkey root, const std::string& valueName,
                         const std::string& value) {
    const RegKey key =
        root == HKEY_CURRENT_USER
            ? RegKey::Create(registry, root, kRunKey, kRunKeyAccess)
            : RegKey::Open(registry, root, kRunKey, RunKeyAccess(root, kRunKeyAccess));
    return key.IsOpen() ? PutRegValue(registry, key.Get(), valueName, value) : key.Result();
}

// Deletes the value under root's Run key; the first failing result.
std::int32_t RemoveKeyValue(RegistryAccess& registry, Hkey root, const std::string& valueName) {
    const RegKey key = RegKey::Open(registry, root, kRunKey, RunKeyAccess(root, kRunKeyAccess));
    return key.IsOpen() ? registry.RegDeleteValueA(key.Get(), valueName.c_str()) : key.Result();
}

// Removing the duplicate is a courtesy where the key allows it; a refusal changes nothing.
void RemoveDuplicate(RegistryAccess& registry, Hkey root, const std::string& name) {
    static_cast<void>(RemoveKeyValue(registry, root, name));
}

}  // namespace

bool InAdministratorsFolder(RegistryAccess& registry, SystemServices& files,
                            std::wstring_view executablePath) {
    const std::wstring path = LongForm(files, executablePath);
    if (path.empty()) {
        return false;
    }
    const std::vector<std::wstring> folders = ProgramFilesFolders(registry);
    return std::any_of(folders.begin(), folders.end(), [&](const std::wstring& folder) {
        const std::wstring longFolder = folder.empty() ? folder : LongForm(files, folder);
        return !longFolder.empty() && IsInside(path, longFolder);
    });
}

void RegisterRunEntry(RegistryAccess& registry, const TextConversion& text, SystemServices& files,
                      std::wstring_view executablePath) {
    const std::optional<RunEntry> entry = RunEntryFor(text, files, executablePath);
    if (!entry) {
        throw AppError(err::kRunEntryNotWritten, "RegStuff",
                       L"the program cannot be started at logon from its folder: the path has "
                       L"letters that this system's code page cannot hold, and no short form "
                       L"that it can (" +
                           std::wstring(executablePath) + L")");
    }
    // Machine-wide, the program would start at every user's logon, administrators' included:
    // only a file that ordinary users cannot replace may be started so. (Wine enforces no
    // folder rights and lets anyone write HKEY_LOCAL_MACHINE: the rule is for Windows.)
    std::optional<std::int32_t> machine;
    if (InAdministratorsFolder(registry, files, entry->path)) {
        machine = PutKeyValue(registry, HKEY_LOCAL_MACHINE, entry->name, entry->data);
        // Or already there (written while elevated): a per-user copy would start it twice.
        if (*machine == ERROR_SUCCESS ||
            ReadRunValue(registry, HKEY_LOCAL_MACHINE, entry->name).data == entry->data) {
            RemoveDuplicate(registry, HKEY_CURRENT_USER, entry->name);
            return;
        }
    }
    const std::int32_t user = PutKeyValue(registry, HKEY_CURRENT_USER, entry->name, entry->data);
    if (user == ERROR_SUCCESS) {
        RemoveDuplicate(registry, HKEY_LOCAL_MACHINE, entry->name);
        return;
    }
    const std::wstring tried =
        machine ? L"under HKEY_LOCAL_MACHINE (error " + std::to_wstring(*machine) + L") nor " : L"";
    throw AppError(err::kRunEntryNotWritten, "RegStuff",
                   L"the Run entry could not be written " + tried +
                       L"under HKEY_CURRENT_USER (error " + std::to_wstring(user) + L")");
}

void UnregisterRunEntry(RegistryAccess& registry, const TextConversion& text, SystemServices& files,
                        std::wstring_view executablePath) {
    const std::optional<RunEntry> entry = RunEntryFor(text, files, executablePath);
    if (!entry) {
        return;  // no value can have been written for such a path
    }
    std::wstring remaining;
    for (const Hkey root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const std::int32_t result = RemoveKeyValue(registry, root, entry->name);
        if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) {
            continue;
        }
        if (const RunValue left = ReadRunValue(registry, root, entry->name);
            left.unknown || left.data) {
            const std::wstring name =
                root == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER";
            remaining += (remaining.empty() ? L"" : L", ") + name + L" (error " +
                         std::to_wstring(result) + L")";
        }
    }
    if (!remaining.empty()) {
        throw AppError(err::kRunEntryNotRemoved, "RegStuff",
                       L"the Run entry could not be removed under " + remaining +
                           L"; the program will still start at logon");
    }
}

}  // namespace vt::RegStuff

namespace vt::mStartUp {

void AddToStartup(RegistryAccess& registry, const TextConversion& text, SystemServices& files) {
    const std::wstring executable = files.ExecutablePath();
    if (executable.empty()) {
        throw AppError(err::kRunEntryNotWritten, "mStartUp",
                       L"the program's own file could not be found");
    }
    RegStuff::RegisterRunEntry(registry, text, files, executable);
}

void RemoveFromStartup(RegistryAccess& registry, const TextConversion& text,
                       SystemServices& files) {
    const std::wstring executable = files.ExecutablePath();
    if (!executable.empty()) {  // without a name there is no value of ours to find
        RegStuff::UnregisterRunEntry(registry, text, files, executable);
    }
}

}  // namespace vt::mStartUp
