#include "platform/sim/sim_registry.h"

#include <algorithm>

#include "platform/sim/sim_text.h"

namespace vt::sim {

namespace {

// Read access: KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY, READ_CONTROL, and the
// WOW64 view flags, which choose a view rather than ask for a right.
constexpr UInt kReadAccess = 0x0001 | 0x0008 | 0x0010 | 0x00020000 | 0x0100 | 0x0200;
constexpr std::int32_t kErrorInvalidHandle = 6;
constexpr std::int32_t kErrorInvalidParameter = 87;

}  // namespace

SimRegistry::SimRegistry() {
    for (const Hkey root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        CreateKeyPath(root, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN");
    }
    CreateKeyPath(HKEY_LOCAL_MACHINE,
                  "SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN");
    // A 32-bit program's view names the x86 folder as ProgramFilesDir.
    for (const auto& [key, programFiles] :
         {std::pair{"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION", "C:\\Program Files"},
          std::pair{"SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS\\CURRENTVERSION",
                    "C:\\Program Files (x86)"}}) {
        const auto sz = [](std::string_view text) {
            return RegistryValue{REG_SZ, std::string(text) + '\0'};
        };
        SetRegValue(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir", sz(programFiles));
        SetRegValue(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir (x86)",
                    sz("C:\\Program Files (x86)"));
        SetRegValue(HKEY_LOCAL_MACHINE, key, "ProgramW6432Dir", sz("C:\\Program Files"));
    }
}

// ---- Registry ----------------------------------------------------------------------------------

std::string SimRegistry::KeyName(std::string_view subKey) {
    std::string name = UpperAnsi(subKey);
    while (!name.empty() && name.back() == '\\') {
        name.pop_back();
    }
    return name;
}

void SimRegistry::CreateKeyPath(Hkey root, const std::string& name) {
    // Creating a key creates the keys above it.
    for (std::size_t slash = name.find('\\'); slash != std::string::npos;
         slash = name.find('\\', slash + 1)) {
        registry_.try_emplace({root, name.substr(0, slash)});
    }
    registry_.try_emplace({root, name});
}

bool SimRegistry::WriteDenied(Hkey root, const std::string& name) const {
    return std::any_of(deniedKeys_.begin(), deniedKeys_.end(), [&](const auto& denied) {
        return denied.first == root &&
               (name == denied.second ||
                (name.size() > denied.second.size() && name.starts_with(denied.second) &&
                 name[denied.second.size()] == '\\'));
    });
}

std::optional<std::pair<Hkey, std::string>> SimRegistry::ResolveKey(Hkey root, const char* subKey,
                                                                    UInt access) const {
    std::string name = KeyName(subKey == nullptr ? "" : subKey);
    if (root == HKEY_LOCAL_MACHINE) {
        // The view: a 32-bit program's keys under SOFTWARE live in WOW6432Node, unless it asks
        // for the 64-bit view; a 64-bit program's there only when it asks for the 32-bit one.
        const bool thirtyTwoBitView = thirtyTwoBitProgram_ ? (access & KEY_WOW64_64KEY) == 0
                                                           : (access & KEY_WOW64_32KEY) != 0;
        constexpr std::string_view kSoftware = "SOFTWARE\\";
        if (thirtyTwoBitView && name.starts_with(kSoftware) &&
            !name.starts_with("SOFTWARE\\WOW6432NODE")) {
            name.insert(kSoftware.size(), "WOW6432NODE\\");
        }
        return std::pair{root, name};
    }
    if (root == HKEY_CURRENT_USER) {
        return std::pair{root, name};
    }
    const auto open = openKeys_.find(root);
    if (open == openKeys_.end()) {
        return std::nullopt;
    }
    if (name.empty()) {
        return std::pair{open->second.root, open->second.subKey};
    }
    std::string path = open->second.subKey.empty() ? name : open->second.subKey + "\\" + name;
    return std::pair{open->second.root, std::move(path)};
}

bool SimRegistry::KeyPresent(Hkey root, const std::string& name) const {
    return name.empty() || registry_.contains({root, name});
}

Hkey SimRegistry::OpenHandle(Hkey root, std::string name, UInt access) {
    const Hkey handle = nextKey_;
    nextKey_ += 4;
    openKeys_[handle] = OpenKey{root, std::move(name), access};
    return handle;
}

std::int32_t SimRegistry::RegOpenKeyExA(Hkey root, const char* subKey, UInt /*options*/,
                                        UInt access, Hkey* result) {
    if (result == nullptr) {
        return kErrorInvalidParameter;
    }
    *result = 0;
    const auto key = ResolveKey(root, subKey, access);
    if (!key) {
        return kErrorInvalidHandle;
    }
    if (!KeyPresent(key->first, key->second)) {
        return ERROR_FILE_NOT_FOUND;
    }
    if ((access & ~kReadAccess) != 0 && WriteDenied(key->first, key->second)) {
        return ERROR_ACCESS_DENIED;
    }
    *result = OpenHandle(key->first, key->second, access);
    return ERROR_SUCCESS;
}

std::int32_t SimRegistry::RegCreateKeyExA(Hkey root, const char* subKey, UInt access,
                                          Hkey* result) {
    if (result == nullptr) {
        return kErrorInvalidParameter;
    }
    *result = 0;
    const auto key = ResolveKey(root, subKey, access);
    if (!key) {
        return kErrorInvalidHandle;
    }
    const bool present = KeyPresent(key->first, key->second);
    if ((!present || (access & ~kReadAccess) != 0) && WriteDenied(key->first, key->second)) {
        return ERROR_ACCESS_DENIED;
    }
    if (!present) {
        CreateKeyPath(key->first, key->second);
    }
    *result = OpenHandle(key->first, key->second, access);
    return ERROR_SUCCESS;
}

std::int32_t SimRegistry::RegQueryValueExA(Hkey key, const char* valueName, UInt* type,
                                           std::string* data) {
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kErrorInvalidHandle;
    }
    if ((open->second.access & KEY_QUERY_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    const auto value =
        RegValue(open->second.root, open->second.subKey, valueName == nullptr ? "" : valueName);
    if (!value) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (type != nullptr) {
        *type = value->type;
    }
    if (data != nullptr) {
        *data = value->data;
    }
    return ERROR_SUCCESS;
}

std::int32_t SimRegistry::RegQueryValueExW(Hkey key, const wchar_t* valueName, UInt* type,
                                           std::wstring* data) {
    std::string bytes;
    const std::int32_t result = RegQueryValueExA(
        key, EncodeAnsi(valueName == nullptr ? L"" : valueName).c_str(), type, &bytes);
    if (result == ERROR_SUCCESS && data != nullptr) {
        *data = DecodeAnsi(bytes);
    }
    return result;
}

std::int32_t SimRegistry::RegSetValueExA(Hkey key, const char* valueName, UInt /*reserved*/,
                                         UInt type, const std::uint8_t* data, UInt size) {
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kErrorInvalidHandle;
    }
    if ((open->second.access & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    if (data == nullptr && size != 0) {
        return kErrorInvalidParameter;
    }
    RegistryValue value;
    value.type = type;
    if (size != 0) {
        value.data.assign(reinterpret_cast<const char*>(data), size);
    }
    writes_.push_back({open->second.root, open->second.subKey,
                       valueName == nullptr ? "" : valueName, value.data});
    SetRegValue(open->second.root, open->second.subKey, writes_.back().name, std::move(value));
    return ERROR_SUCCESS;
}

std::int32_t SimRegistry::RegDeleteValueA(Hkey key, const char* valueName) {
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kErrorInvalidHandle;
    }
    if ((open->second.access & KEY_SET_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    const auto values = registry_.find({open->second.root, open->second.subKey});
    if (values == registry_.end() ||
        values->second.erase(UpperAnsi(valueName == nullptr ? "" : valueName)) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    return ERROR_SUCCESS;
}

std::int32_t SimRegistry::RegCloseKey(Hkey key) {
    return openKeys_.erase(key) == 0 ? kErrorInvalidHandle : ERROR_SUCCESS;
}

std::optional<RegistryValue> SimRegistry::RegValue(Hkey root, std::string_view subKey,
                                                   std::string_view name) const {
    const auto values = registry_.find({root, KeyName(subKey)});
    if (values == registry_.end()) {
        return std::nullopt;
    }
    const auto value = values->second.find(UpperAnsi(name));
    if (value == values->second.end()) {
        return std::nullopt;
    }
    return value->second.value;
}

std::vector<std::string> SimRegistry::RegValueNames(Hkey root, std::string_view subKey) const {
    std::vector<std::string> names;
    if (const auto values = registry_.find({root, KeyName(subKey)}); values != registry_.end()) {
        for (const auto& [upper, stored] : values->second) {
            names.push_back(stored.name);
        }
    }
    return names;
}

void SimRegistry::SetRegValue(Hkey root, std::string_view subKey, std::string_view name,
                              RegistryValue value) {
    const std::string key = KeyName(subKey);
    CreateKeyPath(root, key);
    auto& stored = registry_[{root, key}][UpperAnsi(name)];
    // An existing value keeps the spelling of its name, as the registry does.
    if (stored.name.empty()) {
        stored.name = name;
    }
    stored.value = std::move(value);
}

void SimRegistry::DenyWrite(Hkey root, std::string_view subKey, bool deny) {
    std::erase(deniedKeys_, std::pair(root, KeyName(subKey)));
    if (deny) {
        deniedKeys_.emplace_back(root, KeyName(subKey));
    }
}

}  // namespace vt::sim
