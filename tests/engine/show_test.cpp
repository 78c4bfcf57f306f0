#include <gtest/gtest.h>

#include "engine/engine.h"
#include "text/case_file.h"

namespace lumora::engine {
namespace {

TEST(Show, CasesOfTheDataFile) {
    for (const testing::Case& c : testing::ReadCases("show_existing.txt"))
        EXPECT_EQ(Show(c.Get("page")).shown.report, c.Get("report")) << c.where;
}

}  // namespace
}  // namespace lumora::engine
