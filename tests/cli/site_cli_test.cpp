// The command-line tool on many pages at once, run in-process: the same per-page results
// as one call per page, JSON that says what the text says, a dry run that writes nothing,
// the site's common words, and pages that stay whole when the run is killed.
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
using lumora::testing::TempDir;
namespace fs = std::filesystem;

using lumora::testing::RunResult;
using lumora::testing::RunTool;

std::vector<nlohmann::json> JsonLines(const std::string& out) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
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
    const std::vector<std::string> pages = {
        dir.File("site/about.htm"),       dir.File("site/blog/2023/caf\xC3\xA9.html"),
        dir.File("site/blog/latin.htm"),  dir.File("site/index.html"),
        dir.File("site/shop/nohead.htm"), dir.File("site/shop/stuck.htm"),
        dir.File("site/shop/tiny.htm"),
    };
    const std::vector<std::vector<std::string>> commands = {
        {"generate"},
        {"list"},
        {"show"},
        {"generate", "--lower-case", "--min-frequency", "1"},
        {"insert", "--dry-run"}};
    for (const auto& command : commands) {
        SCOPED_TRACE(command.front() + " " + std::to_string(command.size()));
        int expectedStatus = 0;
        std::string expected;
        for (const std::string& page : pages) {
            if (!expected.empty())
                expected += "\n";
            expected += "==> " + page + " <==\n" + OnePage(command, page, expectedStatus);
        }
        EXPECT_EQ(expectedStatus, 1);  // the FIFO at least
        for (const char* jobs : {"1", "2", "5"}) {
            std::vector<std::string> args = command;
            for (const std::string& a :
                 {std::string("-r"), std::string("-j"), std::string(jobs), dir.File("site")}) {
                args.push_back(a);
            }
            const RunResult run = RunTool(args);
            EXPECT_EQ(run.status, expectedStatus);
            EXPECT_EQ(run.out, expected);
            EXPECT_EQ(run.err.rfind("7 pages: ", 0), 0u) << run.err;
        }
    }
    // Without -r only the top folder's pages; named pages and folders mix, each page once.
    RunResult run = RunTool({"generate", "-q", dir.File("site"), dir.File("site/index.html")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.find("==> " + dir.File("site/about.htm") + " <==\n"), 0u);
    EXPECT_EQ(run.out.find("==> " + dir.File("site/index.html")),
              run.out.rfind("==> " + dir.File("site/index.html")));
    // Following links, the loop is walked once.
    run = RunTool({"show", "-r", "--follow-symlinks", "--json", dir.File("site")});
    EXPECT_EQ(JsonLines(run.out).size(), pages.size());
}

// Insert over a folder writes each page and its backup as one call per page does.
TEST(SiteCli, InsertOfAFolderWritesWhatOneCallPerPageWrites) {
    TempDir many, one;
    WriteSite(many);
    WriteSite(one);
    const auto before = Snapshot(one.File("site"));
    const RunResult run = RunTool({"insert", "--backup", "-r", "-q", many.File("site")});
    EXPECT_EQ(run.status, 1);
    std::string expected;
    std::vector<std::string> pages;
    for (const auto& [path, bytes] : before) {
        if (path.ends_with(".htm") || path.ends_with(".html"))
            pages.push_back(path);
    }
    pages.push_back(one.File("site/shop/stuck.htm"));
    std::sort(pages.begin(), pages.end());
    int status = 0;
    for (const std::string& page : pages) {
        if (!expected.empty())
            expected += "\n";
        const std::string shown = many.Path() + page.substr(one.Path().size());
        expected += "==> " + shown + " <==\n";
        std::string result = OnePage({"insert", "--backup"}, page, status);
        for (std::size_t at; (at = result.find(one.Path())) != std::string::npos;)
            result.replace(at, one.Path().size(), many.Path());
        expected += result;
    }
    EXPECT_EQ(status, 1);
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
}

TEST(SiteCli, OptionsOfManyPagesAreCheckedLikeTheOthers) {
    TempDir dir;
    WriteSite(dir);
    for (const auto& [flag, value] : std::vector<std::pair<std::string, std::string>>{
             {"-j", "0"}, {"-j", "x"}, {"--site-common", "0"}, {"--site-common", "101"}}) {
        const RunResult run = RunTool({"generate", flag, value, dir.File("site")});
        EXPECT_EQ(run.status, 2) << flag << " " << value;
        EXPECT_EQ(run.out, "");
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
        const RunResult generate = RunTool({"generate", "--verbose", page});
        if (list.status != 0) {
            EXPECT_EQ(j["status"], "failed");
            EXPECT_EQ(j["error"].get<std::string>() + "\n", list.err);
            continue;
        }
        EXPECT_EQ(j["status"], "ok");
        // The tag is the first line of generate's output, or there is none.
        const std::string first = generate.out.substr(0, generate.out.find('\n'));
        EXPECT_EQ(j["tag"].get<std::string>(), first.rfind("<META", 0) == 0 ? JsonText(first) : "");
        EXPECT_NE(generate.err.find("Encoding: " + j["encoding"].get<std::string>()),
                  std::string::npos);
        // Each row of the list: rank, value, frequency, word.
        std::istringstream rows(list.out);
        std::string header;
        std::getline(rows, header);
        std::size_t n = 0;
        for (std::string row; std::getline(rows, row) && !row.empty(); ++n) {
            if (header.rfind("Rank", 0) != 0)
                break;  // the no-words sentence
            std::istringstream fields(row);
            int rank = 0, value = 0, frequency = 0;
            std::string word;
            fields >> rank >> value >> frequency >> word;
            ASSERT_LT(n, j["words"].size());
            EXPECT_EQ(j["words"][n]["word"], JsonText(word));
            EXPECT_EQ(j["words"][n]["frequency"], frequency);
            EXPECT_NEAR(j["words"][n]["value"].get<double>(), value, 0.5);
        }
        EXPECT_EQ(n, j["words"].size());
        const RunResult show = RunTool({"show", page});
        if (j["title"].is_string()) {
            EXPECT_NE(JsonText(show.out).find("TITLE: " + j["title"].get<std::string>()),
                      std::string::npos);
        }
    }
}

TEST(SiteCli, DryRunChangesNoByteAndItsDiffGivesWhatInsertGives) {
    if (std::system("patch --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "patch is not installed";
    TempDir dry, real, scratch;
    WriteSite(dry);
    WriteSite(real);
    const auto before = Snapshot(dry.File("site"));
    const RunResult run =
        RunTool({"insert", "--dry-run", "--backup", "-r", "--json", dry.File("site")});
    EXPECT_EQ(run.status, 1);  // the FIFO, the page with no keyword, the page with no place
    EXPECT_EQ(Snapshot(dry.File("site")), before);  // no page changed, no backup written
    const RunResult inserted = RunTool({"insert", "--no-backup", "-r", "-q", real.File("site")});
    EXPECT_EQ(inserted.status, 1);
    int withDiff = 0;
    for (const nlohmann::json& j : JsonLines(run.out)) {
        if (j["status"] != "ok")
            continue;
        SCOPED_TRACE(j["path"].get<std::string>());
        EXPECT_FALSE(j.contains("inserted"));
        ASSERT_TRUE(j.contains("diff"));
        EXPECT_NE(j["diff"].get<std::string>().find("\n@@ -"), std::string::npos);
        ++withDiff;
    }
    EXPECT_EQ(withDiff, 4);

    // The text output as a whole, headers and refusals included, is a patch that turns
    // every page into what insert makes of it.
    const RunResult text = RunTool({"insert", "--dry-run", "-r", "-j", "3", dry.File("site")});
    EXPECT_EQ(text.status, 1);
    EXPECT_EQ(Snapshot(dry.File("site")), before);
    EXPECT_NE(text.out.find("==> " + dry.File("site/index.html") + " <==\n--- " +
                            dry.File("site/index.html") + "\n+++ "),
              std::string::npos);
    EXPECT_NE(text.out.find("Meta tag not inserted because " + dry.File("site/shop/nohead.htm")),
              std::string::npos);
    const std::string diff = scratch.Write("site.diff", text.out);
    // Absolute names: one leading slash stripped, applied from the root.
    ASSERT_EQ(
        std::system(("patch --quiet --binary -p1 -d / < " + diff + " > /dev/null 2>&1").c_str()),
        0);
    const auto patched = Snapshot(dry.File("site"));
    const auto wanted = Snapshot(real.File("site"));
    ASSERT_EQ(patched.size(), wanted.size());
    int changed = 0;
    for (const auto& [path, bytes] : patched) {
        const std::string twin = real.Path() + path.substr(dry.Path().size());
        EXPECT_EQ(bytes, wanted.at(twin)) << path;
        changed += bytes != before.at(path);
    }
    EXPECT_EQ(changed, 4);
}

TEST(SiteCli, DryRunOfOnePagePrintsItsDiffOnly) {
    TempDir dir;
    const std::string original = "<head><title>Plum jam</title>\r\n</head>\r\nPlum jam\r\n";
    const std::string page = dir.Write("jam.htm", original);
    RunResult run = RunTool({"insert", "--dry-run", page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "--- " + page + "\n+++ " + page +
                           "\n@@ -1,3 +1,4 @@\n <head><title>Plum jam</title>\r\n"
                           "+<META NAME=\"keywords\" CONTENT=\"Plum, jam\">\r\n </head>\r\n"
                           " Plum jam\r\n");
    EXPECT_EQ(ReadFile(page), original);
    // Nothing to change: nothing printed.
    ASSERT_EQ(RunTool({"insert", "--no-backup", page}).status, 0);
    run = RunTool({"insert", "--dry-run", page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
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
        {"Kites", "kites kites strings tails"},   {"Gliders", "gliders gliders wings"},
        {"Balloons", "balloons balloons helium"}, {"Gallery of drones", "drones drones rotors"},
        {"Rockets", "rockets rockets fuel fins"},
    };
    const std::set<std::string> nav = {"portfolio", "gallery", "pricing", "newsletter",
                                       "acmeworks"};
    fs::create_directories(dir.File("site"));
    for (std::size_t i = 0; i < topics.size(); ++i) {
        dir.Write("site/p" + std::to_string(i) + ".htm",
                  "<html><head><title>" + topics[i].first +
                      "</title></head><body>\n<div class=nav>Portfolio Gallery Pricing "
                      "Newsletter Acmeworks</div>\n<p>" +
                      topics[i].second + "</p></body></html>\n");
    }
    const auto without = JsonLines(RunTool({"list", "--json", dir.File("site")}).out);
    const RunResult run = RunTool({"list", "--json", "--site-common", "50", dir.File("site")});
    EXPECT_EQ(run.status, 0);
    const auto with = JsonLines(run.out);
    ASSERT_EQ(with.size(), topics.size());
    for (std::size_t i = 0; i < topics.size(); ++i) {
        SCOPED_TRACE(i);
        const bool galleryInTitle = topics[i].first.find("Gallery") != std::string::npos;
        std::set<std::string> expected, got, leftOut;
        for (const auto& w : without[i]["words"]) {
            const std::string word = w["word"];
            std::string lower = word;
            for (char& c : lower) c = static_cast<char>(std::tolower(c));
            if (!nav.count(lower) || (galleryInTitle && lower == "gallery"))
                expected.insert(word);
        }
        for (const auto& w : with[i]["words"]) got.insert(w["word"]);
        for (const auto& w : with[i]["site_common"]) leftOut.insert(w);
        EXPECT_EQ(got, expected);
        std::set<std::string> navLeftOut = nav;
        if (galleryInTitle)
            navLeftOut.erase("gallery");
        EXPECT_EQ(leftOut, navLeftOut);
        EXPECT_EQ(with[i]["tag"].get<std::string>().find("Portfolio"), std::string::npos);
    }
    // Off by default, and a share no word reaches leaves every page as it was.
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
    EXPECT_NE(run.err.find("0 done"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("7 skipped"), std::string::npos) << run.err;
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
    std::size_t inserted = 0, blocks = 0, cut = 0;
    for (std::size_t at = run.out.find("==> "); at != std::string::npos;
         at = run.out.find("==> ", at + 1)) {
        ++blocks;
    }
    for (std::size_t at = run.out.find("inserted successfully"); at != std::string::npos;
         at = run.out.find("inserted successfully", at + 1)) {
        ++inserted;
    }
    for (std::size_t at = run.out.find("Stopped by Ctrl-C"); at != std::string::npos;
         at = run.out.find("Stopped by Ctrl-C", at + 1)) {
        ++cut;
    }
    EXPECT_EQ(inserted, static_cast<std::size_t>(changed));
    EXPECT_EQ(blocks, inserted + cut);
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
    EXPECT_NE(shown.err.find("site/about.htm, 0:00 elapsed"), std::string::npos) << shown.err;
    EXPECT_NE(shown.err.find("\r\x1b[K7 pages: 6 done, 1 failed"), std::string::npos) << shown.err;
    // Standard output holds the results only.
    EXPECT_EQ(shown.out, RunTool({"generate", "-r", site}).out);
    EXPECT_EQ(shown.out.find('\r'), std::string::npos);
    const RunResult plain = RunTool({"generate", "-r", site});
    EXPECT_EQ(plain.err.find('\r'), std::string::npos);
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
    }, previous{};
    mine.sa_handler = [](int) {};
    ASSERT_EQ(::sigaction(SIGINT, &mine, &previous), 0);
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(RunTool({"insert", "--no-backup", "-q", "-j", "4", "--lower-case",
                           round % 2 ? "--lower-case" : "--no-space-after-comma", dir.File("site")})
                      .status,
                  0);
        struct sigaction now {};
        ::sigaction(SIGINT, nullptr, &now);
        EXPECT_EQ(now.sa_handler, mine.sa_handler) << "round " << round;
    }
    ::sigaction(SIGINT, &previous, nullptr);
}

// A parallel insert killed at random moments leaves every page old or new, never half.
TEST(SiteCli, KillingAParallelInsertLeavesEveryPageOldOrNew) {
    TempDir dir;
    std::vector<std::string> olds;
    const int pages = 150;
    for (int i = 0; i < pages; ++i) {
        std::string page =
            "<html><head><title>Orchard " + std::to_string(i) + "</title></head>\r\n<body>\r\n";
        for (int line = 0; line < 200; ++line)
            page += "Apples pears plums cherries orchard ladders baskets " + std::to_string(line) +
                    "\r\n";
        olds.push_back(page + "</body></html>\r\n");
    }
    auto pathOf = [&](int i) { return dir.File("site/p" + std::to_string(1000 + i) + ".htm"); };
    // What insert makes of each page, from a run that is not killed.
    std::vector<std::string> news;
    fs::create_directories(dir.File("site"));
    for (int i = 0; i < pages; ++i)
        dir.Write("site/p" + std::to_string(1000 + i) + ".htm", olds[i]);
    ASSERT_EQ(RunTool({"insert", "--no-backup", "-q", dir.File("site")}).status, 0);
    for (int i = 0; i < pages; ++i) news.push_back(ReadFile(pathOf(i)));
    ASSERT_NE(news[0], olds[0]);

    std::mt19937 random(12345);
    int sawBoth = 0;
    for (int round = 0; round < 6; ++round) {
        for (int i = 0; i < pages; ++i)
            dir.Write("site/p" + std::to_string(1000 + i) + ".htm", olds[i]);
        const pid_t child = ::fork();
        if (child == 0) {
            const RunResult run =
                RunTool({"insert", "--backup", "-q", "-j", "2", dir.File("site")});
            ::_exit(run.status);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 150000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        int olds_left = 0, news_made = 0;
        for (int i = 0; i < pages; ++i) {
            const std::string now = ReadFile(pathOf(i));
            if (now == olds[i]) {
                ++olds_left;
            } else {
                EXPECT_EQ(now, news[i]) << pathOf(i) << " round " << round;
                ++news_made;
            }
            // A backup, where there is one, is the old page whole.
            const std::string backup = dir.File("site/p" + std::to_string(1000 + i) + ".bak.htm");
            if (fs::exists(backup)) {
                EXPECT_EQ(ReadFile(backup), olds[i]);
            }
        }
        if (olds_left > 0 && news_made > 0)
            ++sawBoth;
        for (const auto& e : fs::directory_iterator(dir.File("site"))) {
            if (e.path().string().find(".bak.") != std::string::npos)
                fs::remove(e.path());
        }
    }
    // Some kill fell in the middle of the run (the moments are spread over its length).
    EXPECT_GT(sawBoth, 0);
}

}  // namespace
}  // namespace lumora::cli
