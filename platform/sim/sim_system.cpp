#include "platform/sim/sim_system.h"

#include <algorithm>
#include <cstdio>

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

}  // namespace vt::sim
