#include "platform/sim/sim_system.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/error.h"
#include "platform/sim/sim_text.h"

namespace vt::sim {

// File names are matched ignoring case, as the file system does.

void SimSystem::AddFile(std::wstring path, bool isCursor) {
    files_[UpperWide(path)] = isCursor;
}

bool SimSystem::IsCursorFile(std::wstring_view path) const {
    const auto it = files_.find(UpperWide(path));
    return !path.empty() && it != files_.end() && it->second;
}

void SimSystem::SetShortPath(std::wstring longPath, std::wstring shortPath) {
    std::wstring key = UpperWide(longPath);
    pathForms_[std::move(key)] = PathForms{std::move(longPath), std::move(shortPath)};
}

std::wstring SimSystem::GetShortPathNameW(std::wstring_view longPath) {
    const auto it = pathForms_.find(UpperWide(longPath));
    return it != pathForms_.end() ? it->second.shortPath : std::wstring();
}

std::wstring SimSystem::GetLongPathNameW(std::wstring_view path) {
    // The longest short form that the path starts with, ending at a backslash or with the path.
    const std::wstring folded = UpperWide(path);
    const PathForms* best = nullptr;
    for (const auto& [key, forms] : pathForms_) {
        const std::wstring shortForm = UpperWide(forms.shortPath);
        const bool starts =
            !shortForm.empty() && folded.starts_with(shortForm) &&
            (folded.size() == shortForm.size() || folded[shortForm.size()] == L'\\');
        if (starts && (best == nullptr || forms.shortPath.size() > best->shortPath.size())) {
            best = &forms;
        }
    }
    if (best == nullptr) {
        return std::wstring(path);
    }
    return best->longPath + std::wstring(path.substr(best->shortPath.size()));
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

bool SimSystem::GetFileDateTime(std::wstring_view path) {
    return !path.empty() && files_.contains(UpperWide(path));
}

void SimSystem::Shell(std::wstring_view commandLine, std::int32_t showCommand) {
    if (failLaunch_) {
        throw AppError(err::kFileNotFound, "Shell", L"File not found");
    }
    launched_.emplace_back(commandLine, showCommand);
}

std::wstring SimSystem::FormatMessageW(std::int32_t errorCode) {
    return L"System error " + std::to_wstring(errorCode) + L".";
}

// ---- Named mutexes -----------------------------------------------------------------------------

std::int32_t SimSystem::OpenMutexHandles(std::string_view name) const {
    const auto it = mutexes_.find(std::string(name));
    return it == mutexes_.end() ? 0 : it->second.ownHandles;
}

CreateMutexResult SimSystem::CreateMutexA(const char* name) {
    if (nextMutexError_ != 0) {
        return {0, std::exchange(nextMutexError_, 0)};
    }
    if (name == nullptr) {
        name = "";  // an unnamed mutex is always a new one
    }
    Mutex& mutex = mutexes_[name];
    const bool existed = *name != '\0' && (mutex.heldElsewhere || mutex.ownHandles > 0);
    ++mutex.ownHandles;
    const Hkernel handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = name;
    // Windows sets the last error on success too: 0 for a new mutex.
    return {handle, existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS};
}

Bool32 SimSystem::CloseHandle(Hkernel handle) {
    const auto it = handles_.find(handle);
    if (it == handles_.end()) {
        return 0;
    }
    // The mutex goes with the last handle to it.
    const auto mutex = mutexes_.find(it->second);
    if (--mutex->second.ownHandles == 0 && !mutex->second.heldElsewhere) {
        mutexes_.erase(mutex);
    }
    handles_.erase(it);
    return 1;
}

}  // namespace vt::sim
