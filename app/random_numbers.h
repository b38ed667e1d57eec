#pragma once

#include <cstdint>

namespace vt {

// Randomize and Rnd: a 24-bit linear congruential generator whose state is folded from the
// seed; a seed gives the same draws on every platform.
class RandomNumbers {
  public:
    explicit RandomNumbers(double seed);  // Randomize
    double Next();                        // Rnd: in [0, 1)

  private:
    std::uint32_t state_;
};

}  // namespace vt
