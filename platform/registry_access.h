#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "platform/types.h"

namespace vt {

// The registry (advapi32), in its Win32 shapes. A value's data comes back whole, however long.
class RegistryAccess {
  public:
    virtual std::int32_t RegOpenKeyExA(Hkey root, const char* subKey, UInt options, UInt access,
                                       Hkey* result) = 0;
    virtual std::int32_t RegCreateKeyExA(Hkey root, const char* subKey, UInt access,
                                         Hkey* result) = 0;
    virtual std::int32_t RegQueryValueExA(Hkey key, const char* valueName, UInt* type,
                                          std::string* data) = 0;
    // The wide form, for a path: the ANSI one would hand back a letter outside the code page as
    // its best fit, naming another folder. The data as UTF-16 units, whatever the type.
    virtual std::int32_t RegQueryValueExW(Hkey key, const wchar_t* valueName, UInt* type,
                                          std::wstring* data) = 0;
    virtual std::int32_t RegSetValueExA(Hkey key, const char* valueName, UInt reserved, UInt type,
                                        const std::uint8_t* data, UInt size) = 0;
    virtual std::int32_t RegDeleteValueA(Hkey key, const char* valueName) = 0;
    virtual std::int32_t RegCloseKey(Hkey key) = 0;

  protected:
    ~RegistryAccess() = default;
};

// One key opened through RegistryAccess, closed with RegCloseKey when its owner goes;
// move-only. It keeps the result of the open, so a caller can tell why it is not open.
class RegKey {
  public:
    static RegKey Open(RegistryAccess& registry, Hkey root, const char* subKey, UInt access) {
        RegKey key(registry);
        key.result_ = registry.RegOpenKeyExA(root, subKey, 0, access, &key.handle_);
        return key;
    }
    static RegKey Create(RegistryAccess& registry, Hkey root, const char* subKey, UInt access) {
        RegKey key(registry);
        key.result_ = registry.RegCreateKeyExA(root, subKey, access, &key.handle_);
        return key;
    }

    RegKey(RegKey&& other) noexcept
        : registry_(other.registry_),
          handle_(std::exchange(other.handle_, 0)),
          result_(other.result_) {}
    RegKey& operator=(RegKey&& other) noexcept {
        if (this != &other) {
            Close();
            registry_ = other.registry_;
            handle_ = std::exchange(other.handle_, 0);
            result_ = other.result_;
        }
        return *this;
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { Close(); }

    bool IsOpen() const { return result_ == ERROR_SUCCESS && handle_ != 0; }
    std::int32_t Result() const { return result_; }
    Hkey Get() const { return handle_; }

  private:
    explicit RegKey(RegistryAccess& registry) : registry_(&registry) {}

    void Close() noexcept {
        if (IsOpen()) {
            // Nothing can be done about a key that fails to close.
            static_cast<void>(registry_->RegCloseKey(std::exchange(handle_, 0)));
        }
    }

    RegistryAccess* registry_;
    Hkey handle_ = 0;
    std::int32_t result_ = ERROR_FILE_NOT_FOUND;
};

}  // namespace vt
