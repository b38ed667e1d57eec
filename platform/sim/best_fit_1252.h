#pragma once

namespace vt::sim {

// The byte code page 1252 gives a character it lacks by best fit (U+0100 becomes 'A'), or '\0'
// where there is none and the character becomes the default character '?'.
char BestFit1252(char32_t code);

}  // namespace vt::sim
