// The resources built into Vintrell.exe: icons, version information and manifest.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace vt::test {
namespace {

// The executable, beside this test program in the build tree, loaded as data only.
class ExecutableResources : public ::testing::Test {
  protected:
    ExecutableResources() {
        char self[MAX_PATH] = {};
        ::GetModuleFileNameA(nullptr, self, MAX_PATH);
        path = self;
        path.erase(path.find_last_of('\\') + 1);
        path += "..\\..\\platform\\win32\\Vintrell.exe";
        module = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~ExecutableResources() override {
        if (module != nullptr) {
            ::FreeLibrary(module);
        }
    }

    // A resource's bytes; empty when it is missing.
    std::vector<std::uint8_t> Resource(LPCSTR type, LPCSTR name) const {
        const HRSRC found = ::FindResourceA(module, name, type);
        if (found == nullptr) {
            return {};
        }
        const auto* data =
            static_cast<const std::uint8_t*>(::LockResource(::LoadResource(module, found)));
        return {data, data + ::SizeofResource(module, found)};
    }

    std::string path;
    HMODULE module = nullptr;
};

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// The one image of an icon group: its directory entry and its DIB.
struct SingleIcon {
    GroupIconEntry entry;
    std::vector<std::uint8_t> image;
};

// A function of a library loaded at run time, with its real type.
template <typename Function>
Function Proc(HMODULE library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
}

BOOL CALLBACK TakeFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR first) {
    *reinterpret_cast<LPSTR*>(first) = name;
    return FALSE;
}

TEST_F(ExecutableResources, IconsAreOneThirtyTwoPixel24BitImageEachAndTheFirstIsTheApplications) {
    ASSERT_NE(module, nullptr) << "build Vintrell.exe first: " << path;
    LPSTR first = nullptr;
    ::EnumResourceNamesA(module, RT_GROUP_ICON, &TakeFirstName, reinterpret_cast<LONG_PTR>(&first));
    EXPECT_TRUE(IS_INTRESOURCE(first));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first), VT_IDI_APPLICATION);

    auto single = [&](int id) {
        const std::vector<std::uint8_t> group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(id));
        SingleIcon icon{};
        EXPECT_EQ(group.size(), 6 + sizeof(GroupIconEntry));
        if (group.size() < 6 + sizeof(GroupIconEntry)) {
            return icon;
        }
        EXPECT_EQ(group[4] | (group[5] << 8), 1);  // one image
        std::memcpy(&icon.entry, group.data() + 6, sizeof(icon.entry));
        icon.image = Resource(RT_ICON, MAKEINTRESOURCEA(icon.entry.id));
        return icon;
    };
    for (int id : {VT_IDI_APPLICATION, VT_IDI_BLANK}) {
        SCOPED_TRACE(id);
        const SingleIcon icon = single(id);
        EXPECT_EQ(icon.entry.width, 32);
        EXPECT_EQ(icon.entry.height, 32);
        EXPECT_EQ(icon.entry.bitCount, 24);
        ASSERT_EQ(icon.image.size(), 40u + 32 * 32 * 3 + 32 * 4);
    }

    // The application icon shows something; the blank one is transparent everywhere.
    const std::vector<std::uint8_t> application = single(VT_IDI_APPLICATION).image;
    const std::vector<std::uint8_t> blank = single(VT_IDI_BLANK).image;
    const std::size_t maskStart = 40 + 32 * 32 * 3;
    int opaque = 0;
    for (std::size_t at = maskStart; at < application.size(); ++at) {
        opaque += 8 - __builtin_popcount(application[at]);
        EXPECT_EQ(blank[at], 0xFF);
    }
    EXPECT_GT(opaque, 32 * 32 / 2);
}

TEST_F(ExecutableResources, VersionInformationNamesTheProduct) {
    ASSERT_NE(module, nullptr) << "build Vintrell.exe first: " << path;
    const HMODULE versionDll = ::LoadLibraryA("version.dll");
    ASSERT_NE(versionDll, nullptr);
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    const auto size = Proc<SizeFn>(versionDll, "GetFileVersionInfoSizeA");
    const auto info = Proc<InfoFn>(versionDll, "GetFileVersionInfoA");
    const auto query = Proc<QueryFn>(versionDll, "VerQueryValueA");
    ASSERT_TRUE(size && info && query);

    std::vector<std::uint8_t> block(size(path.c_str(), nullptr));
    ASSERT_FALSE(block.empty());
    ASSERT_TRUE(info(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(query(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));

    WORD* translation = nullptr;
    ASSERT_TRUE(query(block.data(), "\\VarFileInfo\\Translation",
                      reinterpret_cast<LPVOID*>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    const std::pair<const char*, const char*> strings[] = {
        {"CompanyName", "Organization"}, {"ProductName", "Pellidor"},
        {"FileVersion", "1.00"},         {"ProductVersion", "1.00"},
        {"InternalName", "Vintrell"},    {"OriginalFilename", "Vintrell.exe"},
    };
    for (const auto& [name, expected] : strings) {
        char* value = nullptr;
        const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(query(block.data(), key.c_str(), reinterpret_cast<LPVOID*>(&value), &length))
            << name;
        EXPECT_STREQ(value, expected) << name;
    }
    ::FreeLibrary(versionDll);
}

TEST_F(ExecutableResources, TheManifestAsksForCommonControls6DpiAwarenessAndNoElevation) {
    ASSERT_NE(module, nullptr) << "build Vintrell.exe first: " << path;
    const std::vector<std::uint8_t> bytes = Resource(RT_MANIFEST, MAKEINTRESOURCEA(1));
    ASSERT_FALSE(bytes.empty());
    const std::string manifest(bytes.begin(), bytes.end());
    for (const char* expected :
         {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
          sizeof(void*) == 8 ? "processorArchitecture=\"amd64\"" : "processorArchitecture=\"x86\"",
          ">true</dpiAware>", ">system</dpiAwareness>", "level=\"asInvoker\" uiAccess=\"false\"",
          "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
          "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
          "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
        EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
    }
}

}  // namespace
}  // namespace vt::test
