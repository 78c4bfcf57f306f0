// The one message table: every code has a title and a text, and every message about a
// file names it, exactly as given.
#include "error/error.h"

#include <gtest/gtest.h>

#include <set>

namespace lumora {
namespace {

using Code = Error::Code;

// The messages that are about no file, or that the window keeps short on purpose.
const std::set<Code> kNotAboutAFile = {
    Code::kUnknownEncoding, Code::kEncodingUnavailable, Code::kNotATag,
    Code::kNoKeyword,       Code::kNoPageGiven,
};

TEST(ErrorTable, EveryCodeHasTitlesAndEveryFileMessageNamesTheFile) {
    // Braces and a blank in the name must come through as they are.
    const Text path = "/site/my {detail} page.htm";
    for (int i = 0; i < Error::kCodeCount; ++i) {
        const auto code = static_cast<Code>(i);
        SCOPED_TRACE(i);
        const Error error{code, path, 7, "Disk on fire", 3, "Welsh"};
        const Text message = error.Message();
        EXPECT_FALSE(message.empty());
        EXPECT_FALSE(error.Title().empty());
        EXPECT_FALSE(error.TitleWhenInserting().empty());
        const std::size_t at = message.find(path);
        EXPECT_EQ(at != Text::npos, kNotAboutAFile.count(code) == 0) << message;
        // No place left unfilled.
        Text rest = message;
        if (at != Text::npos)
            rest.erase(at, path.size());
        EXPECT_EQ(rest.find('{'), Text::npos) << message;
    }
}

}  // namespace
}  // namespace lumora
