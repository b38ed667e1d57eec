#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/system_services.h"

// The simulated file system, shell and clocks: files the test puts there, command lines
// recorded instead of started, a time of day the test sets and a clock that runs only when
// something waits.
namespace vt::sim {

class SimSystem : public virtual SystemServices {
  public:
    // --- Files and the shell ---------------------------------------------------------------
    void SetExecutablePath(std::wstring path) { executablePath_ = std::move(path); }
    // The 8.3 form the volume keeps for a path; none unless set.
    void SetShortPath(std::wstring longPath, std::wstring shortPath);
    void AddFile(std::wstring path, bool isCursor);
    // Whether the file is there and holds a cursor; names are matched ignoring case.
    bool IsCursorFile(std::wstring_view path) const;
    const std::vector<std::pair<std::wstring, std::int32_t>>& Launched() const { return launched_; }
    void FailLaunch(bool fail) { failLaunch_ = fail; }

    // --- Clocks ------------------------------------------------------------------------------
    // Milliseconds that passed in waits: Sleep, and the window system's timeouts.
    std::uint64_t NowMs() const { return nowMs_; }
    void AdvanceMs(std::uint64_t ms) { nowMs_ += ms; }
    void SetSecondsSinceMidnight(double seconds) { secondsSinceMidnight_ = seconds; }

    // --- SystemServices ----------------------------------------------------------------------
    std::wstring ExecutablePath() override { return executablePath_; }
    std::wstring GetShortPathNameW(std::wstring_view longPath) override;
    bool GetFileDateTime(std::wstring_view path) override;
    void Shell(std::wstring_view commandLine, std::int32_t showCommand) override;
    double SecondsSinceMidnight() override { return secondsSinceMidnight_; }
    void Sleep(UInt milliseconds) override { nowMs_ += milliseconds; }

  private:
    std::wstring executablePath_ = L"C:\\Program Files\\Vintrell\\Vintrell.exe";
    std::map<std::wstring, bool> files_;               // by the folded path: is it a cursor
    std::map<std::wstring, std::wstring> shortPaths_;  // by the folded long path
    std::vector<std::pair<std::wstring, std::int32_t>> launched_;
    bool failLaunch_ = false;
    std::uint64_t nowMs_ = 0;
    double secondsSinceMidnight_ = 0;
};

}  // namespace vt::sim
