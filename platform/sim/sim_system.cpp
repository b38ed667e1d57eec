#include "platform/sim/sim_system.h"

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
    shortPaths_[UpperWide(longPath)] = std::move(shortPath);
}

std::wstring SimSystem::GetShortPathNameW(std::wstring_view longPath) {
    const auto it = shortPaths_.find(UpperWide(longPath));
    return it != shortPaths_.end() ? it->second : std::wstring();
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
