#include "scan/prepare.h"

#include <gtest/gtest.h>

#include <string>

#include "support/case_file.h"

namespace lumora::scan {
namespace {

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

}  // namespace
}  // namespace lumora::scan
