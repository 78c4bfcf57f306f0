#include "words/common_words.h"

#include <algorithm>
#include <string>

#include "files/file_checks.h"
#include "files/page_file.h"
#include "text/encoding.h"
#include "text/text_hash.h"

namespace lumora::words {

namespace {

bool ValidLanguage(int language) {
    return language >= 0 && language < kNumLanguages;
}

// French lists keep words such as "h2o" whole.
bool DigitsContinueWords(int language) {
    return language == kFrenchIndex;
}

// Cuts list text into lower-case words: a word starts with a letter and runs while letters
// and combining marks (and, in the French list, digits) follow; every other character
// separates words, line ends included. Words are kept lower-cased and in NFC, the form in
// which the words of a page are looked up.
class WordCutter {
  public:
    WordCutter(std::vector<Text>& words, bool digitsContinue)
        : words_(words), digitsContinue_(digitsContinue) {}

    // `text` is UTF-8 and ends at a character boundary.
    void Feed(TextView text) {
        for (std::size_t i = 0; i < text.size();) {
            const Decoded d = CharAt(text, i);
            const TextView bytes = text.substr(i, d.length);
            i += d.length;
            if (inWord_ && (IsLetter(d.cp) || IsMark(d.cp) || (digitsContinue_ && IsDigit(d.cp)))) {
                current_.append(bytes);
            } else if (inWord_) {
                EndWord();
            } else if (IsLetter(d.cp)) {
                inWord_ = true;
                current_.assign(bytes);
            }
        }
    }

    void EndWord() {
        if (inWord_)
            words_.push_back(Nfc(LowerLetters(current_)));
        inWord_ = false;
        current_.clear();
    }

  private:
    std::vector<Text>& words_;
    bool digitsContinue_;
    bool inWord_ = false;
    Text current_;
};

// Plain code-by-code order: std::string compares its characters as unsigned, so accented
// letters sort after z and a prefix comes before the longer word.
void SortList(std::vector<Text>& words) {
    std::stable_sort(words.begin(), words.end());
}

}  // namespace

Text CommonWordFilePath(TextView folder, int language) {
    Text path(folder);
    if (!path.empty() && path.back() != files::kPathSeparator)
        path += files::kPathSeparator;
    path += "cmwds_";
    if (ValidLanguage(language))
        path += kLanguageCodes[static_cast<std::size_t>(language)];
    path += ".txt";
    return path;
}

namespace {

// The line-end type of a list's bytes, or 0 with `problem` set at the first control
// character other than tab, LF and CR.
int ExamineListBytes(TextView bytes, Error& problem) {
    bool lf = false;
    bool cr = false;
    std::int64_t line = 1;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned b = Code(bytes[i]);
        if (b >= 32 || b == '\t')
            continue;
        if (b == '\n') {
            lf = true;
            if (i == 0 || bytes[i - 1] != '\r')
                ++line;
        } else if (b == '\r') {
            cr = true;
            ++line;
        } else {
            problem.code = Error::Code::kCommonWordsDamaged;
            problem.position = line;
            problem.count = b;
            return 0;
        }
    }
    if (lf && !cr)
        return 2;
    if (cr && !lf)
        return 3;
    return 1;
}

}  // namespace

CommonWordLists::LoadResult CommonWordLists::Load(int language, const Text& path,
                                                  files::FileSystem& fs) {
    LoadResult result;
    if (!ValidLanguage(language))
        return result;
    const auto index = static_cast<std::size_t>(language);
    std::vector<Text>& list = lists_[index];
    std::optional<Error>& problem = problems_[index];
    list.clear();
    slots_[index].clear();
    // Filled in below with the reason, and dropped once the list has words.
    problem = CommonWordsUnavailable(language, path);

    files::FileInfo info;
    fs.Stat(path, info);
    if (info.kind == files::FileInfo::Kind::kMissing) {
        result.fileType = -1;
        return result;
    }
    Text bytes;
    if (const auto error = files::ReadPage(path, bytes, fs)) {
        result.fileType = -3;
        problem->code = Error::Code::kCommonWordsUnreadable;
        problem->detail = error->Message();
        return result;
    }
    if (bytes.empty()) {
        result.fileType = -2;
        problem->code = Error::Code::kCommonWordsEmpty;
        return result;
    }
    result.fileType = ExamineListBytes(bytes, *problem);
    if (result.fileType < 1)
        return result;

    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.erase(0, 3);
    // Decoded as UTF-8 or, for lists of the earlier single-byte format, as windows-1252.
    WordCutter cutter(list, DigitsContinueWords(language));
    cutter.Feed(text::ReadStoredText(bytes));
    cutter.EndWord();
    SortList(list);
    Index(language);
    result.available = !list.empty();
    if (result.available)
        problem.reset();
    else
        problem->code = Error::Code::kCommonWordsWithoutWords;
    return result;
}

const std::optional<Error>& CommonWordLists::Problem(int language) const {
    static const std::optional<Error> kNone;
    return ValidLanguage(language) ? problems_[static_cast<std::size_t>(language)] : kNone;
}

void CommonWordLists::SetFromLines(int language, const std::vector<Text>& lines) {
    if (!ValidLanguage(language))
        return;
    std::vector<Text>& list = lists_[static_cast<std::size_t>(language)];
    list.clear();
    problems_[static_cast<std::size_t>(language)].reset();
    WordCutter cutter(list, DigitsContinueWords(language));
    for (const Text& line : lines) {
        cutter.Feed(line);
        cutter.EndWord();
    }
    SortList(list);
    Index(language);
}

void CommonWordLists::Index(int language) {
    const auto& list = lists_[static_cast<std::size_t>(language)];
    std::vector<int>& slots = slots_[static_cast<std::size_t>(language)];
    std::size_t size = 16;
    while (size < 4 * list.size()) size *= 2;
    slots.assign(size, -1);
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::size_t k = HashText(list[i]) & (size - 1);
        while (slots[k] >= 0) k = (k + 1) & (size - 1);
        slots[k] = static_cast<int>(i);
    }
}

bool CommonWordLists::Available(int language) const {
    return ValidLanguage(language) && !lists_[static_cast<std::size_t>(language)].empty();
}

// Words up to this length are lower-cased without allocating.
constexpr std::size_t kShortWord = 64;

bool CommonWordLists::IsCommonWord(TextView word, int language) const {
    if (!ValidLanguage(language))
        return false;
    const std::vector<Text>& list = lists_[static_cast<std::size_t>(language)];
    const std::vector<int>& slots = slots_[static_cast<std::size_t>(language)];
    if (list.empty() || slots.empty())
        return false;
    // Runs for every word of a page: an ASCII word is lower-cased on the stack, then one
    // hash look-up.
    std::array<Char, kShortWord> buffer{};
    Text longWord;
    TextView lower;
    bool ascii = word.size() <= kShortWord;
    for (std::size_t i = 0; ascii && i < word.size(); ++i) {
        ascii = IsAscii(word[i]);
        buffer[i] = ToLower(word[i]);
    }
    if (ascii) {
        lower = TextView(buffer.data(), word.size());
    } else {
        longWord = LowerLetters(word);
        lower = longWord;
    }
    const std::size_t mask = slots.size() - 1;
    for (std::size_t k = HashText(lower) & mask; slots[k] >= 0; k = (k + 1) & mask) {
        if (list[static_cast<std::size_t>(slots[k])] == lower)
            return true;
    }
    return false;
}

const std::vector<Text>& CommonWordLists::Words(int language) const {
    static const std::vector<Text> kNone;
    if (!ValidLanguage(language))
        return kNone;
    return lists_[static_cast<std::size_t>(language)];
}

Error CommonWordsUnavailable(int language, const Text& path) {
    Error error{Error::Code::kCommonWordsUnavailable, path};
    if (language == kNumLanguages - 1) {
        error.subject = "another language";
    } else if (ValidLanguage(language)) {
        error.subject = kLanguageNames[static_cast<std::size_t>(language)];
    }
    return error;
}

Text NormaliseWordsToIgnore(TextView boxText) {
    const TextView trimmed = TrimBlanks(boxText);
    // Blanks become commas and a run of commas becomes one.
    Text result;
    result.reserve(trimmed.size());
    for (Char c : LowerLetters(trimmed)) {
        const Char out = c == ' ' ? ',' : c;
        if (out == ',' && !result.empty() && result.back() == ',')
            continue;
        result.push_back(out);
    }
    if (!result.empty() && result.back() == ',')
        result.pop_back();
    // Compared with the words of the page, which are in NFC.
    return Nfc(result);
}

}  // namespace lumora::words
