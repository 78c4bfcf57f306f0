#include "scan/show_existing.h"

#include <gtest/gtest.h>

#include "text/case_file.h"

namespace lumora::scan {
namespace {

TEST(ShowExistingReport, CasesOfTheDataFile) {
    for (const testing::Case& c : testing::ReadCases("show_existing.txt"))
        EXPECT_EQ(ShowExistingReportForPage(c.Get("page")), c.Get("report")) << c.where;
}

}  // namespace
}  // namespace lumora::scan
