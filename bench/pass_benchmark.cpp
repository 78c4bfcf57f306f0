// Throughput of a whole Generate pass (read, prepare, scan, count, rank, compose) on
// generated pages of 1, 4 and 16 MB, with CR LF and LF-only line ends and with UTF-8
// words, and on a page with 100 000 distinct words.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

#include "app/session.h"
#include "page_generator.h"

namespace {

// Pages are written once per shape and kept for the whole run.
std::string PagePath(const lumora::bench::PageShape& shape) {
    static std::map<std::string, std::string> written;
    const std::string key = std::to_string(shape.bytes) + "_" + std::to_string(shape.vocabulary) +
                            (shape.unixLineEnds ? "_lf" : "_crlf") +
                            (shape.utf8Words ? "_utf8" : "");
    auto it = written.find(key);
    if (it != written.end())
        return it->second;
    const std::string path = "/tmp/lumora_bench_" + std::to_string(getpid()) + "_" + key + ".htm";
    const std::string page = lumora::bench::MakePage(shape);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(page.data(), 1, page.size(), f);
    std::fclose(f);
    written[key] = path;
    return path;
}

void RunPass(benchmark::State& state, const lumora::bench::PageShape& shape) {
    const std::string path = PagePath(shape);
    lumora::app::UnattendedPlatform platform;
    std::size_t words = 0;
    for (auto _ : state) {
        lumora::app::Session session(platform, LUMORA_BIN_DIR);
        session.LoadProgramTexts();
        session.InitialiseSession();
        session.CompleteStartup();
        session.SetInputFileText(path);
        session.ClickGenerate();
        words = session.RankedWords().size();
        benchmark::DoNotOptimize(session.OutputText().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(shape.bytes));
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
