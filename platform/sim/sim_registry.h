#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry_access.h"

// The simulated registry, with the access rights and the views Windows has. Names are matched
// ignoring case, as the registry does.
namespace vt::sim {

struct RegistryValue {
    UInt type = REG_SZ;
    std::string data;  // bytes as stored, terminating NUL included for REG_SZ
};

// A successful RegSetValueExA: the key in upper case, the value's name as given, its bytes.
struct RegistryWrite {
    Hkey root;
    std::string subKey;
    std::string name;
    std::string data;
};

class SimRegistry : public RegistryAccess {
  public:
    // Both Run keys exist, empty, and so does the machine's in the 32-bit view; the machine's
    // CurrentVersion key names the Program Files folders of 64-bit Windows in both views.
    SimRegistry();

    // A 32-bit program on 64-bit Windows sees HKEY_LOCAL_MACHINE\SOFTWARE in the 32-bit view
    // (SOFTWARE\WOW6432Node) unless it opens with KEY_WOW64_64KEY; a 64-bit one sees the 64-bit
    // view unless it opens with KEY_WOW64_32KEY. Tests name the keys as they are stored.
    void SetThirtyTwoBitProgram(bool thirtyTwoBit) { thirtyTwoBitProgram_ = thirtyTwoBit; }

    std::optional<RegistryValue> RegValue(Hkey root, std::string_view subKey,
                                          std::string_view name) const;
    void SetRegValue(Hkey root, std::string_view subKey, std::string_view name,
                     RegistryValue value);
    // The value names of a key as they were first written (the registry keeps their spelling).
    std::vector<std::string> RegValueNames(Hkey root, std::string_view subKey) const;
    // Opening this key or one below it with any write access fails with ERROR_ACCESS_DENIED
    // (until allowed again). Handles check their access too: querying needs KEY_QUERY_VALUE,
    // setting and deleting KEY_SET_VALUE.
    void DenyWrite(Hkey root, std::string_view subKey, bool deny = true);
    const std::vector<RegistryWrite>& RegWrites() const { return writes_; }
    std::int32_t OpenKeyCount() const { return static_cast<std::int32_t>(openKeys_.size()); }

    std::int32_t RegOpenKeyExA(Hkey root, const char* subKey, UInt /*options*/, UInt access,
                               Hkey* result) override {
        return OpenOrCreate(root, subKey, access, result, false);
    }
    std::int32_t RegCreateKeyExA(Hkey root, const char* subKey, UInt access,
                                 Hkey* result) override {
        return OpenOrCreate(root, subKey, access, result, true);
    }
    std::int32_t RegQueryValueExA(Hkey key, const char* valueName, UInt* type,
                                  std::string* data) override;
    // The stored bytes read as the code page's text.
    std::int32_t RegQueryValueExW(Hkey key, const wchar_t* valueName, UInt* type,
                                  std::wstring* data) override;
    std::int32_t RegSetValueExA(Hkey key, const char* valueName, UInt reserved, UInt type,
                                const std::uint8_t* data, UInt size) override;
    std::int32_t RegDeleteValueA(Hkey key, const char* valueName) override;
    std::int32_t RegCloseKey(Hkey key) override;

  private:
    using Key = std::pair<Hkey, std::string>;  // a root and an upper-case key name
    struct OpenKey {
        Key key;
        UInt access;
    };
    struct StoredValue {
        std::string name;  // as first written
        RegistryValue value;
    };

    static std::string KeyName(std::string_view subKey);
    void CreateKeyPath(const Key& key);
    bool WriteDenied(const Key& key) const;
    std::int32_t OpenOrCreate(Hkey root, const char* subKey, UInt access, Hkey* result,
                              bool create);

    std::map<Key, std::map<std::string, StoredValue>> registry_;  // by upper-case value name
    std::vector<Key> deniedKeys_;
    std::map<Hkey, OpenKey> openKeys_;
    Hkey nextKey_ = 0x100;
    std::vector<RegistryWrite> writes_;
    bool thirtyTwoBitProgram_ = false;
};

}  // namespace vt::sim
