#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/sim_text.h"
#include "platform/system_services.h"

// The simulated file system, shell, named mutexes and clocks: files the test puts there, command
// lines recorded instead of started, the DLL search's changes recorded, mutexes other processes
// may hold, a time of day the test sets and a clock that runs only when something waits (Sleep,
// or Timer1 for its next tick).
namespace vt::sim {

class SimSystem : public SystemServices {
  public:
    void SetExecutablePath(std::wstring path) { executablePath_ = std::move(path); }
    // The 8.3 form the volume keeps for a path (a file's or a folder's); none unless set.
    // GetLongPathNameW expands it in the paths below it too (one short form a path at most),
    // and takes every path to exist.
    void SetShortPath(std::wstring longPath, std::wstring shortPath) {
        shortPaths_.emplace_back(std::move(longPath), std::move(shortPath));
    }
    void SetWindowsFolder(std::wstring path) { windowsFolder_ = std::move(path); }
    void AddFile(std::wstring_view path, bool isCursor) { files_[UpperWide(path)] = isCursor; }
    // Whether the file is there and holds a cursor; names are matched ignoring case.
    bool IsCursorFile(std::wstring_view path) const {
        const auto it = files_.find(UpperWide(path));
        return !path.empty() && it != files_.end() && it->second;
    }
    const std::vector<std::pair<std::wstring, std::int32_t>>& Launched() const { return launched_; }
    void FailLaunch(bool fail) { failLaunch_ = fail; }

    // As on Windows 7 without update KB2533623.
    void LackSetDefaultDllDirectories() { hasSetDefaultDllDirectories_ = false; }
    // Every call that changed it, in order: "SetDefaultDllDirectories(0x800)",
    // "SetDllDirectoryA(\"\")".
    const std::vector<std::string>& DllSearchCalls() const { return dllSearchCalls_; }

    // Another process of the session holds a mutex of this name.
    void HoldMutexElsewhere(std::string name) { mutexesElsewhere_.insert(std::move(name)); }
    // The next CreateMutexA fails with this error (ERROR_ACCESS_DENIED: the mutex is there but
    // its maker's rights keep this process out).
    void FailNextCreateMutex(std::int32_t error) { nextMutexError_ = error; }
    // Handles of the program's own that are open on the mutex of this name.
    std::int32_t OpenMutexHandles(std::string_view name) const;

    // Milliseconds that passed in Sleep and between Timer1's ticks.
    std::uint64_t NowMs() const { return nowMs_; }
    void SetSecondsSinceMidnight(double seconds) { secondsSinceMidnight_ = seconds; }

    std::wstring ExecutablePath() override { return executablePath_; }
    std::wstring GetShortPathNameW(std::wstring_view longPath) override;
    std::wstring GetLongPathNameW(std::wstring_view path) override;
    std::wstring GetSystemWindowsDirectoryW() override { return windowsFolder_; }
    Bool32 SetDefaultDllDirectories(UInt directoryFlags) override;
    Bool32 SetDllDirectoryA(const char* pathName) override;
    bool GetFileDateTime(std::wstring_view path) override {
        return !path.empty() && files_.contains(UpperWide(path));
    }
    void Shell(std::wstring_view commandLine, std::int32_t showCommand) override;
    double SecondsSinceMidnight() override { return secondsSinceMidnight_; }
    void Sleep(UInt milliseconds) override { nowMs_ += milliseconds; }
    std::uint64_t GetTickCount64() override { return nowMs_; }
    std::wstring FormatMessageW(std::int32_t errorCode) override {
        return L"System error " + std::to_wstring(errorCode) + L".";
    }
    CreateMutexResult CreateMutexA(const char* name) override;
    Bool32 CloseHandle(Hkernel handle) override { return mutexHandles_.erase(handle) != 0 ? 1 : 0; }

  private:
    std::wstring executablePath_ = L"C:\\Program Files\\Vintrell\\Vintrell.exe";
    std::map<std::wstring, bool> files_;  // by the folded path: is it a cursor
    std::vector<std::pair<std::wstring, std::wstring>> shortPaths_;  // long form, short form
    std::wstring windowsFolder_ = L"C:\\Windows";
    bool hasSetDefaultDllDirectories_ = true;
    std::vector<std::string> dllSearchCalls_;
    std::vector<std::pair<std::wstring, std::int32_t>> launched_;
    bool failLaunch_ = false;
    std::set<std::string> mutexesElsewhere_;
    std::map<Hkernel, std::string> mutexHandles_;  // the program's own: the mutex's name
    Hkernel nextHandle_ = 0x0104;
    std::int32_t nextMutexError_ = 0;
    std::uint64_t nowMs_ = 0;
    double secondsSinceMidnight_ = 0;
};

}  // namespace vt::sim
