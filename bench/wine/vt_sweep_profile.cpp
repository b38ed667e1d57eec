// Runs Vintrell's own sweep (Form1::Timer1_Timer on the real Win32 platform) once a tick on
// the desktop as it stands, and splits each sweep's wall time between the platform operations
// it calls and the rest, which is the program's own work. Prints one CSV line per sweep.
//   vt_sweep_profile [--sweeps 100] [--interval-ms 100]
// The keyword list is the one stored in the prefix's settings, as Vintrell.exe would load it.

#include <array>
#include <cstdio>
#include <exception>
#include <optional>
#include <type_traits>

// The program's headers first: <windows.h> defines macros with the names of its constants.
#include "app/main_window.h"
#include "platform/win32/win32_platform.h"

#include "probe_util.h"

namespace {

enum class Op : std::size_t {
    EnumWindows,
    GetWindowText,
    AnsiToUnicode,
    UpperCase,
    ListCount,
    ListText,
    SendClose,
    DoEvents,
    ListAdd,
    Setting,
    ShowForm,
    Count,
};

constexpr std::array<const char*, static_cast<std::size_t>(Op::Count)> kOpNames = {
    "enum",  "titles",    "ansi",     "upper",   "list_count", "list_text",
    "close", "do_events", "list_add", "setting", "show_form",
};

struct OpTotals {
    std::array<double, static_cast<std::size_t>(Op::Count)> ms{};
    std::array<long, static_cast<std::size_t>(Op::Count)> calls{};
};

// The real platform, with a stopwatch around the operations a sweep calls.
class TimedPlatform final : public vt::win32::Win32Platform {
  public:
    explicit TimedPlatform(HINSTANCE instance) : Win32Platform(instance) {}

    OpTotals TakeTotals() {
        OpTotals taken = totals_;
        totals_ = {};
        return taken;
    }

    std::wstring AnsiToUnicode(std::string_view ansi) const override {
        return Timed(Op::AnsiToUnicode, [&] { return Win32Platform::AnsiToUnicode(ansi); });
    }
    std::wstring UpperCase(std::wstring_view text) const override {
        return Timed(Op::UpperCase, [&] { return Win32Platform::UpperCase(text); });
    }
    vt::Bool32 EnumWindows(vt::EnumWindowsProc proc, vt::LParam lParam) override {
        return Timed(Op::EnumWindows, [&] { return Win32Platform::EnumWindows(proc, lParam); });
    }
    std::int32_t GetWindowTextA(vt::Hwnd hWnd, char* buffer, std::int32_t maxCount) override {
        return Timed(Op::GetWindowText,
                     [&] { return Win32Platform::GetWindowTextA(hWnd, buffer, maxCount); });
    }
    vt::Bool32 SendMessageCallbackA(vt::Hwnd hWnd, vt::UInt msg, vt::WParam wParam,
                                    vt::LParam lParam, vt::SendAsyncProc callback,
                                    std::uintptr_t data) override {
        return Timed(Op::SendClose, [&] {
            return Win32Platform::SendMessageCallbackA(hWnd, msg, wParam, lParam, callback, data);
        });
    }
    void DoEvents() override {
        Timed(Op::DoEvents, [&] {
            Win32Platform::DoEvents();
            return 0;
        });
    }
    std::int32_t ListCount() override {
        return Timed(Op::ListCount, [&] { return Win32Platform::ListCount(); });
    }
    std::optional<std::wstring> ListText(std::int32_t index) override {
        return Timed(Op::ListText, [&] { return Win32Platform::ListText(index); });
    }
    std::optional<std::wstring> ListTextStart(std::int32_t index, std::size_t maxLength) override {
        return Timed(Op::ListText, [&] { return Win32Platform::ListTextStart(index, maxLength); });
    }
    void ListAdd(std::wstring_view text) override {
        Timed(Op::ListAdd, [&] {
            Win32Platform::ListAdd(text);
            return 0;
        });
    }
    std::optional<std::wstring> GetSetting(std::wstring_view appName, std::wstring_view section,
                                           std::wstring_view key) override {
        return Timed(Op::Setting, [&] { return Win32Platform::GetSetting(appName, section, key); });
    }
    void ShowForm() override {
        Timed(Op::ShowForm, [&] {
            Win32Platform::ShowForm();
            return 0;
        });
    }

  private:
    // Nested operations (ListText converts its text) count once, in the outer one.
    template <typename Call>
    std::invoke_result_t<Call&> Timed(Op op, Call&& call) const {
        if (depth_ > 0) {
            return call();
        }
        ++depth_;
        const double start = clock_.NowMs();
        auto result = call();
        const auto index = static_cast<std::size_t>(op);
        totals_.ms[index] += clock_.NowMs() - start;
        ++totals_.calls[index];
        --depth_;
        return result;
    }

    probe::Clock clock_;
    mutable OpTotals totals_;
    mutable int depth_ = 0;
};

// Where start-up went: creating the window and its controls, then Form_Load and the show.
void PrintStartup(const OpTotals& totals, double createMs, double startMs) {
    const auto of = [&totals](Op op) { return totals.ms[static_cast<std::size_t>(op)]; };
    const auto calls = [&totals](Op op) { return totals.calls[static_cast<std::size_t>(op)]; };
    std::printf(
        "# startup create_form_ms %.2f start_ms %.2f list_ms %.2f list_calls %ld "
        "settings_ms %.2f show_ms %.2f\n",
        createMs, startMs, of(Op::ListAdd) + of(Op::ListCount) + of(Op::ListText),
        calls(Op::ListAdd) + calls(Op::ListCount) + calls(Op::ListText), of(Op::Setting),
        of(Op::ShowForm));
}

void PrintHeader() {
    std::printf("sweep,total_ms,own_ms");
    for (const char* name : kOpNames) {
        std::printf(",%s_ms,%s_calls", name, name);
    }
    std::printf("\n");
}

int Run(const probe::Args& args) {
    const long sweeps = args.Number("--sweeps", 100);
    const long intervalMs = args.Number("--interval-ms", 100);
    const probe::Clock clock;

    const double begin = clock.NowMs();
    TimedPlatform platform(GetModuleHandleA(nullptr));
    vt::Form1 form(platform);
    const double created = clock.NowMs();
    form.Start();
    const double started = clock.NowMs();
    PrintStartup(platform.TakeTotals(), created - begin, started - created);

    PrintHeader();
    const double cpuBefore = probe::ProcessCpuMs();
    const double wallBefore = clock.NowMs();
    for (long sweep = 1; sweep <= sweeps; ++sweep) {
        const double start = clock.NowMs();
        form.Timer1_Timer();
        const double total = clock.NowMs() - start;
        const OpTotals totals = platform.TakeTotals();
        double platformMs = 0.0;
        for (const double ms : totals.ms) {
            platformMs += ms;
        }
        std::printf("%ld,%.4f,%.4f", sweep, total, total - platformMs);
        for (std::size_t i = 0; i < kOpNames.size(); ++i) {
            std::printf(",%.4f,%ld", totals.ms[i], totals.calls[i]);
        }
        std::printf("\n");
        probe::PumpFor(clock, static_cast<double>(intervalMs));
    }
    std::printf("# cpu_ms %.1f wall_ms %.1f\n", probe::ProcessCpuMs() - cpuBefore,
                clock.NowMs() - wallBefore);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    return probe::RunProbe("vt_sweep_profile", argc, argv, Run);
}
