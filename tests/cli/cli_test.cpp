// The command-line tool run in-process on one page: exact stdout, stderr and exit status,
// and what it leaves on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <new>
#include <sstream>
#include <vector>

#include "cli_app.h"
#include "support/case_file.h"
#include "support/faulty_file_system.h"
#include "support/run_cli.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace lumora::cli {
namespace {

using lumora::testing::FaultyFileSystem;
using lumora::testing::ListedWords;
using lumora::testing::ReadFile;
using lumora::testing::RunResult;
using lumora::testing::RunTool;
using lumora::testing::Snapshot;
using lumora::testing::TempDir;
namespace fs = std::filesystem;

// Every example page with its expected output for both commands: adding a case is adding
// a page and its expected files.
TEST(CliExamples, OutputMatchesExpectedFiles) {
    const fs::path examples = fs::path(LUMORA_SOURCE_DIR) / "examples";
    const fs::path expected = fs::path(LUMORA_SOURCE_DIR) / "tests" / "data" / "expected";
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(examples)) {
        if (entry.path().extension() != ".htm")
            continue;
        for (const std::string command : {"generate", "list"}) {
            const auto want = expected / (entry.path().stem().string() + "." + command + ".txt");
            SCOPED_TRACE(want.string());
            ASSERT_TRUE(fs::exists(want));
            // Options of a case, one per line, in <page>.args beside the expected files.
            std::vector<std::string> args = {command};
            std::istringstream options(
                ReadFile((expected / (entry.path().stem().string() + ".args")).string()));
            for (std::string line; std::getline(options, line);) {
                if (!line.empty())
                    args.push_back(line);
            }
            args.push_back(entry.path().string());
            const RunResult run = RunTool(args);
            EXPECT_EQ(run.status, 0);
            EXPECT_EQ(run.err, "");
            EXPECT_EQ(run.out, ReadFile(want.string()));
            ++checked;
        }
    }
    EXPECT_GE(checked, 6);
}

// The cases of tests/data/cli.txt and rules.txt, each on a page in a folder of its own.
TEST(CliCases, OutputAndPageAsTheDataFileSays) {
    std::vector<testing::Case> cases = testing::ReadCases("cli.txt");
    for (testing::Case& c : testing::ReadCases("rules.txt")) cases.push_back(std::move(c));
    for (const testing::Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string page = dir.File(c.Get("name", "p.htm"));
        const auto fill = [&](std::string text) {
            for (const auto& [key, value] : {std::pair{"{page}", page}, {"{dir}", dir.Path()}}) {
                for (std::size_t at; (at = text.find(key)) != std::string::npos;)
                    text.replace(at, std::string(key).size(), value);
            }
            return text;
        };
        if (c.Has("page"))
            dir.Write(c.Get("name", "p.htm"), c.Get("page"));
        for (const std::string& line : c.All("run")) {
            SCOPED_TRACE(line);
            // Blanks part the arguments, except within double quotes.
            std::vector<std::string> args(1);
            bool quoted = false;
            for (const char ch : line) {
                if (ch == '"')
                    quoted = !quoted;
                else if (ch == ' ' && !quoted)
                    args.emplace_back();
                else
                    args.back() += ch;
            }
            std::transform(args.begin(), args.end(), args.begin(), fill);
            const std::atomic<bool> interrupted{c.Get("ctrl-c") == "yes"};
            const std::string input = c.Get("stdin");
            const RunResult run =
                RunTool(args, &interrupted, false, nullptr, c.Has("stdin") ? &input : nullptr);
            EXPECT_EQ(run.status, std::stoi(c.Get("status", "0"))) << run.err;
            const auto expectPrinted = [&](const std::string& field, const std::string& printed) {
                const std::string start = fill(c.Get(field + "-starts"));
                if (c.Has(field + "-starts")) {
                    EXPECT_EQ(printed.substr(0, start.size()), start) << field;
                } else {
                    EXPECT_EQ(printed, fill(c.Get(field))) << field;
                }
            };
            expectPrinted("err", run.err);
            if (c.Has("words")) {
                EXPECT_EQ(ListedWords(run.out), c.Get("words")) << run.out;
            } else {
                expectPrinted("out", run.out);
            }
        }
        std::map<std::string, std::string> expected;
        if (c.Has("page"))
            expected[page] = fill(c.Get("after", c.Get("page")));
        if (c.Has("backup"))
            expected[dir.File("p.bak.htm")] = c.Get("backup");
        EXPECT_EQ(Snapshot(dir.Path()), expected);
    }
}

TEST(Cli, WarningsGoToStderrAndThePassGoesOn) {
    TempDir data, dir;
    for (const char* f : {"lmr_text.dat", "cmwds_en.txt"})
        fs::copy_file(std::string(LUMORA_BIN_DIR) + "/" + f, data.File(f));
    const std::string page = dir.Write("p.htm", "<title>Le jardin</title>\r\n");
    RunResult run = RunTool({"generate", "--language", "fr", "--data-dir", data.Path(), page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err,
              "Common words not available: Common words in French could not be read from file\n" +
                  data.File("cmwds_fr.txt") + "\n");
    EXPECT_EQ(run.out.rfind("<META NAME=\"keywords\" CONTENT=\"jardin\">", 0), 0u);
    run = RunTool(
        {"generate", "--language", "fr", "--keep-common-words", "--data-dir", data.Path(), page});
    EXPECT_EQ(run.err, "");
}

// Files that cannot be used are refused by name and left as they are; each command looks
// at the file before opening it (a FIFO would block the read), so each runs in a child
// under a time limit. Insert refuses what it may not replace.
TEST(Cli, FilesThatCannotBeUsedAreRefusedByNameAndLeftAlone) {
    TempDir dir;
    const std::string content = "<title>Plum jam</title>\r\n</head>\r\nPlum jam\r\n";
    const std::string fifo = dir.File("fifo.htm");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string readOnly = dir.Write("read-only.htm", content);
    ::chmod(readOnly.c_str(), 0444);
    const std::string toReadOnly = dir.File("to-read-only.htm");
    fs::create_symlink(readOnly, toReadOnly);
    const std::string linked = dir.Write("linked.htm", content);
    ASSERT_EQ(::link(linked.c_str(), dir.File("other-name.htm").c_str()), 0);
    fs::create_symlink(fifo, dir.File("to-fifo.htm"));
    fs::create_symlink(dir.File("gone.htm"), dir.File("dangling.htm"));
    fs::create_directory(dir.File("folder.htm"));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;  // the start of stderr, or of stdout where stderr is empty
    };
    std::vector<Case> cases = {
        {{"insert", "--no-backup", readOnly}, 1, readOnly + " is read-only\n"},
        {{"insert", "--backup", toReadOnly}, 1, toReadOnly + " is read-only\n"},
        {{"insert", "--dry-run", readOnly}, 1, readOnly + " is read-only\n"},
        {{"insert", "--backup", linked},
         1,
         linked + " has 2 hard links; it was left alone, because a new version under this name "
                  "would no longer be the file its other names show\n"},
        {{"list", "/dev/null"}, 1, "Error: /dev/null is not a regular file\n"},
        {{"show", dir.File("dangling.htm")}, 1, "File not found: The input file "},
    };
    for (const char* command : {"generate", "list", "show", "insert"}) {
        for (const char* name : {"fifo.htm", "to-fifo.htm", "folder.htm"})
            cases.push_back({{command, dir.File(name)},
                             1,
                             "Error: " + dir.File(name) + " is not a regular file\n"});
    }
    // Every page-like name is taken.
    for (const char* name : {"page.HTM", "page.shtml", "page.xhtml", "page.phtml", "page.php"})
        cases.push_back({{"generate", dir.Write(name, content)}, 0, "<META"});
    const auto before = Snapshot(dir.Path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const auto status = lumora::testing::RunInChild(
            [&] {
                const RunResult run = RunTool(c.args);
                const std::string& shown = run.err.empty() ? run.out : run.err;
                if (run.status == c.status && shown.rfind(c.message, 0) == 0)
                    return 0;
                std::fprintf(stderr, "status %d\nout: %s\nerr: %s\n", run.status, run.out.c_str(),
                             run.err.c_str());
                return 1;
            },
            std::chrono::seconds(10));
        ASSERT_TRUE(status.has_value()) << "the command blocked";
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
    }
    EXPECT_EQ(Snapshot(dir.Path()), before);
}

// A file that is no page is refused from its first block: here reading the whole of it
// would fail. The whole page is still looked at, and a UTF-16 page is no binary file. A page
// that does not fit in memory fails like one that cannot be read.
TEST(Cli, AFileThatIsNoPageIsRefusedFromItsFirstBlock) {
    TempDir dir;
    const std::string filler(1 << 20, 'x');
    const std::string binary = dir.Write("binary.htm", std::string("<p>\0", 4) + filler);
    const std::string late = dir.Write("late.htm", filler + std::string("\0", 1));
    const std::string utf16 = dir.Write("utf16.htm", std::string("\xFF\xFE<\0p\0>\0", 8));
    const auto notText = [](const std::string& page, const char* position) {
        return "Not a text file: The input file " + page + " contains a NUL byte at position " +
               position + ". It does not appear to be a text file and cannot be processed.\n";
    };
    for (const char* command : {"generate", "list", "show", "insert"}) {
        SCOPED_TRACE(command);
        // Everything after the looks at the data folder and the file and at its first block
        // fails.
        FaultyFileSystem counting(files::RealFileSystem(), FaultyFileSystem::Mode::kFailOnce, 0);
        int firstBlock = 0;
        counting.watch = [&](int n, const char* call, int) {
            if (firstBlock == 0 && std::string(call) == "ReadStart")
                firstBlock = n;
        };
        RunTool({command, binary}, nullptr, false, &counting);
        FaultyFileSystem failing(files::RealFileSystem(), FaultyFileSystem::Mode::kFailOnwards,
                                 firstBlock + 1);
        EXPECT_EQ(RunTool({command, binary}, nullptr, false, &failing).err, notText(binary, "4"));
        EXPECT_EQ(RunTool({command, late}).err, notText(late, "1048577"));
        EXPECT_EQ(RunTool({command, utf16}, nullptr, false, &failing).err,
                  "Error: The input file " + utf16 + " could not be read: Input/output error\n");
        FaultyFileSystem shortOfMemory(files::RealFileSystem(), FaultyFileSystem::Mode::kFailOnce,
                                       0);
        shortOfMemory.watch = [](int, const char* call, int) {
            if (std::string(call) == "ReadAll")
                throw std::bad_alloc();
        };
        const RunResult run = RunTool({command, utf16}, nullptr, false, &shortOfMemory);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out + run.err, "Error: not enough memory to read " + utf16 + "\n");
    }
}

// A page in Latin-1 and the same page transcoded to UTF-8 give the same keywords: the
// program reads what the reader sees, not the bytes.
TEST(Cli, Latin1PageAndItsUtf8TranscodingGiveTheSameResults) {
    const std::string page =
        "<html><head><title>Caf\u00E9 na\u00EFve \u00E0 l'\u00E9t\u00E9</title>\r\n"
        "<meta name=\"description\" content=\"G\u00E2teaux, cr\u00E8me br\u00FBl\u00E9e et "
        "caf\u00E9.\">\r\n</head><body>\r\n"
        "<h1>Cr\u00E8me br\u00FBl\u00E9e</h1> <p>Le caf\u00E9 de l'\u00E9t\u00E9: g\u00E2teaux, "
        "cr\u00E8me, <b>sp\u00E9cialit\u00E9s</b> &eacute;t&eacute; CAF\u00C9 Caf\u00E9.</p>\r\n"
        "<p>\u00C5ngstr\u00F6m \u00D8resund \u00DEorn \u00C6gir stra\u00DFe \u00FFvon</p>\r\n"
        "</body></html>\r\n";
    TempDir dir;
    const std::string latin1 =
        dir.Write("latin1.htm", text::EncodeForPage(page, "windows-1252").bytes);
    const std::string utf8 = dir.Write("utf8.htm", page);
    ASSERT_NE(ReadFile(latin1), ReadFile(utf8));
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{},
          {"--language", "fr", "--min-frequency", "1", "--keep-short-words"}}) {
        for (const char* command : {"generate", "list"}) {
            std::vector<std::string> args = {command};
            args.insert(args.end(), options.begin(), options.end());
            args.push_back(latin1);
            const RunResult a = RunTool(args);
            args.back() = utf8;
            const RunResult b = RunTool(args);
            EXPECT_EQ(a.status, 0) << a.err;
            EXPECT_EQ(a.out, b.out) << command;
            EXPECT_TRUE(IsValidUtf8(a.out));
        }
    }
    EXPECT_NE(RunTool({"list", latin1}).out.find(" caf\u00E9\n"), std::string::npos);
}

}  // namespace
}  // namespace lumora::cli
