#include "platform/sim/sim_form.h"

#include "platform/sim/sim_text.h"

namespace vt::sim {

SimForm::~SimForm() {
    instances_.erase(formHandle_);
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

Hwnd SimForm::CreateForm(FormEvents& events) {
    events_ = &events;
    formHandle_ = nextFormHandle_;
    nextFormHandle_ += 0x10;
    instances_[formHandle_] = this;
    desktop_.PutWindow({.handle = formHandle_,
                        .title = EncodeAnsi(kFormInitialCaption),
                        .className = kForm1ClassName,
                        .processId = kOwnProcessId,
                        .threadId = kOwnThreadId,
                        .proc = &SimForm::FormClassWndProc,
                        .visible = false});
    for (const ControlLayout& layout : kForm1Controls) {
        controls_[layout.id] = {0, layout.visible, std::wstring(layout.caption)};
    }
    return formHandle_;
}

// Exceptions are let through on purpose: a handler that fails to trap its own error then fails
// the test that drove it, where on Windows it would have crossed into the system.
LResult VT_CALLBACK SimForm::FormClassWndProc(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) {
    const auto it = instances_.find(hWnd);
    if (it == instances_.end() || !it->second->Reporting()) {
        return 0;
    }
    FormEvents& events = *it->second->events_;
    switch (msg) {
        case WM_TIMER:
            events.OnTimer();
            return 0;
        case WM_CLOSE:
            events.OnQueryUnload();
            return 0;
        default:
            // Registered at run time, so it cannot be a case label.
            if (msg >= kFirstRegisteredMessage && msg <= 0xFFFF) {
                events.OnRegisteredMessage(msg, wParam, lParam);
            }
            return 0;
    }
}

bool SimForm::LoadMouseIcon(std::wstring_view path) {
    if (!system_.IsCursorFile(path)) {
        return false;
    }
    mouseIcon_ = path;
    return true;
}

bool SimForm::Tick() {
    desktop_.RunSendCallbacks();  // the message loop takes them before the tick
    if (!timerEnabled_ || !desktop_.WindowExists(formHandle_)) {
        return false;
    }
    system_.Sleep(static_cast<UInt>(kTimer1Interval));
    DeliverTick();
    return true;
}

void SimForm::SetTimerEnabled(bool enabled) {
    timerEnabled_ = enabled;
    if (!enabled) {
        tickQueued_ = false;  // KillTimer removes a WM_TIMER already waiting
    }
}

void SimForm::DoEvents() {
    desktop_.RunSendCallbacks();
    desktop_.DeliverPosted();
    // WM_TIMER is made only when the queue holds nothing else, so it comes last.
    if (std::exchange(tickQueued_, false) && timerEnabled_) {
        DeliverTick();
    }
}

void SimForm::EndProgram() {
    SetTimerEnabled(false);
    SendToForm(WM_NCDESTROY, 0, 0);
    desktop_.DestroyWindow(formHandle_);  // what was posted to it is never delivered
}

std::int32_t SimForm::MessageBox(std::wstring_view text, UInt style, std::wstring_view caption) {
    const Hwnd window =
        desktop_.PutWindow({.title = EncodeAnsi(caption),
                            .owner = desktop_.WindowExists(formHandle_) ? formHandle_ : 0,
                            .behaviour = CloseBehaviour::Declines,
                            .className = "#32770",
                            .processId = kOwnProcessId,
                            .threadId = kOwnThreadId});
    // Answered, or left by an exception: the box goes either way.
    struct CloseBox {
        SimDesktop& desktop;
        Hwnd box;
        ~CloseBox() { desktop.DestroyWindow(box); }
    } const closeBox{desktop_, window};
    const ShownMessage shown{.window = window,
                             .text = std::wstring(text),
                             .style = style,
                             .caption = std::wstring(caption),
                             .formVisible = FormVisibleNow(),
                             .trayIconShown = desktop_.TrayIconShown(),
                             .timerEnabled = timerEnabled_};
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
    if (choice && Reporting()) {
        events_->OnMenuCommand(*choice);
    }
}

// The user's actions reach the program directly: their route through Form1's window procedure
// (WM_COMMAND, WM_MOUSEMOVE, WM_ENDSESSION) is for the Windows tests to prove.

void SimForm::Click(ControlId control) {
    const auto it = controls_.find(control);
    if (it != controls_.end() && it->second.visible && Reporting()) {
        events_->OnClick(control);
    }
}

void SimForm::DblClickListItem(std::int32_t index) {
    SelectListItem(index);
    if (Reporting()) {
        events_->OnDblClick(ControlId::ListView1);
    }
}

void SimForm::MouseMove(ControlId control) {
    // Over an invisible control the pointer is over the window's background.
    if (control != ControlId::Form && !controls_.at(control).visible) {
        control = ControlId::Form;
    }
    if (Reporting()) {
        events_->OnMouseMove(control);
    }
}

void SimForm::EndSession() {
    // Form1 lets the session end, and then hears that it does.
    if (Reporting()) {
        events_->OnEndSession();
    }
}

}  // namespace vt::sim
