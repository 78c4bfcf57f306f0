// The analysis engine: one page's bytes and typed options in, one result value out.
//
// This is the one entry point that the command-line tool, the window, the benchmarks and
// the tests call: analyse (generate and list), show, and reading a page and the data files
// through a FileSystem. A pass keeps no globals and does no I/O: the caller reads the page
// and the data files and hands them over. Two pages may be analysed at once on two threads,
// each with its own call; the shared Resources are only read.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <unordered_set>
#include <vector>

#include "error/error.h"
#include "files/file_system.h"
#include "output/meta_tag.h"
#include "scan/scanner.h"
#include "text/chars.h"
#include "words/common_words.h"
#include "words/consider.h"
#include "words/word_table.h"

namespace lumora::engine {

// Besides what follows, the fronts use lumora::Text and TextView (UTF-8 inside the program)
// and the UTF-8 helpers beside them (CharAt, AppendUtf8, IsValidUtf8), and lumora::Error.

// Page languages, in the order of the language drop-down; chooses the common-word list.
enum class Language { kEnglish, kFrench, kGerman, kItalian, kPortuguese, kSpanish, kOther };
inline constexpr int kLanguageCount = 7;
// "en", "fr", "de", "it", "pt", "es", "xx": the codes of the command line.
const char* LanguageCode(Language language);
// A language tag read by its primary subtag, in any case: "en", "EN", "en-US", "fr_CA".
// Nothing for a tag whose primary subtag is none of the codes above.
std::optional<Language> LanguageOfCode(TextView code);

// Which rules decide what a word is and which words count. Classic keeps the results the
// program has always given; today reads words with digits (IPv6, mp3), keeps the acronyms
// a page writes in capitals or names in its title, takes the page's own language when
// none is chosen, and merges every case variant of a word.
enum class WordRules { kClassic, kToday };
const char* WordRulesCode(WordRules rules);  // "classic", "today"
std::optional<WordRules> WordRulesOfCode(TextView code);

// The limits of the tag: --max-keywords 5..100, --max-bytes up to 1000 (500 by default).
inline constexpr int kFewestKeywords = output::kMinKeywords;
inline constexpr int kMostKeywords = output::kMaxKeywords;
inline constexpr int kLongestTag = output::kMaxBytes;
inline constexpr int kDefaultTagBytes = output::kDefaultMaxBytes;

// What decides which words are counted and how much each occurrence weighs. Changing any
// of these needs a new reading pass.
struct CountOptions {
    WordRules rules = WordRules::kClassic;
    Language language = Language::kEnglish;
    // Under today's rules: the user chose no language, so the page's own lang (on <html>,
    // then a Content-Language meta) decides, English when it names none.
    bool languageFromPage = false;
    // Title, description and existing keywords 0, 10, ..., 90; bold, italic, table, div and
    // span 0..9 (0 skips a table, div or span block whole).
    scan::WeightSettings weights;
    bool ignoreShortWords = true;
    int shortWordSize = 2;  // 1..9: words of this many characters or fewer are short
    bool ignoreCommonWords = true;
    int minFrequency = 2;    // 1..9; words of the title, description and keywords are exempt
    bool lowerCase = false;  // all words in lower case (the opposite of "preserve case")
    Text wordsToIgnore;      // the user's words, separated by blanks or commas
    // An encoding name that overrides detection ("" detects it from the page).
    Text encoding;
    // Words common to the user's whole site (lower case): left out like common words,
    // except on a page whose title holds them. Shared read-only by the pages of one run.
    std::shared_ptr<const std::unordered_set<Text>> siteCommonWords;
    // Words in the titles of most of the site's pages (its name, as a rule): left out of every
    // page, its title too. Shared read-only like siteCommonWords.
    std::shared_ptr<const std::unordered_set<Text>> siteTitleWords;

    bool operator==(const CountOptions&) const = default;
};

// What only shapes the tag; changing these re-composes the tag from the ranked words.
struct TagOptions {
    std::optional<int> maxKeywords = 50;  // 5..100; nullopt: no limit
    std::optional<int> maxBytes = 500;    // 1..1000 characters of the tag; nullopt: no limit
    Text beginWith;                       // phrases to put first, separated by commas
    bool lowerCase = false;
    bool spaceAfterComma = true;

    bool operator==(const TagOptions&) const = default;
};

struct Options {
    CountOptions count;
    TagOptions tag;
};

// The options of generate, list and insert by their command-line names without the
// dashes ("min-frequency", "lower-case"), each value as typed; a flag is on when named.
struct NamedOption {
    Text name;
    Text value;
};
// Whether `name` is one of those options, and whether it is one of the flags.
bool IsOptionName(TextView name);
bool IsFlagOption(TextView name);
// Why `value` is no value of the option `name`, in the command line's words ("expected a
// whole number from 1 to 9, not \"0\""); nothing when it is one, or the option takes any text.
std::optional<Text> OptionValueProblem(TextView name, TextView value);
// The same check for any number of the command line: decimal digits only, from `lowest` to
// `highest` in steps of `step`; `emptyMeans` lets an empty value through.
std::optional<Text> DecimalProblem(TextView value, int lowest, int highest, int step,
                                   const char* emptyMeans = nullptr);
// The options the named values give, the others at their defaults; under today's rules
// without a language the page's own decides. The first value refused gives
// "--NAME: problem", and `options` is then not to be used.
std::optional<Text> OptionsOfNamed(const std::vector<NamedOption>& named, Options& options);

// How the page was read.
enum class LineEnds { kNone, kCrLf, kLf, kCr, kMixed };
struct PageFacts {
    Text encoding;  // the name of the encoding the page was decoded from, e.g. "UTF-8"
    bool byteOrderMark = false;
    LineEnds lineEnds = LineEnds::kNone;
    std::int64_t size = 0;  // bytes
};

// The page's own title, description and keywords tags, as the show command reports them.
struct ExistingTags {
    std::optional<Text> title;
    std::vector<Text> descriptions;  // whole tags, as written in the page
    std::vector<Text> keywords;      // whole tags, as written in the page
};

// The composed keywords meta tag.
struct MetaTag {
    Text tag;            // <META NAME="keywords" CONTENT="...">; empty when no word qualified
    int keywords = 0;    // number of keywords in it
    int characters = 0;  // characters of the tag text
    Text boxText;        // the tag and its summary lines, or the no-words sentence
    Text beginWith;      // the leading phrases as the tag used them (trimmed), for their box
};

// Every failure the program reports (see error/error.h); the fronts know it by this name.
using Error = lumora::Error;

// Reported during a pass, a few times a second at most.
struct PassProgress {
    std::int64_t bytesDone = 0;
    std::int64_t bytesTotal = 0;
    std::int32_t distinctWords = 0;
    // Distinct words met for the first time since the last report, in order.
    std::vector<Text> newWords;
};
using ProgressCallback = std::function<void(const PassProgress&)>;

// One ranked word: the word as shown, its frequency and its key value.
using RankedWord = words::WordEntry;

// What Analyse reads besides the page: the common-word lists, loaded once.
struct Resources {
    const words::CommonWordLists* commonWords = nullptr;
};

// The program's version as its caption and --version show it: "1.07" for 1.0.
Text VersionText();

// Text for a reader that takes UTF-8 only: UTF-8 as it is, anything else read as
// windows-1252 (the bytes of a single-byte page, a name in such bytes).
Text TextAsUtf8(TextView text);

// The files the program reads and writes, behind one interface (see files/file_system.h),
// so that tests can make any call fail.
using FileSystem = files::FileSystem;
FileSystem& RealFileSystem();

// The folder of the running executable, empty when it cannot be determined.
Text ExecutableFolder(FileSystem& fs);
// The first folder holding lmr_text.dat of: `executableFolder`, its ../share/lumora; else the
// data folder of the configured installation prefix.
Text FindDataDir(const Text& executableFolder, FileSystem& fs);

// The common-word list the options' language needs, read from `dataDir` once (nothing when
// common words are kept). A list that cannot be read clears `ignoreCommonWords`, so that the
// pass goes on keeping common words, and `warning` tells which file failed.
struct CommonWordsLoad {
    std::shared_ptr<const words::CommonWordLists> lists;
    std::optional<Error> warning;
    Resources resources() const { return {lists.get()}; }
};
CommonWordsLoad LoadCommonWords(const Text& dataDir, CountOptions& options, FileSystem& fs);

// The common-word lists of one data folder, each read the first time a pass needs it and
// kept from then on: for a front that analyses pages with changing options over a long
// time. Load may be called from several threads at once.
class CommonWordsCache {
  public:
    explicit CommonWordsCache(Text dataDir, FileSystem& fs = RealFileSystem());
    // As LoadCommonWords, from the lists read so far and those read now.
    CommonWordsLoad Load(CountOptions& options);
    const Text& DataDir() const { return dataDir_; }

  private:
    const Text dataDir_;
    FileSystem& fs_;
    std::mutex mutex_;
    std::shared_ptr<const words::CommonWordLists> lists_;
    std::array<bool, kLanguageCount> tried_{};
};

// Reads the page at `path`, taken exactly as given. Refuses, without opening it, a name
// that is not an HTML page's, a missing file and anything that is not a regular file
// (a folder, FIFO or device). A file with a NUL byte in its first 64 KiB, and no UTF-16
// byte order mark, is refused as RefusePage refuses it after only that much is read; the
// caller still applies RefusePage to the whole page. Every error names the file.
std::optional<Error> ReadPageFile(const Text& path, FileSystem& fs, Text& bytes);
// Why a file of this name is no page to read (no usable extension, or not an HTML page's),
// as ReadPageFile refuses it; for readers of pages from other stores.
std::optional<Error> RefusePageName(const Text& path);

struct Analysis {
    PageFacts page;
    Language language = Language::kEnglish;  // the language the words were read in
    std::vector<words::WordEntry> ranked;    // rank order, key values scaled to 100
    MetaTag tag;
    ExistingTags existing;
    // When the user stopped the pass: the number of distinct words found by then and
    // those words in order of arrival; ranked and tag are then empty.
    bool stopped = false;
    std::int32_t wordsWhenStopped = 0;
    std::vector<Text> wordsFound;
    // With CountOptions::siteCommonWords: the site's common words this page held and lost,
    // lower case and sorted.
    std::vector<Text> siteCommonLeftOut;
};

struct AnalysisResult {
    std::optional<Error> error;
    Analysis analysis;
    bool ok() const { return !error.has_value(); }
};

// Reads the page as a browser would (encoding, line ends), weighs and ranks its words,
// and composes the tag with `options.tag`.
AnalysisResult Analyse(TextView pageBytes, const Options& options, const Resources& resources,
                       const ProgressCallback& progress = {}, std::stop_token stop = {});

// Words one after another in one block: far smaller than one string for each word, for the
// words of many pages kept at once.
class PackedWords {
  public:
    void Add(TextView word) {
        text_.append(word);
        ends_.push_back(static_cast<std::uint32_t>(text_.size()));
    }
    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    TextView operator[](std::size_t i) const {
        const std::uint32_t from = i == 0 ? 0 : ends_[i - 1];
        return TextView(text_).substr(from, ends_[i] - from);
    }
    std::size_t Bytes() const {
        return text_.capacity() + ends_.capacity() * sizeof(std::uint32_t);
    }

    void ShrinkToFit() {
        text_.shrink_to_fit();
        ends_.shrink_to_fit();
    }

  private:
    Text text_;
    std::vector<std::uint32_t> ends_;
};

// The first reading of a page of a site whose common words are wanted: the page read and
// its words found, counted and ranked only once the site's common words are known. It
// holds the words the page shows, and every counted occurrence in page order with its
// context, so that finishing it counts exactly what a pass with those common words counts.
class PageReading {
  public:
    const PageFacts& Facts() const { return page_; }
    // The distinct lower-case forms of the words that passed the filters, in order of
    // their first occurrence; those met outside the title, description and keywords are
    // the words the page shows.
    const PackedWords& Forms() const { return forms_; }
    bool Visible(std::size_t form) const { return formVisible_[form] != 0; }
    // The form stands in the page's title.
    bool InTitle(std::size_t form) const { return formInTitle_[form] != 0; }
    // About the bytes it holds, for a caller that keeps many.
    std::size_t Bytes() const;

  private:
    friend struct ReadingAccess;
    // Where the scanner stood when a run of occurrences arrived.
    struct ContextRun {
        std::uint32_t from;  // the first occurrence of the run
        float weight;
        bool titleOrMeta;
        bool inTitle;
    };
    static constexpr std::uint32_t kCased = 0x80000000u;

    CountOptions count_;  // as read; the site's common words come with the finishing
    PageFacts page_;
    ExistingTags existing_;
    PackedWords forms_;
    std::vector<char> formVisible_;
    std::vector<char> formInTitle_;
    // The counted words in order of their first occurrence, each as its form's index; with
    // kCased added when the word differs from its form, its own spelling is next in cased_.
    std::vector<std::uint32_t> words_;
    PackedWords cased_;
    // The counted occurrences in page order, as words_ indexes: two bytes each while the
    // page has fewer distinct words than that counts, four otherwise.
    std::vector<std::uint16_t> occurrences16_;
    std::vector<std::uint32_t> occurrences32_;
    std::vector<ContextRun> contexts_;
    words::FilterOptions filter_;  // with the page's language
    words::AcronymWatch acronyms_;
    // The resources' lists the reading was made with; they outlive it.
    const words::CommonWordLists* commonWords_ = nullptr;
};

struct PageReadingResult {
    std::optional<Error> error;
    bool stopped = false;  // the stop token ended the reading: no reading
    PageReading reading;
    bool ok() const { return !error.has_value() && !stopped; }
};

// Reads the page as Analyse does, with `count` (its siteCommonWords is not used), and stops short
// of counting its words into a ranking.
PageReadingResult ReadPage(TextView pageBytes, const CountOptions& count,
                           const Resources& resources, std::stop_token stop = {});

// The site's common words (lower case), made ready once for finishing many first readings
// with them: each has its place in sorted order, and a look-up that hashes as the word
// table does.
class SiteWords {
  public:
    // `titleWords` are left out even from a title that holds them; they need not be among
    // `words`.
    explicit SiteWords(const std::unordered_set<Text>& words,
                       const std::unordered_set<Text>& titleWords = {});
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    // The word's place among the sorted common words, or kNone.
    std::uint32_t PlaceOf(TextView word) const;
    const Text& operator[](std::uint32_t place) const { return sorted_[place]; }
    bool EvenInTitle(std::uint32_t place) const { return evenInTitle_[place] != 0; }
    std::size_t size() const { return sorted_.size(); }

  private:
    std::vector<Text> sorted_;
    std::vector<std::uint32_t> slots_;  // place + 1 of the word hashed there; 0 for none
    std::vector<char> evenInTitle_;     // by place
};

// Counts and ranks the words of a first reading, leaving out `siteCommonWords` (may be
// null) except where the page's title holds them, and composes the tag: the same result as
// Analyse of the same page with those common words and the reading's count options.
AnalysisResult FinishReading(PageReading reading, const SiteWords* siteCommonWords,
                             const TagOptions& tag, std::stop_token stop = {});

// Why these bytes are no page at all: nothing in them, or a NUL byte, which no text file
// holds (a UTF-16 page, marked as such, is a page). Every command refuses such a file alike.
std::optional<Error> RefusePage(TextView pageBytes);

// The page's own title, description and keywords tags, found as insert finds them, in the
// page decoded to UTF-8.
ExistingTags FindExistingTags(TextView page);

// What show tells of a page, found without a pass: how it reads, and the title, keywords,
// description and "lmra done" meta tags of its head.
struct Shown {
    PageFacts page;
    ExistingTags existing;
    // As the output box shows it: each tag whole, as written, in page order, labelled and
    // followed by CR LF CR LF; "No keywords meta tag found." (without a line end) closes it
    // when there is no keywords meta tag. UTF-8.
    Text report;
};
struct ShowResult {
    std::optional<Error> error;  // no page (see RefusePage), or the encoding failed
    Shown shown;
    bool ok() const { return !error.has_value(); }
};
// The page decoded as a pass decodes it; `encoding` overrides the detection.
ShowResult Show(TextView pageBytes, TextView encoding = {});

// The tag again from ranked words, for new tag options without a new reading pass.
MetaTag ComposeTag(const std::vector<words::WordEntry>& ranked, const TagOptions& options,
                   const CountOptions& count);

// The ranked words as the word list shows them.
Text WordList(const std::vector<words::WordEntry>& ranked, const CountOptions& count);

}  // namespace lumora::engine
