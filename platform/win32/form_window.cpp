#include "platform/win32/win32_form_toolkit.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/error.h"
#include "platform/scoped_flag.h"
#include "platform/win32/win32_text.h"
#include "resources/resource.h"

namespace vt::win32 {

namespace {

constexpr int kIconSize = 32;
constexpr int kPointsPerInch = 72;

// The top-level menus of Form1, in the order they stand in its (hidden) menu bar.
constexpr std::array kTopMenus{MenuId::mnuTray};

[[noreturn]] void ThrowNoControl() {
    ThrowInvalidCall(L"Form1 has no such control");
}

// Whether two controls of the table cover some of the same part of the window.
constexpr bool Overlap(const ControlLayout& a, const ControlLayout& b) {
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

struct ControlClass {
    const char* className;
    DWORD style;
    DWORD exStyle;
};

ControlClass ClassFor(ControlKind kind) {
    switch (kind) {
        case ControlKind::PushButton:
            // A themed button cannot show a white face: these draw their own.
            return {"BUTTON", BS_OWNERDRAW | WS_TABSTOP, 0};
        case ControlKind::CheckBox:
            // Not automatic: the control layer toggles the value and shows it.
            return {"BUTTON", BS_CHECKBOX | WS_TABSTOP, 0};
        case ControlKind::TextBox:
            return {"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
        case ControlKind::Label:
            // SS_NOTIFY: without it the label lets the mouse through to the form.
            return {"STATIC", SS_LEFT | SS_NOPREFIX | SS_NOTIFY, 0};
        case ControlKind::ListView:
            return {WC_LISTVIEWA, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
                    WS_EX_CLIENTEDGE};
    }
    return {"STATIC", 0, 0};
}

// The screen's device context, for reading its resolution.
class ScreenDc {
  public:
    ScreenDc() : dc_(::GetDC(nullptr)) {
        if (dc_ == nullptr) {
            ThrowLastError(L"The screen's device context is not available");
        }
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    ~ScreenDc() { static_cast<void>(::ReleaseDC(nullptr, dc_)); }
    HDC get() const { return dc_; }

  private:
    HDC dc_;
};

UniqueIcon LoadBlankIcon(HINSTANCE instance) {
    HANDLE loaded =
        ::LoadImageA(instance, MAKEINTRESOURCEA(VT_IDI_BLANK), IMAGE_ICON, kIconSize, kIconSize, 0);
    if (loaded == nullptr) {
        ThrowLastError(L"The window icon could not be loaded");
    }
    return UniqueIcon(static_cast<HICON>(loaded));
}

}  // namespace

std::string WindowTextAnsi(HWND window) {
    std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    const int length = ::GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(length > 0 ? length : 0));
    return text;
}

int ScreenDpi() {
    const ScreenDc screen;
    const int dpi = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

WindowClass::WindowClass(const WNDCLASSEXA& description)
    : name_(description.lpszClassName), instance_(description.hInstance) {
    if (::RegisterClassExA(&description) == 0) {
        ThrowLastError(L"The main window's class could not be registered");
    }
}

WindowClass::~WindowClass() {
    // Fails only while a window of the class still exists, and none outlives its owner.
    static_cast<void>(::UnregisterClassA(name_, instance_));
}

WNDCLASSEXA Win32FormToolkit::ClassDescription(HINSTANCE instance, HICON icon) {
    WNDCLASSEXA description{};
    description.cbSize = sizeof(description);
    description.lpfnWndProc = &Win32FormToolkit::WindowProc;
    description.hInstance = instance;
    description.hIcon = icon;
    description.hIconSm = icon;
    description.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    description.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    description.lpszClassName = kForm1ClassName;
    return description;
}

Win32FormToolkit::Win32FormToolkit(HINSTANCE instance) : instance_(instance) {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;
    if (!::InitCommonControlsEx(&classes)) {
        ThrowLastError(L"The common controls could not be initialised");
    }
}

Win32FormToolkit::~Win32FormToolkit() {
    TearDown();
}

Hwnd Win32FormToolkit::CreateForm(FormEvents& events) {
    if (class_) {
        ThrowInvalidCall(L"The main window exists already");
    }
    events_ = &events;
    dpi_ = ScreenDpi();
    try {
        blankIcon_ = LoadBlankIcon(instance_);
        class_.emplace(ClassDescription(instance_, blankIcon_.get()));
        CreateFonts();
        CreateMenus();
        CreateMainWindow();
        CreateControls();
        CreateToolTip();
        for (std::size_t index = 0; index < controls_.size(); ++index) {
            ClipControl(index);
        }
    } catch (...) {
        TearDown();
        class_.reset();
        throw;
    }
    return FromHwnd(Handle());
}

void Win32FormToolkit::TearDown() noexcept {
    // Nothing is reported and no quit is posted for a window that goes with its owner.
    events_ = nullptr;
    quitOnDestroy_ = false;
    window_.reset();
}

void Win32FormToolkit::CreateFonts() {
    const std::string face = ToAnsi(kFontFace);
    for (const ControlLayout& layout : kForm1Controls) {
        if (FontFor(layout.fontSizeCentipoints) != nullptr) {
            continue;
        }
        const int height = -::MulDiv(layout.fontSizeCentipoints, dpi_, kPointsPerInch * 100);
        UniqueFont font(::CreateFontA(height, 0, 0, 0, kFontWeight, FALSE, FALSE, FALSE,
                                      ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face.c_str()));
        if (!font) {
            ThrowLastError(L"The controls' font could not be created");
        }
        fonts_.emplace_back(layout.fontSizeCentipoints, std::move(font));
    }
}

HFONT Win32FormToolkit::FontFor(std::int32_t centipoints) const {
    for (const auto& [size, font] : fonts_) {
        if (size == centipoints) {
            return font.get();
        }
    }
    return nullptr;
}

void Win32FormToolkit::CreateMenus() {
    menuBar_.reset(::CreateMenu());
    if (!menuBar_) {
        ThrowLastError(L"The menu could not be created");
    }
    UniqueMenu tray(::CreatePopupMenu());
    if (!tray) {
        ThrowLastError(L"The menu could not be created");
    }
    if (!::AppendMenuA(tray.get(), MF_STRING, static_cast<UINT_PTR>(MenuId::mnuStopMonitoring),
                       ToAnsi(kStopMonitoringCaption).c_str())) {
        ThrowLastError(L"The menu item could not be added");
    }
    // Once appended, the pop-up belongs to the bar.
    if (!::AppendMenuA(menuBar_.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(tray.get()),
                       ToAnsi(kTrayMenuCaption).c_str())) {
        ThrowLastError(L"The menu could not be added");
    }
    static_cast<void>(tray.release());
}

void Win32FormToolkit::CreateMainWindow() {
    // Fixed single border with the control menu and a minimize box; never a menu bar.
    constexpr DWORD kStyle =
        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    constexpr DWORD kExStyle = WS_EX_APPWINDOW;
    RECT frame{0, 0, ToPixels(kFormClientWidth), ToPixels(kFormClientHeight)};
    if (!::AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle)) {
        ThrowLastError(L"The main window's size could not be computed");
    }
    // Placed where the system likes: start-up centres it before it is first shown.
    // WM_NCCREATE hands the window to window_.
    if (::CreateWindowExA(kExStyle, class_->Name(), ToAnsi(kFormInitialCaption).c_str(), kStyle,
                          CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                          frame.bottom - frame.top, nullptr, nullptr, instance_, this) == nullptr) {
        ThrowLastError(L"The main window could not be created");
    }
}

void Win32FormToolkit::CreateControls() {
    for (std::size_t index = 0; index < kForm1Controls.size(); ++index) {
        const ControlLayout& layout = kForm1Controls[index];
        const ControlClass kind = ClassFor(layout.kind);
        const DWORD style =
            WS_CHILD | WS_CLIPSIBLINGS | kind.style | (layout.visible ? WS_VISIBLE : 0);
        const int left = ToPixels(layout.left);
        const int top = ToPixels(layout.top);
        const int width = ToPixels(layout.width);
        const int height = ToPixels(layout.height);
        const auto menu = reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id));
        // Created in tab order: the dialog manager's Tab follows the order of creation. The
        // entry box is a Unicode window, so that what is typed reaches the program whole: an ANSI
        // edit control keeps the code page's bytes on Windows (Wine's keeps Unicode either way).
        HWND control = layout.kind == ControlKind::TextBox
                           ? ::CreateWindowExW(
                                 kind.exStyle, L"EDIT", std::wstring(layout.caption).c_str(), style,
                                 left, top, width, height, Handle(), menu, instance_, nullptr)
                           : ::CreateWindowExA(kind.exStyle, kind.className,
                                               ToAnsi(layout.caption).c_str(), style, left, top,
                                               width, height, Handle(), menu, instance_, nullptr);
        if (control == nullptr) {
            ThrowLastError(L"A control of the main window could not be created");
        }
        controls_[index] = control;
        // These settings report no failure: their results are nothing or the previous value.
        static_cast<void>(
            ::SendMessageA(control, WM_SETFONT,
                           reinterpret_cast<WPARAM>(FontFor(layout.fontSizeCentipoints)), FALSE));
        if (layout.kind == ControlKind::TextBox) {
            // 0: as long as the system allows.
            static_cast<void>(::SendMessageA(control, EM_SETLIMITTEXT, 0, 0));
        } else if (layout.kind == ControlKind::ListView) {
            static_cast<void>(::SendMessageA(control, LVM_SETEXTENDEDLISTVIEWSTYLE,
                                             LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT));
        }
    }
}

void Win32FormToolkit::CreateToolTip() {
    const HWND list = Control(ControlId::ListView1);
    toolTip_ =
        ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                          WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr, instance_, nullptr);
    if (toolTip_ == nullptr) {
        ThrowLastError(L"The list's tooltip could not be created");
    }
    std::string tip = ToAnsi(kListViewToolTip);
    TTTOOLINFOA tool{};
    // The size every version of the common controls accepts.
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    // Not TTF_SUBCLASS: under Wine every message to a subclassed window then passes comctl32's
    // subclass dispatcher, at about 80 times the cost, and each sweep reads the list.
    // RelayToToolTip hands the tooltip the list's mouse messages instead.
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = Handle();
    tool.uId = reinterpret_cast<UINT_PTR>(list);
    tool.lpszText = tip.data();
    if (!::SendMessageA(toolTip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool))) {
        ThrowInvalidCall(L"The list's tooltip could not be set");
    }
}

void Win32FormToolkit::RelayToToolTip(const MSG& message) const {
    if (toolTip_ == nullptr || message.message < WM_MOUSEFIRST || message.message > WM_MOUSELAST) {
        return;
    }
    const HWND list = Control(ControlId::ListView1);
    // The header's too: moving onto it or clicking it takes the tip away, as it should.
    if (message.hwnd == list || ::GetParent(message.hwnd) == list) {
        // Answers nothing.
        static_cast<void>(
            ::SendMessageA(toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message)));
    }
}

void Win32FormToolkit::ClipControl(std::size_t lower) {
    const HWND window = controls_[lower];
    if (window == nullptr) {
        return;
    }
    RECT own;
    if (!::GetWindowRect(window, &own)) {
        ThrowLastError(L"A control's position could not be read");
    }
    UniqueRegion region(::CreateRectRgn(0, 0, own.right - own.left, own.bottom - own.top));
    if (!region) {
        ThrowLastError(L"A control's region could not be created");
    }
    bool clipped = false;
    for (std::size_t upper = lower + 1; upper < controls_.size(); ++upper) {
        RECT other;
        RECT overlap;
        // The style, not IsWindowVisible: the form itself may be hidden.
        const bool shown = (::GetWindowLongA(controls_[upper], GWL_STYLE) & WS_VISIBLE) != 0;
        if (!shown || !::GetWindowRect(controls_[upper], &other) ||
            !::IntersectRect(&overlap, &own, &other)) {
            continue;
        }
        UniqueRegion cut(::CreateRectRgn(overlap.left - own.left, overlap.top - own.top,
                                         overlap.right - own.left, overlap.bottom - own.top));
        if (!cut || ::CombineRgn(region.get(), region.get(), cut.get(), RGN_DIFF) == ERROR) {
            ThrowLastError(L"A control's region could not be set");
        }
        clipped = true;
    }
    if (!clipped && !clipped_[lower]) {
        return;  // whole, as it was
    }
    // The window takes the region it is given; none restores the whole rectangle.
    if (!::SetWindowRgn(window, clipped ? region.get() : nullptr, TRUE)) {
        ThrowLastError(L"A control's region could not be set");
    }
    if (clipped) {
        static_cast<void>(region.release());
    }
    clipped_[lower] = clipped;
}

HWND Win32FormToolkit::Control(ControlId id) const {
    if (id == ControlId::Form) {
        return Handle();
    }
    const std::size_t index = IndexOf(id);
    return index == kNoControl ? nullptr : controls_[index];
}

HWND Win32FormToolkit::RequireForm() const {
    if (Handle() == nullptr) {
        ThrowInvalidCall(L"The main window does not exist");
    }
    return Handle();
}

HWND Win32FormToolkit::RequireControl(ControlId id) const {
    static_cast<void>(RequireForm());
    const HWND control = Control(id);
    if (control == nullptr) {
        ThrowNoControl();
    }
    return control;
}

std::optional<ControlId> Win32FormToolkit::ControlOf(HWND window) const {
    const HWND form = Handle();
    if (form == nullptr || window == nullptr) {
        return std::nullopt;
    }
    if (window == form) {
        return ControlId::Form;
    }
    // A part of a control (the list's header) stands for the control.
    for (HWND child = window; child != nullptr;) {
        const HWND parent = ::GetAncestor(child, GA_PARENT);
        if (parent == form) {
            const auto found = std::find(controls_.begin(), controls_.end(), child);
            if (found == controls_.end()) {
                return std::nullopt;
            }
            return kForm1Controls[static_cast<std::size_t>(found - controls_.begin())].id;
        }
        child = parent;
    }
    return std::nullopt;
}

void Win32FormToolkit::SetCheckValue(ControlId control, std::int32_t value) {
    static_cast<void>(RequireControl(control));
    const std::size_t index = IndexOf(control);
    switch (kForm1Controls[index].kind) {
        case ControlKind::PushButton:
            checkValues_[index] = value;
            if (!::InvalidateRect(controls_[index], nullptr, FALSE)) {
                ThrowLastError(L"A button could not be redrawn");
            }
            break;
        case ControlKind::CheckBox:
            checkValues_[index] = value;
            // BM_SETCHECK notifies nobody (the control layer raises the click) and returns 0.
            static_cast<void>(::SendMessageA(controls_[index], BM_SETCHECK,
                                             value == 0 ? BST_UNCHECKED : BST_CHECKED, 0));
            break;
        default:
            ThrowNoControl();
    }
}

void Win32FormToolkit::SetControlVisible(ControlId control, bool visible) {
    if (control == ControlId::Form) {
        ThrowNoControl();
    }
    const HWND window = RequireControl(control);
    // The result is the previous visibility, not success.
    static_cast<void>(::ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE));
    // Only the controls before it in tab order that it overlaps change their cut.
    const std::size_t changed = IndexOf(control);
    for (std::size_t lower = 0; lower < changed; ++lower) {
        if (Overlap(kForm1Controls[lower], kForm1Controls[changed])) {
            ClipControl(lower);
        }
    }
}

void Win32FormToolkit::SetTimerEnabled(bool enabled) {
    if (enabled) {
        if (::SetTimer(RequireForm(), kTimer1Id, kTimer1Interval, nullptr) == 0) {
            ThrowLastError(L"The timer could not be started");
        }
    } else {
        // A timer that is not running, or whose window is gone, is stopped already.
        static_cast<void>(::KillTimer(Handle(), kTimer1Id));
    }
}

void Win32FormToolkit::SetMousePointer(std::int32_t pointer) {
    static_cast<void>(RequireForm());
    mousePointer_ = pointer;
}

bool Win32FormToolkit::LoadMouseIcon(std::wstring_view path) {
    static_cast<void>(RequireForm());
    // By the real path: the program's folder may have letters the ANSI code page lacks.
    HANDLE cursor =
        ::LoadImageW(nullptr, std::wstring(path).c_str(), IMAGE_CURSOR, 0, 0, LR_LOADFROMFILE);
    if (cursor == nullptr) {
        return false;
    }
    mouseIcon_.reset(static_cast<HCURSOR>(cursor));
    return true;
}

void Win32FormToolkit::PopupMenu(MenuId menu) {
    static_cast<void>(RequireForm());
    const ScopedFlag open(inModalLoop_);
    const auto top = std::find(kTopMenus.begin(), kTopMenus.end(), menu);
    const HMENU popup =
        top == kTopMenus.end()
            ? nullptr
            : ::GetSubMenu(menuBar_.get(), static_cast<int>(top - kTopMenus.begin()));
    if (popup == nullptr) {
        ThrowInvalidCall(L"Form1 has no such menu");
    }
    POINT pointer;
    if (!::GetCursorPos(&pointer)) {
        ThrowLastError(L"The pointer's position could not be read");
    }
    // TPM_RETURNCMD: the command is sent now, so its handler has run when this returns,
    // through the window's current procedure (the tray's, while the icon is shown).
    const UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY;
    const BOOL chosen = ::TrackPopupMenu(popup, flags, pointer.x, pointer.y, 0, Handle(), nullptr);
    // The menu's own loop dispatched other messages: the window may be gone by now.
    if (chosen != 0 && Handle() != nullptr) {
        static_cast<void>(::SendMessageA(Handle(), WM_COMMAND, MAKEWPARAM(chosen, 0), 0));
    }
}

}  // namespace vt::win32
