#include "engine/engine.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <set>
#include <utility>

#include "engine/reading.h"
#include "html/head_scan.h"
#include "output/meta_tag.h"
#include "scan/byte_scan.h"
#include "scan/prepare.h"
#include "scan/scanner.h"
#include "text/encoding.h"
#include "words/consider.h"

namespace lumora::engine {

namespace {

using Clock = std::chrono::steady_clock;

// Progress is offered this often at most; the clock is read only every so many words or
// lines, so that a pass of small pieces does not pay for it.
constexpr auto kProgressInterval = std::chrono::milliseconds(200);
constexpr std::uint32_t kTicksPerClockRead = 1024;

words::FilterOptions FilterOf(const CountOptions& o) {
    words::FilterOptions f;
    f.ignoreShortWords = o.ignoreShortWords;
    f.shortWordSize = o.shortWordSize;
    f.ignoreCommonWords = o.ignoreCommonWords;
    f.language = static_cast<int>(o.language);
    return f;
}

// Feeds the words the scanner cuts through the filters into the word table; watches the
// stop token and reports progress now and then.
class PassSink : public scan::WordSink {
  public:
    PassSink(const CountOptions& options, const Resources& resources, const scan::Scanner& scanner,
             const ProgressCallback& progress, std::stop_token stop, std::int64_t pageSize)
        : filter_(FilterOf(options)),
          ignoreList_(words::NormaliseWordsToIgnore(options.wordsToIgnore) + ","),
          commonWords_(resources.commonWords != nullptr ? *resources.commonWords : noLists_),
          scanner_(scanner),
          weights_(options.weights),
          progress_(progress),
          stop_(std::move(stop)),
          siteCommon_(options.siteCommonWords.get()),
          collectVisible_(options.collectVisibleWords),
          lastReport_(Clock::now()) {
        report_.bytesTotal = pageSize;
    }

    void OnWord(TextView word) override {
        if (!table_.Large()) {
            Count(word, words::WordTable::HashOf(word), nullptr);
            return;
        }
        // A large table waits on memory for most words: each word is looked up a few words
        // after it arrives, and what its look-up will read is asked for in the meantime.
        // The words are still counted one by one in the order of the page.
        Waiting& next = waiting_[arrived_ % kAhead];
        if (arrived_ >= kAhead)
            Count(next.word, next.hash, &next.context);
        next.word.assign(word);
        next.hash = words::WordTable::HashOf(word);
        next.context = ContextNow();
        ++arrived_;
        using Ahead = words::WordTable::Ahead;
        table_.Prefetch(next.hash, Ahead::kSlot);
        if (arrived_ > kAhead / 3)
            table_.Prefetch(waiting_[(arrived_ - 1 - kAhead / 3) % kAhead].hash, Ahead::kRecord);
        if (arrived_ > 2 * kAhead / 3)
            table_.Prefetch(waiting_[(arrived_ - 1 - 2 * kAhead / 3) % kAhead].hash, Ahead::kEntry);
    }

    // Counts the words still waiting; the pass calls it when the page is done or stops.
    void Flush() {
        const std::uint64_t first = arrived_ > kAhead ? arrived_ - kAhead : 0;
        for (std::uint64_t k = first; k < arrived_; ++k) {
            const Waiting& w = waiting_[k % kAhead];
            Count(w.word, w.hash, &w.context);
        }
        arrived_ = 0;
    }

    // The held site-common words: counted after all when the page's title holds them,
    // otherwise left out.
    void SettleSiteCommonWords(std::vector<Text>& leftOut) {
        std::set<Text> out;
        for (const HeldWord& held : held_) {
            if (titleWords_.count(held.lower) != 0)
                Add(held.key, held.weight, held.titleOrMeta);
            else
                out.insert(held.lower);
        }
        held_.clear();
        leftOut.assign(out.begin(), out.end());
    }

    std::vector<Text> VisibleWords() const { return {visible_.begin(), visible_.end()}; }

    bool ShouldStop() override {
        Tick();
        return stop_.stop_requested();
    }

    const scan::WeightSettings& Weights() const { return weights_; }
    words::WordTable& Table() { return table_; }
    // The distinct words in order of arrival.
    std::vector<Text> Arrivals() const { return WordsOf(0, arrivals_.size()); }

    // The line about to be scanned: where it starts in the page, its size there and once
    // prepared, so that progress can advance within one long line.
    void StartLine(std::int64_t start, std::size_t rawSize, std::size_t preparedSize) {
        lineStart_ = start;
        rawSize_ = rawSize;
        preparedSize_ = preparedSize;
        Tick();
    }

    // The last report of a pass, with every word not yet reported.
    void FinalReport(std::int64_t bytesDone) {
        if (progress_)
            Report(bytesDone);
    }

  private:
    // What the scanner said of a word's place when the word arrived.
    struct Context {
        float weight;
        bool titleOrMeta;
        bool inTitle;
    };
    struct Waiting {
        Text word;
        std::uint32_t hash = 0;
        Context context{};
    };
    static constexpr std::uint64_t kAhead = 16;

    Context ContextNow() const {
        return {scanner_.ContextWeight(weights_), scanner_.InTitleOrMetaContent(),
                scanner_.InTitle()};
    }

    // Counts a word with the context it arrived in, or with the scanner's context now.
    void Count(TextView word, std::uint32_t hash, const Context* arrivedIn) {
        // A page repeats its words: each distinct word is looked up in the table once and
        // goes through the filters once; its key then answers for it.
        const words::WordTable::WordKey key = table_.KeyOf(word, hash);
        if (key >= verdicts_.size())
            verdicts_.resize(key + 1, Verdict::kUnknown);
        Verdict& verdict = verdicts_[key];
        if (verdict == Verdict::kUnknown) {
            verdict = words::ConsiderWord(word, filter_, ignoreList_, commonWords_)
                          ? Verdict::kCounted
                          : Verdict::kSkipped;
        }
        if (verdict == Verdict::kSkipped)
            return;
        const Context context = arrivedIn != nullptr ? *arrivedIn : ContextNow();
        if (siteCommon_ != nullptr || collectVisible_) {
            lower_ = LowerLetters(word);
            if (collectVisible_ && !context.titleOrMeta)
                visible_.insert(lower_);
            if (siteCommon_ != nullptr && siteCommon_->count(lower_) != 0) {
                if (context.inTitle) {
                    titleWords_.insert(lower_);
                } else {
                    // Whether the title holds it may only show later in the page.
                    held_.push_back({key, lower_, context.weight, context.titleOrMeta});
                    return;
                }
            }
        }
        Add(key, context.weight, context.titleOrMeta);
    }

    struct HeldWord {
        words::WordTable::WordKey key;
        Text lower;
        float weight;
        bool titleOrMeta;
    };

    void Add(words::WordTable::WordKey key, float weight, bool titleOrMeta) {
        if (table_.AddOccurrence(key, weight, titleOrMeta))
            arrivals_.push_back(key);
    }

    void Tick() {
        if (!progress_ || ++ticks_ % kTicksPerClockRead != 0)
            return;
        const auto now = Clock::now();
        if (now - lastReport_ < kProgressInterval)
            return;
        lastReport_ = now;
        std::int64_t done = lineStart_;
        if (preparedSize_ > 0) {
            done += static_cast<std::int64_t>(static_cast<double>(scanner_.LinePosition()) *
                                              static_cast<double>(rawSize_) /
                                              static_cast<double>(preparedSize_));
        }
        Report(done);
    }

    void Report(std::int64_t bytesDone) {
        report_.bytesDone = bytesDone;
        report_.distinctWords = table_.WordCount();
        report_.newWords = WordsOf(reported_, arrivals_.size());
        reported_ = arrivals_.size();
        progress_(report_);
    }

    std::vector<Text> WordsOf(std::size_t from, std::size_t to) const {
        std::vector<Text> words;
        words.reserve(to - from);
        for (std::size_t i = from; i < to; ++i) words.emplace_back(table_.WordOf(arrivals_[i]));
        return words;
    }

    // What the filters said of a word, by its key.
    enum class Verdict : std::uint8_t { kUnknown, kCounted, kSkipped };

    static inline const words::CommonWordLists noLists_{};
    const words::FilterOptions filter_;
    const Text ignoreList_;
    const words::CommonWordLists& commonWords_;
    const scan::Scanner& scanner_;
    const scan::WeightSettings weights_;
    const ProgressCallback& progress_;
    const std::stop_token stop_;
    const std::unordered_set<Text>* const siteCommon_;
    const bool collectVisible_;

    words::WordTable table_;
    std::vector<Verdict> verdicts_;
    std::vector<words::WordTable::WordKey> arrivals_;  // distinct words in order of arrival
    Text lower_;
    std::set<Text> visible_;     // distinct words outside the title and meta tags
    std::set<Text> titleWords_;  // site-common words met in the title
    std::vector<HeldWord> held_;
    std::array<Waiting, kAhead> waiting_;
    std::uint64_t arrived_ = 0;  // words waiting and counted since the last flush
    std::size_t reported_ = 0;
    PassProgress report_;
    std::uint32_t ticks_ = 0;
    Clock::time_point lastReport_;
    std::int64_t lineStart_ = 0;
    std::size_t rawSize_ = 0;
    std::size_t preparedSize_ = 0;
};

}  // namespace

std::optional<Error> RefusePage(TextView page) {
    if (page.empty())
        return Error{Error::Code::kEmptyPage, {}, 0, {}};
    // UTF-16 is full of NUL bytes; a page that says so by its byte order mark is decoded.
    if (page.starts_with("\xFF\xFE") || page.starts_with("\xFE\xFF"))
        return std::nullopt;
    if (const void* nul = std::memchr(page.data(), '\0', page.size())) {
        const auto at = static_cast<const Char*>(nul) - page.data();
        return Error{Error::Code::kNotText, {}, static_cast<std::int64_t>(at) + 1, {}};
    }
    return std::nullopt;
}

AnalysisResult Analyse(TextView pageBytes, const Options& options, const Resources& resources,
                       const ProgressCallback& progress, std::stop_token stop) {
    AnalysisResult result;
    PageFacts& facts = result.analysis.page;
    facts.size = static_cast<std::int64_t>(pageBytes.size());
    if (auto refusal = RefusePage(pageBytes)) {
        result.error = std::move(refusal);
        return result;
    }
    const CountOptions& count = options.count;
    // Decoded once, as a browser decodes it; from here on the page is UTF-8. A page that is
    // UTF-8 already is read where it lies rather than copied.
    text::DecodeResult decoded;
    TextView page;
    if (auto asIs = text::ReadableAsIs(pageBytes, count.encoding)) {
        facts.encoding = std::move(asIs->encoding);
        facts.byteOrderMark = asIs->byteOrderMark;
        page = asIs->text;
    } else {
        decoded = text::DecodePage(pageBytes, count.encoding);
        if (!decoded.ok()) {
            result.error = EncodingFailure(*decoded.error);
            return result;
        }
        facts.encoding = decoded.page.encoding;
        facts.byteOrderMark = decoded.page.byteOrderMark;
        page = decoded.page.text;
    }

    scan::Scanner scanner;
    PassSink sink(count, resources, scanner, progress, stop,
                  static_cast<std::int64_t>(page.size()));
    LineSplitter lines(page);
    TextView raw;
    std::int64_t start = 0;
    Text line, scratch;
    while (!stop.stop_requested() && lines.Next(raw, start)) {
        if (!scan::ReadyLine(raw, count.lowerCase, line, scratch))
            continue;
        sink.StartLine(start, raw.size(), line.size());
        scanner.ScanLine(line, sink.Weights(), sink);
    }
    sink.Flush();
    facts.lineEnds = lines.Found();
    result.analysis.existing = FindExistingTags(page);
    words::WordTable& table = sink.Table();

    if (stop.stop_requested()) {
        sink.FinalReport(start);
        result.analysis.stopped = true;
        result.analysis.wordsWhenStopped = table.WordCount();
        result.analysis.wordsFound = sink.Arrivals();
        return result;
    }
    sink.FinalReport(static_cast<std::int64_t>(page.size()));
    sink.SettleSiteCommonWords(result.analysis.siteCommonLeftOut);
    if (count.collectVisibleWords)
        result.analysis.visibleWords = sink.VisibleWords();
    table.ApplyMinimumFrequency(count.minFrequency);
    table.MergeCaseVariants();
    table.NormaliseKeyValues();
    result.analysis.ranked = table.Ranked();
    result.analysis.tag = ComposeTag(result.analysis.ranked, options.tag, count);
    return result;
}

ExistingTags FindExistingTags(TextView page) {
    // The same finder that insert uses, so what is reported is what insert would replace.
    return ExistingTagsOf(page, html::ScanHead(page));
}

MetaTag ComposeTag(const std::vector<words::WordEntry>& ranked, const TagOptions& options,
                   const CountOptions& count) {
    output::MetaTagOptions mo;
    mo.maxKeywords = options.maxKeywords;
    mo.maxBytes = options.maxBytes;
    mo.beginWith = options.beginWith;
    mo.preserveCase = !options.lowerCase;
    mo.spaceAfterComma = options.spaceAfterComma;
    mo.shortWordSize = count.shortWordSize;
    mo.minFrequency = count.minFrequency;
    output::MetaTagResult built = output::BuildMetaTag(ranked, mo);
    MetaTag tag;
    tag.tag = std::move(built.tag);
    tag.keywords = static_cast<int>(built.keywords);
    tag.characters = static_cast<int>(built.characters);
    tag.boxText = std::move(built.output);
    tag.beginWith = std::move(built.beginWith);
    return tag;
}

Text WordList(const std::vector<words::WordEntry>& ranked, const CountOptions& count) {
    return output::ListWords(ranked, count.shortWordSize, count.minFrequency);
}

}  // namespace lumora::engine
