#pragma once

// Shared by the end-to-end suite's probe and tray tool: a clock, numbers from the command
// line, and output that the harness reads from a file while the program still runs.

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <type_traits>

#include "tests/targets/target_window.h"

namespace e2e {

class Stopwatch {
  public:
    long long Milliseconds() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start_)
            .count();
    }

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

using vt::targets::Emit;

inline int ArgumentAsInt(const char* text, int fallback) {
    if (text == nullptr) {
        return fallback;
    }
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (end != text && *end == '\0') ? static_cast<int>(value) : fallback;
}

}  // namespace e2e
