#include <gtest/gtest.h>

#include "engine/engine.h"
#include "support/case_file.h"

namespace lumora::engine {
namespace {

TEST(Show, CasesOfTheDataFile) {
    for (const testing::Case& c : testing::ReadCases("show_existing.txt"))
        EXPECT_EQ(Show(c.Get("page")).shown.report, c.Get("report")) << c.name;
}

}  // namespace
}  // namespace lumora::engine
