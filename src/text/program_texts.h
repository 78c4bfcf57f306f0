// The numbered program texts (messages, captions, addresses) read from lmr_text.dat.
//
// File format (UTF-8, or windows-1252 when the bytes are not valid UTF-8; one text per
// line, CR LF or LF line ends):
//   - a line starting with "#" is a comment, an empty line is skipped;
//   - "@language <name>" starts the texts of the next language (at most six; texts
//     before the first such line make up the first language on their own);
//   - "<number>=<text>" defines a text (number 1 or more, no blanks before the "=");
//     the text runs to the end of the line, blanks included;
//   - any other line counts as a missing text at that line.
// Line numbers in the results count every line from 1. A UTF-8 byte-order mark at the
// very start is passed over, so that a file saved by a modern editor still loads.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "files/file_system.h"
#include "text/chars.h"

namespace lumora::text {

inline constexpr int kMaxTextLanguages = 6;
inline constexpr std::size_t kMaxProgramTextLength = 1024;

class ProgramTexts {
  public:
    // Loads the file from `fs`. Returns the number of texts read (> 0) on success, otherwise:
    //   0 nothing read, -1 cannot open (not a regular file, or refused: no permission, gone
    //   meanwhile), -3 too much text (more than six languages), -6 empty file, -7 any other
    //   failure to read it, -10 a text the program needs
    //   (tx::kNeeded) is missing from the first language, as in a file cut short, -11 a
    //   control character other than tab at line n (see ErrorMessage), -(500 + n) missing
    //   string at line n, -(1000 + n) string too long at line n, -(1500 + n) duplicate at
    //   line n.
    std::int32_t Load(const Text& path, files::FileSystem& fs);

    // Parses the file's content; the same results as Load, except that the texts the
    // program needs are not required (-10 never comes from here).
    std::int32_t LoadFromContent(TextView content);

    // Text n of language `language` (0..5), empty when missing; at most 1024 characters.
    Text Get(int n, int language = 0) const;

    // The message for the last failed load, naming the file and, where one is to blame,
    // the line; empty after a successful load.
    Text ErrorMessage(TextView path) const;

    // The message for a load result alone, naming the file (without the details that
    // only ErrorMessage knows).
    static Text LoadErrorMessage(std::int32_t result, TextView path);

  private:
    std::int32_t Fail(std::int32_t result, std::int64_t line);

    std::vector<std::map<int, Text>> languages_;
    std::int32_t lastResult_ = 0;
    std::int64_t problemLine_ = 0;  // the line a failure is about, 0 when none
    int problemDetail_ = 0;         // the missing text's number, or the control character
};

// Numbers of the texts the program uses.
namespace tx {
// (Messages about pages and files come from the program's one table of errors, so that the
// window and the command line tell a fault in the same words.)
inline constexpr int kProductName = 1;
inline constexpr int kManualAddress = 15;
inline constexpr int kDataFolderName = 310;
inline constexpr int kMakerAddress = 315;
// The texts without which the program cannot speak; a file lacking one is damaged.
inline constexpr int kNeeded[] = {kProductName, kManualAddress, kDataFolderName, kMakerAddress};
}  // namespace tx

// The version text of the caption: major "." minor "7" (1.0 gives "1.07").
Text VersionText(int major, int minor);

}  // namespace lumora::text
