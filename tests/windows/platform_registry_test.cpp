// The registry and the settings store of Win32Platform, in Wine's registry.
#include "tests/windows/platform_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/error.h"

namespace vt::test {
namespace {

using win32::FromHkey;
using win32::Win32Platform;

class Win32RegistryTest : public ::testing::Test {
  protected:
    Win32Platform platform{::GetModuleHandleA(nullptr)};
};

// --- Registry ------------------------------------------------------------------------------

TEST_F(Win32RegistryTest, RegistryCallsThroughTheSeam) {
    const std::string subKey = "Software\\" + UniqueName("VintrellRegistry");
    Hkey key = 0;
    const Hkey currentUser = FromHkey(HKEY_CURRENT_USER);
    EXPECT_EQ(platform.RegOpenKeyExA(currentUser, subKey.c_str(), 0, KEY_QUERY_VALUE, &key),
              ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(platform.RegCreateKeyExA(currentUser, subKey.c_str(), KEY_QUERY_VALUE | KEY_SET_VALUE,
                                       &key),
              ERROR_SUCCESS);

    // A string longer than any first guess at its size comes back whole, NUL included.
    std::string text(70000, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char>('a' + i % 26);
    }
    EXPECT_EQ(platform.RegSetValueExA(key, "Long", 0, REG_SZ,
                                      reinterpret_cast<const std::uint8_t*>(text.c_str()),
                                      static_cast<UInt>(text.size() + 1)),
              ERROR_SUCCESS);
    UInt type = 0;
    std::string data;
    ASSERT_EQ(platform.RegQueryValueExA(key, "Long", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<UInt>(REG_SZ));
    EXPECT_EQ(data, text + '\0');

    const DWORD number = 0x01020304;
    EXPECT_EQ(platform.RegSetValueExA(key, "Number", 0, REG_DWORD,
                                      reinterpret_cast<const std::uint8_t*>(&number), 4),
              ERROR_SUCCESS);
    ASSERT_EQ(platform.RegQueryValueExA(key, "Number", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<UInt>(REG_DWORD));
    EXPECT_EQ(data, std::string("\x04\x03\x02\x01", 4));

    // The wide read: a letter outside the code page as it is, in a value of any length.
    const std::wstring wide = std::wstring(40000, L'a') + L"\u0100";
    ASSERT_EQ(::RegSetValueExW(win32::ToHkey(key), L"Wide", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(wide.c_str()),
                               static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    std::wstring wideData;
    ASSERT_EQ(platform.RegQueryValueExW(key, L"Wide", &type, &wideData), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<UInt>(REG_SZ));
    EXPECT_EQ(wideData, wide + L'\0');
    EXPECT_EQ(platform.RegQueryValueExW(key, L"None", &type, &wideData), ERROR_FILE_NOT_FOUND);

    EXPECT_EQ(platform.RegDeleteValueA(key, "Long"), ERROR_SUCCESS);
    EXPECT_EQ(platform.RegQueryValueExA(key, "Long", &type, &data), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform.RegDeleteValueA(key, "Long"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);

    // Reopened by the root's 32-bit number, the key still holds the other value.
    ASSERT_EQ(platform.RegOpenKeyExA(currentUser, subKey.c_str(), 0, KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(platform.RegQueryValueExA(key, "Number", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(platform.RegCloseKey(key), ERROR_SUCCESS);
    DeleteKeyTree(HKEY_CURRENT_USER, Wide(subKey));
}

// --- Settings store ----------------------------------------------------------------------------

class SettingsStoreTest : public Win32RegistryTest {
  protected:
    void TearDown() override {
        DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Tolvane\\" + section);
        // Tolvane itself only when nothing else lives under it.
        static_cast<void>(::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Tolvane"));
        DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\" + otherApp);
    }

    std::string sectionAnsi = UniqueName("VintrellSettings");
    std::wstring section = Wide(sectionAnsi);
    std::wstring otherApp = Wide(UniqueName("VintrellOtherApp"));
};

TEST_F(SettingsStoreTest, RoundTripInTheCurrentUsersRegistry) {
    SaveSetting(platform, L"Tolvane", section, L"Windows Startup", L"On");
    EXPECT_EQ(GetSetting(platform, L"Tolvane", section, L"Windows Startup"), L"On");

    // One REG_SZ value per key under HKEY_CURRENT_USER\Software\<app>\<section>.
    std::string stored;
    const std::string subKey = "Software\\Tolvane\\" + sectionAnsi;
    ASSERT_TRUE(ReadStringValue(HKEY_CURRENT_USER, subKey.c_str(), "Windows Startup", &stored));
    EXPECT_EQ(stored, "On");

    SaveSetting(platform, L"Tolvane", section, L"Windows Startup", L"Off");
    EXPECT_EQ(GetSetting(platform, L"Tolvane", section, L"Windows Startup"), L"Off");
    SaveSetting(platform, L"Tolvane", section, L"Listview", L"");
    EXPECT_EQ(GetSetting(platform, L"Tolvane", section, L"Listview"), L"")
        << "an empty value is present, not absent";
    // Letters of the ANSI code page, three of them from 0x80 to 0x9F, where it leaves Latin-1.
    const std::wstring letters = L"Gr\u00F6\u00DFe \u00C9t\u00E9 \u0152uvre \u0161 \u20AC";
    SaveSetting(platform, L"Tolvane", section, L"Listview", letters);
    EXPECT_EQ(GetSetting(platform, L"Tolvane", section, L"Listview"), letters);
}

TEST_F(SettingsStoreTest, AbsentValuesReadAsNothingAndReadingCreatesNothing) {
    EXPECT_EQ(GetSetting(platform, otherApp, L"Vintrell", L"Minimized"), kAbsent);
    win32::UniqueKey key;
    EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, (L"Software\\" + otherApp).c_str(), 0,
                              KEY_QUERY_VALUE, key.put()),
              ERROR_FILE_NOT_FOUND);

    SaveSetting(platform, L"Tolvane", section, L"Listview", L"a||||||||---");
    EXPECT_EQ(GetSetting(platform, L"Tolvane", section, L"Minimized"), kAbsent);
}

TEST_F(SettingsStoreTest, LongValueIsReadWhole) {
    std::wstring value(100 * 1024, L'\0');
    for (std::size_t i = 0; i < value.size(); ++i) {
        value[i] = static_cast<wchar_t>(L'A' + i % 23);
    }
    value += L"-end";
    SaveSetting(platform, L"Tolvane", section, L"Listview", value);
    EXPECT_EQ(GetSetting(platform, L"Tolvane", section, L"Listview"), value);
}

TEST_F(SettingsStoreTest, ValuesOfOtherTypesAndTrailingNuls) {
    SaveSetting(platform, L"Tolvane", section, L"Listview", L"x");
    win32::UniqueKey key;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, (L"Software\\Tolvane\\" + section).c_str(), 0,
                              KEY_SET_VALUE, key.put()),
              ERROR_SUCCESS);
    const DWORD number = 1;
    ASSERT_EQ(::RegSetValueExW(key.get(), L"Windows Startup", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&number), sizeof(number)),
              ERROR_SUCCESS);
    try {
        GetSetting(platform, L"Tolvane", section, L"Windows Startup");
        ADD_FAILURE() << "a REG_DWORD value was read as a string or as absent";
    } catch (const AppError& error) {
        EXPECT_EQ(error.Number(), err::kSettingUnreadable);
        EXPECT_NE(error.Description().find(L"Windows Startup"), std::wstring::npos)
            << "the description does not name the key";
    }

    const wchar_t expandable[] = L"%WINDIR%\\x";
    ASSERT_EQ(::RegSetValueExW(key.get(), L"Minimized", 0, REG_EXPAND_SZ,
                               reinterpret_cast<const BYTE*>(expandable), sizeof(expandable)),
              ERROR_SUCCESS);
    EXPECT_EQ(GetSetting(platform, L"Tolvane", section, L"Minimized"), L"%WINDIR%\\x");

    const wchar_t padded[] = L"On\0\0\0";  // written by another program, NULs and all
    ASSERT_EQ(::RegSetValueExW(key.get(), L"Minimized", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(padded), sizeof(padded)),
              ERROR_SUCCESS);
    EXPECT_EQ(GetSetting(platform, L"Tolvane", section, L"Minimized"), L"On");
}

TEST_F(SettingsStoreTest, FailedWriteRaisesAnErrorNamingTheKey) {
    // No lasting key can be created below a volatile one.
    win32::UniqueKey app;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (L"Software\\" + otherApp).c_str(), 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, app.put(), nullptr),
              ERROR_SUCCESS);
    try {
        SaveSetting(platform, otherApp, L"Vintrell", L"Listview", L"kept|||||||||---");
        ADD_FAILURE() << "the failed write was reported as success";
    } catch (const AppError& error) {
        EXPECT_EQ(error.Number(), err::kSettingNotWritten);
        EXPECT_NE(error.Description().find(L"Listview"), std::wstring::npos)
            << "the description does not name the key";
    }
    EXPECT_EQ(GetSetting(platform, otherApp, L"Vintrell", L"Listview"), kAbsent);
}

}  // namespace
}  // namespace vt::test
