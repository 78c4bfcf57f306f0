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
        std::vector<std::string> args = command;
        args.insert(args.end(), {"-r", "-j", "3", dir.File("site")});
        const RunResult run = RunTool(args);
        EXPECT_EQ(run.status, expectedStatus);
        EXPECT_EQ(run.out, expected);
        EXPECT_EQ(run.err.rfind("7 pages: ", 0), 0u) << run.err;
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

// One page alone that does not fit in memory: every command says so and fails.
TEST(SiteCli, APageThatDoesNotFitInMemoryFails) {
    TempDir dir;
    const std::string big = dir.Write("big.htm", "<title>Kites</title><p>kites strings</p>\n");
    OutOfMemoryOn shortOfMemory(big);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"generate", big}, {"show", big}, {"insert", big}, {"list", "--json", big}}) {
        const RunResult run = RunTool(args, nullptr, false, &shortOfMemory);
        EXPECT_EQ(run.status, 1) << args.front();
        EXPECT_NE((run.out + run.err).find("Error: not enough memory to read " + big),
                  std::string::npos)
            << run.out << run.err;
    }
}

// The text output of insert's dry run over folders, headers and refusals included, is a
// patch that turns every page into what insert makes of it, whatever the pages' names: the
// headers show them escaped, the JSON keeps them. The dry run changes no byte.
TEST(SiteCli, TheDryRunOfInsertIsItsPatch) {
    TempDir many, dry;
    const std::vector<std::pair<std::string, std::string>> oddNames = {
        {" lead.htm", " lead.htm"},      {"ta\tb.htm", "ta\\tb.htm"},
        {"n\nl.htm", "n\\nl.htm"},       {"e\x1b[2J.htm", "e\\x1b[2J.htm"},
        {"lat\xE9.htm", "lat\\xe9.htm"}, {"-dash.htm", "-dash.htm"},
        {"q\"uote.htm", "q\"uote.htm"},  {"\"b\\s .htm", "\"b\\s .htm"},
    };
    for (const TempDir* site : {&many, &dry}) {
        WriteSite(*site);
        fs::create_directory(site->File("odd"));
        for (const auto& [name, shown] : oddNames)
            site->Write("odd/" + name, "<title>Plum jam</title>\n</head>\nPlum jam\n");
    }
    const auto before = Snapshot(dry.Path());
    // The FIFO, the page with no keyword, the page with no mark-up fail.
    EXPECT_EQ(
        RunTool({"insert", "--backup", "-r", "-q", many.File("site"), many.File("odd")}).status, 1);
    EXPECT_EQ(Snapshot(many.Path()).size(), before.size() + 4 + oddNames.size());  // backups
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

// --site-common reaches the run, and JSON names the words left out of each page; which
// words those are is the site run's and the engine's to say.
TEST(SiteCli, SiteCommonWordsAreLeftOutAndNamed) {
    TempDir dir;
    for (const char* topic : {"Kites kites strings", "Gliders gliders wings"})
        dir.Write(std::string(topic, 4) + ".htm",
                  std::string("<div>Portfolio Pricing</div><p>") + topic);
    const RunResult run = RunTool({"list", "--json", "--lower-case", "--min-frequency", "1",
                                   "--site-common", "50", dir.Path()});
    EXPECT_EQ(run.status, 0) << run.err;
    for (const nlohmann::json& page : JsonLines(run.out)) {
        EXPECT_EQ(page["site_common"], nlohmann::json({"portfolio", "pricing"}));
        EXPECT_EQ(page["words"].size(), 2u) << page;
    }
}

// Ctrl-C in the middle of a run: no new page starts, the pages begun are finished and
// reported, the summary counts exactly the pages that changed, and the tool exits with 130.
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
    std::atomic<bool> interrupted{false};
    // Ctrl-C once the run has changed a page, however fast the machine is.
    std::thread presser([&] {
        while (ReadFile(paths[0]) == olds[0] && ReadFile(paths[1]) == olds[1])
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        interrupted = true;
    });
    const RunResult run = RunTool({"insert", "--no-backup", "-j", "2", dir.Path()}, &interrupted);
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

// What insert tells of a page: an earlier backup kept, a page already up to date (and then
// not written), a refusal in a dry run; over a folder, the pages changed and unchanged in
// the summary and in JSON, and a page refused for sharing its backup name.
TEST(SiteCli, InsertTellsWhatBecameOfEachPage) {
    TempDir dir;
    const std::string author =
        "<html><head><title>Garden tools</title>\n"
        "<meta name=\"keywords\" content=\"hand, written\">\n"
        "</head><body><p>Spades and rakes. Spades and rakes and hoes.</p></body></html>\n";
    const std::string page = dir.Write("tools.html", author);
    ASSERT_EQ(RunTool({"insert", page}).status, 0);
    RunResult run = RunTool({"insert", "--min-frequency", "1", page});
    EXPECT_EQ(run.out, "Meta tag inserted successfully into document.\nThe earlier backup " +
                           dir.File("tools.bak.html") + " was kept as it was.\n");
    const auto stamp = [&] {
        struct stat info {};
        ::stat(page.c_str(), &info);
        return std::tuple(info.st_ino, info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    };
    const auto before = stamp();
    run = RunTool({"insert", "--min-frequency", "1", page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Meta tag already up to date in " + page + ".\n");
    EXPECT_EQ(stamp(), before);
    ::chmod(page.c_str(), 0444);
    run = RunTool({"insert", "--dry-run", page});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, page + " is read-only\n");

    for (const char* name : {"site/a.htm", "site/sub/b.htm", "other/a.htm"}) {
        fs::create_directories(fs::path(dir.File(name)).parent_path());
        dir.Write(name, author);
    }
    const std::string backups = dir.File("site/old");
    for (const char* changed : {"2 changed, 0 unchanged", "0 changed, 2 unchanged"}) {
        run = RunTool({"insert", "-r", "--backup-dir", backups, dir.File("site")});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find(std::string("2 pages: 2 done (") + changed + ")"), std::string::npos)
            << run.err;
    }
    run = RunTool({"insert", "-r", "--json", "--backup-dir", backups, dir.File("site")});
    for (const auto& line : JsonLines(run.out)) {
        EXPECT_EQ(line["inserted"], false);
        EXPECT_EQ(line["unchanged"], true);
    }
    run = RunTool({"insert", "--backup-dir", dir.File("bk"), dir.File("other"), dir.File("site")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("site/a.htm was left alone: its backup " + dir.File("bk") +
                           "/a.htm is the backup of another page of this run."),
              std::string::npos)
        << run.out;
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

// A parallel insert leaves the program's own Ctrl-C handler in place.
TEST(SiteCli, InsertKeepsTheProgramsCtrlCHandler) {
    TempDir dir;
    for (int i = 0; i < 8; ++i)
        dir.Write("p" + std::to_string(i) + ".htm", "<title>Kites</title>kites kites strings\n");
    struct sigaction mine {
    }, previous{}, kept{};
    mine.sa_handler = [](int) {};
    ASSERT_EQ(::sigaction(SIGINT, &mine, &previous), 0);
    const RunResult run = RunTool({"insert", "--no-backup", "-q", "-j", "4", dir.Path()});
    ::sigaction(SIGINT, nullptr, &kept);
    ::sigaction(SIGINT, &previous, nullptr);
    EXPECT_EQ(kept.sa_handler, mine.sa_handler);
    EXPECT_EQ(run.status, 0) << run.out;
}

}  // namespace
}  // namespace lumora::cli
