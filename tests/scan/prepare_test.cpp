#include "scan/prepare.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "scan/strproc.h"
#include "support/case_file.h"

namespace lumora::scan {
namespace {

std::string Decoded(std::string line) {
    DecodeEntities(line);
    return line;
}

// Each case also after 1 to 8 letters more in front, so that its patterns stand at every
// place of the eight bytes read at once. A pass keeps its line and scratch texts from line
// to line: what they held before must not show.
TEST(ReadyLineTest, CasesOfTheDataFile) {
    std::string line = "left over from before", scratch = line;
    for (const testing::Case& c : testing::ReadCases("ready_line.txt")) {
        const std::string raw = c.Get("raw");
        const bool shifts = c.Has("line") && Code(raw[0]) > 32;
        for (std::size_t shift = 0; shift <= (shifts ? 8 : 0); ++shift) {
            const std::string letters = std::string("abcdefgh").substr(0, shift);
            ASSERT_EQ(ReadyLine(letters + raw, c.Get("case") != "kept", line, scratch),
                      c.Has("line"))
                << c.name;
            if (c.Has("line")) {
                EXPECT_EQ(line, letters + c.Get("line")) << c.name << " after " << shift;
            }
        }
    }
}

// "&name;", built by appending: GCC 12 at -O3 wrongly reports an overlapping copy in
// "&" + name + ";".
std::string Reference(std::string_view name) {
    std::string reference = "&";
    reference.append(name);
    reference.push_back(';');
    return reference;
}

TEST(DecodeEntitiesTest, EveryLatinLetterHasItsReference) {
    std::set<CodePoint> codes = {DecodeAt(Decoded("&szlig;"), 0).cp,
                                 DecodeAt(Decoded("&yuml;"), 0).cp};
    for (const char* name :
         {"AElig", "Aacute", "Acirc",  "Agrave", "Aring",  "Atilde", "Auml",   "Ccedil",
          "ETH",   "Eacute", "Ecirc",  "Egrave", "Euml",   "Iacute", "Icirc",  "Igrave",
          "Iuml",  "Ntilde", "Oacute", "Ocirc",  "Ograve", "Oslash", "Otilde", "Ouml",
          "THORN", "Uacute", "Ucirc",  "Ugrave", "Uuml",   "Yacute"}) {
        const std::string capital = Decoded(Reference(name));
        const std::string small = Decoded(Reference(Lower(name)));
        ASSERT_EQ(CharCount(capital) + CharCount(small), 2u) << name;
        EXPECT_EQ(LowerLetters(capital), small) << name;
        codes.insert({DecodeAt(capital, 0).cp, DecodeAt(small, 0).cp});
    }
    std::set<CodePoint> letters;  // 192..255 but the multiplication and division signs
    for (CodePoint b = 192; b < 256; ++b) letters.insert(b);
    letters.erase(215);
    letters.erase(247);
    EXPECT_EQ(codes, letters);
}

}  // namespace
}  // namespace lumora::scan
