// ListView1 of the Windows toolkit: the common controls' list view, through its ANSI messages.
#include "platform/win32/win32_form_toolkit.h"

#include <commctrl.h>

#include <cstring>
#include <limits>
#include <string>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_text.h"

namespace vt::win32 {

namespace {

constexpr std::int32_t kNewColumnWidthTwips = 1440;

// The widest character of the ANSI code page, in bytes.
std::size_t WidestCharacter() {
    CPINFO codePage{};
    return ::GetCPInfo(CP_ACP, &codePage) ? codePage.MaxCharSize : 4;
}

// One read of an item's text into the buffer; its length in bytes, or nullopt when the list
// has no such item.
std::optional<std::size_t> ReadItem(HWND list, std::int32_t index, std::string& text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    if (index < 0 || !::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) {
        return std::nullopt;
    }
    // The list may point pszText at a text of its own instead of filling the buffer.
    const std::size_t length = ::strnlen(item.pszText, text.size());
    if (item.pszText != text.data()) {
        text.assign(item.pszText, length);
    }
    return length;
}

}  // namespace

std::int32_t Win32FormToolkit::ListCount() {
    return static_cast<std::int32_t>(
        ::SendMessageA(RequireControl(ControlId::ListView1), LVM_GETITEMCOUNT, 0, 0));
}

void Win32FormToolkit::ListAdd(std::wstring_view text) {
    const HWND list = RequireControl(ControlId::ListView1);
    std::string ansi = ToAnsi(text);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = std::numeric_limits<int>::max();  // past the end: appended
    item.pszText = ansi.data();
    if (::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) == -1) {
        ThrowInvalidCall(L"The item could not be added to the list");
    }
}

std::optional<std::wstring> Win32FormToolkit::ListText(std::int32_t index) {
    const HWND list = RequireControl(ControlId::ListView1);
    // One message an item: the list refuses an index it does not have. It reports neither the
    // text's length nor a cut, so a text that may not have fitted is read again with a larger
    // buffer. A character that does not fit whole is left out, so the read is the whole text
    // only when one more of the code page's widest characters would still have fitted.
    const std::size_t widest = WidestCharacter();
    std::string text(256, '\0');
    for (;;) {
        const std::optional<std::size_t> length = ReadItem(list, index, text);
        if (!length) {
            return std::nullopt;
        }
        if (*length + widest < text.size()) {
            return FromAnsi(std::string_view(text.data(), *length));
        }
        text.assign(text.size() * 2, '\0');
    }
}

std::optional<std::wstring> Win32FormToolkit::ListTextStart(std::int32_t index,
                                                            std::size_t maxLength) {
    const HWND list = RequireControl(ControlId::ListView1);
    // Room for one character more than asked for, however wide: the first maxLength are whole.
    std::string text((maxLength + 1) * WidestCharacter() + 1, '\0');
    const std::optional<std::size_t> length = ReadItem(list, index, text);
    if (!length) {
        return std::nullopt;
    }
    std::wstring start = FromAnsi(std::string_view(text.data(), *length));
    if (start.size() > maxLength) {
        start.resize(maxLength);
    }
    return start;
}

bool Win32FormToolkit::ListRemove(std::int32_t index) {
    const HWND list = RequireControl(ControlId::ListView1);
    // The list refuses an index it does not have.
    return index >= 0 && ::SendMessageA(list, LVM_DELETEITEM, static_cast<WPARAM>(index), 0) != 0;
}

void Win32FormToolkit::ListClear() {
    if (!::SendMessageA(RequireControl(ControlId::ListView1), LVM_DELETEALLITEMS, 0, 0)) {
        ThrowInvalidCall(L"The list could not be cleared");
    }
}

std::int32_t Win32FormToolkit::ListSelectedIndex() {
    return static_cast<std::int32_t>(::SendMessageA(RequireControl(ControlId::ListView1),
                                                    LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                    MAKELPARAM(LVNI_SELECTED, 0)));
}

void Win32FormToolkit::ListAddColumn(std::wstring_view header) {
    const HWND list = RequireControl(ControlId::ListView1);
    const HWND headerControl = reinterpret_cast<HWND>(::SendMessageA(list, LVM_GETHEADER, 0, 0));
    const auto columns =
        headerControl == nullptr ? 0 : ::SendMessageA(headerControl, HDM_GETITEMCOUNT, 0, 0);
    std::string text = ToAnsi(header);
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = text.data();
    column.cx = ToPixels(kNewColumnWidthTwips);
    if (::SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(columns > 0 ? columns : 0),
                       reinterpret_cast<LPARAM>(&column)) == -1) {
        ThrowInvalidCall(L"The column could not be added to the list");
    }
}

bool Win32FormToolkit::ListSetColumnWidth(std::int32_t column, std::int32_t widthTwips) {
    const HWND list = RequireControl(ControlId::ListView1);
    // The list refuses a column it does not have.
    return column >= 0 && ::SendMessageA(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                                         MAKELPARAM(ToPixels(widthTwips), 0)) != 0;
}

}  // namespace vt::win32
