#include "app/main_window.h"

#include <utility>

#include "app/single_instance.h"
#include "monitor/main_window_handle.h"
#include "platform/error.h"

namespace vt {

namespace {

// Each box starts as the controls' table has it.
bool VisibleAtCreation(ControlId id) {
    return FindControl(id)->visible;
}

}  // namespace

Form1::Form1(Platform& platform)
    : Check1(platform.form, ControlId::Check1, VisibleAtCreation(ControlId::Check1)),
      Check2(platform.form, ControlId::Check2, VisibleAtCreation(ControlId::Check2)),
      Check3(platform.form, ControlId::Check3, VisibleAtCreation(ControlId::Check3)),
      Check4(platform.form, ControlId::Check4, VisibleAtCreation(ControlId::Check4)),
      Check5(platform.form, ControlId::Check5, VisibleAtCreation(ControlId::Check5)),
      Check6(platform.form, ControlId::Check6, VisibleAtCreation(ControlId::Check6)),
      Check8(platform.form, ControlId::Check8, VisibleAtCreation(ControlId::Check8)),
      Text1(platform.form, ControlId::Text1),
      ListView1(platform.form),
      Timer1(platform.form),
      platform_(platform) {
    Check1.Click = [this] { Check1_Click(); };
    Check2.Click = [this] { Check2_Click(); };
    Check3.Click = [this] { Check3_Click(); };
    Check4.Click = [this] { Check4_Click(); };
    Check5.Click = [this] { Check5_Click(); };
    Check6.Click = [this] { Check6_Click(); };
    Check8.Click = [this] { Check8_Click(); };
    hWnd_ = platform_.form.CreateForm(*this);
    secondStartMessage_ = platform_.windows.RegisterWindowMessageA(kSecondStartMessageName);
    if (secondStartMessage_ != 0) {
        // Run elevated, the window must still hear a second start of ordinary rights. Where
        // the filter cannot be changed, no start of lower rights can reach the window at all.
        static_cast<void>(platform_.windows.ChangeWindowMessageFilterEx(hWnd_, secondStartMessage_,
                                                                        MSGFLT_ALLOW));
    }
}

Form1::~Form1() {
    Tray::ForgetOwner(*this);
    if (Globals::MainWindowHandle == hWnd_) {
        Globals::MainWindowHandle = 0;
    }
}

std::int32_t Form1::ShowMessage(std::wstring_view text, UInt style) {
    if (ended_) {
        return 0;  // no window to own the box, and nobody left to answer it
    }
    return platform_.form.MessageBox(text, style, kAppTitle);
}

template <typename Handler>
void Form1::Guarded(Handler&& handler) noexcept {
    if (ended_) {
        return;
    }
    try {
        handler();
    } catch (...) {
        try {
            ShowMessage(CurrentErrorDescription(platform_.text));
        } catch (...) {
            // The message itself failed: nothing is left to report with, and the loop goes on.
        }
    }
}

void Form1::OnClick(ControlId control) {
    Guarded([&] {
        if (control == ControlId::ListView1) {
            ListView1_Click();
        }
        for (CheckBox* box : {&Check1, &Check2, &Check3, &Check4, &Check5, &Check6, &Check8}) {
            if (box->Id() == control) {
                box->UserClick();
            }
        }
    });
}

void Form1::OnDblClick(ControlId control) {
    if (control == ControlId::ListView1) {
        Guarded([&] { ListView1_DblClick(); });
    }
}

void Form1::OnMouseMove(ControlId control) {
    // The two option boxes have no hover handler.
    static constexpr std::pair<ControlId, void (Form1::*)()> kHandlers[] = {
        {ControlId::Check1, &Form1::Check1_MouseMove},
        {ControlId::Check2, &Form1::Check2_MouseMove},
        {ControlId::Check3, &Form1::Check3_MouseMove},
        {ControlId::Check4, &Form1::Check4_MouseMove},
        {ControlId::Check5, &Form1::Check5_MouseMove},
        {ControlId::Form, &Form1::Form_MouseMove},
        {ControlId::Label1, &Form1::Label1_MouseMove},
        {ControlId::Text1, &Form1::Text1_MouseMove},
        {ControlId::ListView1, &Form1::ListView1_MouseMove},
    };
    for (const auto& [id, handler] : kHandlers) {
        if (id == control) {
            (this->*handler)();
        }
    }
}

void Form1::OnTimer() {
    // With Timer1 off a WM_TIMER is none of its ticks: any program can post one, and one
    // already posted survives KillTimer. Sweeping then would close windows while not monitoring.
    if (Timer1.Enabled()) {
        Guarded([&] { Timer1_Timer(); });
    }
}

void Form1::OnMenuCommand(MenuId item) {
    if (item == MenuId::mnuStopMonitoring) {
        Guarded([&] { mnuStopMonitoring_Click(); });
    }
}

void Form1::OnQueryUnload() {
    Guarded([&] { Form_QueryUnload(); });
}

void Form1::OnRegisteredMessage(UInt message, WParam /*wParam*/, LParam /*lParam*/) {
    // Registered at run time, so it cannot be a case label.
    if (secondStartMessage_ != 0 && message == secondStartMessage_) {
        Guarded([&] { ShowForSecondStart(); });
    }
}

}  // namespace vt
