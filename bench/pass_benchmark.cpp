// Throughput of the engine's whole pass (decode, split, prepare, scan, count, rank, compose)
// on generated pages of 1, 4 and 16 MB, with CR LF and LF-only line ends and with UTF-8
// words, and on a page with 100 000 distinct words.
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "engine/engine.h"
#include "page_generator.h"

namespace {

// Pages are made once per shape and kept for the whole run.
const std::string& Page(const lumora::bench::PageShape& shape) {
    static std::map<std::string, std::string> made;
    const std::string key = std::to_string(shape.bytes) + "_" + std::to_string(shape.vocabulary) +
                            (shape.unixLineEnds ? "_lf" : "_crlf") +
                            (shape.utf8Words ? "_utf8" : "");
    auto it = made.find(key);
    if (it == made.end())
        it = made.emplace(key, lumora::bench::MakePage(shape)).first;
    return it->second;
}

void RunPass(benchmark::State& state, const lumora::bench::PageShape& shape) {
    const std::string& page = Page(shape);
    lumora::engine::CountOptions count;
    const lumora::engine::CommonWordsLoad lists =
        lumora::engine::LoadCommonWords(LUMORA_BIN_DIR, count, lumora::engine::RealFileSystem());
    std::size_t words = 0;
    for (auto _ : state) {
        const lumora::engine::AnalysisResult result =
            lumora::engine::Analyse(page, {}, lists.resources());
        words = result.analysis.ranked.size();
        benchmark::DoNotOptimize(result.analysis.tag.boxText.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(page.size()));
    state.counters["ranked_words"] = static_cast<double>(words);
}

void BM_GenerateCrLf(benchmark::State& state) {
    lumora::bench::PageShape shape;
    shape.bytes = static_cast<std::size_t>(state.range(0)) << 20;
    RunPass(state, shape);
}

void BM_GenerateLfOnly(benchmark::State& state) {
    lumora::bench::PageShape shape;
    shape.bytes = static_cast<std::size_t>(state.range(0)) << 20;
    shape.unixLineEnds = true;
    RunPass(state, shape);
}

void BM_GenerateUtf8(benchmark::State& state) {
    lumora::bench::PageShape shape;
    shape.bytes = static_cast<std::size_t>(state.range(0)) << 20;
    shape.utf8Words = true;
    RunPass(state, shape);
}

void BM_GenerateDistinctWords(benchmark::State& state) {
    lumora::bench::PageShape shape;
    shape.bytes = 4 << 20;
    shape.vocabulary = static_cast<std::size_t>(state.range(0));
    RunPass(state, shape);
}

}  // namespace

BENCHMARK(BM_GenerateCrLf)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenerateLfOnly)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenerateUtf8)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GenerateDistinctWords)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
