// A run over many pages as the core hands it to a front: each page once, in path order,
// whatever the number of workers; the figures at the end agree with the pages; a stopped
// run begins no page.
#include "site/site_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>

#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

namespace lumora::site {
namespace {

using testing::ReadFile;
using testing::TempDir;

struct Recorder : SiteListener {
    void Progress(const SiteProgress& p) override {
        progress.push_back({p.reading, p.readings, p.done, p.total, {}});
        currents.emplace_back(p.current);
    }
    void ReadingDone(int reading) override { readingsDone.push_back(reading); }
    void Page(const PageOutcome& outcome) override { pages.push_back(outcome); }
    std::vector<SiteProgress> progress;
    std::vector<Text> currents;
    std::vector<int> readingsDone;
    std::vector<PageOutcome> pages;
};

Text PageWith(const Text& words) {
    return "<html><head><title>Site</title></head><body>" + words + " " + words +
           " menu menu</body></html>\n";
}

class SiteRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_.File("site/sub"));
        dir_.Write("site/b.htm", PageWith("bread"));
        dir_.Write("site/a.htm", PageWith("apples"));
        dir_.Write("site/sub/c.html", PageWith("cherries"));
        dir_.Write("site/notes.txt", "not a page");
        request_.arguments = {dir_.File("site"), dir_.File("missing.htm")};
        request_.walk.recursive = true;
        request_.options.count.ignoreCommonWords = false;
    }
    TempDir dir_;
    SiteRunRequest request_;
};

TEST_F(SiteRunTest, PagesComeInPathOrderWithTheirOutcomesWhateverTheWorkers) {
    const std::vector<Text> order = {dir_.File("missing.htm"), dir_.File("site/a.htm"),
                                     dir_.File("site/b.htm"), dir_.File("site/sub/c.html")};
    for (int jobs : {1, 3}) {
        SCOPED_TRACE(jobs);
        request_.jobs = jobs;
        Recorder r;
        const SiteSummary s = RunSite(request_, engine::RealFileSystem(), r);
        ASSERT_EQ(r.pages.size(), order.size());
        for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(r.pages[i].path, order[i]);
        EXPECT_EQ(r.pages[0].status, PageStatus::kFailed);
        ASSERT_TRUE(r.pages[0].error);
        EXPECT_EQ(r.pages[0].error->path, order[0]);
        EXPECT_EQ(r.pages[1].root, dir_.File("site"));
        EXPECT_NE(r.pages[2].analysis->tag.tag.find("bread"), Text::npos);
        EXPECT_EQ(s.total, 4);
        EXPECT_EQ(s.done, 3);
        EXPECT_EQ(s.failed, 1);
        EXPECT_EQ(s.skipped, 0);
        // One report before the first page and one after each, naming the next page.
        ASSERT_EQ(r.progress.size(), 5u);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(r.progress[i].done, i);
            EXPECT_EQ(r.currents[i], i < 4 ? order[i] : Text());
        }
        EXPECT_EQ(r.readingsDone, std::vector<int>{1});
    }
}

// With the site's common words, every page is read twice and the second reading leaves
// out the words of more than the share of pages given, and those of more than that share of
// titles (the site's name, "Site" here) even from the title.
TEST_F(SiteRunTest, SiteCommonWordsTakeTwoReadings) {
    request_.command = SiteCommand::kList;
    request_.siteCommonPercent = 50;
    request_.options.count.minFrequency = 1;
    Recorder r;
    RunSite(request_, engine::RealFileSystem(), r);
    EXPECT_EQ(r.readingsDone, (std::vector<int>{1, 2}));
    EXPECT_EQ(r.progress.front().reading, 1);
    EXPECT_EQ(r.progress.back().reading, 2);
    EXPECT_EQ(r.progress.back().readings, 2);
    ASSERT_EQ(r.pages.size(), 4u);
    EXPECT_EQ(r.pages[1].analysis->siteCommonLeftOut, (std::vector<Text>{"menu", "site"}));
}

// Insert counts the pages it changed; a dry run writes nothing and counts the same pages;
// a second insert changes none.
TEST_F(SiteRunTest, InsertCountsChangedPagesAndADryRunWritesNothing) {
    request_.arguments = {dir_.File("site")};
    request_.command = SiteCommand::kInsert;
    request_.insert.backup = engine::BackupPlace::kNone;
    const Text before = ReadFile(dir_.File("site/a.htm"));
    for (const bool dryRun : {true, false, false}) {
        request_.insert.dryRun = dryRun;
        const bool first = ReadFile(dir_.File("site/a.htm")) == before;
        Recorder r;
        const SiteSummary s = RunSite(request_, engine::RealFileSystem(), r);
        EXPECT_EQ(s.done, 3);
        EXPECT_EQ(s.changed, first ? 3 : 0);
        ASSERT_TRUE(r.pages[0].insert);
        EXPECT_EQ(r.pages[0].insert->diff.has_value(), dryRun);
        EXPECT_EQ(ReadFile(dir_.File("site/a.htm")) == before, dryRun && first);
    }
}

// With a folder of backups, two pages of different folders would share a backup name: the
// first in path order is written, the other left alone rather than given its backup.
TEST_F(SiteRunTest, PagesThatWouldShareABackupAreLeftAlone) {
    std::filesystem::create_directories(dir_.File("other"));
    dir_.Write("other/a.htm", PageWith("apricots"));
    request_.arguments = {dir_.File("site"), dir_.File("other")};
    request_.command = SiteCommand::kInsert;
    request_.insert.backup = engine::BackupPlace::kInFolder;
    request_.insert.backupFolder = dir_.File("bk");
    Recorder r;
    const SiteSummary s = RunSite(request_, engine::RealFileSystem(), r);
    EXPECT_EQ(s.changed, 3);
    ASSERT_EQ(r.pages.size(), 4u);
    ASSERT_TRUE(r.pages[1].error);
    EXPECT_EQ(r.pages[1].error->Message(),
              dir_.File("site/a.htm") + " was left alone: its backup " + dir_.File("bk/a.htm") +
                  " is the backup of another page of this run.");
    EXPECT_EQ(ReadFile(dir_.File("site/a.htm")), PageWith("apples"));
    EXPECT_EQ(ReadFile(dir_.File("bk/a.htm")), PageWith("apricots"));
    EXPECT_EQ(ReadFile(dir_.File("bk/sub/c.html")), PageWith("cherries"));
}

// A file system on which one page cannot be read for want of memory.
class OutOfMemoryOn : public testing::FaultyFileSystem {
  public:
    explicit OutOfMemoryOn(Text page)
        : FaultyFileSystem(files::RealFileSystem(), Mode::kFailOnce, 0), page_(std::move(page)) {}
    using FaultyFileSystem::ReadAll;
    Text ReadAll(const files::Folder& in, const Text& name, Text& bytes) override {
        if (name == page_)
            throw std::bad_alloc();
        return FaultyFileSystem::ReadAll(in, name, bytes);
    }

  private:
    Text page_;
};

// A page that does not fit in memory fails alone and is left as it was, without a backup.
TEST_F(SiteRunTest, APageThatDoesNotFitInMemoryFailsAlone) {
    const Text big = dir_.File("site/b.htm");
    const Text before = ReadFile(big);
    OutOfMemoryOn shortOfMemory(big);
    request_.command = SiteCommand::kInsert;
    request_.jobs = 2;
    Recorder r;
    const SiteSummary s = RunSite(request_, shortOfMemory, r);
    EXPECT_EQ(s.done, 2);
    EXPECT_EQ(s.changed, 2);
    EXPECT_EQ(s.failed, 2);  // and the missing page
    ASSERT_EQ(r.pages.size(), 4u);
    ASSERT_TRUE(r.pages[2].error);
    EXPECT_EQ(r.pages[2].error->code, Error::Code::kOutOfMemory);
    EXPECT_EQ(r.pages[2].error->path, big);
    EXPECT_EQ(ReadFile(big), before);
    EXPECT_FALSE(std::filesystem::exists(dir_.File("site/b.bak.htm")));
}

TEST_F(SiteRunTest, AStoppedRunBeginsNoPage) {
    std::stop_source stop;
    stop.request_stop();
    request_.siteCommonPercent = 50;
    Recorder r;
    const SiteSummary s = RunSite(request_, engine::RealFileSystem(), r, stop.get_token());
    EXPECT_TRUE(r.pages.empty());
    EXPECT_EQ(s.total, 4);
    EXPECT_EQ(s.skipped, 4);
    EXPECT_EQ(s.done + s.failed, 0);
}

}  // namespace
}  // namespace lumora::site
