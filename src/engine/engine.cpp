#include "engine/engine.h"

#include <chrono>
#include <cstring>
#include <set>
#include <utility>

#include "html/head_scan.h"
#include "output/meta_tag.h"
#include "scan/prepare.h"
#include "scan/scanner.h"
#include "words/consider.h"

namespace lumora::engine {

namespace {

using Clock = std::chrono::steady_clock;

// Progress is offered this often at most; the clock is read only every so many words or
// lines, so that a pass of small pieces does not pay for it.
constexpr auto kProgressInterval = std::chrono::milliseconds(200);
constexpr std::uint32_t kTicksPerClockRead = 1024;

scan::WeightSettings WeightsOf(const CountOptions& o) {
    scan::WeightSettings w;
    w.title = o.titleWeight;
    w.description = o.descriptionWeight;
    w.existingKeywords = o.keywordsWeight;
    w.bold = o.boldWeight;
    w.italic = o.italicWeight;
    w.table = o.tableWeight;
    w.div = o.divWeight;
    w.span = o.spanWeight;
    return w;
}

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
        std::size_t end = from;
        const std::size_t size = page_.size();
        while (end < size && base[end] != '\r' && base[end] != '\n') ++end;
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

// The line as the scanner wants it: stray control characters (form feed, escape, ...)
// become blanks, since the scanner's own markers are control characters; tabs stay.
void CopyAsText(TextView raw, Text& line) {
    line.assign(raw);
    for (Char& c : line) {
        const unsigned b = Code(c);
        if (b < 32 && b != '\t')
            c = ' ';
    }
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
          weights_(WeightsOf(options)),
          progress_(progress),
          stop_(std::move(stop)),
          siteCommon_(options.siteCommonWords.get()),
          collectVisible_(options.collectVisibleWords),
          lastReport_(Clock::now()) {
        report_.bytesTotal = pageSize;
    }

    void OnWord(TextView word) override {
        if (!words::ConsiderWord(word, filter_, ignoreList_, commonWords_))
            return;
        const float weight = scanner_.ContextWeight(weights_);
        const bool titleOrMeta = scanner_.InTitleOrMetaContent();
        if (siteCommon_ != nullptr || collectVisible_) {
            lower_ = Lower(word);
            if (collectVisible_ && !titleOrMeta)
                visible_.insert(lower_);
            if (siteCommon_ != nullptr && siteCommon_->count(lower_) != 0) {
                if (scanner_.InTitle()) {
                    titleWords_.insert(lower_);
                } else {
                    // Whether the title holds it may only show later in the page.
                    held_.push_back({Text(word), lower_, weight, titleOrMeta});
                    return;
                }
            }
        }
        Add(word, weight, titleOrMeta);
    }

    // The held site-common words: counted after all when the page's title holds them,
    // otherwise left out.
    void SettleSiteCommonWords(std::vector<Text>& leftOut) {
        std::set<Text> out;
        for (const HeldWord& held : held_) {
            if (titleWords_.count(held.lower) != 0)
                Add(held.word, held.weight, held.titleOrMeta);
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
    std::vector<Text>& Arrivals() { return arrivals_; }

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
    struct HeldWord {
        Text word;
        Text lower;
        float weight;
        bool titleOrMeta;
    };

    void Add(TextView word, float weight, bool titleOrMeta) {
        word_.assign(word);
        // The table may fold a plural into its singular; the word as counted is kept.
        if (table_.AddWordOccurrence(word_, weight, titleOrMeta))
            arrivals_.push_back(word_);
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
        report_.newWords.assign(arrivals_.begin() + static_cast<std::ptrdiff_t>(reported_),
                                arrivals_.end());
        reported_ = arrivals_.size();
        progress_(report_);
    }

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
    Text lower_;
    std::set<Text> visible_;     // distinct words outside the title and meta tags
    std::set<Text> titleWords_;  // site-common words met in the title
    std::vector<HeldWord> held_;
    Text word_;
    std::vector<Text> arrivals_;  // distinct words in order of arrival
    std::size_t reported_ = 0;
    PassProgress report_;
    std::uint32_t ticks_ = 0;
    Clock::time_point lastReport_;
    std::int64_t lineStart_ = 0;
    std::size_t rawSize_ = 0;
    std::size_t preparedSize_ = 0;
};

std::optional<Error> RefusalOf(TextView page) {
    if (page.empty())
        return Error{Error::Code::kEmptyPage, {}, 0, {}};
    if (const void* nul = std::memchr(page.data(), '\0', page.size())) {
        const auto at = static_cast<const Char*>(nul) - page.data();
        return Error{Error::Code::kNotText, {}, static_cast<std::int64_t>(at) + 1, {}};
    }
    return std::nullopt;
}

}  // namespace

AnalysisResult Analyse(TextView pageBytes, const Options& options, const Resources& resources,
                       const ProgressCallback& progress, std::stop_token stop) {
    AnalysisResult result;
    PageFacts& facts = result.analysis.page;
    facts.size = static_cast<std::int64_t>(pageBytes.size());
    facts.encoding = "windows-1252";
    if (auto refusal = RefusalOf(pageBytes)) {
        result.error = std::move(refusal);
        return result;
    }

    const CountOptions& count = options.count;
    scan::Scanner scanner;
    PassSink sink(count, resources, scanner, progress, stop, facts.size);
    LineSplitter lines(pageBytes);
    TextView raw;
    std::int64_t start = 0;
    Text line;
    while (!stop.stop_requested() && lines.Next(raw, start)) {
        CopyAsText(raw, line);
        line.assign(TrimBlanks(line));
        if (line.empty())
            continue;
        if (count.lowerCase)
            LowerInPlace(line);
        scan::PrepareLine(line, count.lowerCase);
        scan::DecodeEntities(line);
        line += ' ';
        sink.StartLine(start, raw.size(), line.size());
        scanner.ScanLine(line, sink.Weights(), sink);
    }
    facts.lineEnds = lines.Found();
    result.analysis.existing = FindExistingTags(pageBytes);
    words::WordTable& table = sink.Table();

    if (stop.stop_requested()) {
        sink.FinalReport(start);
        result.analysis.stopped = true;
        result.analysis.wordsWhenStopped = table.WordCount();
        result.analysis.wordsFound = std::move(sink.Arrivals());
        return result;
    }
    sink.FinalReport(facts.size);
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

ExistingTags FindExistingTags(TextView pageBytes) {
    // The same finder that insert uses, so what is reported is what insert would replace.
    const html::Head head = html::ScanHead(pageBytes);
    ExistingTags existing;
    if (head.title)
        existing.title = Text(head.title->In(pageBytes));
    for (const html::Span& tag : head.descriptionTags)
        existing.descriptions.emplace_back(tag.In(pageBytes));
    for (const html::Span& tag : head.keywordsTags)
        existing.keywords.emplace_back(tag.In(pageBytes));
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

namespace {

// Every message of the program that concerns a page, a data file or an option: its title
// and its text. `{file}` stands for the file's name, `{position}` and `{detail}` for the
// error's other fields.
struct MessageEntry {
    Error::Code code;
    const char* title;
    const char* text;
};

constexpr MessageEntry kMessages[] = {
    {Error::Code::kEmptyPage, "Empty file",
     "The input file{file} is empty (its length is zero), so there is nothing to analyse."},
    {Error::Code::kNotText, "Not a text file",
     "The input file{file} contains a NUL byte at position {position}. It does not appear to "
     "be a text file and cannot be processed."},
    {Error::Code::kUnknownEncoding, "Unknown encoding", "No encoding named {detail} is known."},
    {Error::Code::kUndecodable, "Cannot decode",
     "The input file{file} cannot be read as {detail}."},
    {Error::Code::kFileMissing, "File not found",
     "The input file{file} could not be found. It may have been moved, renamed or deleted."},
    {Error::Code::kFileUnreadable, "Error", "The input file{file} could not be read: {detail}"},
    {Error::Code::kNotRegularFile, "Error", "{path} is not a regular file"},
    {Error::Code::kWrongExtension, "Unsupported file type",
     "The input file{file} must be an HTML page: its extension has to contain \"htm\" (for "
     "example .htm, .html or .shtml) or be \"php\"."},
    {Error::Code::kInvalidName, "Invalid input", "Invalid input file specification{file}"},
};

const MessageEntry& EntryOf(Error::Code code) {
    for (const MessageEntry& entry : kMessages) {
        if (entry.code == code)
            return entry;
    }
    return kMessages[0];  // every code has an entry; the table test makes sure of it
}

}  // namespace

Text Error::Message() const {
    // One pass over the template, so that a file name holding braces stays as it is.
    const TextView pattern = EntryOf(code).text;
    Text text;
    for (std::size_t i = 0; i < pattern.size();) {
        const std::size_t open = pattern.find('{', i);
        const std::size_t close = pattern.find('}', open);
        if (open == TextView::npos || close == TextView::npos) {
            text.append(pattern.substr(i));
            break;
        }
        text.append(pattern.substr(i, open - i));
        const TextView field = pattern.substr(open + 1, close - open - 1);
        if (field == "file") {
            text.append(path.empty() ? "" : " " + path);
        } else if (field == "path") {
            text.append(path.empty() ? Text("The page") : path);
        } else if (field == "position") {
            text.append(std::to_string(position));
        } else {
            text.append(detail);
        }
        i = close + 1;
    }
    return text;
}

Text Error::Title() const {
    return EntryOf(code).title;
}

}  // namespace lumora::engine
