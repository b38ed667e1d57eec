#pragma once

// The cursor file that the Windows tests load as the custom pointer.
#include <cstdint>
#include <vector>

namespace vt::test {

// A 32 by 32 monochrome cursor with its hot spot in the middle: a filled square on a
// transparent ground.
inline std::vector<std::uint8_t> MinimalCursorFile() {
    std::vector<std::uint8_t> file;
    const auto put16 = [&file](std::uint32_t value) {
        file.push_back(static_cast<std::uint8_t>(value));
        file.push_back(static_cast<std::uint8_t>(value >> 8));
    };
    const auto put32 = [&put16](std::uint32_t value) {
        put16(value & 0xFFFFu);
        put16(value >> 16);
    };
    constexpr std::uint32_t kImageBytes = 40 + 8 + 128 + 128;
    put16(0);                                 // reserved
    put16(2);                                 // a cursor
    put16(1);                                 // one image
    file.insert(file.end(), {32, 32, 0, 0});  // width, height, no palette count, reserved
    put16(16);                                // hot spot
    put16(16);
    put32(kImageBytes);
    put32(22);  // the image follows the directory
    put32(40);  // BITMAPINFOHEADER
    put32(32);
    put32(64);  // the colour mask and the transparency mask
    put16(1);
    put16(1);
    for (int i = 0; i < 6; ++i) {
        put32(0);
    }
    put32(0x000000);  // black
    put32(0xFFFFFF);  // white
    for (int row = 0; row < 32; ++row) {
        put32(row >= 8 && row < 24 ? 0xFFFFFFFFu : 0u);
    }
    for (int row = 0; row < 32; ++row) {
        put32(row >= 8 && row < 24 ? 0x00FF00FFu : 0xFFFFFFFFu);
    }
    return file;
}

}  // namespace vt::test
