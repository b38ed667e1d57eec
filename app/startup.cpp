#include <exception>
#include <string>

#include "app/globals.h"
#include "app/main_module.h"
#include "app/main_window.h"
#include "keywords/registry.h"
#include "platform/error.h"
#include "settings/settings.h"
#include "tray/api_stuff.h"
#include "tray/tray.h"

namespace vt {

namespace {

constexpr std::wstring_view kLoadErrorPrefix = L"ERROR while loading main form - ";
constexpr std::wstring_view kColumnHeader = L"Windows To Close";
constexpr std::int32_t kColumnWidthTwips = 4700;

bool IsOn(std::wstring_view value) {
    return value == kOn;  // exact and case-sensitive: "on" is off
}

}  // namespace

void Form1::Start() {
    Form_Load();
    // A start in the tray keeps the window hidden: the icon is its only trace.
    if (!Timer1.Enabled()) {
        platform_.ShowForm();
    }
}

void Form1::Form_Load() {
    const auto report = [this](const std::wstring& description) {
        ShowMessage(std::wstring(kLoadErrorPrefix) + description);
    };
    // The cursor and the home page are extras: their failure is reported, and start-up goes
    // on, or the list, the handle and the options would stay unrestored.
    const auto optional = [&report](auto&& step) {
        try {
            step();
        } catch (const AppError& error) {
            report(error.Description());
        }
    };

    try {
        IsLoading = true;
        Main::CenterForm(*this);
        platform_.SetCaption(kAppTitle);

        optional([this] {
            const std::wstring cursor = Main::CursorFilePath(platform_);
            if (Main::FileExists(platform_, cursor) && !platform_.LoadMouseIcon(cursor)) {
                throw AppError(err::kInvalidPicture, "Form1", L"Invalid picture");
            }
        });

        // Before the column is created.
        Registry::LoadKeywordList(platform_, ListView1);

        optional([this] { Main::MaybeOpenHomePage(platform_, HomePageAddress); });

        ListView1.AddColumn(kColumnHeader);
        ListView1.SetColumnWidth(1, kColumnWidthTwips);

        Globals::MainWindowHandle = hWnd();

        // Check6_Click returns at once while IsLoading is set: the Run entry stays as it is.
        Check6.SetValue(
            IsOn(ReadSetting(platform_, kSettingsApp, kSettingsSection, kKeyWindowsStartup, kOff))
                ? 1
                : 0);
        Check8.SetValue(
            IsOn(ReadSetting(platform_, kSettingsApp, kSettingsSection, kKeyMinimized, kOff)) ? 1
                                                                                              : 0);

        if (Check8.Value() == 1) {
            EnterMonitoring();
        }

        // "Start in system tray" is offered only together with loading at Windows startup.
        if (Check6.Value() == 1) {
            Check8.SetVisible(true);
        } else {
            Check8.SetValue(0);
            Check8.SetVisible(false);
        }

        IsLoading = false;
    } catch (const AppError& error) {
        report(error.Description());
    } catch (const std::exception& error) {
        report(platform_.AnsiToUnicode(error.what()));
    }
}

void Form1::Form_QueryUnload() {
    Timer1.SetEnabled(false);
    platform_.DoEvents();
    platform_.DoEvents();
    platform_.EndProgram();
    // Destroying the window normally takes the icon with it; should the subclass have missed
    // WM_NCDESTROY, the icon must still not outlive the process.
    if (APIStuff::TrayOwnerForm != nullptr) {
        Tray::RemoveTrayIcon();
    }
}

void Form1::OnEndSession() {
    // Nothing needs saving: the session's end is an ordinary close.
    OnQueryUnload();
}

}  // namespace vt
