#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"

// An in-memory desktop for the unit tests: windows and titles, a tray, a registry, a settings
// store, message boxes the test answers, a clock the test sets and a timer the test ticks.
// Its ANSI code page is 1252. It carries the platform's operations, never the program's logic.
namespace vt::sim {

// How a window of another program answers WM_CLOSE.
enum class CloseBehaviour {
    Closes,    // destroys itself, and the windows it owns
    Declines,  // stays open
    Hung,      // its thread has stopped: it answers nothing
    Busy,      // keeps pumping messages but takes `busyMs` to answer (a save prompt, say)
};

struct SimWindow {
    Hwnd handle = 0;
    std::string title;  // ANSI, code page 1252
    Hwnd owner = 0;
    Hwnd parent = 0;  // 0: a top-level window, whose parent is the desktop
    CloseBehaviour behaviour = CloseBehaviour::Closes;
    std::uint32_t busyMs = 0;
    // Clock time at which a Hung window stopped answering: when it was added, unless set.
    std::uint64_t hungSinceMs = 0;
    std::int32_t closeRequests = 0;
    // Runs while the window handles WM_CLOSE, before it closes (to change the desktop, the
    // clock or the program from inside a close request).
    std::function<void()> onClose;
};

struct ShownMessage {
    std::wstring text;
    UInt style = 0;
    std::wstring caption;
    bool formVisible = false;  // the state of the program when the box was shown
    bool trayIconShown = false;
    bool timerEnabled = false;
};

struct NotifyCall {
    UInt message = 0;
    NotifyIconDataA data;
    bool succeeded = false;
};

struct RegistryValue {
    UInt type = REG_SZ;
    std::string data;  // bytes as stored, terminating NUL included for REG_SZ
};

class SimPlatform final : public Platform {
  public:
    // Windows report hung after this long without pumping messages.
    static constexpr std::uint64_t kHungAfterMs = 5000;

    SimPlatform();
    ~SimPlatform() override;
    // Form1's procedure finds this object by its window handle.
    SimPlatform(const SimPlatform&) = delete;
    SimPlatform& operator=(const SimPlatform&) = delete;

    // --- The desktop --------------------------------------------------------------------
    Hwnd AddWindow(std::wstring_view title, CloseBehaviour behaviour = CloseBehaviour::Closes,
                   Hwnd owner = 0);
    Hwnd AddWindowAnsi(std::string title, CloseBehaviour behaviour = CloseBehaviour::Closes,
                       Hwnd owner = 0);
    // EnumWindows reports the windows newest first (the newest is on top), Form1 and raw
    // handles among them. A title ends at its first NUL.
    // Another program's window; throws std::out_of_range for Form1 or an unknown handle.
    SimWindow& Window(Hwnd handle);
    bool WindowExists(Hwnd handle) const;  // Form1 too, until EndProgram
    void DestroyWindow(Hwnd handle);       // and the windows it owns; no WM_CLOSE
    // Makes EnumWindows report this handle (for handles that are not positive).
    void AddRawHandle(Hwnd handle);
    // Every WM_CLOSE delivered, in order (to Form1 too, when sent through
    // SendMessageTimeoutA). onClose runs for every delivered WM_CLOSE, whatever the window's
    // CloseBehaviour.
    const std::vector<Hwnd>& CloseLog() const { return closeLog_; }
    // A child window of another program's window: not top-level, so not enumerated.
    Hwnd AddChildWindow(Hwnd parent, std::wstring_view title);
    void SetTitle(Hwnd handle, std::wstring_view title);
    // Delivers a WinEvent to the hooks set for it, as the system does while the program takes
    // messages; skipped for Form1 by hooks that skip their own process.
    void RaiseWinEvent(UInt event, Hwnd hWnd, std::int32_t idObject = OBJID_WINDOW,
                       std::int32_t idChild = CHILDID_SELF);
    std::int32_t WinEventHookCount() const { return static_cast<std::int32_t>(hooks_.size()); }
    void FailWinEventHooks(bool fail) { failHooks_ = fail; }
    std::int32_t WindowCount() const;  // the other programs' windows: Form1 is not counted

    // --- Clock, chance and timer ----------------------------------------------------------
    std::uint64_t NowMs() const { return nowMs_; }
    void AdvanceMs(std::uint64_t ms) { nowMs_ += ms; }
    void SetSecondsSinceMidnight(double seconds) { secondsSinceMidnight_ = seconds; }
    void ForceRnd(double value) { forcedRnd_.push_back(value); }
    std::optional<double> RandomizeSeed() const { return randomizeSeed_; }
    bool TimerEnabled() const { return timerEnabled_; }
    // Delivers one tick of Timer1 if it is enabled; returns whether it did.
    bool Tick();
    // A tick that came due during a handler: the next DoEvents dispatches it, after the posted
    // messages, if the timer is still enabled (disabling the timer drops it).
    void QueueTick() { tickQueued_ = true; }
    std::int32_t DoEventsCalls() const { return doEventsCalls_; }
    // Characters of ListView1's items handed to the program so far.
    std::size_t ListCharactersRead() const { return listCharactersRead_; }

    // --- Message boxes --------------------------------------------------------------------
    // Answers for the next boxes, in order; a box with no answer queued gets IDOK, or IDNO
    // when it asks Yes/No.
    void AnswerMessageBox(std::int32_t button) { answers_.push_back(button); }
    const std::vector<ShownMessage>& Messages() const { return messages_; }
    // Runs while a box is shown (the modal loop), before it is answered.
    std::function<void(const ShownMessage&)> onMessageBox;

    // --- The tray -------------------------------------------------------------------------
    bool TrayIconShown() const { return trayIcon_.has_value(); }
    const std::optional<NotifyIconDataA>& TrayIcon() const { return trayIcon_; }
    const std::vector<NotifyCall>& NotifyCalls() const { return notifyCalls_; }
    // The next `count` calls with this message fail (a shell that is not ready). Calls whose
    // cbSize is not 88 fail too.
    void FailNotifyIcon(UInt message, std::int32_t count) { notifyFailures_[message] = count; }
    // The mouse over the icon: sends its callback message to the icon's window procedure.
    LResult MouseOnTrayIcon(UInt mouseMessage);
    // What the next pop-up menu does: choose this item, or close without choosing (nullopt).
    void ChooseFromNextMenu(std::optional<MenuId> item) { menuChoices_.push_back(item); }
    std::int32_t MenusShown() const { return menusShown_; }
    // Runs while a pop-up menu is open (its modal loop), before the choice is made.
    std::function<void()> onMenuOpen;
    // Explorer restarted: every icon is gone and "TaskbarCreated" is sent to every window.
    void RecreateTaskbar();
    // Every PostMessageA to an existing window; those to Form1 wait for the next DoEvents.
    const std::vector<std::pair<Hwnd, UInt>>& PostedMessages() const { return posted_; }
    Hwnd ForegroundWindow() const { return foreground_; }

    // --- Registry and settings store ------------------------------------------------------
    std::optional<RegistryValue> RegValue(Hkey root, std::string_view subKey,
                                          std::string_view name) const;
    void SetRegValue(Hkey root, std::string_view subKey, std::string_view name,
                     RegistryValue value);
    bool RegKeyExists(Hkey root, std::string_view subKey) const;
    // The value names of a key as they were first written (the registry keeps their spelling).
    std::vector<std::string> RegValueNames(Hkey root, std::string_view subKey) const;
    // Opening this key or one below it with any write access fails with ERROR_ACCESS_DENIED.
    // Handles check their access too: querying needs KEY_QUERY_VALUE, setting and deleting
    // KEY_SET_VALUE.
    void DenyWrite(Hkey root, std::string_view subKey);
    std::int32_t OpenKeyCount() const { return static_cast<std::int32_t>(openKeys_.size()); }

    std::optional<std::wstring> StoredSetting(std::wstring_view key) const;
    void StoreSetting(std::wstring_view key, std::wstring_view value);
    // Until it is saved again. Settings are matched ignoring case, as the registry does.
    void MakeSettingUnreadable(std::wstring_view key);
    void FailSettingWrites(bool fail) { failWrites_ = fail; }
    // Every successful SaveSetting, in order: (key, value).
    const std::vector<std::pair<std::wstring, std::wstring>>& SettingWrites() const {
        return settingWrites_;
    }

    // --- Files and the shell ------------------------------------------------------------
    void SetExecutablePath(std::wstring path) { executablePath_ = std::move(path); }
    // The 8.3 form the volume keeps for a path; none unless set.
    void SetShortPath(std::wstring longPath, std::wstring shortPath);
    void AddFile(std::wstring path, bool isCursor);
    const std::vector<std::pair<std::wstring, std::int32_t>>& Launched() const { return launched_; }
    void FailLaunch(bool fail) { failLaunch_ = fail; }

    // --- Form1 as the user sees it ----------------------------------------------------------
    bool FormCreated() const { return formHandle_ != 0; }
    Hwnd FormHandle() const { return formHandle_; }
    bool FormVisibleNow() const { return formVisible_; }
    bool Ended() const { return ended_; }
    const std::wstring& Caption() const { return caption_; }
    std::pair<std::int32_t, std::int32_t> FormPositionTwips() const {
        return {formLeft_, formTop_};
    }
    void SetScreenSizeTwips(std::int32_t width, std::int32_t height);
    std::int32_t CheckValueShown(ControlId control) const;
    bool ControlVisible(ControlId control) const;
    std::wstring ControlText(ControlId control) const;
    const std::vector<std::wstring>& ListItems() const { return listItems_; }
    const std::vector<std::pair<std::wstring, std::int32_t>>& ListColumns() const {
        return columns_;
    }
    std::int32_t MousePointerShown() const { return mousePointer_; }
    const std::wstring& MouseIconPath() const { return mouseIcon_; }
    WndProc CurrentWndProc() const { return formProc_; }
    WndProc FormClassProc() const;

    // User actions; each delivers what the window layer would report.
    void TypeText(ControlId control, std::wstring_view text);  // replaces the text
    void PressEnter(ControlId control);  // no control handles keys: nothing is reported
    void Click(ControlId control);       // a visible control only (ListView1: no selection change)
    void SelectListItem(std::int32_t index);  // 0-based; -1 clears the selection
    void ClickListItem(std::int32_t index);   // selects it (or nothing for -1) and clicks
    void DblClickListItem(std::int32_t index);
    void MouseMove(ControlId control);  // over an invisible control: the form's background
    void CloseForm();                   // the close button, or another program's WM_CLOSE
    void EndSession();                  // WM_QUERYENDSESSION, then WM_ENDSESSION
    // Sends a message to Form1 through its current window procedure.
    LResult SendToForm(UInt msg, WParam wParam, LParam lParam);

    // --- Platform -------------------------------------------------------------------------
    std::wstring AnsiToUnicode(std::string_view ansi) const override;
    std::string UnicodeToAnsi(std::wstring_view text) const override;
    std::wstring UpperCase(std::wstring_view text) const override;

    Bool32 EnumWindows(EnumWindowsProc proc, LParam lParam) override;
    std::int32_t GetWindowTextA(Hwnd hWnd, char* buffer, std::int32_t maxCount) override;
    LResult SendMessageTimeoutA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam, UInt flags,
                                UInt timeoutMs, std::uintptr_t* result) override;
    WndProc SetWindowLongA(Hwnd hWnd, std::int32_t index, WndProc newProc) override;
    LResult CallWindowProcA(WndProc proc, Hwnd hWnd, UInt msg, WParam wParam,
                            LParam lParam) override;
    Bool32 SetForegroundWindow(Hwnd hWnd) override;
    Bool32 PostMessageA(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam) override;
    UInt RegisterWindowMessageA(const char* name) override;
    Hwnd GetAncestor(Hwnd hWnd, UInt flags) override;
    Hwnd GetDesktopWindow() override { return kDesktopWindow; }
    Hwineventhook SetWinEventHook(UInt eventMin, UInt eventMax, WinEventProc proc, LParam context,
                                  UInt flags) override;
    Bool32 UnhookWinEvent(Hwineventhook hook) override;
    void DoEvents() override;
    void Sleep(UInt milliseconds) override { nowMs_ += milliseconds; }

    Bool32 Shell_NotifyIconA(UInt message, NotifyIconDataA* data) override;
    Hicon ApplicationIcon() override { return kApplicationIcon; }

    std::int32_t RegOpenKeyExA(Hkey root, const char* subKey, UInt options, UInt access,
                               Hkey* result) override;
    std::int32_t RegCreateKeyExA(Hkey root, const char* subKey, UInt access, Hkey* result) override;
    std::int32_t RegQueryValueExA(Hkey key, const char* valueName, UInt* type,
                                  std::string* data) override;
    std::int32_t RegSetValueExA(Hkey key, const char* valueName, UInt reserved, UInt type,
                                const std::uint8_t* data, UInt size) override;
    std::int32_t RegDeleteValueA(Hkey key, const char* valueName) override;
    std::int32_t RegCloseKey(Hkey key) override;

    std::optional<std::wstring> GetSetting(std::wstring_view appName, std::wstring_view section,
                                           std::wstring_view key) override;
    void SaveSetting(std::wstring_view appName, std::wstring_view section, std::wstring_view key,
                     std::wstring_view value) override;

    std::wstring ExecutablePath() override { return executablePath_; }
    std::wstring GetShortPathNameW(std::wstring_view longPath) override;
    bool GetFileDateTime(std::wstring_view path) override;
    void Shell(std::wstring_view commandLine, std::int32_t showCommand) override;
    double SecondsSinceMidnight() override { return secondsSinceMidnight_; }
    void Randomize(double seed) override;  // records the seed and reseeds the generator
    double Rnd() override;

    Hwnd CreateForm(FormEvents& events) override;
    void SetCaption(std::wstring_view caption) override { caption_ = caption; }
    void ShowForm() override { formVisible_ = true; }
    void HideForm() override { formVisible_ = false; }
    void MoveForm(std::int32_t leftTwips, std::int32_t topTwips) override;
    std::int32_t FormWidthTwips() override;
    std::int32_t FormHeightTwips() override;
    std::int32_t ScreenWidthTwips() override { return screenWidth_; }
    std::int32_t ScreenHeightTwips() override { return screenHeight_; }

    void SetCheckValue(ControlId control, std::int32_t value) override;
    void SetControlVisible(ControlId control, bool visible) override;
    std::wstring GetControlText(ControlId control) override;
    void SetControlText(ControlId control, std::wstring_view text) override;

    std::int32_t ListCount() override;
    void ListAdd(std::wstring_view text) override;
    std::wstring ListText(std::int32_t index) override;
    std::wstring ListTextStart(std::int32_t index, std::size_t maxLength) override;
    void ListRemove(std::int32_t index) override;
    void ListClear() override;
    std::int32_t ListSelectedIndex() override { return selected_; }
    void ListAddColumn(std::wstring_view header) override;
    void ListSetColumnWidth(std::int32_t column, std::int32_t widthTwips) override;

    void SetTimerEnabled(bool enabled) override;
    void SetMousePointer(std::int32_t pointer) override { mousePointer_ = pointer; }
    bool LoadMouseIcon(std::wstring_view path) override;
    void PopupMenu(MenuId menu) override;
    std::int32_t MessageBox(std::wstring_view text, UInt style, std::wstring_view caption) override;
    void EndProgram() override;

    // Knobs for failures of the window layer.
    // ListCount and ListText then throw AppError(kListReadError).
    void FailListReads(bool fail) { failListReads_ = fail; }
    static constexpr std::int32_t kListReadError = 35605;

    static constexpr Hicon kApplicationIcon = 0x1234;
    static constexpr Hwnd kDesktopWindow = 0x00010008;  // below every window of the desktop

  private:
    struct ControlState {
        std::int32_t value = 0;
        bool visible = true;
        std::wstring text;
    };
    struct OpenKey {
        Hkey root;
        std::string subKey;  // upper case
        UInt access;
    };
    struct StoredValue {
        std::string name;  // as first written
        RegistryValue value;
    };
    struct PendingMessage {
        UInt msg;
        WParam wParam;
        LParam lParam;
    };

    static std::string Upper(std::string_view text);
    static std::wstring Fold(std::wstring_view text);  // file names, ignoring case
    static std::string KeyName(std::string_view subKey);
    static LResult VT_CALLBACK FormClassWndProc(Hwnd hWnd, UInt msg, WParam wParam, LParam lParam);
    LResult OnFormCommand(WParam wParam);
    LResult OnFormEndSession(WParam ending);
    void DeliverTick();
    void DeliverClose(Hwnd hWnd);
    void AddToZOrder(Hwnd handle);
    void RemoveFromZOrder(Hwnd handle);
    void UnregisterForm();
    bool ApplyNotifyIcon(UInt message, const NotifyIconDataA& data);
    static void UpdateIcon(NotifyIconDataA& icon, const NotifyIconDataA& data);
    void CreateKeyPath(Hkey root, const std::string& name);
    bool WriteDenied(Hkey root, const std::string& name) const;
    bool KeyPresent(Hkey root, const std::string& name) const;
    std::optional<std::pair<Hkey, std::string>> ResolveKey(Hkey root, const char* subKey) const;
    Hkey OpenHandle(Hkey root, std::string name, UInt access);
    ControlState& Control(ControlId control);
    const ControlState& Control(ControlId control) const;
    void CheckListReadable() const;
    void CheckListIndex(std::int32_t index) const;

    // desktop
    std::map<Hwnd, SimWindow> windows_;
    struct Hook {
        UInt eventMin;
        UInt eventMax;
        WinEventProc proc;
        LParam context;
        UInt flags;
    };
    std::map<Hwineventhook, Hook> hooks_;
    Hwineventhook lastHook_ = 0;
    bool failHooks_ = false;
    std::map<std::uint64_t, Hwnd> zOrder_;  // by age: EnumWindows walks it from the newest
    std::map<Hwnd, std::uint64_t> zIndex_;  // where each window sits in zOrder_
    std::uint64_t nextZ_ = 0;
    std::vector<Hwnd> closeLog_;
    Hwnd nextHandle_ = 0x10010;
    // clock, chance, timer
    std::uint64_t nowMs_ = 0;
    double secondsSinceMidnight_ = 0;
    std::deque<double> forcedRnd_;
    std::optional<double> randomizeSeed_;
    std::uint32_t rndState_ = 0x50000;
    bool timerEnabled_ = false;
    bool tickQueued_ = false;
    std::int32_t doEventsCalls_ = 0;
    std::size_t listCharactersRead_ = 0;
    std::deque<PendingMessage> pending_;  // posted to Form1, for the next DoEvents
    // messages
    std::deque<std::int32_t> answers_;
    std::vector<ShownMessage> messages_;
    // tray
    std::optional<NotifyIconDataA> trayIcon_;
    std::vector<NotifyCall> notifyCalls_;
    std::map<UInt, std::int32_t> notifyFailures_;
    std::deque<std::optional<MenuId>> menuChoices_;
    std::int32_t menusShown_ = 0;
    std::vector<std::pair<Hwnd, UInt>> posted_;
    std::map<std::string, UInt> registeredMessages_;
    Hwnd foreground_ = 0;
    // registry and store
    // (root, upper-case key) -> upper-case value name -> value
    std::map<std::pair<Hkey, std::string>, std::map<std::string, StoredValue>> registry_;
    std::vector<std::pair<Hkey, std::string>> deniedKeys_;
    std::map<Hkey, OpenKey> openKeys_;
    Hkey nextKey_ = 0x100;
    std::map<std::wstring, std::wstring> store_;  // by application, section and key, upper case
    std::vector<std::wstring> unreadable_;        // in the same form
    bool failWrites_ = false;
    std::vector<std::pair<std::wstring, std::wstring>> settingWrites_;
    // files and shell
    std::wstring executablePath_ = L"C:\\Program Files\\Vintrell\\Vintrell.exe";
    std::map<std::wstring, bool> files_;
    std::map<std::wstring, std::wstring> shortPaths_;  // by the folded long path
    std::vector<std::pair<std::wstring, std::int32_t>> launched_;
    bool failLaunch_ = false;
    // Form1
    FormEvents* events_ = nullptr;
    Hwnd formHandle_ = 0;
    bool formRegistered_ = false;  // on the desktop: created and not yet ended
    WndProc formProc_ = nullptr;
    bool formVisible_ = false;
    bool ended_ = false;
    std::wstring caption_;
    std::int32_t formLeft_ = 0, formTop_ = 0;
    std::int32_t screenWidth_ = 1024 * 15, screenHeight_ = 768 * 15;
    std::map<ControlId, ControlState> controls_;
    std::vector<std::wstring> listItems_;
    std::int32_t selected_ = -1;
    std::vector<std::pair<std::wstring, std::int32_t>> columns_;
    std::int32_t mousePointer_ = 0;
    std::wstring mouseIcon_;
    bool failListReads_ = false;
};

}  // namespace vt::sim
