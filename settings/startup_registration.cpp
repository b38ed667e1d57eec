#include "settings/startup_registration.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/error.h"

namespace vt::RegStuff {

namespace {

const wchar_t* RootName(Hkey root) {
    return root == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE" : L"HKEY_CURRENT_USER";
}

// The machine's Run key in its 64-bit view, whichever build asks: a 32-bit build would otherwise
// see WOW6432Node's, a second key that Windows runs as well. The user's key has one view.
// Wine shows no effect of the flag: its 32-bit prefix keeps no second view.
UInt RunKeyAccess(Hkey root, UInt access) {
    return root == HKEY_LOCAL_MACHINE ? access | KEY_WOW64_64KEY : access;
}

// --- The administrators' folders ---------------------------------------------------------

// Case is ignored for ASCII letters only, so two names match only where the file system
// certainly takes them for one; any other difference keeps the path outside.
bool SameName(std::wstring_view a, std::wstring_view b) {
    const auto fold = [](wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](wchar_t x, wchar_t y) { return fold(x) == fold(y); });
}

// A path on a drive, "X:\" and names, none of them "." or "..": a path any other way spelt
// ("\\?\", a share, a relative one) is taken for none.
bool IsPlainDrivePath(std::wstring_view path) {
    if (path.size() < 3 || path[1] != L':' || path[2] != L'\\' ||
        path.find(L'/') != std::wstring_view::npos) {
        return false;
    }
    const wchar_t drive = path[0];
    if (!((drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z'))) {
        return false;
    }
    for (std::size_t start = 3; start <= path.size();) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring_view::npos) {
            end = path.size();
        }
        const std::wstring_view name = path.substr(start, end - start);
        if (name == L"." || name == L"..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// The path with its short (8.3) names expanded where the file system can: a short name is the
// only other spelling a folder has. The path as given when it cannot be found, which a short
// name then keeps outside every folder. Empty when it is no plain drive path.
std::wstring LongForm(SystemServices& files, std::wstring_view path) {
    std::wstring expanded = files.GetLongPathNameW(path);
    if (expanded.empty()) {
        expanded = path;
    }
    return IsPlainDrivePath(expanded) ? expanded : std::wstring();
}

// Whether `path` lies inside `folder`: the folder's whole name, then a backslash and more.
bool IsInside(std::wstring_view path, std::wstring_view folder) {
    while (!folder.empty() && folder.back() == L'\\') {
        folder.remove_suffix(1);
    }
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

// Read in the 64-bit view whichever build asks: a 32-bit build's own view names the x86 folder
// as ProgramFilesDir. 32-bit Windows ignores the flag and names its one folder.
std::vector<std::wstring> ProgramFilesFolders(RegistryAccess& registry) {
    std::vector<std::wstring> folders;
    const RegKey key = RegKey::Open(registry, HKEY_LOCAL_MACHINE, kCurrentVersionKey,
                                    KEY_QUERY_VALUE | KEY_WOW64_64KEY);
    if (!key.IsOpen()) {
        return folders;
    }
    for (const wchar_t* name : kProgramFilesValues) {
        UInt type = 0;
        std::wstring folder;
        // Not REG_EXPAND_SZ: its variables would be the user's environment again.
        if (registry.RegQueryValueExW(key.Get(), name, &type, &folder) == ERROR_SUCCESS &&
            type == REG_SZ) {
            while (!folder.empty() && folder.back() == L'\0') {
                folder.pop_back();
            }
            folders.push_back(std::move(folder));
        }
    }
    return folders;
}

std::wstring RunEntryName(std::wstring_view executablePath) {
    const std::size_t slash = executablePath.find_last_of(L"\\/");
    return std::wstring(slash == std::wstring_view::npos ? executablePath
                                                         : executablePath.substr(slash + 1));
}

// The full path, in double quotes when it holds a blank (otherwise Windows would try
// "C:\Program.exe" first).
std::wstring RunEntryData(std::wstring_view executablePath) {
    if (executablePath.find(L' ') == std::wstring_view::npos) {
        return std::wstring(executablePath);
    }
    std::wstring quoted = L"\"";
    quoted += executablePath;
    quoted += L'"';
    return quoted;
}

// The path the Run entry names: the executable's own when the system code page holds it
// exactly, else its short (8.3) form when that one is held; nullopt when neither is.
std::optional<std::wstring> RunEntryPath(const TextConversion& text, SystemServices& files,
                                         std::wstring_view executablePath) {
    const auto exact = [&](std::wstring_view path) {
        return !path.empty() && !RunEntryName(path).empty() &&
               ToAnsiExactly(text, RunEntryData(path)).has_value();
    };
    if (exact(executablePath)) {
        return std::wstring(executablePath);
    }
    std::wstring shortPath = files.GetShortPathNameW(executablePath);
    if (exact(shortPath)) {
        return shortPath;
    }
    return std::nullopt;
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
    while (!data.empty() && data.back() == '\0') {
        data.pop_back();
    }
    return {false, std::move(data)};
}

// Sets a string value (ANSI, stored with its terminating NUL) on an open key.
std::int32_t PutRegValue(RegistryAccess& registry, Hkey key, const std::string& valueName,
                         UInt type, const std::string& value) {
    // c_str() carries the terminating NUL that the size counts.
    return registry.RegSetValueExA(key, valueName.c_str(), 0, type,
                                   reinterpret_cast<const std::uint8_t*>(value.c_str()),
                                   static_cast<UInt>(value.size() + 1));
}

// Sets the value under root\subKey; the first failing result. The user's key may not exist yet
// and is made; the machine's is only opened.
std::int32_t PutKeyValue(RegistryAccess& registry, Hkey root, const char* subKey,
                         const std::string& valueName, const std::string& value, UInt type) {
    const RegKey key =
        root == HKEY_CURRENT_USER
            ? RegKey::Create(registry, root, subKey, kRunKeyAccess)
            : RegKey::Open(registry, root, subKey, RunKeyAccess(root, kRunKeyAccess));
    if (!key.IsOpen()) {
        return key.Result();
    }
    return PutRegValue(registry, key.Get(), valueName, type, value);
}

// Deletes the value under root\subKey; the first failing result.
std::int32_t RemoveKeyValue(RegistryAccess& registry, Hkey root, const char* subKey,
                            const std::string& valueName) {
    const RegKey key = RegKey::Open(registry, root, subKey, RunKeyAccess(root, kRunKeyAccess));
    if (!key.IsOpen()) {
        return key.Result();
    }
    return registry.RegDeleteValueA(key.Get(), valueName.c_str());
}

// Removing the duplicate is a courtesy where the key allows it; a refusal changes nothing.
void RemoveDuplicate(RegistryAccess& registry, Hkey root, const std::string& name) {
    static_cast<void>(RemoveKeyValue(registry, root, kRunKey, name));
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
    const std::optional<std::wstring> path = RunEntryPath(text, files, executablePath);
    const std::optional<std::string> name =
        path ? ToAnsiExactly(text, RunEntryName(*path)) : std::nullopt;
    const std::optional<std::string> data =
        path ? ToAnsiExactly(text, RunEntryData(*path)) : std::nullopt;
    if (!name || !data) {
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
    if (InAdministratorsFolder(registry, files, *path)) {
        machine = PutKeyValue(registry, HKEY_LOCAL_MACHINE, kRunKey, *name, *data, REG_SZ);
        if (*machine == ERROR_SUCCESS) {
            RemoveDuplicate(registry, HKEY_CURRENT_USER, *name);
            return;
        }
        // Already there machine-wide (written while elevated): a per-user copy would start it
        // twice.
        if (ReadRunValue(registry, HKEY_LOCAL_MACHINE, *name).data == *data) {
            RemoveDuplicate(registry, HKEY_CURRENT_USER, *name);
            return;
        }
    }
    const std::int32_t user =
        PutKeyValue(registry, HKEY_CURRENT_USER, kRunKey, *name, *data, REG_SZ);
    if (user == ERROR_SUCCESS) {
        RemoveDuplicate(registry, HKEY_LOCAL_MACHINE, *name);
        return;
    }
    std::wstring tried;
    if (machine) {
        tried = L"under HKEY_LOCAL_MACHINE (error " + std::to_wstring(*machine) + L") nor ";
    }
    throw AppError(err::kRunEntryNotWritten, "RegStuff",
                   L"the Run entry could not be written " + tried +
                       L"under HKEY_CURRENT_USER (error " + std::to_wstring(user) + L")");
}

void UnregisterRunEntry(RegistryAccess& registry, const TextConversion& text, SystemServices& files,
                        std::wstring_view executablePath) {
    const std::optional<std::wstring> path = RunEntryPath(text, files, executablePath);
    if (!path) {
        return;  // no value can have been written for such a path
    }
    const std::optional<std::string> name = ToAnsiExactly(text, RunEntryName(*path));
    std::wstring remaining;
    for (const Hkey root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const std::int32_t result = RemoveKeyValue(registry, root, kRunKey, *name);
        if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) {
            continue;
        }
        if (const RunValue left = ReadRunValue(registry, root, *name); left.unknown || left.data) {
            if (!remaining.empty()) {
                remaining += L", ";
            }
            remaining +=
                std::wstring(RootName(root)) + L" (error " + std::to_wstring(result) + L")";
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
    if (executable.empty()) {
        return;  // without a name there is no value of ours to find
    }
    RegStuff::UnregisterRunEntry(registry, text, files, executable);
}

}  // namespace vt::mStartUp
