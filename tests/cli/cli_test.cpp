// The command-line tool run in-process: exact stdout, stderr and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <sstream>
#include <vector>

#include "cli_app.h"
#include "support/faulty_file_system.h"
#include "support/run_cli.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace lumora::cli {
namespace {

using lumora::testing::FaultyFileSystem;
using lumora::testing::ReadFile;
using lumora::testing::RunResult;
using lumora::testing::RunTool;
using lumora::testing::TempDir;

// Every example page with its expected output for both commands: adding a case is adding
// a page and its expected files.
TEST(CliExamples, OutputMatchesExpectedFiles) {
    const std::filesystem::path examples = std::filesystem::path(LUMORA_SOURCE_DIR) / "examples";
    const std::filesystem::path expected =
        std::filesystem::path(LUMORA_SOURCE_DIR) / "tests" / "data" / "expected";
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(examples)) {
        if (entry.path().extension() != ".htm")
            continue;
        for (const std::string command : {"generate", "list"}) {
            const auto want = expected / (entry.path().stem().string() + "." + command + ".txt");
            SCOPED_TRACE(want.string());
            ASSERT_TRUE(std::filesystem::exists(want));
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

TEST(Cli, OptionsReachThePass) {
    TempDir dir;
    const std::string page = dir.Write(
        "p.htm",
        "<title>Apple pie</title>\r\nApple pie, apple crumble and pear tart. Pear tart!\r\n");
    RunResult run = RunTool({"generate", "--lower-case", "--no-space-after-comma", "--begin-with",
                             " Fruit desserts, ", "--max-keywords", "7", page});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "<META NAME=\"keywords\" CONTENT=\"fruit desserts,apple,pie,pear,tart\">\n\n"
              "Number of keywords in meta tag: 5\n"
              "Number of bytes in meta tag: 65\n");
    run = RunTool(
        {"list", "--min-frequency", "1", "--ignore", "PIE  tart", "--title-weight", "0", page});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Rank Value Frequency\n"
              "   1   100    3 apple\n"
              "   2   100    2 pear\n"
              "   3    50    1 crumble\n\n");
}

// Numbers are decimal digits within their ranges, for every numeric option of every
// command; anything else is a usage error and the page is neither read nor written.
TEST(Cli, NumericOptionsTakeDecimalNumbersInTheirRangesOnly) {
    TempDir dir;
    const std::string original = "<head><title>Plum jam</title></head>Plum jam\r\n";
    const std::string page = dir.Write("jam.htm", original);
    struct Option {
        std::string name;
        std::vector<std::string> good;
        std::vector<std::string> outside;  // numbers out of this option's range
        std::string range;
    };
    const std::string tens = "one of 0, 10, ..., 90";
    const std::vector<Option> options = {
        {"--title-weight", {"0", "40", "90"}, {"15", "100", "-10"}, tens},
        {"--keywords-weight", {"0", "50"}, {"1", "900"}, tens},
        {"--bold-weight", {"0", "9"}, {"10", "12"}, "a whole number from 0 to 9"},
        {"--short-word-size", {"1", "9"}, {"0", "12"}, "a whole number from 1 to 9"},
        {"--min-frequency", {"1", "9"}, {"0", "10"}, "a whole number from 1 to 9"},
        {"--max-keywords", {"5", "100", ""}, {"4", "101"}, "a whole number from 5 to 100"},
        {"--max-bytes", {"0", "1000", ""}, {"1001"}, "a whole number from 0 to 1000"},
    };
    // Not decimal numbers at all; an empty value only where it is documented as "no limit".
    const std::vector<std::string> malformed = {"abc", "-5", "0x10", "1e1", " 7",
                                                "+7",  "7 ", "1.0",  "-0",  "99999999999"};
    for (const Option& o : options) {
        std::vector<std::string> bad = malformed;
        bad.insert(bad.end(), o.outside.begin(), o.outside.end());
        if (std::find(o.good.begin(), o.good.end(), "") == o.good.end())
            bad.push_back("");
        // The options are shared by every command: insert shows the page is left alone.
        for (const std::string& value : bad) {
            SCOPED_TRACE(o.name + " [" + value + "]");
            const RunResult run = RunTool({"insert", o.name, value, "--backup", page});
            EXPECT_EQ(run.status, 2);
            EXPECT_EQ(run.out, "");
            EXPECT_EQ(run.err.rfind(o.name + ": expected " + o.range, 0), 0u) << run.err;
        }
        for (const std::string& value : o.good)
            EXPECT_EQ(RunTool({"generate", o.name, value, page}).status, 0) << o.name << value;
    }
    EXPECT_EQ(ReadFile(page), original);
    EXPECT_FALSE(std::filesystem::exists(dir.File("jam.bak.htm")));
}

TEST(Cli, WarningsGoToStderrAndThePassGoesOn) {
    TempDir data, dir;
    for (const char* f : {"lmr_text.dat", "cmwds_en.txt"}) {
        std::filesystem::copy_file(std::string(LUMORA_BIN_DIR) + "/" + f, data.File(f));
    }
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

TEST(Cli, InsertWritesTheTagOrRefusesWithTheFinalMessageOnStdout) {
    TempDir dir;
    const std::string original =
        "<html><head><title>Plum jam</title>\r\n</head><body>Plum jam, plum cake.</body>\r\n";
    const std::string page = dir.Write("jam.htm", original);
    RunResult run = RunTool({"insert", page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Meta tag inserted successfully into document.\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFile(dir.File("jam.bak.htm")), original);
    EXPECT_EQ(ReadFile(page),
              "<html><head><title>Plum jam</title>\r\n"
              "<META NAME=\"keywords\" CONTENT=\"Plum, jam\">\r\n"
              "</head><body>Plum jam, plum cake.</body>\r\n");
    // Without a backup the earlier backup stays as it was.
    EXPECT_EQ(RunTool({"insert", "--no-backup", "--lower-case", page}).status, 0);
    EXPECT_EQ(ReadFile(dir.File("jam.bak.htm")), original);
    EXPECT_NE(ReadFile(page).find("CONTENT=\"plum, jam\">\r\n</head>"), std::string::npos);

    // A refusal prints its reason and leaves the page alone.
    const std::string noPlace = dir.Write("p.htm", "Plum jam, plum jam.\r\n");
    run = RunTool({"insert", "--no-backup", noPlace});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Meta tag not inserted because " + noPlace +
                           " holds no HTML mark-up, so it has no head where the tag could go.\n");
    EXPECT_EQ(ReadFile(noPlace), "Plum jam, plum jam.\r\n");
}

// A page's texts keep their tabs and line ends, but no other control character reaches the
// terminal as it is; a message shows the name it holds escaped and keeps its own line break.
TEST(Cli, ControlCharactersOfPagesAndNamesAreShownEscaped) {
    TempDir dir;
    const std::string page =
        dir.Write("e\x1b[2J.htm", "<title>Plum\tjam\x1b[31m\x7f\xC2\x85</title>\r\nPlum jam\r\n");
    RunResult run = RunTool({"show", page});
    EXPECT_EQ(run.out.rfind("TITLE: Plum\tjam\\x1b[31m\\x7f\\xc2\\x85\n", 0), 0u) << run.out;
    dir.Write("e\x1b[2J.htm", "Plum jam, plum jam\r\n");
    run = RunTool({"insert", "--no-backup", page});
    EXPECT_EQ(run.out, "Meta tag not inserted because " + dir.File("e\\x1b[2J.htm") +
                           " holds no HTML mark-up, so it has no head where the tag could go.\n");
}

// Pages that cannot be used are refused by name, each command looking at the page before
// opening it (a FIFO would block the read); the name is used exactly as given.
TEST(Cli, PagesThatCannotBeUsedAreRefusedByName) {
    TempDir dir;
    const std::string content = "<title>Plum jam</title>\r\n</head>\r\nPlum jam\r\n";
    const std::string fifo = dir.File("fifo.htm");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string readOnly = dir.Write("read-only.htm", content);
    ::chmod(readOnly.c_str(), 0444);
    const std::string blank = dir.Write("blank.htm ", content);
    const std::string missing = dir.File("none.htm");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;  // the start of stderr, or of stdout where stderr is empty
    };
    std::vector<Case> cases = {
        {{"insert", "--no-backup", readOnly}, 1, readOnly + " is read-only\n"},
        {{"list", "/dev/null"}, 1, "Error: /dev/null is not a regular file\n"},
        {{"insert", "--backup", readOnly}, 1, readOnly + " is read-only\n"},
        {{"generate", blank}, 0, "<META NAME=\"keywords\" CONTENT=\"Plum, jam\">\n"},
        {{"show", missing},
         1,
         "File not found: The input file " + missing +
             " could not be found. It may have been moved, renamed or deleted.\n"},
        {{"generate", dir.Write("empty.htm", "")},
         1,
         "Empty file: The input file " + dir.File("empty.htm") + " is empty"},
        {{"generate", dir.Write("notes.txt", "x")}, 1, "Unsupported file type: The input file "},
        {{"generate"}, 2, ""},
        {{"frobnicate", blank}, 2, ""},
        {{"insert", "--backup", "--no-backup", blank}, 2, ""},
    };
    const std::string binary = dir.Write("binary.html", std::string("<title>x</title>\0\x01", 17));
    for (const char* command : {"generate", "list", "show", "insert"}) {
        cases.push_back({{command, fifo}, 1, "Error: " + fifo + " is not a regular file\n"});
        cases.push_back(
            {{command, binary},
             1,
             "Not a text file: The input file " + binary + " contains a NUL byte at position 17."});
    }
    cases.push_back({{"insert", "--backup-dir", "", blank}, 2, ""});
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
    EXPECT_EQ(ReadFile(readOnly), content);
    EXPECT_FALSE(std::filesystem::exists(dir.File("read-only.bak.htm")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("blank.htm")));
}

// A file that is no page is refused from its first block: here reading the whole of it
// would fail. The whole page is still looked at, and a UTF-16 page is no binary file.
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
    }
}

TEST(Cli, VerboseTellsWhatWasFoundOnStderrOnly) {
    TempDir dir;
    const std::string page = dir.Write("p.htm", "<title>Plum jam</title>\nPlum jam\r\nplums\r");
    const RunResult quiet = RunTool({"list", page});
    // An ASCII page is valid UTF-8; an override is taken as given.
    RunResult run = RunTool({"list", "--verbose", "--encoding=latin1", page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, quiet.out);
    EXPECT_EQ(run.err, "Encoding: windows-1252\nLine ends: mixed\n");
    run = RunTool({"generate", "--verbose", dir.Write("lf.htm", "<p>caf\xE9 x</p>\n")});
    EXPECT_EQ(run.err, "Encoding: windows-1252\nLine ends: LF\n");
    for (const char* command : {"generate", "show"}) {
        run = RunTool({command, "--encoding=klingon", page});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "Error: Unknown encoding: klingon\n");
    }
}

TEST(Cli, CtrlCStopsThePassAndPrintsWhatWasFound) {
    TempDir dir;
    const std::string original = "<head><title>Plum jam</title></head>Plum jam\r\n";
    const std::string page = dir.Write("jam.htm", original);
    const std::atomic<bool> interrupted{true};
    RunResult run = RunTool({"generate", page}, &interrupted);
    EXPECT_EQ(run.status, 130);
    EXPECT_EQ(run.out, "\n\nStopped with 0 words identified.\n");
    run = RunTool({"insert", page}, &interrupted);
    EXPECT_EQ(run.status, 130);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadFile(page), original);
    EXPECT_FALSE(std::filesystem::exists(dir.File("jam.bak.htm")));
}

}  // namespace
}  // namespace lumora::cli
