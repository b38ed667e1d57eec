#include "platform/sim/sim_form.h"

#include <stdexcept>

namespace vt::sim {

namespace {

// Messages the window layer uses that the program itself never names.
constexpr UInt kWmQueryEndSession = 0x0011;
constexpr UInt kWmEndSession = 0x0016;
// WM_COMMAND notification codes in the high word of wParam, as buttons send them.
constexpr WParam kClickNotification = 0;
constexpr WParam kDblClickNotification = 5;

// The frame around Form1's client area: fixed single border and a caption bar, in pixels.
constexpr std::int32_t kTwipsPerPixel = 15;
constexpr std::int32_t kFrameWidthPixels = 6;
constexpr std::int32_t kFrameHeightPixels = 25;

// ---- Form1's handle, and the procedure's way back to its SimForm ---------------------------

std::map<Hwnd, SimForm*>& Instances() {
    static std::map<Hwnd, SimForm*> instances;
    return instances;
}

// Form1 handles come from one counter for the whole process, so that two simulated desktops
// alive at once never share one in the map above.
Hwnd gNextFormHandle = 0x00F00010;

SimForm* FindInstance(Hwnd hWnd) {
    const auto it = Instances().find(hWnd);
    return it == Instances().end() ? nullptr : it->second;
}

bool IsMenuCommand(std::int32_t id) {
    return id == static_cast<std::int32_t>(MenuId::mnuTray) ||
           id == static_cast<std::int32_t>(MenuId::mnuStopMonitoring);
}

}  // namespace

SimForm::~SimForm() {
    UnregisterForm();
    if (reportUnusedAnswers == nullptr || (answers_.empty() && menuChoices_.empty())) {
        return;
    }
    std::string unused = "queued but never asked for:";
    for (const std::int32_t answer : answers_) {
        unused += " message box answer " + std::to_string(answer) + ";";
    }
    for (const std::optional<MenuId>& choice : menuChoices_) {
        unused += choice
                      ? " menu choice " + std::to_string(static_cast<std::int32_t>(*choice)) + ";"
                      : std::string(" menu closed without a choice;");
    }
    reportUnusedAnswers(unused);
}

void SimForm::UnregisterForm() {
    if (!formRegistered_) {
        return;
    }
    formRegistered_ = false;
    Instances().erase(formHandle_);
    desktop_.TakeFormOffDesktop();
}

// ---- Form1
// ---------------------------------------------------------------------------------------

Hwnd SimForm::CreateForm(FormEvents& events) {
    UnregisterForm();
    events_ = &events;
    formHandle_ = gNextFormHandle;
    gNextFormHandle += 0x10;
    Instances()[formHandle_] = this;
    formRegistered_ = true;
    ended_ = false;
    caption_ = kFormInitialCaption;
    desktop_.PutFormOnDesktop(formHandle_, &SimForm::FormClassWndProc, caption_);
    formVisible_ = false;
    timerEnabled_ = false;
    tickQueued_ = false;
    controls_.clear();
    for (const ControlLayout& layout : kForm1Controls) {
        ControlState& state = controls_[layout.id];
        state.visible = layout.visible;
        state.text = layout.caption;
    }
    listItems_.clear();
    selected_ = -1;
    columns_.clear();
    mousePointer_ = kMousePointerDefault;
    mouseIcon_.clear();
    return formHandle_;
}

WndProc SimForm::FormClassProc() const {
    return &SimForm::FormClassWndProc;
}

// Exceptions are let through on purpose: a handler that fails to trap its own error then fails
// the test that drove it, where on Windows it would have crossed into the system.
LResult VT_CALLBACK SimForm::FormClassWndProc(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
    SimForm* form = FindInstance(hWnd);
    if (form == nullptr || form->events_ == nullptr) {
        return 0;
    }
    switch (msg) {
        case WM_COMMAND:
            return form->OnFormCommand(wParam);
        case WM_TIMER:
            form->events_->OnTimer();
            return 0;
        case WM_CLOSE:
            form->events_->OnQueryUnload();
            return 0;
        case kWmQueryEndSession:
            return 1;  // the session may end
        case kWmEndSession:
            return form->OnFormEndSession(wParam);
        case WM_MOUSEMOVE:
            form->events_->OnMouseMove(static_cast<ControlId>(wParam & 0xFFFF));
            return 0;
        default:
            // Registered at run time, so it cannot be a case label.
            if (msg >= kFirstRegisteredMessage && msg <= 0xFFFF) {
                form->events_->OnRegisteredMessage(msg, wParam, lParam);
            }
            return 0;
    }
}

LResult SimForm::OnFormCommand(WParam wParam) {
    const auto id = static_cast<std::int32_t>(wParam & 0xFFFF);
    const WParam notification = (wParam >> 16) & 0xFFFF;
    if (IsMenuCommand(id)) {
        events_->OnMenuCommand(static_cast<MenuId>(id));
    } else if (FindControl(static_cast<ControlId>(id)) != nullptr) {
        if (notification == kClickNotification) {
            events_->OnClick(static_cast<ControlId>(id));
        } else if (notification == kDblClickNotification) {
            events_->OnDblClick(static_cast<ControlId>(id));
        }
    }
    return 0;
}

LResult SimForm::OnFormEndSession(WParam ending) {
    if (ending != 0) {
        events_->OnEndSession();
    }
    return 0;
}

void SimForm::SetCaption(std::wstring_view caption) {
    caption_ = caption;
    desktop_.SetFormTitle(caption);
}

void SimForm::MoveForm(std::int32_t leftTwips, std::int32_t topTwips) {
    formLeft_ = leftTwips;
    formTop_ = topTwips;
}

std::int32_t SimForm::FormWidthTwips() {
    return kFormClientWidth + kFrameWidthPixels * kTwipsPerPixel;
}

std::int32_t SimForm::FormHeightTwips() {
    return kFormClientHeight + kFrameHeightPixels * kTwipsPerPixel;
}

void SimForm::SetScreenSizeTwips(std::int32_t width, std::int32_t height) {
    screenWidth_ = width;
    screenHeight_ = height;
}

SimForm::ControlState& SimForm::Control(ControlId control) {
    const auto it = controls_.find(control);
    if (it == controls_.end()) {
        throw std::out_of_range("Form1 has no such control (or was not created)");
    }
    return it->second;
}

const SimForm::ControlState& SimForm::Control(ControlId control) const {
    const auto it = controls_.find(control);
    if (it == controls_.end()) {
        throw std::out_of_range("Form1 has no such control (or was not created)");
    }
    return it->second;
}

std::int32_t SimForm::CheckValueShown(ControlId control) const {
    return Control(control).value;
}

bool SimForm::ControlVisible(ControlId control) const {
    return Control(control).visible;
}

std::wstring SimForm::ControlText(ControlId control) const {
    return Control(control).text;
}

void SimForm::SetCheckValue(ControlId control, std::int32_t value) {
    Control(control).value = value;
}

void SimForm::SetControlVisible(ControlId control, bool visible) {
    Control(control).visible = visible;
}

std::wstring SimForm::GetWindowTextW(ControlId control) {
    return Control(control).text;
}

void SimForm::SetControlText(ControlId control, std::wstring_view text) {
    Control(control).text = text;
}

bool SimForm::LoadMouseIcon(std::wstring_view path) {
    if (!system_.IsCursorFile(path)) {
        return false;
    }
    mouseIcon_ = path;
    return true;
}

// ---- Timer1 and the message loop -------------------------------------------------------------

bool SimForm::Tick() {
    desktop_.RunSendCallbacks();  // the message loop takes them before the tick
    if (!timerEnabled_ || !formRegistered_) {
        return false;
    }
    system_.Sleep(static_cast<UInt>(kTimer1Interval));
    DeliverTick();
    return true;
}

void SimForm::DeliverTick() {
    desktop_.SendToForm(WM_TIMER, kTimer1Id, 0);
}

void SimForm::SetTimerEnabled(bool enabled) {
    timerEnabled_ = enabled;
    if (!enabled) {
        tickQueued_ = false;  // KillTimer removes a WM_TIMER already waiting
    }
}

void SimForm::DoEvents() {
    desktop_.RunSendCallbacks();
    // Only what is waiting now; what the handlers post waits for the next pass.
    for (const PostedMessage& message : desktop_.TakePostedToForm()) {
        desktop_.SendToForm(message.msg, message.wParam, message.lParam);
    }
    // WM_TIMER is made only when the queue holds nothing else, so it comes last.
    if (std::exchange(tickQueued_, false) && timerEnabled_) {
        DeliverTick();
    }
}

void SimForm::EndProgram() {
    ended_ = true;
    formVisible_ = false;
    SetTimerEnabled(false);
    static_cast<void>(desktop_.TakePostedToForm());
    desktop_.SendToForm(WM_NCDESTROY, 0, 0);
    UnregisterForm();
}

// ---- Message boxes and menus
// ---------------------------------------------------------------------

std::int32_t SimForm::MessageBox(std::wstring_view text, UInt style, std::wstring_view caption) {
    ShownMessage shown;
    shown.window =
        desktop_.AddWindow(caption, CloseBehaviour::Declines, formRegistered_ ? formHandle_ : 0);
    SimWindow& box = desktop_.Window(shown.window);
    box.className = "#32770";
    box.processId = kOwnProcessId;
    box.threadId = kOwnThreadId;
    // Answered, or left by an exception: the box goes either way.
    struct CloseBox {
        SimDesktop& desktop;
        Hwnd box;
        ~CloseBox() { desktop.DestroyWindow(box); }
    } const closeBox{desktop_, shown.window};
    shown.text = text;
    shown.style = style;
    shown.caption = caption;
    shown.formVisible = formVisible_;
    shown.trayIconShown = desktop_.TrayIconShown();
    shown.timerEnabled = timerEnabled_;
    messages_.push_back(shown);
    desktop_.RunSendCallbacks();  // the box's modal loop takes messages
    if (onMessageBox) {
        onMessageBox(shown);
    }
    if (!answers_.empty()) {
        const std::int32_t answer = answers_.front();
        answers_.pop_front();
        return answer;
    }
    return (style & 0x000F) == MB_YESNO ? IDNO : IDOK;
}

void SimForm::PopupMenu(MenuId /*menu*/) {
    ++menusShown_;
    desktop_.RunSendCallbacks();  // the menu's modal loop takes messages
    if (onMenuOpen) {
        onMenuOpen();
    }
    std::optional<MenuId> choice;
    if (!menuChoices_.empty()) {
        choice = menuChoices_.front();
        menuChoices_.pop_front();
    }
    // The chosen item's command is handled before the menu call returns.
    if (choice) {
        desktop_.SendToForm(WM_COMMAND, static_cast<WParam>(*choice), 0);
    }
}

// ---- User actions ------------------------------------------------------------------------------

void SimForm::TypeText(ControlId control, std::wstring_view text) {
    Control(control).text = text;
}

void SimForm::Click(ControlId control) {
    if (FindControl(control) == nullptr || !Control(control).visible) {
        return;
    }
    desktop_.SendToForm(WM_COMMAND, static_cast<WParam>(control) | (kClickNotification << 16), 0);
}

void SimForm::SelectListItem(std::int32_t index) {
    selected_ = HasItem(index) ? index : -1;
}

void SimForm::ClickListItem(std::int32_t index) {
    SelectListItem(index);
    desktop_.SendToForm(WM_COMMAND,
                        static_cast<WParam>(ControlId::ListView1) | (kClickNotification << 16), 0);
}

void SimForm::DblClickListItem(std::int32_t index) {
    SelectListItem(index);
    desktop_.SendToForm(
        WM_COMMAND, static_cast<WParam>(ControlId::ListView1) | (kDblClickNotification << 16), 0);
}

void SimForm::MouseMove(ControlId control) {
    // Over an invisible control the pointer is over the window's background.
    if (control != ControlId::Form && !Control(control).visible) {
        control = ControlId::Form;
    }
    desktop_.SendToForm(WM_MOUSEMOVE, static_cast<WParam>(control), 0);
}

void SimForm::CloseForm() {
    desktop_.SendToForm(WM_CLOSE, 0, 0);
}

void SimForm::EndSession() {
    const LResult mayEnd = desktop_.SendToForm(kWmQueryEndSession, 0, 0);
    desktop_.SendToForm(kWmEndSession, mayEnd != 0 ? 1 : 0, 0);
}

}  // namespace vt::sim
