#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/text_conversion.h"

namespace vt {

// An error as the program raises and traps it: a number, where it came from, and the
// description that the messages print.
class AppError : public std::runtime_error {
  public:
    AppError(std::int32_t number, std::string source, std::wstring description)
        : std::runtime_error(source), number_(number), description_(std::move(description)) {}

    std::int32_t Number() const { return number_; }
    const char* Source() const { return what(); }
    const std::wstring& Description() const { return description_; }

  private:
    std::int32_t number_;
    std::wstring description_;
};

// Error numbers the program raises itself.
namespace err {
inline constexpr std::int32_t kInvalidCall = 5;           // a platform call failed
inline constexpr std::int32_t kOutOfMemory = 7;           // the sweep's collection is incomplete
inline constexpr std::int32_t kObjectNotSet = 91;         // no item selected
inline constexpr std::int32_t kInvalidPicture = 481;      // cursor file is no cursor
inline constexpr std::int32_t kFileNotFound = 53;         // a command line could not start
inline constexpr std::int32_t kIndexOutOfBounds = 35600;  // list view item index
inline constexpr std::int32_t kControlDeleted = 35605;    // a list view that cannot be read
inline constexpr std::int32_t kSettingUnreadable = 1000;
inline constexpr std::int32_t kSettingNotWritten = 1001;
inline constexpr std::int32_t kKeywordNotStorable = 1002;
inline constexpr std::int32_t kTrayIconNotAdded = 1003;
inline constexpr std::int32_t kRunEntryNotWritten = 1004;
inline constexpr std::int32_t kRunEntryNotRemoved = 1005;
inline constexpr std::int32_t kKeywordNotInCodePage = 1006;
}  // namespace err

// The description of the exception being handled, for the messages: an AppError's own
// description, "Out of memory" for a failed allocation, the text of any other standard exception
// in the ANSI code page, and "Unexpected error" for anything else. Call it only inside a catch
// block. Building the text may itself raise std::bad_alloc.
std::wstring CurrentErrorDescription(const TextConversion& text);

}  // namespace vt
