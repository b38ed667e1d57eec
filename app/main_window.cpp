#include "app/main_window.h"

#include "platform/error.h"

namespace vt {

Form1::Form1(Platform& platform)
    : Check1(platform, ControlId::Check1, true),
      Check2(platform, ControlId::Check2, true),
      Check3(platform, ControlId::Check3, true),
      Check4(platform, ControlId::Check4, true),
      Check5(platform, ControlId::Check5, true),
      Check6(platform, ControlId::Check6, true),
      Check8(platform, ControlId::Check8, false),
      Text1(platform, ControlId::Text1),
      ListView1(platform),
      Timer1(platform),
      platform_(platform) {
    Check1.Click = [this] { Check1_Click(); };
    Check2.Click = [this] { Check2_Click(); };
    Check3.Click = [this] { Check3_Click(); };
    Check4.Click = [this] { Check4_Click(); };
    Check5.Click = [this] { Check5_Click(); };
    Check6.Click = [this] { Check6_Click(); };
    Check8.Click = [this] { Check8_Click(); };
    hWnd_ = platform_.CreateForm(*this);
}

void Form1::ShowMessage(std::wstring_view text, UInt style) {
    platform_.MessageBox(text, style, kAppTitle);
}

namespace {

// Handlers without an error trap of their own must not let an error reach the message loop.
template <typename Handler>
void Guarded(Platform& platform, Handler&& handler) noexcept {
    try {
        handler();
    } catch (const AppError& error) {
        platform.MessageBox(error.Description(), MB_OK, kAppTitle);
    } catch (...) {
        platform.MessageBox(L"Unexpected error", MB_OK, kAppTitle);
    }
}

}  // namespace

void Form1::OnClick(ControlId control) {
    Guarded(platform_, [&] {
        switch (control) {
            case ControlId::Check1: Check1.UserClick(); break;
            case ControlId::Check2: Check2.UserClick(); break;
            case ControlId::Check3: Check3.UserClick(); break;
            case ControlId::Check4: Check4.UserClick(); break;
            case ControlId::Check5: Check5.UserClick(); break;
            case ControlId::Check6: Check6.UserClick(); break;
            case ControlId::Check8: Check8.UserClick(); break;
            case ControlId::ListView1: ListView1_Click(); break;
            default: break;
        }
    });
}

void Form1::OnDblClick(ControlId control) {
    if (control == ControlId::ListView1) {
        Guarded(platform_, [&] { ListView1_DblClick(); });
    }
}

void Form1::OnMouseMove(ControlId control) {
    switch (control) {
        case ControlId::Check1: Check1_MouseMove(); break;
        case ControlId::Check2: Check2_MouseMove(); break;
        case ControlId::Check3: Check3_MouseMove(); break;
        case ControlId::Check4: Check4_MouseMove(); break;
        case ControlId::Check5: Check5_MouseMove(); break;
        case ControlId::Form: Form_MouseMove(); break;
        case ControlId::Label1: Label1_MouseMove(); break;
        case ControlId::Text1: Text1_MouseMove(); break;
        case ControlId::ListView1: ListView1_MouseMove(); break;
        default: break;  // the two option boxes have no hover handler
    }
}

void Form1::OnTimer() {
    Guarded(platform_, [&] { Timer1_Timer(); });
}

void Form1::OnMenuCommand(MenuId item) {
    if (item == MenuId::mnuStopMonitoring) {
        Guarded(platform_, [&] { mnuStopMonitoring_Click(); });
    }
}

void Form1::OnQueryUnload() {
    Guarded(platform_, [&] { Form_QueryUnload(); });
}

}  // namespace vt
