#include "platform/error.h"

#include <exception>
#include <new>

namespace vt {

std::wstring CurrentErrorDescription(const TextConversion& text) {
    try {
        throw;
    } catch (const AppError& error) {
        return error.Description();
    } catch (const std::bad_alloc&) {
        return L"Out of memory";
    } catch (const std::exception& error) {
        return text.AnsiToUnicode(error.what());
    } catch (...) {
        return L"Unexpected error";
    }
}

}  // namespace vt
