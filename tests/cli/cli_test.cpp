// The command-line tool run in-process: exact stdout, stderr and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <sstream>
#include <tuple>
#include <vector>

#include "cli_app.h"
#include "support/run_cli.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace lumora::cli {
namespace {

using lumora::testing::ReadFile;
using lumora::testing::TempDir;

using lumora::testing::RunResult;
using lumora::testing::RunTool;

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

TEST(Cli, RefusalsAndUsageErrors) {
    TempDir dir;
    const std::string page = dir.Write("p.htm", "<title>Apple pie</title>\r\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;  // the start of standard error
    };
    const std::vector<Case> cases = {
        {{"generate", "--max-keywords", "4", page},
         2,
         "--max-keywords: expected a whole number from 5 to 100 (empty: no limit), not \"4\""},
        {{"generate", dir.File("missing.htm")},
         1,
         "File not found: The input file " + dir.File("missing.htm") + " could not be found."},
        {{"generate", dir.Write("empty.htm", "")},
         1,
         "Empty file: The input file " + dir.File("empty.htm") + " is empty"},
        {{"list", dir.Write("nul.htm", std::string("ab\0c", 4))},
         1,
         "Not a text file: The input file " + dir.File("nul.htm") +
             " contains a NUL byte at position 3."},
        {{"show", dir.File("none.htm")},
         1,
         "File not found: The input file " + dir.File("none.htm") +
             " could not be found. It may have been moved, renamed or deleted.\n"},
        {{"generate", dir.Write("notes.txt", "x")}, 1, "Unsupported file type: The input file "},
        // The name is taken exactly as given: blanks are part of it.
        {{"generate", " " + page}, 1, "File not found: The input file  " + page},
        {{"generate"}, 2, ""},
        {{"frobnicate", page}, 2, ""},
        {{"insert", "--backup", "--no-backup", page}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const RunResult run = RunTool(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind(c.err, 0), 0u) << run.err;
        EXPECT_FALSE(run.err.empty());
    }
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
        {"--description-weight", {"10", "090"}, {"95", "5"}, tens},
        {"--keywords-weight", {"0", "50"}, {"1", "900"}, tens},
        {"--bold-weight", {"0", "9"}, {"10", "12"}, "a whole number from 0 to 9"},
        {"--italic-weight", {"3"}, {"12"}, "a whole number from 0 to 9"},
        {"--table-weight", {"0"}, {"12"}, "a whole number from 0 to 9"},
        {"--div-weight", {"9"}, {"12"}, "a whole number from 0 to 9"},
        {"--span-weight", {"1"}, {"12"}, "a whole number from 0 to 9"},
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
        for (const std::string command : {"generate", "list", "insert"}) {
            for (const std::string& value : bad) {
                SCOPED_TRACE(command + " " + o.name + " [" + value + "]");
                const RunResult run = RunTool({command, o.name, value, "--no-backup", page});
                EXPECT_EQ(run.status, 2);
                EXPECT_EQ(run.out, "");
                EXPECT_EQ(run.err.rfind(o.name + ": expected " + o.range, 0), 0u) << run.err;
            }
            if (command == "insert")
                continue;
            for (const std::string& value : o.good) {
                SCOPED_TRACE(command + " " + o.name + " [" + value + "]");
                const RunResult run = RunTool({command, o.name, value, page});
                EXPECT_EQ(run.status, 0) << run.err;
            }
        }
    }
    EXPECT_EQ(ReadFile(page), original);
    EXPECT_FALSE(std::filesystem::exists(dir.File("jam.bak.htm")));
}

TEST(Cli, WarningsGoToStderrAndThePassGoesOn) {
    TempDir data, dir;
    // Any line ends are read alike, without a word about them.
    for (const char* ends : {"\n", "\r", "\r\n"}) {
        const std::string content = std::string("<title>Tidy kitchens</title>") + ends +
                                    "Tidy kitchens" + ends + "\fclean\x1b kitchens";
        RunResult run = RunTool({"generate", dir.Write("u.htm", content)});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out.rfind("<META NAME=\"keywords\" CONTENT=\"Tidy, kitchens\">\n", 0), 0u);
    }

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
    run = RunTool({"insert", "--no-backup", "--lower-case", page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Meta tag inserted successfully into document.\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadFile(dir.File("jam.bak.htm")), original);
    EXPECT_NE(ReadFile(page).find("CONTENT=\"plum, jam\">\r\n</head>"), std::string::npos);

    // A limit that no keyword fits leaves the page's tag alone rather than emptying it.
    const std::string spread =
        "<title>Plum jam</title>\n<meta name=\"keywords\"\ncontent=\"x\">\n</head>\nPlum jam\n";

    // Refusals print their reason and leave the page alone.
    const std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> refusals = {
        {{},
         "<title>Plum jam</title>\r\nPlum jam\r\n",
         "Meta tag not inserted because " + dir.File("p.htm") +
             " has neither a keywords meta tag\n"
             "nor an end of its head (</head>) or a <body> tag where it could go.\n"},
        {{"--max-bytes", "10"},
         spread,
         "Meta tag not inserted into " + dir.File("p.htm") +
             ": no keyword fits in 10 characters.\n"},
    };
    for (const auto& [options, content, message] : refusals) {
        dir.Write("p.htm", content);
        std::vector<std::string> args = {"insert", "--no-backup"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(dir.File("p.htm"));
        run = RunTool(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, message);
        EXPECT_EQ(ReadFile(dir.File("p.htm")), content);
    }
}

// Every command looks at the page before opening it: a FIFO (which would block a read), a
// folder or a device is refused by name; insert also refuses a read-only page. The name is
// used exactly as given.
TEST(Cli, PagesThatCannotBeUsedAreRefusedByName) {
    TempDir dir;
    const std::string content = "<title>Plum jam</title>\r\n</head>\r\nPlum jam\r\n";
    const std::string fifo = dir.File("fifo.htm");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::string folder = dir.File("folder.htm");
    std::filesystem::create_directory(folder);
    const std::string readOnly = dir.Write("read-only.htm", content);
    ::chmod(readOnly.c_str(), 0444);
    const std::string blank = dir.Write("blank.htm ", content);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;  // on stdout or stderr
    };
    std::vector<Case> cases = {
        {{"insert", "--no-backup", readOnly}, 1, readOnly + " is read-only\n"},
        {{"insert", "--backup", readOnly}, 1, readOnly + " is read-only\n"},
        {{"generate", blank}, 0, "<META NAME=\"keywords\" CONTENT=\"Plum, jam\">\n"},
        {{"show", blank}, 0, "TITLE: Plum jam\n\n"},
    };
    for (const char* command : {"generate", "list", "show", "insert"}) {
        for (const std::string& path : {fifo, folder, std::string("/dev/null")}) {
            cases.push_back({{command, path}, 1, "Error: " + path + " is not a regular file\n"});
        }
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        const auto status = lumora::testing::RunInChild(
            [&] {
                const RunResult run = RunTool(c.args);
                const std::string& shown = c.status == 0 || run.err.empty() ? run.out : run.err;
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

TEST(Cli, VerboseTellsWhatWasFoundOnStderrOnly) {
    TempDir dir;
    const std::string page = "<title>Plum jam</title>\nPlum jam\r\nplums\r";
    const RunResult quiet = RunTool({"list", dir.Write("p.htm", page)});
    // An ASCII page is valid UTF-8; an override is taken as given.
    for (const auto& [extra, encoding] : std::vector<std::pair<std::string, std::string>>{
             {"", "UTF-8"}, {"--encoding=latin1", "windows-1252"}}) {
        std::vector<std::string> args = {"list", "--verbose", dir.File("p.htm")};
        if (!extra.empty())
            args.insert(args.begin() + 1, extra);
        const RunResult run = RunTool(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, quiet.out);
        EXPECT_EQ(run.err, "Encoding: " + encoding + "\nLine ends: mixed\n");
    }
    const RunResult lf =
        RunTool({"generate", "--verbose", dir.Write("lf.htm", "<p>caf\xE9 x</p>\n")});
    EXPECT_EQ(lf.err, "Encoding: windows-1252\nLine ends: LF\n");
    const RunResult unknown = RunTool({"generate", "--encoding=klingon", dir.File("lf.htm")});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "Error: Unknown encoding: klingon\n");
    const RunResult show = RunTool({"show", "--encoding=klingon", dir.File("lf.htm")});
    EXPECT_EQ(show.status, 1);
    EXPECT_EQ(show.err, unknown.err);
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

TEST(Cli, HelpAndVersion) {
    RunResult run = RunTool({"--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("generate"), std::string::npos);
    run = RunTool({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "lumora-cli 1.07\n");
}

}  // namespace
}  // namespace lumora::cli
