// The command-line tool on many pages at once, run in-process: what it adds to the site run
// of the core. The same per-page results as one call per page, JSON that says what the text
// says, the progress line and summary, a dry run that is a patch, and Ctrl-C.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>
#include <vector>

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

// What `list`, `show` and `generate --verbose` print for each page alone: the site run must
// print the same under each page's header, and its JSON must say the same.
TEST(SiteCli, ManyPagesGiveWhatOneCallPerPageGivesAndJsonSaysTheSame) {
    TempDir dir;
    const std::vector<std::string> pages = WriteSite(dir);
    const std::vector<std::vector<std::string>> commands = {
        {"list", "--lower-case", "--min-frequency", "1"},
        {"show"},
        {"generate", "--verbose", "--lower-case", "--min-frequency", "1"}};
    std::vector<std::map<std::string, RunResult>> alone(commands.size());
    for (std::size_t c = 0; c < commands.size(); ++c) {
        SCOPED_TRACE(commands[c].front());
        std::string expected;
        for (const std::string& page : pages) {
            std::vector<std::string> args = commands[c];
            args.push_back(page);
            const RunResult& run = alone[c][page] = RunTool(args);
            // Verbose lines come before the page's results, as a page's block shows them.
            expected +=
                (expected.empty() ? "==> " : "\n==> ") + page + " <==\n" + run.err + run.out;
        }
        std::vector<std::string> args = commands[c];
        args.insert(args.end(), {"-r", "-j", "3", dir.File("site")});
        // On a terminal the progress line is drawn over itself and wiped before the summary;
        // standard output holds the results only.
        const bool terminal = c == 2;
        const RunResult run = RunTool(args, nullptr, terminal);
        EXPECT_EQ(run.status, 1);  // the FIFO
        EXPECT_EQ(run.out, expected);
        if (terminal) {
            EXPECT_EQ(run.err.rfind("\r0/7 pages, now ", 0), 0u) << run.err;
            EXPECT_NE(run.err.find("\r\x1b[K7 pages: 6 done, 1 failed"), std::string::npos)
                << run.err;
        } else {
            EXPECT_EQ(run.err.rfind("7 pages: 6 done, 1 failed, 0 skipped, ", 0), 0u) << run.err;
        }
    }
    EXPECT_EQ(RunTool({"generate", "-r", "--quiet", dir.File("site")}, nullptr, true).err, "");

    const RunResult json = RunTool(
        {"list", "-r", "--json", "-q", "--lower-case", "--min-frequency", "1", dir.File("site")});
    EXPECT_EQ(json.err, "");
    const std::vector<nlohmann::json> lines = JsonLines(json.out);
    ASSERT_EQ(lines.size(), pages.size());
    for (const nlohmann::json& j : lines) {
        const std::string page = j["path"];
        SCOPED_TRACE(page);
        const RunResult &list = alone[0][page], &show = alone[1][page], &generate = alone[2][page];
        if (list.status != 0) {
            EXPECT_EQ(j["status"], "failed");
            EXPECT_EQ(j["error"].get<std::string>() + "\n", list.err);
            EXPECT_FALSE(j.contains("tag"));
            continue;
        }
        EXPECT_EQ(j["status"], "ok");
        const bool titled = show.out.rfind("TITLE: ", 0) == 0;
        EXPECT_EQ(j["title"].is_null() ? "" : j["title"].get<std::string>(),
                  titled ? show.out.substr(7, show.out.find('\n') - 7) : "");
        for (const auto& [kind, shown] :
             {std::pair{"description", "DESCRIPTION"}, {"keywords", "KEYWORDS"}}) {
            for (const auto& tag : j[kind]) {
                EXPECT_NE(show.out.find(std::string(shown) +
                                        " meta tag: " + tag.get<std::string>() + "\n"),
                          std::string::npos);
            }
        }
        // The tag is the first line of generate's output, or there is none.
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

// Patterns choose the pages; a folder that gives no page fails, once, by name. (Flags of
// many pages are checked in tests/data/cli.txt.)
TEST(SiteCli, PatternsChooseThePages) {
    TempDir dir;
    WriteSite(dir);
    // --include and --exclude take one pattern each and may be repeated; a page after them
    // stays a page.
    RunResult run =
        RunTool({"show", "--json", "-r", "--include", "*.htm", "--exclude", "stuck*", "--exclude",
                 "*/blog/*", dir.File("site"), dir.File("site/index.html")});
    std::vector<std::string> paths;
    for (const auto& j : JsonLines(run.out)) paths.push_back(j["path"]);
    EXPECT_EQ(paths, (std::vector<std::string>{
                         dir.File("site/about.htm"), dir.File("site/index.html"),
                         dir.File("site/shop/nohead.htm"), dir.File("site/shop/tiny.htm")}));
    EXPECT_EQ(run.status, 0);
    const std::string folder = dir.File("site/shop");
    run = RunTool({"list", "-q", "--include", "*.xml", folder, folder + "/"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "==> " + folder + " <==\nError: No page found in " + folder + "\n");
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

// Over a folder, insert counts the pages changed and unchanged in the summary and in JSON;
// a page already up to date is not written again. Its workers leave the program's own
// Ctrl-C handler in place.
TEST(SiteCli, InsertTellsWhatBecameOfEachPage) {
    TempDir dir;
    for (const char* name : {"site/a.htm", "site/sub/b.htm"}) {
        fs::create_directories(fs::path(dir.File(name)).parent_path());
        dir.Write(name,
                  "<html><head><title>Garden tools</title>\n</head><body><p>Spades and "
                  "rakes. Spades and rakes and hoes.</p></body></html>\n");
    }
    const std::string page = dir.File("site/a.htm"), backups = dir.File("site/old");
    const auto stamp = [&] {
        struct stat info {};
        ::stat(page.c_str(), &info);
        return std::tuple(info.st_ino, info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    };
    struct sigaction mine {
    }, previous{}, kept{};
    mine.sa_handler = [](int) {};
    ASSERT_EQ(::sigaction(SIGINT, &mine, &previous), 0);
    // The second run, in JSON, finds both pages up to date and writes neither.
    for (const bool second : {false, true}) {
        const auto before = stamp();
        std::vector<std::string> args = {"insert", "-r", "-j", "2", "--backup-dir", backups};
        if (second)
            args.push_back("--json");
        args.push_back(dir.File("site"));
        const RunResult run = RunTool(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find(second ? "2 pages: 2 done (0 changed, 2 unchanged)"
                                      : "2 pages: 2 done (2 changed, 0 unchanged)"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(stamp() == before, second);
        const std::vector<nlohmann::json> lines = JsonLines(second ? run.out : "");
        EXPECT_EQ(lines.size(), second ? 2u : 0u);
        for (const auto& line : lines) {
            EXPECT_EQ(line["inserted"], false);
            EXPECT_EQ(line["unchanged"], true);
        }
    }
    ::sigaction(SIGINT, nullptr, &kept);
    ::sigaction(SIGINT, &previous, nullptr);
    EXPECT_EQ(kept.sa_handler, mine.sa_handler);
}

}  // namespace
}  // namespace lumora::cli
