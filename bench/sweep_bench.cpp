#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_window.h"
#include "monitor/main_window_handle.h"
#include "monitor/matching.h"
#include "platform/sim/sim_platform.h"

// One window sweep on the simulated desktop: enumeration, every title read and converted, the
// keyword test, and a close request to the few windows that match (they decline, so the
// desktop stays the same from one sweep to the next).
namespace {

using vt::sim::CloseBehaviour;

constexpr std::array<std::wstring_view, 12> kTitleWords{
    L"Untitled - Notepad", L"Inbox (3) - Mail", L"Document1 - Word",   L"Calculator",
    L"C:\\Users\\anna",    L"Task Manager",     L"Downloads",          L"Settings",
    L"Quarterly report",   L"Spotify Premium",  L"Visual Studio Code", L"Program Manager"};
constexpr std::array<std::wstring_view, 10> kKeywordWords{
    L"special offer", L"you have won", L"toolbar", L"survey", L"update available",
    L"coupon",        L"free trial",   L"popup",   L"winner", L"advert"};

// A keyword of 8 to 24 characters that no ordinary title contains.
std::wstring Keyword(std::int64_t i) {
    return std::wstring(kKeywordWords[static_cast<std::size_t>(i) % kKeywordWords.size()]) + L" #" +
           std::to_wstring(i);
}

// A title of about `length` characters (at most 49 are read).
std::wstring Title(std::int64_t i, std::size_t length) {
    std::wstring title(kTitleWords[static_cast<std::size_t>(i) % kTitleWords.size()]);
    title += L" - window " + std::to_wstring(i);
    while (title.size() < length) {
        title +=
            L" - " +
            std::wstring(
                kTitleWords[static_cast<std::size_t>(i * 7 + title.size()) % kTitleWords.size()]);
    }
    title.resize(length);
    return title;
}

struct Desktop {
    Desktop(std::int64_t windows, std::int64_t keywords, std::size_t titleLength) {
        vt::Globals::MainWindowHandle = form.hWnd();
        for (std::int64_t k = 0; k < keywords; ++k) {
            sim.ListAdd(Keyword(k));
        }
        for (std::int64_t w = 0; w < windows; ++w) {
            // About one window in a hundred matches a keyword.
            if (w % 100 == 50) {
                sim.AddWindow(L"Popup: " + Keyword(w % keywords), CloseBehaviour::Declines);
            } else {
                sim.AddWindow(Title(w, titleLength));
            }
        }
    }
    ~Desktop() { vt::Globals::MainWindowHandle = 0; }

    vt::sim::SimPlatform sim;
    vt::Form1 form{sim};
};

void BM_Sweep(benchmark::State& state) {
    Desktop desktop(state.range(0), state.range(1), 32);
    for (auto _ : state) {
        desktop.form.Timer1_Timer();
    }
    if (!desktop.sim.Messages().empty()) {
        state.SkipWithError("the sweep failed");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));  // windows per second
}
BENCHMARK(BM_Sweep)
    ->ArgNames({"windows", "keywords"})
    ->ArgsProduct({{100, 1000, 10000}, {1, 100, 1000}})
    ->Unit(benchmark::kMicrosecond);

// 1,000 windows against 100 keywords, titles of 8 to 49 characters.
void BM_SweepTitleLength(benchmark::State& state) {
    Desktop desktop(1000, 100, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        desktop.form.Timer1_Timer();
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SweepTitleLength)
    ->ArgName("title_length")
    ->Arg(8)
    ->Arg(16)
    ->Arg(32)
    ->Arg(49)
    ->Unit(benchmark::kMicrosecond);

// 1,000 windows against 100 keywords, with and without one keyword of ten million characters
// among them: a keyword longer than any title is left out, so it must cost nothing.
void BM_SweepHugeKeyword(benchmark::State& state) {
    Desktop desktop(1000, 100, 32);
    if (state.range(0) != 0) {
        desktop.sim.ListAdd(std::wstring(10'000'000, L'x'));
    }
    for (auto _ : state) {
        desktop.form.Timer1_Timer();
    }
    if (!desktop.sim.Messages().empty()) {
        state.SkipWithError("the sweep failed");
    }
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_SweepHugeKeyword)
    ->ArgName("huge_keyword")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

// The part of a sweep that grows with the keywords: reading and upper-casing the list and
// building the automaton, once a sweep. alphabet 1: each keyword 40 times one of 3,000 CJK
// characters and an "x": an automaton that kept a table of states by characters would fill
// 3,000 times as many entries, and show it here.
void BM_MatcherBuild(benchmark::State& state) {
    vt::sim::SimPlatform sim;
    vt::ListView list(sim);
    for (std::int64_t k = 0; k < state.range(0); ++k) {
        sim.ListAdd(state.range(1) == 0
                        ? Keyword(k)
                        : std::wstring(40, static_cast<wchar_t>(0x4e00 + k % 3000)) + L"x");
    }
    for (auto _ : state) {
        vt::KeywordMatcher matcher(sim, list);
        benchmark::DoNotOptimize(matcher);
    }
}
BENCHMARK(BM_MatcherBuild)
    ->ArgNames({"keywords", "alphabet"})
    ->Args({1, 0})
    ->Args({100, 0})
    ->Args({1000, 0})
    ->Args({40000, 0})
    ->Args({3000, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
