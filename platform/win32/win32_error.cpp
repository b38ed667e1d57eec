#include "platform/win32/win32_error.h"

#include <iterator>

namespace vt::win32 {

std::wstring SystemMessage(DWORD code) {
    // The W form: no conversion that could itself fail while a failure is being reported.
    wchar_t text[512] = {};
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                         0, text, static_cast<DWORD>(std::size(text)), nullptr);
    std::wstring message(text, length);
    while (!message.empty() &&
           (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
        message.pop_back();
    }
    if (message.empty()) {
        message = L"Windows error " + std::to_wstring(code);
    }
    return message;
}

void ThrowLastError(std::wstring_view what, const char* source) {
    const DWORD code = ::GetLastError();
    std::wstring description(what);
    if (code == 0) {
        throw AppError(err::kInvalidCall, source, std::move(description));
    }
    description += L": ";
    description += SystemMessage(code);
    throw AppError(static_cast<std::int32_t>(code), source, std::move(description));
}

void ThrowInvalidCall(std::wstring_view description) {
    throw AppError(err::kInvalidCall, kPlatformSource, std::wstring(description));
}

}  // namespace vt::win32
