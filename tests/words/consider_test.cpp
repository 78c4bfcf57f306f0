#include "words/consider.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/case_file.h"

namespace lumora::words {
namespace {

TEST(ConsiderWordTest, CasesOfTheDataFile) {
    CommonWordLists lists;
    lists.SetFromLines(0, {"with Into"});
    lists.SetFromLines(1, {"avec"});
    for (const testing::Case& c : testing::ReadCases("consider.txt")) {
        const int shortSize = std::stoi(c.Get("short", "0"));
        const FilterOptions options{shortSize > 0, shortSize, c.Get("common") == "yes",
                                    std::stoi(c.Get("language", "0")), c.Get("rules") == "today"};
        for (const auto& [field, verdict] :
             {std::pair{"counted", Verdict::kCounted}, std::pair{"skipped", Verdict::kDropped},
              std::pair{"if acronym", Verdict::kCountedIfAcronym}}) {
            std::istringstream words(c.Get(field));
            for (std::string word; words >> word;) {
                EXPECT_EQ(ConsiderWord(word, options, c.Get("ignore", ","), lists), verdict)
                    << c.name << ": " << word;
            }
        }
    }
}

}  // namespace
}  // namespace lumora::words
