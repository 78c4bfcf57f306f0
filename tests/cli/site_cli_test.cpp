// The command-line tool on many pages at once, run in-process: the same per-page results
// as one call per page, JSON that says what the text says, a dry run that writes nothing,
// the site's common words, backups that are kept, and a run stopped with Ctrl-C.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <new>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>
#include <vector>

#include "json_report.h"
#include "support/faulty_file_system.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"

namespace lumora::cli {
namespace {

using lumora::testing::ListedWords;
using lumora::testing::ReadFile;
using lumora::testing::RunResult;
using lumora::testing::RunTool;
using lumora::testing::Snapshot;
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

// A small site with what real sites hold: nested folders, a link looping back to the top,
// a page that cannot be read (a FIFO), a page without a head, LF and CR LF, Latin-1 and
// UTF-8, a file that is no page, a page too short for any keyword. Returns its pages in
// path order.
std::vector<std::string> WriteSite(const TempDir& dir) {
    fs::create_directories(dir.File("site/blog/2023"));
    fs::create_directories(dir.File("site/shop"));
    const std::vector<std::string> pages = {
        dir.Write("site/about.htm",
                  "<html>\r\n<head>\r\n<title>About the kite makers</title>\r\n</head>\r\n"
                  "<body>Workshop workshop tools tools kites</body>\r\n</html>\r\n"),
        dir.Write("site/blog/2023/caf\xC3\xA9.html",
                  "<head><meta charset=\"utf-8\"><title>Caf\xC3\xA9 kites</title></head>"
                  "\n<p>Caf\xC3\xA9 cr\xC3\xA8me kites cr\xC3\xA8me</p>\n"),
        dir.Write("site/blog/latin.htm",
                  "<head><title>Cr\xE8me br\xFBl\xE9\x65</title><meta name=description "
                  "content=\"Desserts\"><meta name=keywords content=\"cr\xE8me\"></head>\n"
                  "<p>Cr\xE8me cr\xE8me desserts desserts</p>\n"),
        dir.Write("site/index.html",
                  "<html><head><title>Kite makers</title></head>\n<body>Kites and kite strings, "
                  "kites for children. <b>Kites</b> fly.</body></html>\n"),
        dir.Write("site/shop/nohead.htm", "Spools of string, spools.\n"),
        dir.File("site/shop/stuck.htm"),
        dir.Write("site/shop/tiny.htm", "<p>a b</p>\n"),
    };
    dir.Write("site/shop/notes.txt", "not a page\n");
    EXPECT_EQ(::mkfifo(dir.File("site/shop/stuck.htm").c_str(), 0644), 0);
    fs::create_directory_symlink("../..", dir.File("site/blog/2023/loop"));
    return pages;
}

// What one call per page prints for each page, under its header, as a run over many
// pages prints it; `status` becomes 1 when any call failed.
std::string OneCallPerPage(const std::vector<std::string>& command,
                           const std::vector<std::string>& pages, int& status) {
    std::string all;
    for (const std::string& page : pages) {
        std::vector<std::string> args = command;
        args.push_back(page);
        const RunResult run = RunTool(args);
        status = run.status != 0 ? 1 : status;
        all += (all.empty() ? "==> " : "\n==> ") + page + " <==\n" + run.out + run.err;
    }
    return all;
}

TEST(SiteCli, ManyPagesGiveWhatOneCallPerPageGivesInPathOrder) {
    TempDir dir;
    const std::vector<std::string> pages = WriteSite(dir);
    for (const std::vector<std::string>& command : std::vector<std::vector<std::string>>{
             {"list"}, {"show"}, {"generate", "--lower-case", "--min-frequency", "1"}}) {
        SCOPED_TRACE(command.front());
        int expectedStatus = 0;
        const std::string expected = OneCallPerPage(command, pages, expectedStatus);
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

// A file system on which one page cannot be read for want of memory.
class OutOfMemoryOn : public lumora::testing::FaultyFileSystem {
  public:
    explicit OutOfMemoryOn(std::string page)
        : FaultyFileSystem(files::RealFileSystem(), Mode::kFailOnce, 0), page_(std::move(page)) {}
    using FaultyFileSystem::ReadAll;
    Text ReadAll(const files::Folder& in, const Text& name, Text& bytes) override {
        if (name == page_)
            throw std::bad_alloc();
        return FaultyFileSystem::ReadAll(in, name, bytes);
    }

  private:
    std::string page_;
};

// A page that does not fit in memory fails alone, says so and is left as it was; the
// other pages of the run are done and told.
TEST(SiteCli, APageThatDoesNotFitInMemoryFailsAlone) {
    TempDir dir;
    const std::string page = "<head><title>Kites</title></head><p>kites kites strings</p>\n";
    for (const char* name : {"a.htm", "big.htm", "c.htm", "d.htm"}) dir.Write(name, page);
    const std::string big = dir.File("big.htm");
    const std::string told = "Error: not enough memory to read " + big;
    OutOfMemoryOn shortOfMemory(big);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"generate", big}, {"show", big}, {"insert", big}, {"list", "--json", big}}) {
        const RunResult run = RunTool(args, nullptr, false, &shortOfMemory);
        EXPECT_EQ(run.status, 1) << args.front();
        EXPECT_NE((run.out + run.err).find(told), std::string::npos) << run.out << run.err;
    }
    const RunResult run =
        RunTool({"insert", "-r", "-j", "2", dir.Path()}, nullptr, false, &shortOfMemory);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Count(run.out, "==> "), 4u);
    EXPECT_NE(run.out.find("==> " + big + " <==\n" + told + "\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.err.rfind("4 pages: 3 done (3 changed, 0 unchanged), 1 failed", 0), 0u)
        << run.err;
    EXPECT_EQ(ReadFile(big), page);
    EXPECT_FALSE(fs::exists(dir.File("big.bak.htm")));
    EXPECT_NE(ReadFile(dir.File("d.htm")), page);
}

// Insert over a folder writes each page and its backup as one call per page does; its dry
// run changes no byte, and its text output as a whole, headers and refusals included, is a
// patch that turns every page into what insert makes of it, whatever the pages' names: the
// headers show them escaped, the JSON keeps them.
TEST(SiteCli, InsertOfAFolderWritesWhatOneCallPerPageWritesAndItsDryRunIsItsPatch) {
    TempDir many, one, dry;
    WriteSite(many);
    WriteSite(dry);
    const std::vector<std::pair<std::string, std::string>> oddNames = {
        {" lead.htm", " lead.htm"},      {"ta\tb.htm", "ta\\tb.htm"},
        {"n\nl.htm", "n\\nl.htm"},       {"e\x1b[2J.htm", "e\\x1b[2J.htm"},
        {"lat\xE9.htm", "lat\\xe9.htm"}, {"-dash.htm", "-dash.htm"},
        {"q\"uote.htm", "q\"uote.htm"},  {"\"b\\s .htm", "\"b\\s .htm"},
    };
    for (const TempDir* site : {&many, &dry}) {
        fs::create_directory(site->File("odd"));
        for (const auto& [name, shown] : oddNames)
            site->Write("odd/" + name, "<title>Plum jam</title>\n</head>\nPlum jam\n");
    }
    const auto before = Snapshot(dry.Path());
    const RunResult run = RunTool({"insert", "--backup", "-r", "-q", many.File("site")});
    EXPECT_EQ(run.status, 1);  // the FIFO, the page with no keyword, the page with no mark-up
    int status = 0;
    std::string expected = OneCallPerPage({"insert", "--backup"}, WriteSite(one), status);
    for (std::size_t at; (at = expected.find(one.Path())) != std::string::npos;)
        expected.replace(at, one.Path().size(), many.Path());
    EXPECT_EQ(run.out, expected);
    const auto written = Snapshot(many.File("site"));
    const auto wanted = Snapshot(one.File("site"));
    ASSERT_EQ(written.size(), wanted.size());
    for (const auto& [path, bytes] : wanted)
        EXPECT_EQ(written.at(many.Path() + path.substr(one.Path().size())), bytes) << path;
    EXPECT_EQ(wanted.size(), before.size() - oddNames.size() + 4);  // the backups
    ASSERT_EQ(RunTool({"insert", "--no-backup", "-q", many.File("odd")}).status, 0);

    if (std::system("patch --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "patch is not installed";
    // Relative names, as the diff is applied with -p0.
    const fs::path started = fs::current_path();
    fs::current_path(dry.Path());
    const RunResult json =
        RunTool({"insert", "--dry-run", "--backup", "-r", "--json", "site", "odd"});
    const RunResult text = RunTool({"insert", "--dry-run", "-r", "-j", "3", "site", "odd"});
    fs::current_path(started);
    EXPECT_EQ(json.status, 1);
    std::size_t withDiff = 0;
    std::set<std::string> paths;  // from their bytes where they are not UTF-8
    for (const nlohmann::json& j : JsonLines(json.out)) {
        withDiff += j.contains("diff");
        const auto bytes = j.value("path_bytes", std::vector<unsigned char>{});
        paths.insert(bytes.empty() ? j["path"].get<std::string>()
                                   : std::string(bytes.begin(), bytes.end()));
    }
    EXPECT_EQ(withDiff, 4 + oddNames.size());
    EXPECT_EQ(text.status, 1);
    for (const auto& [name, shown] : oddNames) {
        EXPECT_EQ(paths.count("odd/" + name), 1u) << shown;
        EXPECT_EQ(Count(text.out, "==> odd/" + shown + " <==\n--- "), 1u) << shown;
    }
    EXPECT_EQ(Snapshot(dry.Path()), before);  // no page changed, no backup written
    dry.Write("site.diff", text.out);
    const std::string patch = "cd " + dry.Path() + " && patch -s --binary -p0 < site.diff";
    ASSERT_EQ(std::system((patch + " > /dev/null 2>&1").c_str()), 0);
    for (const char* folder : {"site", "odd"}) {
        for (const auto& [path, bytes] : Snapshot(dry.File(folder)))
            EXPECT_EQ(bytes, ReadFile(many.Path() + path.substr(dry.Path().size()))) << path;
    }
}

TEST(SiteCli, OptionsOfManyPagesAreCheckedAndPatternsChooseThePages) {
    TempDir dir;
    WriteSite(dir);
    for (std::vector<std::string> bad :
         std::vector<std::vector<std::string>>{{"generate", "-j", "0"},
                                               {"generate", "--site-common", "101"},
                                               {"show", "--dry-run"}}) {
        bad.push_back(dir.File("site"));
        EXPECT_EQ(RunTool(bad).status, 2) << bad[1];
    }
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

// A folder that gives no page is a failure that names it, once, in text and in JSON.
TEST(SiteCli, AFolderWithoutPagesFails) {
    TempDir dir;
    dir.Write("notes.txt", "no page\n");
    const std::string folder = dir.Path();
    RunResult run = RunTool({"list", "-q", folder, folder + "/"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "==> " + folder + " <==\nError: No page found in " + folder + "\n");
    run = RunTool({"list", "--json", "-q", folder});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "{\"error\":\"Error: No page found in " + folder + "\",\"path\":\"" +
                           folder + "\",\"status\":\"failed\"}\n");
}

// The JSON says what the text says, page by page, in UTF-8 whatever the page's encoding.
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
            EXPECT_FALSE(j.contains("tag"));
            continue;
        }
        EXPECT_EQ(j["status"], "ok");
        const RunResult show = RunTool({"show", page});
        const bool titled = show.out.rfind("TITLE: ", 0) == 0;
        EXPECT_EQ(j["title"].is_null() ? "" : j["title"].get<std::string>(),
                  titled ? show.out.substr(7, show.out.find('\n') - 7) : "");
        for (const char* kind : {"description", "keywords"}) {
            const std::string shown = kind[0] == 'd' ? "DESCRIPTION" : "KEYWORDS";
            for (const auto& tag : j[kind]) {
                EXPECT_NE(show.out.find(shown + " meta tag: " + tag.get<std::string>() + "\n"),
                          std::string::npos);
            }
        }
        // The tag is the first line of generate's output, or there is none.
        const RunResult generate = RunTool({"generate", "--verbose", page});
        const std::string first = generate.out.substr(0, generate.out.find('\n'));
        EXPECT_EQ(j["tag"].get<std::string>(), first.rfind("<META", 0) == 0 ? first : "");
        const std::string lineEnds = j["line_ends"] == "CRLF" ? "CR LF" : j["line_ends"];
        EXPECT_EQ(generate.err, "Encoding: " + j["encoding"].get<std::string>() +
                                    "\nLine ends: " + lineEnds + "\n");
        std::string words;
        for (const auto& w : j["words"]) {
            words += (words.empty() ? "" : " ") + w["word"].get<std::string>() + "/" +
                     std::to_string(w["frequency"].get<int>());
        }
        EXPECT_EQ(words, ListedWords(list.out));
    }
}

// The words common to the site, found over all the pages of the run, are left out of each
// page: here the navigation bar every page carries, but not a word of a page's own title.
// How common a word must be is the share given; the engine's tests say what is left out.
TEST(SiteCli, SiteCommonWordsLeaveOutTheNavigationBar) {
    TempDir dir;
    const std::vector<std::string> topics = {"Kites kites strings", "Gliders gliders wings",
                                             "Gallery drones rotors"};
    for (std::size_t i = 0; i < topics.size(); ++i) {
        dir.Write("p" + std::to_string(i) + ".htm",
                  "<title>" + topics[i].substr(0, topics[i].find(' ')) +
                      "</title>\n<div>Portfolio Gallery Pricing</div>\n<p>" + topics[i] + "</p>\n");
    }
    const auto list = [&](const char* share) {
        const RunResult run = RunTool({"list", "--json", "--lower-case", "--min-frequency", "1",
                                       "--site-common", share, dir.Path()});
        EXPECT_EQ(run.status, 0) << run.err;
        return JsonLines(run.out);
    };
    const std::vector<nlohmann::json> pages = list("50");
    ASSERT_EQ(pages.size(), topics.size());
    for (std::size_t i = 0; i < topics.size(); ++i) {
        std::set<std::string> leftOut = {"portfolio", "gallery", "pricing"}, words;
        if (i == 2)
            leftOut.erase("gallery");  // a word of the page's own title stays
        EXPECT_EQ(pages[i]["site_common"].get<std::set<std::string>>(), leftOut) << i;
        for (const auto& w : pages[i]["words"]) words.insert(w["word"].get<std::string>());
        EXPECT_EQ(words.count("portfolio") + words.count("pricing"), 0u) << i;
    }
    // A share no word reaches leaves every page as it was.
    for (const nlohmann::json& page : list("100")) EXPECT_TRUE(page["site_common"].empty());
}

// Ctrl-C before the run starts no page; in the middle, no new page starts, the pages begun
// are finished and reported, and the summary counts exactly the pages that changed, which
// are the first ones in order.
TEST(SiteCli, CtrlCFinishesThePagesBegunAndCountsThem) {
    TempDir dir;
    const int pages = 400;
    std::vector<std::string> paths, olds;
    for (int i = 0; i < pages; ++i) {
        std::string page = "<head><title>Plum jam " + std::to_string(i) + "</title></head>\n";
        for (int line = 0; line < 100; ++line) page += "Plum jam, plum cake and plum tart.\n";
        olds.push_back(page);
        paths.push_back(dir.Write("p" + std::to_string(1000 + i) + ".htm", page));
    }
    const auto before = Snapshot(dir.Path());
    std::atomic<bool> interrupted{true};
    RunResult run = RunTool({"insert", dir.Path()}, &interrupted);
    EXPECT_EQ(run.status, 130);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("0 done (0 changed, 0 unchanged), 0 failed, 400 skipped"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Snapshot(dir.Path()), before);

    interrupted = false;
    // Ctrl-C once the run has changed a page, however fast the machine is.
    std::thread presser([&] {
        while (ReadFile(paths[0]) == olds[0] && ReadFile(paths[1]) == olds[1])
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        interrupted = true;
    });
    run = RunTool({"insert", "--no-backup", "-j", "2", dir.Path()}, &interrupted);
    presser.join();
    EXPECT_EQ(run.status, 130);
    EXPECT_NE(run.err.find("(stopped by Ctrl-C)"), std::string::npos) << run.err;
    // Two workers: a page whose pass Ctrl-C cut short may stand before one the other worker
    // finished, so the pages changed are counted, not expected in a row.
    int changed = 0;
    for (int i = 0; i < pages; ++i) {
        if (ReadFile(paths[i]) != olds[i])
            ++changed;
    }
    EXPECT_LT(changed, pages) << "the run ended before Ctrl-C; make the site larger";
    // Each page written says so under its header; a page whose pass Ctrl-C cut short says
    // that instead, and counts as skipped.
    EXPECT_EQ(Count(run.out, "inserted successfully"), static_cast<std::size_t>(changed));
    EXPECT_EQ(Count(run.out, "==> "), changed + Count(run.out, "Stopped by Ctrl-C"));
    EXPECT_NE(
        run.err.find(std::to_string(pages) + " pages: " + std::to_string(changed) + " done (" +
                     std::to_string(changed) + " changed, 0 unchanged), 0 failed, " +
                     std::to_string(pages - changed) + " skipped"),
        std::string::npos)
        << run.err;
}

// Runs of insert over a page with its author's own keywords: the first backup is kept
// through later runs with other options or none, a page that would not change is not
// written and its dry run shows nothing, and a folder of backups mirrors the site without
// its backups being taken for pages.
TEST(SiteCli, InsertKeepsTheAuthorsPageInItsFirstBackupAndLeavesUnchangedPagesAlone) {
    TempDir dir;
    const std::string author =
        "<html><head><title>Garden tools</title>\n"
        "<meta name=\"keywords\" content=\"hand, written, by, author\">\n"
        "</head><body><p>Spades and rakes. Spades and rakes and hoes.</p></body></html>\n";
    const std::string page = dir.Write("tools.html", author);
    const std::string backup = dir.File("tools.bak.html");
    ASSERT_EQ(RunTool({"insert", page}).status, 0);
    const std::string first = ReadFile(page);
    // Again with other options: the page changes, the backup stays the author's page.
    RunResult run = RunTool({"insert", "--min-frequency", "1", page});
    EXPECT_EQ(run.out, "Meta tag inserted successfully into document.\nThe earlier backup " +
                           backup + " was kept as it was.\n");
    EXPECT_NE(ReadFile(page), first);
    ASSERT_EQ(RunTool({"insert", "--no-backup", "--lower-case", page}).status, 0);
    EXPECT_NE(ReadFile(page).find("CONTENT=\"garden, tools, spades, rakes\""), std::string::npos);
    // Once more with the same options: nothing to change, nothing written.
    const auto stamp = [&] {
        struct stat info {};
        ::stat(page.c_str(), &info);
        return std::tuple(info.st_ino, info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    };
    const auto before = stamp();
    run = RunTool({"insert", "--lower-case", page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Meta tag already up to date in " + page + ".\n");
    EXPECT_EQ(stamp(), before);
    EXPECT_EQ(RunTool({"insert", "--dry-run", "--lower-case", page}).out, "");
    EXPECT_EQ(ReadFile(backup), author);
    // A dry run refuses as insert does.
    ::chmod(page.c_str(), 0444);
    run = RunTool({"insert", "--dry-run", page});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, page + " is read-only\n");

    // A site twice, with its backups in a folder inside it: the second run finds the same
    // pages, changes none of them, and says so in JSON and in the summary.
    fs::create_directories(dir.File("site/sub"));
    dir.Write("site/a.htm", author);
    dir.Write("site/sub/a.htm", author);
    const std::string backups = dir.File("site/old");
    run = RunTool({"insert", "-r", "--backup-dir", backups, dir.File("site")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("2 pages: 2 done (2 changed, 0 unchanged)"), std::string::npos);
    EXPECT_EQ(ReadFile(backups + "/a.htm"), author);
    EXPECT_EQ(ReadFile(backups + "/sub/a.htm"), author);
    run = RunTool({"insert", "-r", "--json", "--backup-dir", backups, dir.File("site")});
    const auto lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    for (const auto& line : lines) {
        EXPECT_EQ(line["inserted"], false);
        EXPECT_EQ(line["unchanged"], true);
    }
    EXPECT_NE(run.err.find("2 pages: 2 done (0 changed, 2 unchanged)"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir.File("site/a.bak.htm")));

    // Two folders whose pages would share one backup name: the second is left alone.
    fs::create_directories(dir.File("other"));
    dir.Write("other/a.htm", author);
    run = RunTool({"insert", "--backup-dir", dir.File("bk"), dir.File("other"), dir.File("site")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("site/a.htm was left alone: its backup " + dir.File("bk") +
                           "/a.htm is the backup of another page of this run."),
              std::string::npos)
        << run.out;
    EXPECT_EQ(ReadFile(dir.File("bk/a.htm")), author);
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

// Every page of a folder gets the tag a page alone gets, even where names begin with the
// same 220 bytes (their temporary files are never taken for each other's); a link in the
// folder never leads a write outside it; and a parallel insert leaves the program's own
// Ctrl-C handler in place.
TEST(SiteCli, InsertWritesEveryPageOfTheFolderAndNothingOutside) {
    TempDir dir;
    fs::create_directories(dir.File("site"));
    fs::create_directories(dir.File("outside"));
    const std::string page =
        "<html><head><title>Kites</title></head><body>Kites kites strings</body></html>\n";
    const std::string alone = dir.Write("alone.htm", page);
    ASSERT_EQ(RunTool({"insert", "--no-backup", alone}).status, 0);
    const std::string shared(220, 'k');
    for (int i = 0; i < 400; ++i) dir.Write("site/" + shared + std::to_string(i) + ".htm", page);
    const std::string victim = dir.Write("outside/victim.htm", page);
    const std::string link = dir.File("site/link.htm");
    fs::create_symlink("../outside/victim.htm", link);
    struct sigaction mine {
    }, previous{}, kept{};
    mine.sa_handler = [](int) {};
    ASSERT_EQ(::sigaction(SIGINT, &mine, &previous), 0);
    RunResult run = RunTool({"insert", "--no-backup", "-q", "-j", "4", dir.File("site")});
    ::sigaction(SIGINT, nullptr, &kept);
    ::sigaction(SIGINT, &previous, nullptr);
    EXPECT_EQ(kept.sa_handler, mine.sa_handler);
    EXPECT_EQ(run.status, 0) << run.out.substr(0, 2000);
    std::size_t names = 0, tagged = 0;
    for (const auto& e : fs::directory_iterator(dir.File("site"))) {
        ++names;
        tagged += !e.is_symlink() && ReadFile(e.path().string()) == ReadFile(alone);
    }
    EXPECT_EQ(names, 401u);
    EXPECT_EQ(tagged, 400u);
    run = RunTool({"insert", "--no-backup", "-q", "--follow-symlinks", dir.File("site")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find(link + " was left out: it is a symbolic link to " +
                           fs::canonical(victim).string() + ", outside the folders given"),
              std::string::npos)
        << run.out.substr(0, 2000);
    EXPECT_EQ(ReadFile(victim), page);
    EXPECT_TRUE(fs::is_symlink(link));
}

}  // namespace
}  // namespace lumora::cli
