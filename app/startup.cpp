#include <string>

#include "app/main_window.h"
#include "keywords/keyword_store.h"
#include "monitor/main_window_handle.h"
#include "platform/error.h"

namespace vt {

constexpr std::wstring_view kLoadErrorPrefix = L"ERROR while loading main form - ";
constexpr std::wstring_view kColumnHeader = L"Windows To Close";
constexpr std::int32_t kColumnWidthTwips = 4700;

void Form1::Start() {
    Form_Load();
    // A start in the tray keeps the window hidden: the icon is its only trace.
    if (!ended_ && !Timer1.Enabled()) {
        platform_.form.ShowForm();
    }
}

void Form1::Form_Load() {
    const auto report = [this](const std::wstring& description) {
        ShowMessage(std::wstring(kLoadErrorPrefix) + description);
    };
    // The cursor and the home page are extras: their failure is reported and start-up goes on,
    // or the list, the handle and the options would stay unrestored. False once it has ended.
    const auto runExtraStep = [&](auto&& step) {
        try {
            step();
        } catch (...) {
            report(CurrentErrorDescription(platform_.text));
        }
        return !ended_;
    };

    try {
        IsLoading = true;
        Main::CenterForm(platform_.form);
        platform_.form.SetCaption(kAppTitle);

        const auto loadCursor = [this] {
            const std::wstring cursor = Main::CursorFilePath(platform_.system);
            if (!cursor.empty() && Main::FileExists(platform_.system, cursor) &&
                !platform_.form.LoadMouseIcon(cursor)) {
                throw AppError(err::kInvalidPicture, "Form1", L"Invalid picture");
            }
        };
        if (!runExtraStep(loadCursor)) {
            return;
        }

        // Before the column is created.
        Registry::LoadKeywordList(settings_, ListView1);
        keywordListLoaded_ = true;

        if (!runExtraStep([this] { Main::MaybeOpenHomePage(platform_.system, HomePageAddress); })) {
            return;
        }

        ListView1.AddColumn(kColumnHeader);
        ListView1.SetColumnWidth(1, kColumnWidthTwips);

        Globals::MainWindowHandle = hWnd();

        const auto stored = [this](std::wstring_view key) {
            return IsOn(ReadSetting(settings_, kSettingsApp, kSettingsSection, key, kOff)) ? 1 : 0;
        };
        // Check6_Click returns at once while IsLoading is set: the Run entry stays as it is.
        Check6.SetValue(stored(kKeyWindowsStartup));
        Check8.SetValue(stored(kKeyMinimized));

        if (Check8.Value() == 1) {
            // At logon the notification area may come up well after the program.
            EnterMonitoring(Tray::kLogonAddPatienceMs);
        }

        // "Start in system tray" is offered only together with loading at Windows startup.
        if (Check6.Value() == 1) {
            Check8.SetVisible(true);
        } else {
            Check8.SetValue(0);
            Check8.SetVisible(false);
        }

        IsLoading = false;
    } catch (...) {
        // The rest of start-up is skipped, but the sweep must still leave this window out, and
        // the options must work once the message has gone.
        if (Globals::MainWindowHandle == 0) {
            Globals::MainWindowHandle = hWnd();
        }
        IsLoading = false;
        report(CurrentErrorDescription(platform_.text));
    }
}

void Form1::Form_QueryUnload() {
    if (ended_) {
        return;  // a second close request, dispatched by a modal loop of the first
    }
    Timer1.SetEnabled(false);
    monitor_.RemoveWindowEventHooks();
    platform_.form.DoEvents();
    platform_.form.DoEvents();
    if (ended_) {
        return;  // a close request among the pending messages has ended it already
    }
    // Set first: a handler that resumes after this must find the window gone.
    ended_ = true;
    platform_.form.EndProgram();
    // Should the subclass have missed WM_NCDESTROY, the icon must still not outlive the process.
    Tray::ForgetOwner(*this);
}

void Form1::ShowForSecondStart() {
    if (Timer1.Enabled()) {
        mnuStopMonitoring_Click();  // which shows the window
    } else {
        platform_.form.ShowForm();
    }
    if (ended_) {
        return;
    }
    // An open question comes forward with its window, which alone could stand above its own
    // box, disabled. Without the starting copy's leave, Windows flashes the taskbar button.
    const Hwnd popup = platform_.windows.GetLastActivePopup(hWnd_);
    static_cast<void>(platform_.windows.SetForegroundWindow(popup != 0 ? popup : hWnd_));
}

}  // namespace vt
