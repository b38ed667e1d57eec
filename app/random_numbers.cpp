#include "app/random_numbers.h"

#include <cstring>

namespace vt {

namespace {

// The seed's upper 32 bits, folded into the state's middle 16; the rest of the state is clear.
std::uint32_t Fold(double seed) {
    std::uint64_t bits = 0;
    static_assert(sizeof(bits) == sizeof(seed));
    std::memcpy(&bits, &seed, sizeof(bits));
    const auto upper = static_cast<std::uint32_t>(bits >> 32);
    return (((upper & 0xFFFFu) ^ (upper >> 16)) << 8) & 0x00FFFF00u;
}

}  // namespace

RandomNumbers::RandomNumbers(double seed) : state_(Fold(seed)) {}

double RandomNumbers::Next() {
    constexpr std::uint32_t kMultiplier = 0x43FD43FDu;
    constexpr std::uint32_t kIncrement = 0x00C39EC3u;
    constexpr std::uint32_t kMask = 0x00FFFFFFu;
    state_ = (state_ * kMultiplier + kIncrement) & kMask;
    return state_ / 16777216.0;
}

}  // namespace vt
