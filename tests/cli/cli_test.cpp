// The command-line tool run in-process: exact stdout, stderr and exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <tuple>
#include <vector>

#include "cli_app.h"
#include "support/subprocess.h"
#include "support/temp_dir.h"

namespace lumora::cli {
namespace {

using lumora::testing::ReadFile;
using lumora::testing::TempDir;

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

RunResult RunTool(std::vector<std::string> args) {
    args.insert(args.begin(), "lumora-cli");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    CliEnvironment env;
    env.executableFolder = LUMORA_BIN_DIR;
    const int status = RunCli(static_cast<int>(argv.size()), argv.data(), out, err, env);
    return {status, out.str(), err.str()};
}

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
                             " Fruit desserts, ", "--max-keywords", "+7", page});
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
        std::string errStart;
    };
    const std::vector<Case> cases = {
        {{"generate", "--max-keywords", "4", page},
         1,
         "Lumora: Minimum number of keywords in the meta tag is 5.\n"},
        {{"generate", "--max-bytes", "2000", page},
         1,
         "Lumora: Maximum number of bytes in the meta tag is 1000.\n"},
        {{"generate", dir.File("missing.htm")}, 1, "File not found: "},
        {{"generate", dir.Write("empty.htm", "")}, 1, ""},
        {{"generate", "--title-weight", "15", page}, 2, ""},
        {{"generate"}, 2, ""},
        {{"frobnicate", page}, 2, ""},
        {{"generate", "--bold-weight", "10", page}, 2, ""},
        {{"insert", "--backup", "--no-backup", page}, 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const RunResult run = RunTool(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind(c.errStart, 0), 0u) << run.err;
        EXPECT_FALSE(run.err.empty());
    }
}

TEST(Cli, WarningsGoToStderrAndThePassGoesOn) {
    TempDir data, dir;
    RunResult run =
        RunTool({"generate", dir.Write("u.htm", "<title>Tidy kitchens</title>\nTidy kitchens\n")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");  // LF pages are read like any other, without a warning
    EXPECT_EQ(run.out.rfind("<META NAME=\"keywords\" CONTENT=\"Tidy, kitchens\">\n", 0), 0u);

    for (const char* f : {"lmr_text.dat", "cmwds_en.txt"}) {
        std::filesystem::copy_file(std::string(LUMORA_BIN_DIR) + "/" + f, data.File(f));
    }
    const std::string page = dir.Write("p.htm", "<title>Le jardin</title>\r\n");
    run = RunTool({"generate", "--language", "fr", "--data-dir", data.Path(), page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err,
              "Common words not available: Common words in French could not be read from file\n" +
                  data.File("cmwds_fr.txt") + "\n");
    EXPECT_EQ(run.out.rfind("<META NAME=\"keywords\" CONTENT=\"jardin\">", 0), 0u);
    run = RunTool(
        {"generate", "--language", "fr", "--keep-common-words", "--data-dir", data.Path(), page});
    EXPECT_EQ(run.err, "");
}

TEST(Cli, ShowPrintsTheReportOrRefuses) {
    TempDir dir;
    const std::string page = dir.Write(
        "p.htm", "<title>Plums</title>\r\n<META NAME=\"Keywords\" CONTENT=\"plum, jam\">\r\n");
    RunResult run = RunTool({"show", page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(
        run.out,
        "TITLE: Plums\n\nKEYWORDS meta tag: <META NAME=\"Keywords\" CONTENT=\"plum, jam\">\n\n\n");
    run = RunTool({"show", dir.File("none.htm")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "File not found: Input file not found.\n");
}

TEST(Cli, InsertWritesTheTagOrRefusesWithTheFinalMessageOnStdout) {
    TempDir dir;
    const std::string original =
        "<html><head><title>Plum jam</title>\r\n</head><body>Plum jam, plum cake.</body>\r\n";
    const std::string page = dir.Write("jam.htm", original);
    RunResult run = RunTool({"insert", page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Meta tag inserted successfully into document.\n");
    EXPECT_EQ(run.err, "Backup?: Back up " + page + " to " + dir.File("jam.bak.htm") + "?\n");
    EXPECT_EQ(ReadFile(dir.File("jam.bak.htm")), original);
    EXPECT_EQ(ReadFile(page),
              "<html><head><title>Plum jam</title>\r\n"
              "<META NAME=\"keywords\" CONTENT=\"Plum, jam\">\r\n"
              "</head><body>Plum jam, plum cake.</body>\r\n");

    // Without a backup the earlier backup stays as it was.
    run = RunTool({"insert", "--no-backup", "--lower-case", page});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFile(dir.File("jam.bak.htm")), original);
    EXPECT_NE(ReadFile(page).find("CONTENT=\"plum, jam\">\r\n</head>"), std::string::npos);

    // An old tag over several lines is replaced whole.
    const std::string spread =
        "<title>Plum jam</title>\n<meta name=\"keywords\"\ncontent=\"x\">\n</head>\nPlum jam\n";
    dir.Write("p.htm", spread);
    run = RunTool({"insert", "--no-backup", dir.File("p.htm")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(ReadFile(dir.File("p.htm")),
              "<title>Plum jam</title>\n<META NAME=\"keywords\" CONTENT=\"Plum, jam\">\n</head>\n"
              "Plum jam\n");

    // Refusals print their reason and leave the page alone.
    const std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> refusals = {
        {{},
         "<title>Plum jam</title>\r\nPlum jam\r\n",
         "Meta tag not inserted because " + dir.File("p.htm") +
             " has neither a keywords meta tag\n"
         "nor an end of its head (</head>) or a <body> tag where it could go.\n"},
        {{"--max-bytes", "10"},
         spread,
         "Meta tag not inserted: no keyword fits in 10 characters.\n"},
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
