// The common-word lists of the seven page languages, and the lookup used by word
// extraction.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "error/error.h"
#include "files/file_system.h"
#include "text/chars.h"

namespace lumora::words {

inline constexpr int kNumLanguages = 7;
inline constexpr int kGermanIndex = 2;
inline constexpr int kFrenchIndex = 1;

// Page languages in the order of the language drop-down.
inline constexpr std::array<const char*, kNumLanguages> kLanguageNames = {
    "English", "French", "German", "Italian", "Portuguese", "Spanish", "Another"};
inline constexpr std::array<const char*, kNumLanguages> kLanguageCodes = {"en", "fr", "de", "it",
                                                                          "pt", "es", "xx"};

// "<folder>/cmwds_<code>.txt"
Text CommonWordFilePath(TextView folder, int language);

class CommonWordLists {
  public:
    // Result of loading one file: the line-ending type of the whole file (1 ordinary,
    // 2 LF only, 3 CR only; -1 missing, -2 empty, -3 unreadable, 0 a control character
    // other than tab, LF and CR: below 1 the list is unavailable).
    struct LoadResult {
        int fileType = 0;
        bool available = false;
    };

    // Reads one file, whole whatever its length, into the list of `language` (0..6). The
    // French list lets digits continue a word.
    LoadResult Load(int language, const Text& path, files::FileSystem& fs);

    // Why the last Load of `language` gave no list, naming the file and, when a damaged
    // line is to blame, the line; nothing when the list loaded or no file was tried.
    const std::optional<Error>& Problem(int language) const;

    // Parses the lines of a list the way a file's lines are parsed (for tests and for
    // lists that do not come from a file).
    void SetFromLines(int language, const std::vector<Text>& lines);

    bool Available(int language) const;
    bool IsCommonWord(TextView word, int language) const;
    // The sorted words of a list.
    const std::vector<Text>& Words(int language) const;

  private:
    // Looked up for every word of a page: an open-addressing table beside each sorted list
    // answers exactly what a search of the list would. Slots hold indices into the list
    // (-1 when empty); the size is a power of two at least four times the list.
    void Index(int language);

    std::array<std::vector<Text>, kNumLanguages> lists_;
    std::array<std::vector<int>, kNumLanguages> slots_;
    std::array<std::optional<Error>, kNumLanguages> problems_;
};

// The list of `language` at `path` gave no words, told without the reason.
Error CommonWordsUnavailable(int language, const Text& path);

// Normalises the text of the "Ignore these words:" box when it loses the focus: returns
// the text to put back into the box; the ignore list is that text followed by ",".
Text NormaliseWordsToIgnore(TextView boxText);

}  // namespace lumora::words
