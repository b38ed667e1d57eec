#pragma once

// What another process holds, counted from outside: GDI objects (read from its shared GDI
// handle table), its windows, and its kernel handles. GetGuiResources answers 0 under Wine.

#include <windows.h>
#include <winternl.h>

#include <array>
#include <cstring>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "probe_util.h"

namespace probe {

// One entry of the GDI handle table that both Windows and Wine map into every process and
// point to from the PEB; the layout is the same in 32-bit processes.
struct GdiHandleEntry {
    std::uint64_t object;
    std::uint32_t owner;
    std::uint16_t unique;  // bits 0-6 extended type, bit 7 stock object, bits 8-15 generation
    std::uint8_t type;     // 0 for a free entry
    std::uint8_t flags;
    std::uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24);

inline constexpr std::size_t kGdiHandleCount = 0x10000;
inline constexpr std::uintptr_t kPebGdiSharedHandleTable32 = 0x94;

struct GdiCounts {
    int total = 0;  // live objects that are not stock objects
    std::array<int, 256> byType{};
};

// Names of the table's type codes for the kinds of object a window program creates.
inline const char* GdiTypeName(int type) {
    switch (type) {
        case 0x01:
            return "dc";
        case 0x04:
            return "region";
        case 0x05:
            return "surface";
        case 0x08:
            return "palette";
        case 0x09:
            return "bitmap";
        case 0x0a:
            return "font";
        case 0x10:
            return "brush";
        case 0x30:
            return "pen";
        default:
            return nullptr;
    }
}

inline std::optional<GdiCounts> CountGdiObjects(HANDLE process) {
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof(basic),
                                  &length) != 0 ||
        basic.PebBaseAddress == nullptr) {
        return std::nullopt;
    }
    std::uint32_t tableAddress = 0;
    SIZE_T read = 0;
    const auto* pebField =
        reinterpret_cast<const std::uint8_t*>(basic.PebBaseAddress) + kPebGdiSharedHandleTable32;
    if (!ReadProcessMemory(process, pebField, &tableAddress, sizeof(tableAddress), &read) ||
        tableAddress == 0) {
        return std::nullopt;
    }
    std::vector<GdiHandleEntry> table(kGdiHandleCount);
    if (!ReadProcessMemory(process, reinterpret_cast<const void*>(std::uintptr_t{tableAddress}),
                           table.data(), table.size() * sizeof(GdiHandleEntry), &read)) {
        return std::nullopt;
    }
    GdiCounts counts;
    for (const GdiHandleEntry& entry : table) {
        const bool stock = (entry.unique & 0x80) != 0;
        if (entry.type != 0 && !stock) {
            ++counts.total;
            ++counts.byType[entry.type];
        }
    }
    return counts;
}

inline std::string DescribeGdiCounts(const GdiCounts& counts) {
    std::string text = "gdi_total=";
    text += std::to_string(counts.total);
    for (int type = 1; type < 256; ++type) {
        const int count = counts.byType[static_cast<std::size_t>(type)];
        if (count == 0) {
            continue;
        }
        const char* name = GdiTypeName(type);
        text += " gdi_";
        text += name != nullptr ? std::string(name) : "type" + std::to_string(type);
        text += '=';
        text += std::to_string(count);
    }
    return text;
}

inline BOOL CALLBACK CountWindow(HWND, LPARAM lParam) {
    ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}

// The process's windows: top-level ones (hidden included) with all their descendants, and its
// message-only windows.
inline int CountWindows(DWORD processId) {
    int count = 0;
    for (HWND window : TopLevelWindows()) {
        if (WindowProcessId(window) == processId) {
            ++count;
            static_cast<void>(
                EnumChildWindows(window, &CountWindow, reinterpret_cast<LPARAM>(&count)));
        }
    }
    HWND messageWindow = nullptr;
    while ((messageWindow = FindWindowExA(HWND_MESSAGE, messageWindow, nullptr, nullptr)) !=
           nullptr) {
        count += WindowProcessId(messageWindow) == processId ? 1 : 0;
    }
    return count;
}

// The system's handle list, as NtQuerySystemInformation(SystemHandleInformation) gives it.
struct SystemHandleEntry {
    ULONG ownerProcessId;
    UCHAR objectType;
    UCHAR flags;
    USHORT value;
    PVOID object;
    ULONG access;
};
inline constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
inline constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);

// The process's kernel handles, from the system's handle list: GetProcessHandleCount answers
// 0 under Wine.
inline std::optional<long> KernelHandleCount(DWORD processId) {
    std::vector<std::uint8_t> buffer(1 << 16);
    for (;;) {
        ULONG length = 0;
        const NTSTATUS status = NtQuerySystemInformation(
            kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length);
        if (status == kInfoLengthMismatch && buffer.size() < (1u << 26)) {
            buffer.resize(buffer.size() * 4);
            continue;
        }
        if (status != 0) {
            return std::nullopt;
        }
        break;
    }
    ULONG entries = 0;
    std::memcpy(&entries, buffer.data(), sizeof(entries));
    const std::size_t first = sizeof(void*) == 4 ? 4 : 8;
    long count = 0;
    for (ULONG i = 0; i < entries; ++i) {
        SystemHandleEntry entry{};
        const std::size_t at = first + i * sizeof(SystemHandleEntry);
        if (at + sizeof(entry) > buffer.size()) {
            break;
        }
        std::memcpy(&entry, buffer.data() + at, sizeof(entry));
        count += entry.ownerProcessId == processId ? 1 : 0;
    }
    return count;
}

// One line of counts for the process, or what could not be counted.
inline std::string DescribeProcessObjects(DWORD processId) {
    UniqueHandle process(
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
    if (!process) {
        Fail("OpenProcess " + std::to_string(processId));
    }
    // Appended piece by piece: GCC 12 warns wrongly (-Wrestrict) on "literal" + string.
    std::string text = "windows=";
    text += std::to_string(CountWindows(processId));
    const std::optional<long> handles = KernelHandleCount(processId);
    text += " kernel_handles=";
    text += handles ? std::to_string(*handles) : std::string("n/a");
    const std::optional<GdiCounts> gdi = CountGdiObjects(process.get());
    text += ' ';
    text += gdi ? DescribeGdiCounts(*gdi) : std::string("gdi_total=n/a");
    // Both answer 0 under Wine; shown so that the figures above can be compared with them.
    DWORD handleCount = 0;
    const bool counted = GetProcessHandleCount(process.get(), &handleCount) != FALSE;
    text += " getprocesshandlecount=";
    text += counted ? std::to_string(handleCount) : std::string("n/a");
    text += " getguiresources_gdi=";
    text += std::to_string(GetGuiResources(process.get(), GR_GDIOBJECTS));
    text += " getguiresources_user=";
    text += std::to_string(GetGuiResources(process.get(), GR_USEROBJECTS));
    return text;
}

}  // namespace probe
