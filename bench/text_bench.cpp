// Speed of the text operations that run over whole bodies and header texts, at 1 MB and 64 MB of mixed
// ASCII and GBK text: time per byte should not grow with the size.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "core/text.h"

namespace {

// Lines of ASCII words, signs, GBK characters and full-width spaces, ended by CR LF; the same text for
// the same size on every run.
const Text& MixedText(std::size_t size) {
    static std::map<std::size_t, Text> made;
    Text& text = made[size];
    if (!text.empty()) return text;
    static const char* const pieces[] = {
        "Set-Cookie: a=b; path=/",
        "Content-Type: text/html",
        " ",
        "\xA1\xA1",
        "\xB6\xC1\xC8\xA1\xCD\xEA",
        "\xB1\xCF",
        "user=corvana",
        "&x=1",
        "GET",
        "\xD6\xD0\xCE\xC4",
        "\xA3\xB8\xA3\xB0",
        "Host: ab.cd",
        "\t",
        "value",
        "\xB0\x61\xB0\x41",
    };
    std::uint32_t state = 12345;
    text.reserve(size + 64);
    std::size_t lineStart = 0;
    while (text.size() < size) {
        state = state * 1103515245u + 12345u;
        text += pieces[(state >> 16) % std::size(pieces)];
        if (text.size() - lineStart > 60 + (state >> 8) % 60) {
            text += "\r\n";
            lineStart = text.size();
        }
    }
    text.resize(size);
    return text;
}

// Runs operation over the text of the benchmark's size and reports the bytes gone through.
template <class Operation> void OverText(benchmark::State& state, Operation operation) {
    const Text& text = MixedText(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(operation(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

// Takes every line, one after another, as a reader of a response does.
std::size_t CountLines(std::string_view rest) {
    std::size_t lines = 0;
    for (int usedUp = 1; usedUp > 0; rest.remove_prefix(static_cast<std::size_t>(usedUp))) {
        benchmark::DoNotOptimize(TakeLine(rest, usedUp));
        ++lines;
    }
    return lines;
}

void FindInTextMiss(benchmark::State& state) {
    OverText(state, [](const Text& text) { return FindInText(text, "Set-Cookie: zz="); });
}
void FindInTextMissIgnoringCase(benchmark::State& state) {
    OverText(state, [](const Text& text) { return FindInText(text, "set-cookie: zz=", 1, true); });
}
void SplitTextAtLineEnds(benchmark::State& state) {
    OverText(state, [](const Text& text) { return SplitText(text, "\r\n"); });
}
// Not an operation: the same pieces as SplitText gives, copied from places found beforehand. What it
// costs to make that many separate texts sets a floor under SplitText at either size.
void SplitPiecesCopyOnly(benchmark::State& state) {
    const Text& text = MixedText(static_cast<std::size_t>(state.range(0)));
    std::vector<std::pair<std::size_t, std::size_t>> pieces;
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != Text::npos; start = end + 2)
        pieces.emplace_back(start, end - start);
    OverText(state, [&](const Text&) {
        std::vector<Text> copies;
        for (auto [start, length] : pieces)
            copies.emplace_back(text, start, length);
        return copies;
    });
}
void TakeLineReader(benchmark::State& state) {
    OverText(state, CountLines);
}
void UpperCaseText(benchmark::State& state) {
    OverText(state, UpperCase);
}
void RemoveAllSpacesText(benchmark::State& state) {
    OverText(state, RemoveAllSpaces);
}

constexpr std::int64_t MB = 1 << 20;

} // namespace

BENCHMARK(FindInTextMiss)->Arg(1 * MB)->Arg(64 * MB)->Unit(benchmark::kMillisecond);
BENCHMARK(FindInTextMissIgnoringCase)->Arg(1 * MB)->Arg(64 * MB)->Unit(benchmark::kMillisecond);
BENCHMARK(SplitTextAtLineEnds)->Arg(1 * MB)->Arg(64 * MB)->Unit(benchmark::kMillisecond);
BENCHMARK(SplitPiecesCopyOnly)->Arg(1 * MB)->Arg(64 * MB)->Unit(benchmark::kMillisecond);
BENCHMARK(TakeLineReader)->Arg(1 * MB)->Arg(64 * MB)->Unit(benchmark::kMillisecond);
BENCHMARK(UpperCaseText)->Arg(1 * MB)->Arg(64 * MB)->Unit(benchmark::kMillisecond);
BENCHMARK(RemoveAllSpacesText)->Arg(1 * MB)->Arg(64 * MB)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
