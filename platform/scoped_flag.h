#pragma once

#include <utility>

namespace vt {

// Sets a flag for as long as the scope lasts, and gives it back its value however the scope
// is left.
class ScopedFlag {
  public:
    explicit ScopedFlag(bool& flag) : flag_(flag), previous_(std::exchange(flag, true)) {}
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;
    ~ScopedFlag() { flag_ = previous_; }

  private:
    bool& flag_;
    bool previous_;
};

}  // namespace vt
