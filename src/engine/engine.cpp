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
#include "text/text_hash.h"
#include "words/consider.h"

namespace lumora::engine {

namespace {

using Clock = std::chrono::steady_clock;

// Progress is offered this often at most; the clock is read only every so many words or
// lines, so that a pass of small pieces does not pay for it.
constexpr auto kProgressInterval = std::chrono::milliseconds(200);
constexpr std::uint32_t kTicksPerClockRead = 1024;

// The filters of one page: its language is the one chosen, or under today's rules the
// page's own when none was chosen.
words::FilterOptions FilterOf(const CountOptions& o, const html::Head& head) {
    words::FilterOptions f;
    f.ignoreShortWords = o.ignoreShortWords;
    f.shortWordSize = o.shortWordSize;
    f.ignoreCommonWords = o.ignoreCommonWords;
    f.today = o.rules == WordRules::kToday;
    Language language = o.language;
    if (f.today && o.languageFromPage) {
        language = Language::kEnglish;
        if (!head.language.empty())
            language = LanguageOfCode(head.language).value_or(Language::kOther);
    }
    f.language = static_cast<int>(language);
    return f;
}

// Counts occurrences into the word table in page order, and keeps the order in which the
// distinct words arrived. A pass holds the site's common words back here until the whole
// page shows whether its title holds them; the finishing of a first reading counts through
// it too, holding those words back by their forms' indexes instead.
class Counter {
  public:
    explicit Counter(const std::unordered_set<Text>* siteCommon) : siteCommon_(siteCommon) {}

    const std::unordered_set<Text>* SiteCommon() const { return siteCommon_; }

    void Add(words::WordTable::WordKey key, float weight, bool titleOrMeta) {
        if (table_.AddOccurrence(key, weight, titleOrMeta))
            arrivals_.push_back(key);
    }

    // An occurrence of one of the site's common words, `lower` its lower-case form.
    void AddSiteCommon(words::WordTable::WordKey key, const Text& lower, float weight,
                       bool titleOrMeta, bool inTitle) {
        if (inTitle) {
            titleWords_.insert(lower);
            Add(key, weight, titleOrMeta);
        } else {
            // Whether the title holds it may only show later in the page.
            held_.push_back({key, lower, weight, titleOrMeta});
        }
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

    words::WordTable& Table() { return table_; }
    const words::WordTable& Table() const { return table_; }
    const std::vector<words::WordTable::WordKey>& Arrivals() const { return arrivals_; }

    // The distinct words from the `from`th arrival to the `to`th.
    std::vector<Text> WordsOf(std::size_t from, std::size_t to) const {
        std::vector<Text> words;
        words.reserve(to - from);
        for (std::size_t i = from; i < to; ++i) words.emplace_back(table_.WordOf(arrivals_[i]));
        return words;
    }

  private:
    struct HeldWord {
        words::WordTable::WordKey key;
        Text lower;
        float weight;
        bool titleOrMeta;
    };

    const std::unordered_set<Text>* const siteCommon_;
    words::WordTable table_;
    std::vector<words::WordTable::WordKey> arrivals_;  // distinct words in order of arrival
    std::set<Text> titleWords_;                        // site-common words met in the title
    std::vector<HeldWord> held_;
};

// Feeds the words the scanner cuts through the filters into the word table; watches the
// stop token and reports progress now and then.
class PassSink : public scan::WordSink {
  public:
    PassSink(const CountOptions& options, const words::FilterOptions& filter,
             const Resources& resources, const scan::Scanner& scanner,
             const ProgressCallback& progress, std::stop_token stop, std::int64_t pageSize)
        : filter_(filter),
          ignoreList_(words::NormaliseWordsToIgnore(options.wordsToIgnore) + ","),
          commonWords_(resources.commonWords != nullptr ? *resources.commonWords : noLists_),
          scanner_(scanner),
          weights_(options.weights),
          progress_(progress),
          stop_(std::move(stop)),
          counter_(options.siteCommonWords.get()),
          siteTitle_(options.siteTitleWords.get()),
          table_(counter_.Table()),
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

    void SettleSiteCommonWords(std::vector<Text>& leftOut) {
        counter_.SettleSiteCommonWords(leftOut);
    }

    bool ShouldStop() override {
        Tick();
        return stop_.stop_requested();
    }

    const scan::WeightSettings& Weights() const { return weights_; }
    words::WordTable& Table() { return table_; }
    const words::AcronymWatch& Acronyms() const { return acronyms_; }
    // The distinct words in order of arrival.
    std::vector<Text> Arrivals() const { return counter_.WordsOf(0, counter_.Arrivals().size()); }

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
            const words::Verdict v = words::ConsiderWord(word, filter_, ignoreList_, commonWords_);
            verdict = VerdictOf(v);
            if (filter_.today)
                acronyms_.Judged(word, v);
        }
        if (verdict == Verdict::kSkipped)
            return;
        const Context context = arrivedIn != nullptr ? *arrivedIn : ContextNow();
        if (verdict == Verdict::kIfAcronym && context.inTitle)
            acronyms_.InTitle(word);
        const std::unordered_set<Text>* siteCommon = counter_.SiteCommon();
        if (siteCommon != nullptr || siteTitle_ != nullptr) {
            lower_ = LowerLetters(word);
            // A word of most of the site's titles is left out even of this page's title.
            const bool evenInTitle = siteTitle_ != nullptr && siteTitle_->count(lower_) != 0;
            if (evenInTitle || (siteCommon != nullptr && siteCommon->count(lower_) != 0)) {
                counter_.AddSiteCommon(key, lower_, context.weight, context.titleOrMeta,
                                       context.inTitle && !evenInTitle);
                return;
            }
        }
        counter_.Add(key, context.weight, context.titleOrMeta);
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
        report_.newWords = counter_.WordsOf(reported_, counter_.Arrivals().size());
        reported_ = counter_.Arrivals().size();
        progress_(report_);
    }

    // What the filters said of a word, by its key.
    enum class Verdict : std::uint8_t { kUnknown, kCounted, kSkipped, kIfAcronym };
    static Verdict VerdictOf(words::Verdict v) {
        return v == words::Verdict::kDropped   ? Verdict::kSkipped
               : v == words::Verdict::kCounted ? Verdict::kCounted
                                               : Verdict::kIfAcronym;
    }

    static inline const words::CommonWordLists noLists_{};
    const words::FilterOptions filter_;
    const Text ignoreList_;
    const words::CommonWordLists& commonWords_;
    const scan::Scanner& scanner_;
    const scan::WeightSettings weights_;
    const ProgressCallback& progress_;
    const std::stop_token stop_;

    Counter counter_;
    const std::unordered_set<Text>* const siteTitle_;
    words::WordTable& table_;
    std::vector<Verdict> verdicts_;
    words::AcronymWatch acronyms_;
    Text lower_;
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

// Decodes the page once, as a browser decodes it; from here on the page is UTF-8. A page
// that is UTF-8 already is read where it lies rather than copied into `decoded`.
std::optional<Error> Decode(TextView pageBytes, const Text& encoding, PageFacts& facts,
                            text::DecodeResult& decoded, TextView& page) {
    if (auto asIs = text::ReadableAsIs(pageBytes, encoding)) {
        facts.encoding = std::move(asIs->encoding);
        facts.byteOrderMark = asIs->byteOrderMark;
        page = asIs->text;
        return std::nullopt;
    }
    decoded = text::DecodePage(pageBytes, encoding);
    if (!decoded.ok())
        return EncodingFailure(*decoded.error);
    facts.encoding = decoded.page.encoding;
    facts.byteOrderMark = decoded.page.byteOrderMark;
    page = decoded.page.text;
    return std::nullopt;
}

// The finishing steps of a complete pass: the ranking and the tag.
void Rank(words::WordTable& table, const CountOptions& count, const TagOptions& tag,
          Analysis& analysis, const words::FilterOptions& filter,
          const words::AcronymWatch& acronyms, const words::CommonWordLists* commonWords) {
    if (filter.today) {
        acronyms.Settle(table);
        // IT and US stay apart from it and us: a spelling whose lower case is a common word
        // is a word of its own.
        table.MergeAllCaseVariants([&](TextView lower) {
            return commonWords != nullptr && words::IsCommonWordOfPage(lower, filter, *commonWords);
        });
        table.ApplyMinimumFrequency(count.minFrequency);
    } else {
        table.ApplyMinimumFrequency(count.minFrequency);
        table.MergeCaseVariants();
    }
    table.NormaliseKeyValues();
    analysis.ranked = table.Ranked();
    analysis.tag = ComposeTag(analysis.ranked, tag, count);
}

std::size_t TextsBytes(const std::vector<Text>& texts) {
    std::size_t bytes = texts.capacity() * sizeof(Text);
    for (const Text& t : texts) bytes += t.capacity();
    return bytes;
}

// The first reading's sink: the words the scanner cuts go through the filters as in a
// pass, and each counted occurrence is written down with its context instead of counted.
class ReadingSink : public scan::WordSink {
  public:
    ReadingSink(const CountOptions& options, const words::FilterOptions& filter,
                const Resources& resources, const scan::Scanner& scanner, std::stop_token stop)
        : filter_(filter),
          ignoreList_(words::NormaliseWordsToIgnore(options.wordsToIgnore) + ","),
          commonWords_(resources.commonWords != nullptr ? *resources.commonWords : noLists_),
          scanner_(scanner),
          weights_(options.weights),
          stop_(std::move(stop)) {}

    void OnWord(TextView word) override {
        // The table only tells each distinct word by its key here; nothing is counted in it.
        const words::WordTable::WordKey key = dictionary_.KeyOf(word);
        Grow(key);
        std::uint32_t index = wordOfKey_[key];
        if (index == kUnknown) {
            const words::Verdict verdict =
                words::ConsiderWord(word, filter_, ignoreList_, commonWords_);
            index = verdict != words::Verdict::kDropped ? NewWord(key, word) : kSkipped;
            wordOfKey_[key] = index;
            if (filter_.today) {
                acronyms.Judged(word, verdict);
                if (verdict == words::Verdict::kCountedIfAcronym) {
                    ifAcronym_.resize(words.size(), 0);
                    ifAcronym_[index] = 1;
                }
            }
        }
        if (index == kSkipped)
            return;
        const float weight = scanner_.ContextWeight(weights_);
        const bool titleOrMeta = scanner_.InTitleOrMetaContent();
        const bool inTitle = scanner_.InTitle();
        if (inTitle && index < ifAcronym_.size() && ifAcronym_[index] != 0)
            acronyms.InTitle(word);
        if (runs.empty() || runs.back().weight != weight ||
            runs.back().titleOrMeta != titleOrMeta || runs.back().inTitle != inTitle) {
            runs.push_back(
                {static_cast<std::uint32_t>(occurrences.size()), weight, titleOrMeta, inTitle});
        }
        occurrences.push_back(index);
        if (!titleOrMeta)
            formVisible[words[index] & ~kCased] = 1;
        if (inTitle)
            formInTitle[words[index] & ~kCased] = 1;
    }

    bool ShouldStop() override { return stop_.stop_requested(); }

    const scan::WeightSettings& Weights() const { return weights_; }

    static constexpr std::uint32_t kCased = 0x80000000u;  // as PageReading::kCased
    struct Run {
        std::uint32_t from;
        float weight;
        bool titleOrMeta;
        bool inTitle;
    };
    PackedWords forms;
    std::vector<char> formVisible;
    std::vector<char> formInTitle;
    std::vector<std::uint32_t> words;  // as PageReading::words_
    PackedWords casedWords;
    std::vector<std::uint32_t> occurrences;  // words indexes, in page order
    std::vector<Run> runs;
    words::AcronymWatch acronyms;

  private:
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
    static constexpr std::uint32_t kSkipped = 0xFFFFFFFEu;

    void Grow(words::WordTable::WordKey key) {
        if (key >= wordOfKey_.size()) {
            wordOfKey_.resize(key + 1, kUnknown);
            formOfKey_.resize(key + 1, kUnknown);
        }
    }

    // A word counted for the first time: its lower-case form, found once for each word.
    std::uint32_t NewWord(words::WordTable::WordKey key, TextView word) {
        // Most words are ASCII and lower case already: those are their own form.
        const bool plain = std::all_of(word.begin(), word.end(), [](Char c) {
            return static_cast<unsigned char>(c) < 0x80 && !(c >= 'A' && c <= 'Z');
        });
        if (plain) {
            lower_.assign(word);
        } else {
            lower_.assign(word);
            LowerLettersInPlace(lower_);
        }
        const bool cased = !plain && lower_ != word;
        const words::WordTable::WordKey formKey = cased ? dictionary_.KeyOf(lower_) : key;
        Grow(formKey);
        std::uint32_t& form = formOfKey_[formKey];
        if (form == kUnknown) {
            form = static_cast<std::uint32_t>(forms.size());
            forms.Add(lower_);
            formVisible.push_back(0);
            formInTitle.push_back(0);
        }
        const auto index = static_cast<std::uint32_t>(words.size());
        words.push_back(form | (cased ? kCased : 0));
        if (cased)
            casedWords.Add(word);
        return index;
    }

    static inline const words::CommonWordLists noLists_{};
    const words::FilterOptions filter_;
    const Text ignoreList_;
    const words::CommonWordLists& commonWords_;
    const scan::Scanner& scanner_;
    const scan::WeightSettings weights_;
    const std::stop_token stop_;
    words::WordTable dictionary_;
    std::vector<std::uint32_t> wordOfKey_;  // by key: its index in `words`, or why none
    std::vector<std::uint32_t> formOfKey_;  // by key of a lower-case form: its index in `forms`
    std::vector<char> ifAcronym_;           // by words index: counted only as an acronym
    Text lower_;
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
    text::DecodeResult decoded;
    TextView page;
    if (auto failure = Decode(pageBytes, count.encoding, facts, decoded, page)) {
        result.error = std::move(failure);
        return result;
    }

    const html::Head head = html::ScanHead(page);
    const words::FilterOptions filter = FilterOf(count, head);
    result.analysis.language = static_cast<Language>(filter.language);
    scan::Scanner scanner;
    scanner.ReadDigitsInWords(filter.today);
    PassSink sink(count, filter, resources, scanner, progress, stop,
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
    result.analysis.existing = ExistingTagsOf(page, head);
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
    Rank(table, count, options.tag, result.analysis, filter, sink.Acronyms(),
         resources.commonWords);
    return result;
}

std::size_t PageReading::Bytes() const {
    return sizeof *this + count_.wordsToIgnore.capacity() + count_.encoding.capacity() +
           page_.encoding.capacity() + (existing_.title ? existing_.title->capacity() : 0) +
           TextsBytes(existing_.descriptions) + TextsBytes(existing_.keywords) + forms_.Bytes() +
           formVisible_.capacity() + formInTitle_.capacity() +
           words_.capacity() * sizeof(std::uint32_t) + cased_.Bytes() +
           occurrences16_.capacity() * sizeof(std::uint16_t) +
           occurrences32_.capacity() * sizeof(std::uint32_t) +
           contexts_.capacity() * sizeof(ContextRun) + acronyms_.Bytes();
}

// The reading's parts, for the two functions that make and finish it.
struct ReadingAccess {
    // Made from the page's words once the whole page is read.
    static void Fill(PageReading& reading, ReadingSink& sink) {
        static_assert(PageReading::kCased == ReadingSink::kCased);
        reading.forms_ = std::move(sink.forms);
        reading.forms_.ShrinkToFit();
        reading.formVisible_ = std::move(sink.formVisible);
        reading.formVisible_.shrink_to_fit();
        reading.formInTitle_ = std::move(sink.formInTitle);
        reading.formInTitle_.shrink_to_fit();
        reading.words_ = std::move(sink.words);
        reading.words_.shrink_to_fit();
        reading.cased_ = std::move(sink.casedWords);
        reading.cased_.ShrinkToFit();
        if (reading.words_.size() <= 0x10000) {
            reading.occurrences16_.assign(sink.occurrences.begin(), sink.occurrences.end());
        } else {
            reading.occurrences32_ = std::move(sink.occurrences);
            reading.occurrences32_.shrink_to_fit();
        }
        reading.acronyms_ = std::move(sink.acronyms);
        reading.contexts_.reserve(sink.runs.size());
        for (const ReadingSink::Run& r : sink.runs)
            reading.contexts_.push_back({r.from, r.weight, r.titleOrMeta, r.inTitle});
    }

    static PageReadingResult Read(TextView pageBytes, const CountOptions& count,
                                  const Resources& resources, const std::stop_token& stop);

    static AnalysisResult Finish(PageReading& reading, const SiteWords* siteCommon,
                                 const TagOptions& tagOptions, const std::stop_token& stop);
};

PageReadingResult ReadingAccess::Read(TextView pageBytes, const CountOptions& count,
                                      const Resources& resources, const std::stop_token& stop) {
    PageReadingResult result;
    PageReading& reading = result.reading;
    PageFacts& facts = reading.page_;
    facts.size = static_cast<std::int64_t>(pageBytes.size());
    if (auto refusal = RefusePage(pageBytes)) {
        result.error = std::move(refusal);
        return result;
    }
    text::DecodeResult decoded;
    TextView page;
    if (auto failure = Decode(pageBytes, count.encoding, facts, decoded, page)) {
        result.error = std::move(failure);
        return result;
    }
    const html::Head head = html::ScanHead(page);
    const words::FilterOptions filter = FilterOf(count, head);
    scan::Scanner scanner;
    scanner.ReadDigitsInWords(filter.today);
    ReadingSink sink(count, filter, resources, scanner, stop);
    LineSplitter lines(page);
    TextView raw;
    std::int64_t start = 0;
    Text line, scratch;
    while (!stop.stop_requested() && lines.Next(raw, start)) {
        if (!scan::ReadyLine(raw, count.lowerCase, line, scratch))
            continue;
        scanner.ScanLine(line, sink.Weights(), sink);
    }
    if (stop.stop_requested()) {
        result.stopped = true;
        return result;
    }
    facts.lineEnds = lines.Found();
    reading.existing_ = ExistingTagsOf(page, head);
    reading.count_ = count;
    reading.count_.siteCommonWords = nullptr;
    reading.count_.siteTitleWords = nullptr;
    reading.filter_ = filter;
    reading.commonWords_ = resources.commonWords;
    ReadingAccess::Fill(reading, sink);
    return result;
}

PageReadingResult ReadPage(TextView pageBytes, const CountOptions& count,
                           const Resources& resources, std::stop_token stop) {
    return ReadingAccess::Read(pageBytes, count, resources, stop);
}

AnalysisResult ReadingAccess::Finish(PageReading& reading, const SiteWords* siteCommon,
                                     const TagOptions& tagOptions, const std::stop_token& stop) {
    AnalysisResult result;
    result.analysis.page = std::move(reading.page_);
    result.analysis.existing = std::move(reading.existing_);
    result.analysis.language = static_cast<Language>(reading.filter_.language);
    const CountOptions& count = reading.count_;
    Counter counter(nullptr);
    words::WordTable& table = counter.Table();
    const std::vector<std::uint32_t>& words = reading.words_;
    const PackedWords& forms = reading.forms_;
    // Where each word's spelling lies, for the table's key of the words that are counted.
    // A word that is only ever left out needs no key: a key without an entry changes
    // nothing in the ranking.
    std::vector<std::uint32_t> spelling(words.size());
    for (std::size_t i = 0, c = 0; i < words.size(); ++i)
        spelling[i] = (words[i] & PageReading::kCased) != 0 ? static_cast<std::uint32_t>(c++) : 0;
    constexpr words::WordTable::WordKey kNoKey = 0;  // never a key
    std::vector<words::WordTable::WordKey> keys(words.size(), kNoKey);
    const auto add = [&](std::uint32_t word, const PageReading::ContextRun& c) {
        words::WordTable::WordKey& key = keys[word];
        if (key == kNoKey) {
            const bool cased = (words[word] & PageReading::kCased) != 0;
            key = table.KeyOf(cased ? reading.cased_[spelling[word]]
                                    : forms[words[word] & ~PageReading::kCased]);
        }
        counter.Add(key, c.weight, c.titleOrMeta);
    };
    // What a pass does by each occurrence's lower-case form is done here by the form's index:
    // its place among the site's common words, and whether the title holds it.
    constexpr std::uint32_t kInTitle = 0x80000000u;
    std::vector<std::uint32_t> place(forms.size(), SiteWords::kNone);
    if (siteCommon != nullptr && siteCommon->size() > 0) {
        for (std::size_t f = 0; f < forms.size(); ++f) place[f] = siteCommon->PlaceOf(forms[f]);
    }
    struct Held {
        std::uint32_t word;
        std::uint32_t context;
    };
    std::vector<Held> held;
    // The occurrences again in page order, each with the context it arrived in.
    const std::vector<PageReading::ContextRun>& runs = reading.contexts_;
    const bool narrow = reading.occurrences32_.empty();
    const std::size_t occurrences =
        narrow ? reading.occurrences16_.size() : reading.occurrences32_.size();
    std::size_t run = 0;
    for (std::size_t k = 0; k < occurrences; ++k) {
        while (run + 1 < runs.size() && runs[run + 1].from <= k) ++run;
        const PageReading::ContextRun& c = runs[run];
        const std::uint32_t word = narrow ? reading.occurrences16_[k] : reading.occurrences32_[k];
        std::uint32_t& form = place[words[word] & ~PageReading::kCased];
        if (form == SiteWords::kNone) {
            add(word, c);
        } else if (c.inTitle && !siteCommon->EvenInTitle(form & ~kInTitle)) {
            form |= kInTitle;
            add(word, c);
        } else {
            // Whether the title holds it may only show later in the page.
            held.push_back({word, static_cast<std::uint32_t>(run)});
        }
        if ((k & 4095) == 4095 && stop.stop_requested())
            break;
    }
    if (stop.stop_requested()) {
        result.analysis.stopped = true;
        result.analysis.wordsWhenStopped = table.WordCount();
        result.analysis.wordsFound = counter.WordsOf(0, counter.Arrivals().size());
        return result;
    }
    // The held site-common words: counted after all when the page's title holds them,
    // otherwise left out, each named once in sorted order.
    std::vector<std::uint32_t> leftOut;
    for (const Held& h : held) {
        const std::uint32_t form = place[words[h.word] & ~PageReading::kCased];
        if ((form & kInTitle) != 0)
            add(h.word, runs[h.context]);
        else
            leftOut.push_back(form);
    }
    // Places in a bit set cost less to put in order than a sort of them, unless the page
    // lost few of a great many common words.
    std::vector<Text>& out = result.analysis.siteCommonLeftOut;
    if (!leftOut.empty() && siteCommon->size() / 64 <= leftOut.size()) {
        std::vector<std::uint64_t> bits((siteCommon->size() + 63) / 64, 0);
        for (const std::uint32_t p : leftOut) bits[p / 64] |= std::uint64_t{1} << (p % 64);
        for (std::size_t b = 0; b < bits.size(); ++b) {
            for (std::uint64_t w = bits[b]; w != 0; w &= w - 1)
                out.push_back((*siteCommon)[static_cast<std::uint32_t>(
                    b * 64 + static_cast<std::size_t>(__builtin_ctzll(w)))]);
        }
    } else {
        std::sort(leftOut.begin(), leftOut.end());
        leftOut.erase(std::unique(leftOut.begin(), leftOut.end()), leftOut.end());
        for (const std::uint32_t p : leftOut) out.push_back((*siteCommon)[p]);
    }
    Rank(table, count, tagOptions, result.analysis, reading.filter_, reading.acronyms_,
         reading.commonWords_);
    return result;
}

SiteWords::SiteWords(const std::unordered_set<Text>& words,
                     const std::unordered_set<Text>& titleWords)
    : sorted_(words.begin(), words.end()) {
    for (const Text& word : titleWords) {
        if (words.count(word) == 0)
            sorted_.push_back(word);
    }
    std::sort(sorted_.begin(), sorted_.end());
    evenInTitle_.resize(sorted_.size());
    for (std::size_t p = 0; p < sorted_.size(); ++p)
        evenInTitle_[p] = titleWords.count(sorted_[p]) != 0;
    std::size_t size = 16;
    while (size < 2 * sorted_.size()) size *= 2;
    slots_.assign(size, 0);
    for (std::uint32_t p = 0; p < sorted_.size(); ++p) {
        std::size_t k = HashText(sorted_[p]) & (size - 1);
        while (slots_[k] != 0) k = (k + 1) & (size - 1);
        slots_[k] = p + 1;
    }
}

std::uint32_t SiteWords::PlaceOf(TextView word) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t k = HashText(word) & mask; slots_[k] != 0; k = (k + 1) & mask) {
        if (sorted_[slots_[k] - 1] == word)
            return slots_[k] - 1;
    }
    return kNone;
}

AnalysisResult FinishReading(PageReading reading, const SiteWords* siteCommonWords,
                             const TagOptions& tag, std::stop_token stop) {
    return ReadingAccess::Finish(reading, siteCommonWords, tag, stop);
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
