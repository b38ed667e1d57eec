#pragma once

// The program test_window's command line, and its modes that load the desktop for the
// measurements under Wine (bench/wine/measure.sh).

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace vt::targets {

// Bare words and "--name value" options.
class Args {
  public:
    Args(int argc, char** argv) : words_(argv + 1, argv + argc) {}
    std::string Word(std::size_t index) const {
        return index < words_.size() ? words_[index] : std::string();
    }
    long Number(std::size_t index, long fallback) const { return ToNumber(Word(index), fallback); }
    std::string Text(std::string_view name, std::string fallback = {}) const {
        const auto found = std::find(words_.begin(), words_.end(), name);
        return found != words_.end() && found + 1 != words_.end() ? *(found + 1) : fallback;
    }
    long Number(std::string_view name, long fallback) const {
        return ToNumber(Text(name), fallback);
    }
    bool Flag(std::string_view name) const {
        return std::find(words_.begin(), words_.end(), name) != words_.end();
    }

  private:
    static long ToNumber(const std::string& text, long fallback) {
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 10);
        return !text.empty() && *end == '\0' ? value : fallback;
    }
    std::vector<std::string> words_;
};

// How soon Vintrell asks a matching window, or each of a burst, to close (one CSV line each).
int RunReaction(const Args& args);
// The soak's load: windows of every kind opened at a steady rate (one CSV line each).
int RunSoak(const Args& args);

}  // namespace vt::targets
