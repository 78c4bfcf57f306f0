#include "engine/engine.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <set>
#include <utility>

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

// Cuts the page into lines: CR LF, LF and CR each end one, in any mix. Remembers which
// kinds it met.
class LineSplitter {
  public:
    explicit LineSplitter(TextView page) : page_(page) {}

    // The next line without its line end, and where it starts in the page.
    bool Next(TextView& line, std::int64_t& start) {
        if (pos_ >= page_.size())
            return false;
        const Char* base = page_.data();
        const std::size_t from = pos_;
        const std::size_t size = page_.size();
        const std::size_t end = scan::NextLineEnd(page_, from);
        line = page_.substr(from, end - from);
        start = static_cast<std::int64_t>(from);
        if (end == size) {
            pos_ = size;
        } else if (base[end] == '\r' && end + 1 < size && base[end + 1] == '\n') {
            crLf_ = true;
            pos_ = end + 2;
        } else {
            (base[end] == '\r' ? cr_ : lf_) = true;
            pos_ = end + 1;
        }
        return true;
    }

    LineEnds Found() const {
        const int kinds = (crLf_ ? 1 : 0) + (lf_ ? 1 : 0) + (cr_ ? 1 : 0);
        if (kinds == 0)
            return LineEnds::kNone;
        if (kinds > 1)
            return LineEnds::kMixed;
        return crLf_ ? LineEnds::kCrLf : (lf_ ? LineEnds::kLf : LineEnds::kCr);
    }

  private:
    TextView page_;
    std::size_t pos_ = 0;
    bool crLf_ = false, lf_ = false, cr_ = false;
};

// Counts occurrences into the word table in page order. The site's common words are held
// back until the whole page shows whether its title holds them. A pass and the finishing of
// a first reading both count through it, so that they count alike.
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
    PassSink(const CountOptions& options, const Resources& resources, const scan::Scanner& scanner,
             const ProgressCallback& progress, std::stop_token stop, std::int64_t pageSize)
        : filter_(FilterOf(options)),
          ignoreList_(words::NormaliseWordsToIgnore(options.wordsToIgnore) + ","),
          commonWords_(resources.commonWords != nullptr ? *resources.commonWords : noLists_),
          scanner_(scanner),
          weights_(options.weights),
          progress_(progress),
          stop_(std::move(stop)),
          collectVisible_(options.collectVisibleWords),
          counter_(options.siteCommonWords.get()),
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

    std::vector<Text> VisibleWords() const { return {visible_.begin(), visible_.end()}; }

    bool ShouldStop() override {
        Tick();
        return stop_.stop_requested();
    }

    const scan::WeightSettings& Weights() const { return weights_; }
    words::WordTable& Table() { return table_; }
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
            verdict = words::ConsiderWord(word, filter_, ignoreList_, commonWords_)
                          ? Verdict::kCounted
                          : Verdict::kSkipped;
        }
        if (verdict == Verdict::kSkipped)
            return;
        const Context context = arrivedIn != nullptr ? *arrivedIn : ContextNow();
        const std::unordered_set<Text>* siteCommon = counter_.SiteCommon();
        if (siteCommon != nullptr || collectVisible_) {
            lower_ = LowerLetters(word);
            if (collectVisible_ && !context.titleOrMeta)
                visible_.insert(lower_);
            if (siteCommon != nullptr && siteCommon->count(lower_) != 0) {
                counter_.AddSiteCommon(key, lower_, context.weight, context.titleOrMeta,
                                       context.inTitle);
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
    enum class Verdict : std::uint8_t { kUnknown, kCounted, kSkipped };

    static inline const words::CommonWordLists noLists_{};
    const words::FilterOptions filter_;
    const Text ignoreList_;
    const words::CommonWordLists& commonWords_;
    const scan::Scanner& scanner_;
    const scan::WeightSettings weights_;
    const ProgressCallback& progress_;
    const std::stop_token stop_;
    const bool collectVisible_;

    Counter counter_;
    words::WordTable& table_;
    std::vector<Verdict> verdicts_;
    Text lower_;
    std::set<Text> visible_;  // distinct words outside the title and meta tags
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
          Analysis& analysis) {
    table.ApplyMinimumFrequency(count.minFrequency);
    table.MergeCaseVariants();
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
    ReadingSink(const CountOptions& options, const Resources& resources,
                const scan::Scanner& scanner, std::stop_token stop)
        : filter_(FilterOf(options)),
          ignoreList_(words::NormaliseWordsToIgnore(options.wordsToIgnore) + ","),
          commonWords_(resources.commonWords != nullptr ? *resources.commonWords : noLists_),
          scanner_(scanner),
          weights_(options.weights),
          stop_(std::move(stop)) {}

    void OnWord(TextView word) override {
        // The table only tells each distinct word by its key here; nothing is counted in it.
        const words::WordTable::WordKey key = dictionary_.KeyOf(word);
        if (key >= wordOfKey_.size())
            wordOfKey_.resize(key + 1, kUnknown);
        std::uint32_t& index = wordOfKey_[key];
        if (index == kUnknown) {
            if (words::ConsiderWord(word, filter_, ignoreList_, commonWords_)) {
                index = static_cast<std::uint32_t>(words.size());
                words.Add(word);
                visible.push_back(0);
            } else {
                index = kSkipped;
            }
        }
        if (index == kSkipped)
            return;
        const float weight = scanner_.ContextWeight(weights_);
        const bool titleOrMeta = scanner_.InTitleOrMetaContent();
        const bool inTitle = scanner_.InTitle();
        if (runs.empty() || runs.back().weight != weight ||
            runs.back().titleOrMeta != titleOrMeta || runs.back().inTitle != inTitle) {
            runs.push_back(
                {static_cast<std::uint32_t>(occurrences.size()), weight, titleOrMeta, inTitle});
        }
        occurrences.push_back(index);
        if (!titleOrMeta)
            visible[index] = 1;
    }

    bool ShouldStop() override { return stop_.stop_requested(); }

    const scan::WeightSettings& Weights() const { return weights_; }

    struct Run {
        std::uint32_t from;
        float weight;
        bool titleOrMeta;
        bool inTitle;
    };
    PackedWords words;                       // the counted words, by first occurrence
    std::vector<char> visible;               // by word: met outside the title and meta tags
    std::vector<std::uint32_t> occurrences;  // words indexes, in page order
    std::vector<Run> runs;

  private:
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
    static constexpr std::uint32_t kSkipped = 0xFFFFFFFEu;
    static inline const words::CommonWordLists noLists_{};
    const words::FilterOptions filter_;
    const Text ignoreList_;
    const words::CommonWordLists& commonWords_;
    const scan::Scanner& scanner_;
    const scan::WeightSettings weights_;
    const std::stop_token stop_;
    words::WordTable dictionary_;
    std::vector<std::uint32_t> wordOfKey_;  // by key: its index in `words`, or why none
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
    Rank(table, count, options.tag, result.analysis);
    return result;
}

std::size_t PageReading::Bytes() const {
    return sizeof *this + count_.wordsToIgnore.capacity() + count_.encoding.capacity() +
           page_.encoding.capacity() + (existing_.title ? existing_.title->capacity() : 0) +
           TextsBytes(existing_.descriptions) + TextsBytes(existing_.keywords) + words_.Bytes() +
           lowerOf_.capacity() * sizeof(std::uint32_t) + visible_.Bytes() + others_.Bytes() +
           occurrences_.capacity() * sizeof(std::uint32_t) +
           contexts_.capacity() * sizeof(ContextRun);
}

// The reading's parts, for the two functions that make and finish it.
struct ReadingAccess {
    // Made from the page's words once the whole page is read.
    static void Fill(PageReading& reading, ReadingSink& sink) {
        // Each word's lower-case form, once for each distinct word: the visible forms
        // sorted, then the forms met only in the title and meta tags, sorted.
        const std::size_t count = sink.words.size();
        std::vector<std::pair<Text, std::uint32_t>> forms(count);
        for (std::uint32_t i = 0; i < count; ++i) forms[i] = {LowerLetters(sink.words[i]), i};
        std::sort(forms.begin(), forms.end());
        std::vector<char> formVisible(count, 0);
        std::vector<std::uint32_t> formOf(count);  // by word: its form, by rank among forms
        std::size_t distinct = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0 && forms[i].first != forms[i - 1].first)
                ++distinct;
            formOf[forms[i].second] = static_cast<std::uint32_t>(distinct);
            formVisible[distinct] |= sink.visible[forms[i].second];
        }
        const std::size_t formCount = count == 0 ? 0 : distinct + 1;
        std::vector<std::uint32_t> place(formCount);  // by form: its index in visible_ + others_
        const auto visibleCount = static_cast<std::size_t>(
            std::count(formVisible.begin(), formVisible.begin() + formCount, 1));
        std::size_t form = 0, nextVisible = 0, nextOther = visibleCount;
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0 && forms[i].first == forms[i - 1].first)
                continue;
            if (formVisible[form] != 0) {
                reading.visible_.Add(forms[i].first);
                place[form] = static_cast<std::uint32_t>(nextVisible++);
            } else {
                reading.others_.Add(forms[i].first);
                place[form] = static_cast<std::uint32_t>(nextOther++);
            }
            ++form;
        }
        reading.lowerOf_.resize(count);
        for (std::size_t i = 0; i < count; ++i) reading.lowerOf_[i] = place[formOf[i]];
        reading.words_ = std::move(sink.words);
        reading.occurrences_ = std::move(sink.occurrences);
        reading.contexts_.reserve(sink.runs.size());
        for (const ReadingSink::Run& r : sink.runs)
            reading.contexts_.push_back({r.from, r.weight, r.titleOrMeta, r.inTitle});
    }

    static PageReadingResult Read(TextView pageBytes, const CountOptions& count,
                                  const Resources& resources, const std::stop_token& stop);

    static AnalysisResult Finish(PageReading& reading, const std::unordered_set<Text>* siteCommon,
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
    scan::Scanner scanner;
    ReadingSink sink(count, resources, scanner, stop);
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
    reading.existing_ = FindExistingTags(page);
    reading.count_ = count;
    reading.count_.siteCommonWords = nullptr;
    reading.count_.collectVisibleWords = false;
    ReadingAccess::Fill(reading, sink);
    return result;
}

PageReadingResult ReadPage(TextView pageBytes, const CountOptions& count,
                           const Resources& resources, std::stop_token stop) {
    return ReadingAccess::Read(pageBytes, count, resources, stop);
}

AnalysisResult ReadingAccess::Finish(PageReading& reading,
                                     const std::unordered_set<Text>* siteCommon,
                                     const TagOptions& tagOptions, const std::stop_token& stop) {
    AnalysisResult result;
    result.analysis.page = std::move(reading.page_);
    result.analysis.existing = std::move(reading.existing_);
    const CountOptions& count = reading.count_;
    Counter counter(siteCommon);
    words::WordTable& table = counter.Table();
    std::vector<words::WordTable::WordKey> keys(reading.words_.size());
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = table.KeyOf(reading.words_[i]);
    // Which lower-case forms are the site's: the page's forms are sorted, so a few common
    // words are looked for there rather than each form of the page in the common words.
    const std::size_t visibleCount = reading.visible_.size();
    std::vector<char> common(visibleCount + reading.others_.size(), 0);
    if (siteCommon != nullptr && !siteCommon->empty()) {
        if (siteCommon->size() < common.size()) {
            const auto mark = [&](const PackedWords& forms, std::size_t offset, TextView word) {
                std::size_t low = 0, high = forms.size();
                while (low < high) {
                    const std::size_t mid = low + (high - low) / 2;
                    if (forms[mid] < word)
                        low = mid + 1;
                    else
                        high = mid;
                }
                if (low < forms.size() && forms[low] == word)
                    common[offset + low] = 1;
            };
            for (const Text& word : *siteCommon) {
                mark(reading.visible_, 0, word);
                mark(reading.others_, visibleCount, word);
            }
        } else {
            Text form;
            for (std::size_t i = 0; i < common.size(); ++i) {
                const TextView f =
                    i < visibleCount ? reading.visible_[i] : reading.others_[i - visibleCount];
                form.assign(f);
                common[i] = siteCommon->count(form) != 0 ? 1 : 0;
            }
        }
    }
    // The occurrences again in page order, each with the context it arrived in.
    const std::vector<PageReading::ContextRun>& runs = reading.contexts_;
    std::size_t run = 0;
    Text lower;
    for (std::uint32_t k = 0; k < reading.occurrences_.size(); ++k) {
        while (run + 1 < runs.size() && runs[run + 1].from <= k) ++run;
        const PageReading::ContextRun& c = runs[run];
        const std::uint32_t word = reading.occurrences_[k];
        const std::uint32_t form = reading.lowerOf_[word];
        if (common[form] != 0) {
            lower.assign(form < visibleCount ? reading.visible_[form]
                                             : reading.others_[form - visibleCount]);
            counter.AddSiteCommon(keys[word], lower, c.weight, c.titleOrMeta, c.inTitle);
        } else {
            counter.Add(keys[word], c.weight, c.titleOrMeta);
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
    counter.SettleSiteCommonWords(result.analysis.siteCommonLeftOut);
    Rank(table, count, tagOptions, result.analysis);
    return result;
}

AnalysisResult FinishReading(PageReading reading,
                             std::shared_ptr<const std::unordered_set<Text>> siteCommonWords,
                             const TagOptions& tag, std::stop_token stop) {
    return ReadingAccess::Finish(reading, siteCommonWords.get(), tag, stop);
}

ExistingTags FindExistingTags(TextView page) {
    // The same finder that insert uses, so what is reported is what insert would replace.
    const html::Head head = html::ScanHead(page);
    ExistingTags existing;
    if (head.title)
        existing.title = Text(head.title->In(page));
    for (const html::Span& tag : head.descriptionTags)
        existing.descriptions.emplace_back(tag.In(page));
    for (const html::Span& tag : head.keywordsTags) existing.keywords.emplace_back(tag.In(page));
    return existing;
}

MetaTag ComposeTag(const std::vector<words::WordEntry>& ranked, const TagOptions& options,
                   const CountOptions& count) {
    output::MetaTagOptions mo;
    mo.maxKeywordsText = options.maxKeywords ? std::to_string(*options.maxKeywords) : "";
    mo.maxBytesText = options.maxBytes ? std::to_string(*options.maxBytes) : "";
    mo.beginWith = options.beginWith;
    mo.preserveCase = !options.lowerCase;
    mo.spaceAfterComma = options.spaceAfterComma;
    mo.shortWordSizeIndex = count.shortWordSize - 1;
    mo.thresholdIndex = count.minFrequency - 1;
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
    return output::ListWords(ranked, count.shortWordSize - 1, count.minFrequency - 1);
}

}  // namespace lumora::engine
