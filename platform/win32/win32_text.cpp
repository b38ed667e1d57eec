#include "platform/win32/win32_text.h"

#include <climits>

#include "platform/error.h"
#include "platform/win32/handles.h"
#include "platform/win32/win32_error.h"

namespace vt::win32 {

namespace {

constexpr std::wstring_view kNotConverted = L"The text could not be converted";

int CheckedLength(std::size_t length, const char* source) {
    if (length > static_cast<std::size_t>(INT_MAX)) {
        throw AppError(static_cast<std::int32_t>(ERROR_ARITHMETIC_OVERFLOW), source,
                       L"Text too long");
    }
    return static_cast<int>(length);
}

}  // namespace

std::wstring FromAnsi(std::string_view ansi) {
    if (ansi.empty()) {
        return {};
    }
    const int length = CheckedLength(ansi.size(), "AnsiToUnicode");
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
    if (needed <= 0) {
        ThrowLastError(kNotConverted, "AnsiToUnicode");
    }
    std::wstring text(static_cast<std::size_t>(needed), L'\0');
    if (::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, text.data(), needed) != needed) {
        ThrowLastError(kNotConverted, "AnsiToUnicode");
    }
    return text;
}

std::string ToAnsi(std::wstring_view text) {
    if (text.empty()) {
        return {};
    }
    const int length = CheckedLength(text.size(), "UnicodeToAnsi");
    const int needed =
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        ThrowLastError(kNotConverted, "UnicodeToAnsi");
    }
    std::string ansi(static_cast<std::size_t>(needed), '\0');
    if (::WideCharToMultiByte(CP_ACP, 0, text.data(), length, ansi.data(), needed, nullptr,
                              nullptr) != needed) {
        ThrowLastError(kNotConverted, "UnicodeToAnsi");
    }
    return ansi;
}

std::wstring ToUpper(std::wstring_view text) {
    if (text.empty()) {
        return {};  // LCMapStringW refuses an empty source
    }
    const int length = CheckedLength(text.size(), "UpperCase");
    const int needed =
        ::LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, text.data(), length, nullptr, 0);
    if (needed <= 0) {
        ThrowLastError(kNotConverted, "UpperCase");
    }
    std::wstring upper(static_cast<std::size_t>(needed), L'\0');
    if (::LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, text.data(), length, upper.data(),
                       needed) != needed) {
        ThrowLastError(kNotConverted, "UpperCase");
    }
    return upper;
}

}  // namespace vt::win32
