// Drives a running Vintrell.exe with the messages a click and the tray menu send, and counts
// from outside what its process holds.
//   vt_driver start            click "Start Monitoring"; wait for the window to hide and the
//                              tray icon to show
//   vt_driver stop             the tray menu's "Stop Monitoring - Show Main Window"; wait for
//                              the window to show and the icon to go
//   vt_driver cycles N         N times start then stop; one CSV line a cycle
//   vt_driver counts           the process's windows, kernel handles and GUI objects
//   vt_driver quit             close the main window, as its close box does
//   vt_driver wait-window MS   wait up to MS for the main window to exist

#include "probe.h"  // <windows.h> first

#include <winternl.h>

#include <cstring>

namespace {

constexpr double kStateTimeoutMs = 5000.0;

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<long*>(count);
    return TRUE;
}

// The process's windows: top-level ones (hidden included) with all their descendants, and its
// message-only windows.
long CountWindows(DWORD processId) {
    long count = 0;
    for (HWND window : probe::TopLevelWindows()) {
        if (probe::WindowProcessId(window) == processId) {
            ++count;
            // FALSE also when the window has no children: the count tells.
            static_cast<void>(
                EnumChildWindows(window, &CountWindow, reinterpret_cast<LPARAM>(&count)));
        }
    }
    for (HWND window = nullptr;
         (window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;) {
        count += probe::WindowProcessId(window) == processId ? 1 : 0;
    }
    return count;
}

// The process's kernel handles in the system's handle list, which Wine keeps as Windows does
// (its GetProcessHandleCount answers 0). -1 when the list cannot be read.
long KernelHandles(DWORD processId) {
    struct Entry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO
        ULONG processId;
        UCHAR objectType;
        UCHAR flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
    constexpr auto kLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    std::vector<unsigned char> buffer(1 << 16);
    NTSTATUS status = 0;
    while ((status = NtQuerySystemInformation(kSystemHandleInformation, buffer.data(),
                                              static_cast<ULONG>(buffer.size()), nullptr)) ==
               kLengthMismatch &&
           buffer.size() < (1u << 26)) {
        buffer.resize(buffer.size() * 4);
    }
    if (status != 0) {
        return -1;
    }
    ULONG entries = 0;
    std::memcpy(&entries, buffer.data(), sizeof(entries));
    long count = 0;
    for (std::size_t i = 0, at = sizeof(void*); i < entries && at + sizeof(Entry) <= buffer.size();
         ++i, at += sizeof(Entry)) {
        Entry entry{};
        std::memcpy(&entry, buffer.data() + at, sizeof(entry));
        count += entry.processId == processId ? 1 : 0;
    }
    return count;
}

// One line of "name=value": the windows and kernel handles, and what Windows tells a program
// of another process's objects; Wine implements neither GetGuiResources nor
// GetProcessHandleCount (both answer 0), and its counts read "n/a".
std::string Counts(DWORD processId) {
    const probe::UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    DWORD handles = 0;
    if (!process || !GetProcessHandleCount(process.get(), &handles)) {
        probe::Fail("OpenProcess or GetProcessHandleCount");
    }
    const auto known = [](DWORD value) {
        return value > 0 ? std::to_string(value) : std::string("n/a");
    };
    return "windows=" + std::to_string(CountWindows(processId)) +
           " kernel_handles=" + std::to_string(KernelHandles(processId)) +
           " handle_count=" + known(handles) +
           " gdi_objects=" + known(GetGuiResources(process.get(), GR_GDIOBJECTS)) +
           " user_objects=" + known(GetGuiResources(process.get(), GR_USEROBJECTS));
}

template <typename State>
void Await(double timeoutMs, State&& state, const char* what) {
    if (!probe::PumpUntil(timeoutMs, state)) {
        throw std::runtime_error(std::string("timed out waiting for ") + what);
    }
}

double Start(HWND window, HWND button) {
    const double before = probe::NowMs();
    // The button's own click: it sends BN_CLICKED to the window, as for a mouse click.
    SendMessageA(button, BM_CLICK, 0, 0);
    Await(
        kStateTimeoutMs, [&] { return probe::Monitoring(window); }, "monitoring");
    return probe::NowMs() - before;
}

double Stop(HWND window) {
    const double before = probe::NowMs();
    // What TrackPopupMenu sends the window when the user picks the item.
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(probe::kStopMonitoringCommand, 0), 0);
    Await(
        kStateTimeoutMs, [&] { return probe::Idle(window); }, "the main window");
    return probe::NowMs() - before;
}

int Run(const probe::Args& args) {
    const std::string command = args.Word(0);
    const long number = std::stol(args.Word(1).empty() ? "0" : args.Word(1));
    if (command == "wait-window") {
        Await(
            static_cast<double>(number), [] { return probe::FindVintrellWindow() != nullptr; },
            "the main window");
        return 0;
    }
    HWND button = nullptr;
    HWND window = probe::FindVintrellWindow(&button);
    if (window == nullptr) {
        throw std::runtime_error("no Vintrell window with a \"Start Monitoring\" button");
    }
    if (command == "start") {
        std::printf("start_ms %.1f\n", Start(window, button));
    } else if (command == "stop") {
        std::printf("stop_ms %.1f\n", Stop(window));
    } else if (command == "cycles") {
        std::printf("cycle,start_ms,stop_ms\n");
        for (long i = 1; i <= number; ++i) {
            const double startMs = Start(window, button);
            std::printf("%ld,%.1f,%.1f\n", i, startMs, Stop(window));
        }
    } else if (command == "quit") {
        if (!PostMessageA(window, WM_CLOSE, 0, 0)) {
            probe::Fail("PostMessageA");
        }
    } else if (command == "counts") {
        std::printf("%s\n", Counts(probe::WindowProcessId(window)).c_str());
    } else {
        std::fprintf(stderr, "usage: vt_driver start|stop|cycles N|counts|quit|wait-window MS\n");
        return 2;
    }
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return probe::RunProbe("vt_driver", argc, argv, Run);
}
