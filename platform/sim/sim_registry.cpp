#include "platform/sim/sim_registry.h"

#include <algorithm>

#include "platform/sim/sim_text.h"

namespace vt::sim {

namespace {

// Read access: KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY, READ_CONTROL, and the
// WOW64 view flags, which choose a view rather than ask for a right.
constexpr UInt kReadAccess = 0x0001 | 0x0008 | 0x0010 | 0x00020000 | 0x0100 | 0x0200;
constexpr std::int32_t kErrorInvalidHandle = 6;

RegistryValue Sz(std::string_view text) {
    return {REG_SZ, std::string(text) + '\0'};
}

}  // namespace

SimRegistry::SimRegistry() {
    for (const Hkey root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        CreateKeyPath({root, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN"});
    }
    CreateKeyPath(
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN"});
    // A 32-bit program's view names the x86 folder as ProgramFilesDir.
    for (const auto& [key, programFiles] :
         {std::pair{"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION", "C:\\Program Files"},
          std::pair{"SOFTWARE\\WOW6432NODE\\MICROSOFT\\WINDOWS\\CURRENTVERSION",
                    "C:\\Program Files (x86)"}}) {
        SetRegValue(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir", Sz(programFiles));
        SetRegValue(HKEY_LOCAL_MACHINE, key, "ProgramFilesDir (x86)",
                    Sz("C:\\Program Files (x86)"));
        SetRegValue(HKEY_LOCAL_MACHINE, key, "ProgramW6432Dir", Sz("C:\\Program Files"));
    }
}

std::string SimRegistry::KeyName(std::string_view subKey) {
    std::string name = UpperAnsi(subKey);
    while (!name.empty() && name.back() == '\\') {
        name.pop_back();
    }
    return name;
}

void SimRegistry::CreateKeyPath(const Key& key) {
    // Creating a key creates the keys above it.
    for (std::size_t slash = key.second.find('\\'); slash != std::string::npos;
         slash = key.second.find('\\', slash + 1)) {
        registry_.try_emplace({key.first, key.second.substr(0, slash)});
    }
    registry_.try_emplace(key);
}

bool SimRegistry::WriteDenied(const Key& key) const {
    return std::any_of(deniedKeys_.begin(), deniedKeys_.end(), [&](const Key& denied) {
        // The key itself, or one below it.
        return denied.first == key.first &&
               (key.second == denied.second || key.second.starts_with(denied.second + '\\'));
    });
}

std::int32_t SimRegistry::OpenOrCreate(Hkey root, const char* subKey, UInt access, Hkey* result,
                                       bool create) {
    *result = 0;
    if (root != HKEY_LOCAL_MACHINE && root != HKEY_CURRENT_USER) {
        return kErrorInvalidHandle;  // keys are opened from the roots alone here
    }
    Key key{root, KeyName(subKey == nullptr ? "" : subKey)};
    const bool thirtyTwoBitView =
        thirtyTwoBitProgram_ ? (access & KEY_WOW64_64KEY) == 0 : (access & KEY_WOW64_32KEY) != 0;
    if (root == HKEY_LOCAL_MACHINE && thirtyTwoBitView && key.second.starts_with("SOFTWARE\\") &&
        !key.second.starts_with("SOFTWARE\\WOW6432NODE")) {
        key.second.insert(std::string_view("SOFTWARE\\").size(), "WOW6432NODE\\");
    }
    const bool present = key.second.empty() || registry_.contains(key);
    if (!present && !create) {
        return ERROR_FILE_NOT_FOUND;
    }
    if ((!present || (access & ~kReadAccess) != 0) && WriteDenied(key)) {
        return ERROR_ACCESS_DENIED;
    }
    CreateKeyPath(key);
    *result = nextKey_;
    nextKey_ += 4;
    openKeys_[*result] = OpenKey{std::move(key), access};
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
    const Key& where = open->second.key;
    const auto value = RegValue(where.first, where.second, valueName == nullptr ? "" : valueName);
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
    const Key& where = open->second.key;
    RegistryValue value{
        type, size != 0 ? std::string(reinterpret_cast<const char*>(data), size) : std::string()};
    writes_.push_back(
        {where.first, where.second, valueName == nullptr ? "" : valueName, value.data});
    SetRegValue(where.first, where.second, writes_.back().name, std::move(value));
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
    // An open key is there: keys are made, never removed.
    if (registry_.at(open->second.key).erase(UpperAnsi(valueName == nullptr ? "" : valueName)) ==
        0) {
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
    const Key key{root, KeyName(subKey)};
    CreateKeyPath(key);
    auto& stored = registry_[key][UpperAnsi(name)];
    // An existing value keeps the spelling of its name, as the registry does.
    if (stored.name.empty()) {
        stored.name = name;
    }
    stored.value = std::move(value);
}

void SimRegistry::DenyWrite(Hkey root, std::string_view subKey, bool deny) {
    std::erase(deniedKeys_, Key(root, KeyName(subKey)));
    if (deny) {
        deniedKeys_.emplace_back(root, KeyName(subKey));
    }
}

}  // namespace vt::sim
