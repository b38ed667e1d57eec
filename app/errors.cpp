#include "app/errors.h"

#include <exception>
#include <new>

#include "platform/error.h"

namespace vt {

std::wstring CurrentErrorDescription(const Platform& platform) {
    try {
        throw;
    } catch (const AppError& error) {
        return error.Description();
    } catch (const std::bad_alloc&) {
        return L"Out of memory";
    } catch (const std::exception& error) {
        return platform.AnsiToUnicode(error.what());
    } catch (...) {
        return L"Unexpected error";
    }
}

}  // namespace vt
