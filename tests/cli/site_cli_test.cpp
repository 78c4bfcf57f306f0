// The command-line tool on many pages at once, run in-process: the same per-page results
// as one call per page, JSON that says what the text says, a dry run that writes nothing,
// the site's common words, and pages that stay whole when the run is stopped or killed.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "cli_app.h"
#include "json_report.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"

namespace lumora::cli {
namespace {

using lumora::testing::ReadFile;
using lumora::testing::RunResult;
using lumora::testing::RunTool;
using lumora::testing::TempDir;
namespace fs = std::filesystem;

std::vector<nlohmann::json> JsonLines(const std::string& out) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Every file under a folder with its bytes (links not followed).
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (e.is_regular_file() && !e.is_symlink())
            files[e.path().string()] = ReadFile(e.path().string());
    }
    return files;
}

// A small site with what real sites hold: nested folders, a link looping back to the top,
// a page that cannot be read (a FIFO), a page without a head, LF and CR LF, Latin-1 and
// UTF-8, a file that is no page, a page too short for any keyword.
void WriteSite(const TempDir& dir) {
    fs::create_directories(dir.File("site/blog/2023"));
    fs::create_directories(dir.File("site/shop"));
    dir.Write("site/index.html",
              "<html><head><title>Kite makers</title></head>\n<body>Kites and kite strings, "
              "kites for children. <b>Kites</b> fly.</body></html>\n");
    dir.Write("site/about.htm",
              "<html>\r\n<head>\r\n<title>About the kite makers</title>\r\n</head>\r\n"
              "<body>Workshop workshop tools tools kites</body>\r\n</html>\r\n");
    dir.Write("site/blog/2023/caf\xC3\xA9.html",
              "<head><meta charset=\"utf-8\"><title>Caf\xC3\xA9 kites</title></head>"
              "\n<p>Caf\xC3\xA9 cr\xC3\xA8me kites cr\xC3\xA8me</p>\n");
    dir.Write("site/blog/latin.htm",
              "<head><title>Cr\xE8me br\xFBl\xE9\x65</title></head>\n"
              "<p>Cr\xE8me cr\xE8me desserts desserts</p>\n");
    dir.Write("site/shop/nohead.htm", "<title>Spools</title>\nSpools of string, spools.\n");
    dir.Write("site/shop/tiny.htm", "<p>a b</p>\n");
    dir.Write("site/shop/notes.txt", "not a page\n");
    ASSERT_EQ(::mkfifo(dir.File("site/shop/stuck.htm").c_str(), 0644), 0);
    fs::create_directory_symlink("../..", dir.File("site/blog/2023/loop"));
}

// The site's pages in path order: its files named as pages, and the FIFO.
std::vector<std::string> PagesOf(const TempDir& dir) {
    std::vector<std::string> pages = {dir.File("site/shop/stuck.htm")};
    for (const auto& [path, bytes] : Snapshot(dir.File("site"))) {
        if (path.ends_with(".htm") || path.ends_with(".html"))
            pages.push_back(path);
    }
    std::sort(pages.begin(), pages.end());
    return pages;
}

// What one call per page prints for it: its output, or its refusal (stdout or stderr).
std::string OnePage(const std::vector<std::string>& command, const std::string& page, int& status) {
    std::vector<std::string> args = command;
    args.push_back(page);
    const RunResult run = RunTool(args);
    if (run.status != 0)
        status = 1;
    return run.out + run.err;
}

TEST(SiteCli, ManyPagesGiveWhatOneCallPerPageGivesInPathOrder) {
    TempDir dir;
    WriteSite(dir);
    const std::vector<std::string> pages = PagesOf(dir);
    ASSERT_EQ(pages.size(), 7u);
    const std::vector<std::vector<std::string>> commands = {
        {"list"}, {"show"}, {"generate", "--lower-case", "--min-frequency", "1"}};
    for (const auto& command : commands) {
        SCOPED_TRACE(command.front());
        int expectedStatus = 0;
        std::string expected;
        for (const std::string& page : pages) {
            expected += (expected.empty() ? "" : "\n") + ("==> " + page + " <==\n") +
                        OnePage(command, page, expectedStatus);
        }
        EXPECT_EQ(expectedStatus, 1);  // the FIFO at least
        for (const char* jobs : {"1", "5"}) {
            std::vector<std::string> args = command;
            args.insert(args.end(), {"-r", "-j", jobs, dir.File("site")});
            const RunResult run = RunTool(args);
            EXPECT_EQ(run.status, expectedStatus);
            EXPECT_EQ(run.out, expected);
            EXPECT_EQ(run.err.rfind("7 pages: ", 0), 0u) << run.err;
        }
    }
}

// Insert over a folder writes each page and its backup as one call per page does; its dry
// run changes no byte, and its text output as a whole, headers and refusals included, is a
// patch that turns every page into what insert makes of it.
TEST(SiteCli, InsertOfAFolderWritesWhatOneCallPerPageWritesAndItsDryRunIsItsPatch) {
    TempDir many, one, dry;
    WriteSite(many);
    WriteSite(one);
    WriteSite(dry);
    const auto before = Snapshot(dry.File("site"));
    const RunResult run = RunTool({"insert", "--backup", "-r", "-q", many.File("site")});
    EXPECT_EQ(run.status, 1);  // the FIFO, the page with no keyword, the page with no place
    std::string expected;
    int status = 0;
    for (const std::string& page : PagesOf(one)) {
        std::string result = OnePage({"insert", "--backup"}, page, status);
        for (std::size_t at; (at = result.find(one.Path())) != std::string::npos;)
            result.replace(at, one.Path().size(), many.Path());
        expected += (expected.empty() ? "" : "\n") + ("==> " + many.Path()) +
                    page.substr(one.Path().size()) + " <==\n" + result;
    }
    EXPECT_EQ(run.out, expected);
    const auto written = Snapshot(many.File("site"));
    const auto wanted = Snapshot(one.File("site"));
    ASSERT_EQ(written.size(), wanted.size());
    int backups = 0;
    for (const auto& [path, bytes] : wanted) {
        EXPECT_EQ(written.at(many.Path() + path.substr(one.Path().size())), bytes) << path;
        backups += path.find(".bak.") != std::string::npos;
    }
    EXPECT_EQ(backups, 4);

    if (std::system("patch --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "patch is not installed";
    const RunResult json =
        RunTool({"insert", "--dry-run", "--backup", "-r", "--json", dry.File("site")});
    EXPECT_EQ(json.status, 1);
    int withDiff = 0;
    for (const nlohmann::json& j : JsonLines(json.out)) withDiff += j.contains("diff");
    EXPECT_EQ(withDiff, 4);
    const RunResult text = RunTool({"insert", "--dry-run", "-r", "-j", "3", dry.File("site")});
    EXPECT_EQ(text.status, 1);
    EXPECT_EQ(Snapshot(dry.File("site")), before);  // no page changed, no backup written
    // Absolute names: one leading slash stripped, applied from the root.
    const std::string diff = dry.Write("site.diff", text.out);
    ASSERT_EQ(
        std::system(("patch --quiet --binary -p1 -d / < " + diff + " > /dev/null 2>&1").c_str()),
        0);
    int changed = 0;
    for (const auto& [path, bytes] : Snapshot(dry.File("site"))) {
        EXPECT_EQ(bytes, ReadFile(many.Path() + path.substr(dry.Path().size()))) << path;
        changed += bytes != before.at(path);
    }
    EXPECT_EQ(changed, 4);
}

TEST(SiteCli, OptionsOfManyPagesAreCheckedLikeTheOthers) {
    TempDir dir;
    WriteSite(dir);
    for (const auto& [flag, value] :
         std::vector<std::pair<std::string, std::string>>{{"-j", "0"}, {"--site-common", "101"}}) {
        EXPECT_EQ(RunTool({"generate", flag, value, dir.File("site")}).status, 2) << flag << value;
    }
    EXPECT_EQ(RunTool({"show", "--dry-run", dir.File("site")}).status, 2);
    // --include and --exclude take one pattern each and may be repeated; a page after them
    // stays a page.
    const RunResult run =
        RunTool({"show", "--json", "-r", "--include", "*.htm", "--exclude", "stuck*", "--exclude",
                 "*/blog/*", dir.File("site"), dir.File("site/index.html")});
    std::vector<std::string> paths;
    for (const auto& j : JsonLines(run.out)) paths.push_back(j["path"]);
    EXPECT_EQ(paths, (std::vector<std::string>{
                         dir.File("site/about.htm"), dir.File("site/index.html"),
                         dir.File("site/shop/nohead.htm"), dir.File("site/shop/tiny.htm")}));
    EXPECT_EQ(run.status, 0);
}

// The JSON says what the text says, page by page.
TEST(SiteCli, JsonLinesMatchTheTextOutput) {
    TempDir dir;
    WriteSite(dir);
    const RunResult json = RunTool({"list", "-r", "--json", "-q", dir.File("site")});
    EXPECT_EQ(json.err, "");
    const std::vector<nlohmann::json> lines = JsonLines(json.out);
    ASSERT_EQ(lines.size(), 7u);
    for (const nlohmann::json& j : lines) {
        const std::string page = j["path"];
        SCOPED_TRACE(page);
        const RunResult list = RunTool({"list", page});
        if (list.status != 0) {
            EXPECT_EQ(j["status"], "failed");
            EXPECT_EQ(j["error"].get<std::string>() + "\n", list.err);
            continue;
        }
        EXPECT_EQ(j["status"], "ok");
        // The tag is the first line of generate's output, or there is none.
        const RunResult generate = RunTool({"generate", "--verbose", page});
        const std::string first = generate.out.substr(0, generate.out.find('\n'));
        EXPECT_EQ(j["tag"].get<std::string>(), first.rfind("<META", 0) == 0 ? JsonText(first) : "");
        EXPECT_NE(generate.err.find("Encoding: " + j["encoding"].get<std::string>()),
                  std::string::npos);
        // Each row of the list, under its heading: rank, value, frequency, word.
        std::istringstream rows(list.out);
        std::string fromText, fromJson, row, rank, value, frequency, word;
        const bool ranked = std::getline(rows, row) && row.rfind("Rank", 0) == 0;
        while (ranked && std::getline(rows, row) && !row.empty()) {
            std::istringstream(row) >> rank >> value >> frequency >> word;
            fromText += JsonText(word) + "/" + frequency + " ";
        }
        for (const auto& w : j["words"])
            fromJson += w["word"].get<std::string>() + "/" +
                        std::to_string(w["frequency"].get<int>()) + " ";
        EXPECT_EQ(fromJson, fromText);
    }
}

TEST(SiteCli, DryRunOfOnePagePrintsItsDiffOnly) {
    TempDir dir;
    const std::string original = "<head><title>Plum jam</title>\r\n</head>\r\nPlum jam\r\n";
    const std::string page = dir.Write("jam.htm", original);
    RunResult run = RunTool({"insert", "--dry-run", page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.rfind("--- " + page + "\n+++ " + page + "\n@@ -1,3 +1,4 @@\n", 0), 0u);
    EXPECT_EQ(ReadFile(page), original);
    // Nothing to change: nothing printed.
    ASSERT_EQ(RunTool({"insert", "--no-backup", page}).status, 0);
    EXPECT_EQ(RunTool({"insert", "--dry-run", page}).out, "");
    // A read-only page is refused as insert refuses it.
    ::chmod(page.c_str(), 0444);
    run = RunTool({"insert", "--dry-run", page});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, page + " is read-only\n");
}

// Every page carries the same navigation bar; one page is about the gallery.
TEST(SiteCli, SiteCommonWordsLeaveOutTheNavigationBarAndNothingElse) {
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> topics = {
        {"Kites", "kites kites strings tails"},
        {"Gliders", "gliders gliders wings"},
        {"Gallery of drones", "drones drones rotors"},
        {"Rockets", "rockets rockets fuel fins"},
    };
    fs::create_directories(dir.File("site"));
    for (std::size_t i = 0; i < topics.size(); ++i) {
        dir.Write("site/p" + std::to_string(i) + ".htm",
                  "<html><head><title>" + topics[i].first +
                      "</title></head><body>\n<div class=nav>Portfolio Gallery Pricing "
                      "Newsletter</div>\n<p>" +
                      topics[i].second + "</p></body></html>\n");
    }
    const auto without = JsonLines(RunTool({"list", "--json", dir.File("site")}).out);
    const RunResult run = RunTool({"list", "--json", "--site-common", "50", dir.File("site")});
    EXPECT_EQ(run.status, 0);
    const auto with = JsonLines(run.out);
    ASSERT_EQ(with.size(), topics.size());
    for (std::size_t i = 0; i < topics.size(); ++i) {
        SCOPED_TRACE(i);
        std::set<std::string> leftOut = {"portfolio", "gallery", "pricing", "newsletter"};
        if (topics[i].first.find("Gallery") != std::string::npos)
            leftOut.erase("gallery");  // a word of the page's own title stays
        EXPECT_EQ(with[i]["site_common"].get<std::set<std::string>>(), leftOut);
        std::set<std::string> expected, got;
        for (const auto& w : without[i]["words"]) {
            std::string lower = w["word"];
            for (char& c : lower) c = static_cast<char>(std::tolower(c));
            if (!leftOut.count(lower))
                expected.insert(w["word"].get<std::string>());
        }
        for (const auto& w : with[i]["words"]) got.insert(w["word"].get<std::string>());
        EXPECT_EQ(got, expected);
        EXPECT_EQ(with[i]["tag"].get<std::string>().find("Portfolio"), std::string::npos);
    }
    // A share no word reaches leaves every page as it was.
    const auto all =
        JsonLines(RunTool({"list", "--json", "--site-common", "100", dir.File("site")}).out);
    for (std::size_t i = 0; i < topics.size(); ++i) EXPECT_EQ(all[i]["words"], without[i]["words"]);
}

TEST(SiteCli, CtrlCBeforeTheRunStartsNoPageAndSaysSo) {
    TempDir dir;
    WriteSite(dir);
    const auto before = Snapshot(dir.File("site"));
    const std::atomic<bool> interrupted{true};
    const RunResult run = RunTool({"insert", "-r", dir.File("site")}, &interrupted);
    EXPECT_EQ(run.status, 130);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("0 done, 0 failed, 7 skipped"), std::string::npos) << run.err;
    EXPECT_EQ(Snapshot(dir.File("site")), before);
}

// Ctrl-C in the middle: no new page starts, the pages begun are finished and reported, and
// the summary counts exactly the pages that changed, which are the first ones in order.
TEST(SiteCli, CtrlCDuringARunFinishesThePagesBegunAndCountsThem) {
    TempDir dir;
    fs::create_directories(dir.File("site"));
    const int pages = 400;
    std::vector<std::string> paths, olds;
    for (int i = 0; i < pages; ++i) {
        std::string page = "<head><title>Plum jam " + std::to_string(i) + "</title></head>\n";
        for (int line = 0; line < 100; ++line) page += "Plum jam, plum cake and plum tart.\n";
        olds.push_back(page);
        paths.push_back(dir.Write("site/p" + std::to_string(1000 + i) + ".htm", page));
    }
    std::atomic<bool> interrupted{false};
    std::thread presser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        interrupted = true;
    });
    const RunResult run =
        RunTool({"insert", "--no-backup", "-j", "2", dir.File("site")}, &interrupted);
    presser.join();
    EXPECT_EQ(run.status, 130);
    EXPECT_NE(run.err.find("(stopped by Ctrl-C)"), std::string::npos) << run.err;
    int changed = 0;
    for (int i = 0; i < pages; ++i) {
        if (ReadFile(paths[i]) != olds[i]) {
            EXPECT_EQ(changed, i) << "pages change in order, without gaps";
            ++changed;
        }
    }
    EXPECT_LT(changed, pages) << "the run ended before Ctrl-C; make the site larger";
    // Each page written says so under its header; a page whose pass Ctrl-C cut short says
    // that instead, and counts as skipped.
    const std::size_t inserted = Count(run.out, "inserted successfully");
    EXPECT_EQ(inserted, static_cast<std::size_t>(changed));
    EXPECT_EQ(Count(run.out, "==> "), inserted + Count(run.out, "Stopped by Ctrl-C"));
    EXPECT_NE(run.err.find(std::to_string(pages) + " pages: " + std::to_string(changed) +
                           " done, 0 failed, " + std::to_string(pages - changed) + " skipped"),
              std::string::npos)
        << run.err;
}

// On a terminal the progress line is drawn over itself and wiped before the summary;
// --quiet and a standard error that is no terminal show neither it nor (quiet) the summary.
TEST(SiteCli, ProgressLineOnATerminalOnly) {
    TempDir dir;
    WriteSite(dir);
    const std::string site = dir.File("site");
    const RunResult shown = RunTool({"generate", "-r", site}, nullptr, true);
    EXPECT_EQ(shown.err.rfind("\r0/7 pages, now ", 0), 0u) << shown.err;
    EXPECT_NE(shown.err.find("\r\x1b[K7 pages: 6 done, 1 failed"), std::string::npos) << shown.err;
    const RunResult plain = RunTool({"generate", "-r", site});
    EXPECT_EQ(shown.out, plain.out);  // standard output holds the results only
    EXPECT_EQ(plain.err.rfind("7 pages: 6 done, 1 failed, 0 skipped, ", 0), 0u) << plain.err;
    EXPECT_EQ(RunTool({"generate", "-r", "--quiet", site}, nullptr, true).err, "");
}

// Pages replaced on several threads at once leave the program's own Ctrl-C handler in place.
TEST(SiteCli, ParallelInsertsLeaveTheSignalHandlerAsTheyFoundIt) {
    TempDir dir;
    fs::create_directories(dir.File("site"));
    for (int i = 0; i < 60; ++i) {
        dir.Write("site/p" + std::to_string(i) + ".htm",
                  "<head><title>Plum jam " + std::to_string(i) + "</title></head>Plum jam\n");
    }
    struct sigaction mine {
    }, previous{}, now{};
    mine.sa_handler = [](int) {};
    ASSERT_EQ(::sigaction(SIGINT, &mine, &previous), 0);
    for (const char* option : {"--lower-case", "--no-space-after-comma"}) {
        EXPECT_EQ(
            RunTool({"insert", "--no-backup", "-q", "-j", "4", option, dir.File("site")}).status,
            0);
        ::sigaction(SIGINT, nullptr, &now);
        EXPECT_EQ(now.sa_handler, mine.sa_handler) << option;
    }
    ::sigaction(SIGINT, &previous, nullptr);
}

// A parallel insert killed at random moments leaves every page old or new, never half.
TEST(SiteCli, KillingAParallelInsertLeavesEveryPageOldOrNew) {
    TempDir dir;
    fs::create_directories(dir.File("site"));
    const int pages = 150;
    auto pathOf = [&](int i) { return dir.File("site/p" + std::to_string(1000 + i) + ".htm"); };
    auto backupOf = [&](int i) {
        return dir.File("site/p" + std::to_string(1000 + i) + ".bak.htm");
    };
    std::vector<std::string> olds, news;
    for (int i = 0; i < pages; ++i) {
        std::string page =
            "<html><head><title>Orchard " + std::to_string(i) + "</title></head>\r\n<body>\r\n";
        for (int line = 0; line < 200; ++line)
            page += "Apples pears plums cherries orchard ladders baskets " + std::to_string(line) +
                    "\r\n";
        olds.push_back(page + "</body></html>\r\n");
        dir.Write("site/p" + std::to_string(1000 + i) + ".htm", olds[i]);
    }
    // What insert makes of each page, from a run that is not killed.
    ASSERT_EQ(RunTool({"insert", "--no-backup", "-q", dir.File("site")}).status, 0);
    for (int i = 0; i < pages; ++i) news.push_back(ReadFile(pathOf(i)));
    ASSERT_NE(news[0], olds[0]);

    std::mt19937 random(12345);
    int sawBoth = 0;
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < pages; ++i) {
            dir.Write("site/p" + std::to_string(1000 + i) + ".htm", olds[i]);
            fs::remove(backupOf(i));
        }
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(RunTool({"insert", "--backup", "-q", "-j", "2", dir.File("site")}).status);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 150000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        int oldsLeft = 0;
        for (int i = 0; i < pages; ++i) {
            const std::string now = ReadFile(pathOf(i));
            oldsLeft += now == olds[i];
            if (now != olds[i]) {
                EXPECT_EQ(now, news[i]) << pathOf(i) << " round " << round;
            }
            // A backup, where there is one, is the old page whole.
            if (fs::exists(backupOf(i))) {
                EXPECT_EQ(ReadFile(backupOf(i)), olds[i]);
            }
        }
        sawBoth += oldsLeft > 0 && oldsLeft < pages;
    }
    // Some kill fell in the middle of the run (the moments are spread over its length).
    EXPECT_GT(sawBoth, 0);
}

}  // namespace
}  // namespace lumora::cli
