#pragma once

#include <string>

#include "platform/text_conversion.h"

namespace vt {

// The description of the exception being handled, for the messages: an AppError's own
// description, "Out of memory" for a failed allocation, the text of any other standard exception
// in the ANSI code page, and "Unexpected error" for anything else. Call it only inside a catch
// block. Building the text may itself raise std::bad_alloc.
std::wstring CurrentErrorDescription(const TextConversion& text);

}  // namespace vt
