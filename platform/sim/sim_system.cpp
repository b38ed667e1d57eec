#include "platform/sim/sim_system.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/error.h"
#include "platform/sim/sim_text.h"

namespace vt::sim {

std::wstring SimSystem::GetShortPathNameW(std::wstring_view longPath) {
    for (const auto& [longForm, shortForm] : shortPaths_) {
        if (UpperWide(longForm) == UpperWide(longPath)) {
            return shortForm;
        }
    }
    return std::wstring();
}

std::wstring SimSystem::GetLongPathNameW(std::wstring_view path) {
    // A short form that the path starts with, ending at a backslash or with the path.
    const std::wstring folded = UpperWide(path);
    for (const auto& [longForm, shortForm] : shortPaths_) {
        const std::wstring start = UpperWide(shortForm);
        if (folded.starts_with(start) &&
            (folded.size() == start.size() || folded[start.size()] == L'\\')) {
            return longForm + std::wstring(path.substr(shortForm.size()));
        }
    }
    return std::wstring(path);
}

Bool32 SimSystem::SetDefaultDllDirectories(UInt directoryFlags) {
    if (!hasSetDefaultDllDirectories_) {
        return 0;  // the call is made through a lookup that finds nothing
    }
    char call[48];
    std::snprintf(call, sizeof(call), "SetDefaultDllDirectories(0x%X)", directoryFlags);
    dllSearchCalls_.emplace_back(call);
    return 1;
}

Bool32 SimSystem::SetDllDirectoryA(const char* pathName) {
    dllSearchCalls_.push_back(pathName == nullptr
                                  ? std::string("SetDllDirectoryA(NULL)")
                                  : "SetDllDirectoryA(\"" + std::string(pathName) + "\")");
    return 1;
}

void SimSystem::Shell(std::wstring_view commandLine, std::int32_t showCommand) {
    if (failLaunch_) {
        throw AppError(err::kFileNotFound, "Shell", L"File not found");
    }
    launched_.emplace_back(commandLine, showCommand);
}

std::int32_t SimSystem::OpenMutexHandles(std::string_view name) const {
    return static_cast<std::int32_t>(
        std::count_if(mutexHandles_.begin(), mutexHandles_.end(),
                      [&](const auto& handle) { return handle.second == name; }));
}

CreateMutexResult SimSystem::CreateMutexA(const char* name) {
    if (nextMutexError_ != 0) {
        return {0, std::exchange(nextMutexError_, 0)};
    }
    const std::string mutex = name == nullptr ? "" : name;
    // An unnamed mutex is always a new one; a named one lives while any handle is open on it.
    const bool existed =
        !mutex.empty() && (mutexesElsewhere_.contains(mutex) || OpenMutexHandles(mutex) > 0);
    const Hkernel handle = nextHandle_;
    nextHandle_ += 4;
    mutexHandles_[handle] = mutex;
    // Windows sets the last error on success too: 0 for a new mutex.
    return {handle, existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS};
}

}  // namespace vt::sim
