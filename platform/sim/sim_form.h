#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/form_toolkit.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_system.h"

// The simulated window toolkit: Form1, a window of the desktop like any other, and its
// controls as the user sees them, ListView1, a timer the test ticks, message boxes and menus
// the test answers, and the user's actions.
namespace vt::sim {

struct ShownMessage {
    Hwnd window = 0;  // the box, on the desktop while it is open, owned by Form1
    std::wstring text;
    UInt style = 0;
    std::wstring caption;
    bool formVisible = false;  // the state of the program when the box was shown
    bool trayIconShown = false;
    bool timerEnabled = false;
};

class SimForm : public FormToolkit {
  public:
    // Form1's window goes on `desktop`; its custom pointer is read from `system`'s files, and
    // Timer1 runs on its clock.
    SimForm(SimDesktop& desktop, SimSystem& system) : desktop_(desktop), system_(system) {}
    ~SimForm();
    SimForm(const SimForm&) = delete;
    SimForm& operator=(const SimForm&) = delete;

    bool FormCreated() const { return formHandle_ != 0; }
    Hwnd FormHandle() const { return formHandle_; }
    bool FormVisibleNow() const { return Reporting() && desktop_.Window(formHandle_).visible; }
    // The program has ended: Form1's window is gone.
    bool Ended() const { return FormCreated() && !desktop_.WindowExists(formHandle_); }
    std::wstring Caption() const { return DecodeAnsi(desktop_.Window(formHandle_).title); }
    std::pair<std::int32_t, std::int32_t> FormPositionTwips() const { return formPosition_; }
    void SetScreenSizeTwips(std::int32_t width, std::int32_t height) { screen_ = {width, height}; }
    std::int32_t CheckValueShown(ControlId control) const { return controls_.at(control).value; }
    bool ControlVisible(ControlId control) const { return controls_.at(control).visible; }
    std::wstring ControlText(ControlId control) const { return controls_.at(control).text; }
    const std::vector<std::wstring>& ListItems() const { return listItems_; }
    const std::vector<std::pair<std::wstring, std::int32_t>>& ListColumns() const {
        return columns_;
    }
    std::int32_t MousePointerShown() const { return mousePointer_; }
    const std::wstring& MouseIconPath() const { return mouseIcon_; }
    WndProc FormClassProc() const { return &SimForm::FormClassWndProc; }
    // Form1's, a subclass or its class's.
    WndProc CurrentWndProc() const {
        return Reporting() ? desktop_.Window(formHandle_).proc : nullptr;
    }
    // Sends a message to Form1 through its current window procedure.
    LResult SendToForm(UInt msg, WParam wParam, LParam lParam) {
        return desktop_.SendMessageA(formHandle_, msg, wParam, lParam);
    }

    // User actions; each delivers what the window layer would report.
    void TypeText(ControlId control, std::wstring_view text) { SetControlText(control, text); }
    void Click(ControlId control);  // a visible control only (ListView1: no selection change)
    // 0-based; -1 clears the selection.
    void SelectListItem(std::int32_t index) { selected_ = HasItem(index) ? index : -1; }
    // Selects it (or nothing for -1) and clicks.
    void ClickListItem(std::int32_t index) {
        SelectListItem(index);
        Click(ControlId::ListView1);
    }
    void DblClickListItem(std::int32_t index);
    void MouseMove(ControlId control);  // over an invisible control: the form's background
    void CloseForm() { SendToForm(WM_CLOSE, 0, 0); }  // the close button, or another program
    void EndSession();                                // Windows ends the user's session

    bool TimerEnabled() const { return timerEnabled_; }
    // Delivers one tick of Timer1 if it is enabled, its interval later on the clock; returns
    // whether it did.
    bool Tick();
    // A tick that came due during a handler: the next DoEvents dispatches it, after the posted
    // messages, if the timer is still enabled (disabling the timer drops it).
    void QueueTick() { tickQueued_ = true; }
    // Characters of ListView1's items handed to the program so far.
    std::size_t ListCharactersRead() const { return listCharactersRead_; }

    // Answers for the next boxes, in order; a box with no answer queued gets IDOK, or IDNO
    // when it asks Yes/No.
    void AnswerMessageBox(std::int32_t button) { answers_.push_back(button); }
    const std::vector<ShownMessage>& Messages() const { return messages_; }
    // Runs while a box is shown (the modal loop), before it is answered.
    std::function<void(const ShownMessage&)> onMessageBox;
    // What the next pop-up menu does: choose this item, or close without choosing (nullopt).
    void ChooseFromNextMenu(std::optional<MenuId> item) { menuChoices_.push_back(item); }
    std::int32_t MenusShown() const { return menusShown_; }
    // Runs while a pop-up menu is open (its modal loop), before the choice is made.
    std::function<void()> onMenuOpen;
    // Told, when a SimForm goes, of the answers and menu choices queued that nothing asked
    // for: a test that queues one expects a box or menu that never came.
    static inline void (*reportUnusedAnswers)(const std::string& unused) = nullptr;

    // ListCount and ListText then throw AppError(err::kControlDeleted).
    void FailListReads(bool fail) { failListReads_ = fail; }

    Hwnd CreateForm(FormEvents& events) override;
    void SetCaption(std::wstring_view caption) override { desktop_.SetTitle(formHandle_, caption); }
    void ShowForm() override { SetFormVisible(true); }
    void HideForm() override { SetFormVisible(false); }
    void MoveForm(std::int32_t left, std::int32_t top) override { formPosition_ = {left, top}; }
    // The frame around the client area, a fixed single border and a caption bar: 6 and 25
    // pixels of 15 twips.
    std::int32_t FormWidthTwips() override { return kFormClientWidth + 6 * 15; }
    std::int32_t FormHeightTwips() override { return kFormClientHeight + 25 * 15; }
    std::int32_t ScreenWidthTwips() override { return screen_.first; }
    std::int32_t ScreenHeightTwips() override { return screen_.second; }
    void SetCheckValue(ControlId control, std::int32_t value) override {
        controls_.at(control).value = value;
    }
    void SetControlVisible(ControlId control, bool visible) override {
        controls_.at(control).visible = visible;
    }
    // The text as typed, in full: the entry box holds Unicode, as Form1's does on Windows.
    std::wstring GetWindowTextW(ControlId control) override { return ControlText(control); }
    void SetControlText(ControlId control, std::wstring_view text) override {
        controls_.at(control).text = text;
    }
    void SetTimerEnabled(bool enabled) override;
    void SetMousePointer(std::int32_t pointer) override { mousePointer_ = pointer; }
    bool LoadMouseIcon(std::wstring_view path) override;
    void PopupMenu(MenuId menu) override;
    std::int32_t MessageBox(std::wstring_view text, UInt style, std::wstring_view caption) override;
    void DoEvents() override;
    void EndProgram() override;

    // ListView1 (sim_list_view.cpp)
    std::int32_t ListCount() override;
    void ListAdd(std::wstring_view text) override { listItems_.emplace_back(text); }
    std::optional<std::wstring> ListText(std::int32_t index) override {
        return ListTextStart(index, std::wstring::npos);
    }
    std::optional<std::wstring> ListTextStart(std::int32_t index, std::size_t maxLength) override;
    bool ListRemove(std::int32_t index) override;
    void ListClear() override;
    std::int32_t ListSelectedIndex() override { return selected_; }
    void ListAddColumn(std::wstring_view header) override { columns_.emplace_back(header, 0); }
    bool ListSetColumnWidth(std::int32_t column, std::int32_t widthTwips) override;

  private:
    struct ControlState {
        std::int32_t value = 0;
        bool visible = true;
        std::wstring text;
    };

    static LResult VT_CALLBACK FormClassWndProc(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam);
    // The window layer reports to the program while Form1's window is there.
    bool Reporting() const { return events_ != nullptr && desktop_.WindowExists(formHandle_); }
    void SetFormVisible(bool visible) {
        if (Reporting()) {
            desktop_.Window(formHandle_).visible = visible;
        }
    }
    void DeliverTick() { SendToForm(WM_TIMER, kTimer1Id, 0); }
    void CheckListReadable() const {
        if (failListReads_) {
            throw AppError(err::kControlDeleted, "ListView1", L"Control has been deleted");
        }
    }
    bool HasItem(std::int32_t index) const {
        return index >= 0 && index < static_cast<std::int32_t>(listItems_.size());
    }

    // Form1's procedure finds its SimForm by the window's handle. The handles come from one
    // counter for the whole process: two simulated desktops alive at once never share one.
    static inline std::map<Hwnd, SimForm*> instances_;
    static inline Hwnd nextFormHandle_ = 0x00F00010;
    SimDesktop& desktop_;
    SimSystem& system_;
    FormEvents* events_ = nullptr;
    Hwnd formHandle_ = 0;
    std::pair<std::int32_t, std::int32_t> formPosition_{0, 0};  // in twips
    std::pair<std::int32_t, std::int32_t> screen_{1024 * 15, 768 * 15};
    std::map<ControlId, ControlState> controls_;
    std::int32_t mousePointer_ = kMousePointerDefault;
    std::wstring mouseIcon_;
    // Timer1 and the message loop
    bool timerEnabled_ = false;
    bool tickQueued_ = false;
    // message boxes and menus
    std::deque<std::int32_t> answers_;
    std::vector<ShownMessage> messages_;
    std::deque<std::optional<MenuId>> menuChoices_;
    std::int32_t menusShown_ = 0;
    // ListView1
    std::vector<std::wstring> listItems_;
    std::int32_t selected_ = -1;
    std::vector<std::pair<std::wstring, std::int32_t>> columns_;
    std::size_t listCharactersRead_ = 0;
    bool failListReads_ = false;
};

}  // namespace vt::sim
