// The manual page and the shell completion of lumora-cli against the tool's own help, so
// they cannot drift: every command and every option a --help lists is in both, and every
// long option the page names is one the tool has.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "app/options.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"

namespace lumora::cli {
namespace {

using lumora::testing::ReadFile;
using lumora::testing::RunTool;

// The page as a reader sees its words: "\-" is a hyphen, font changes and special
// characters go.
std::string PlainText(std::string roff) {
    roff = std::regex_replace(roff, std::regex(R"(\\-)"), "-");
    roff = std::regex_replace(roff, std::regex(R"(\\f(\[[^\]]*\]|\(..|.))"), "");
    return std::regex_replace(roff, std::regex(R"(\\(\(..|&|e))"), " ");
}

// Whether `name` stands in `text` as a whole option, not as part of a longer one
// (--backup in --backup-dir, -r in --rules).
bool Names(const std::string& text, const std::string& name) {
    const std::regex whole("(^|[^A-Za-z0-9-])" + name + "($|[^A-Za-z0-9-])");
    return std::regex_search(text, whole);
}

// The first words of a help's lines indented by two blanks: option names ("-r,--recursive")
// in its Options section, command names in its Subcommands section.
std::set<std::string> Listed(const std::string& help, const std::string& section) {
    std::set<std::string> names;
    std::istringstream lines(help);
    bool inside = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != ' ')
            inside = line == section + ":";
        else if (inside && line.rfind("  ", 0) == 0 && line.size() > 2 && line[2] != ' ') {
            std::istringstream words(line.substr(2, line.find(' ', 2) - 2));
            for (std::string name; std::getline(words, name, ',');) names.insert(name);
        }
    }
    return names;
}

const std::string kCompletionFile = LUMORA_SOURCE_DIR "/completion/lumora-cli";

TEST(ManPage, NamesEveryCommandAndOptionOfTheHelp) {
    const std::string page = PlainText(ReadFile(LUMORA_SOURCE_DIR "/man/lumora-cli.1"));
    const std::string completion = ReadFile(kCompletionFile);
    const std::string mainHelp = RunTool({"--help"}).out;
    const std::set<std::string> commands = Listed(mainHelp, "Subcommands");
    ASSERT_GE(commands.size(), 4u);
    std::set<std::string> options = Listed(mainHelp, "Options");
    for (const std::string& command : commands) {
        SCOPED_TRACE(command);
        EXPECT_NE(page.find("\n.B " + command + "\n"), std::string::npos) << "no entry";
        EXPECT_TRUE(Names(completion, command)) << "not completed";
        const testing::RunResult help = RunTool({command, "--help"});
        ASSERT_EQ(help.status, 0);
        const std::set<std::string> ofCommand = Listed(help.out, "Options");
        EXPECT_GE(ofCommand.size(), 5u);
        for (const std::string& option : ofCommand) {
            EXPECT_TRUE(Names(page, option)) << option;
            EXPECT_TRUE(Names(completion, option)) << option << " not completed";
            options.insert(option);
        }
    }
    // The other way round: a long option the page describes that the tool no longer has.
    const std::regex longOption("(^|[^A-Za-z0-9-])(--[a-z][a-z-]*[a-z])");
    for (std::sregex_iterator it(page.begin(), page.end(), longOption), end; it != end; ++it)
        EXPECT_EQ(options.count((*it)[2]), 1u) << (*it)[2] << " is no option of lumora-cli";
}

// --encoding completes to every encoding the window offers; the tool reads each of them.
TEST(Completion, OffersEveryEncodingOfTheWindow) {
    const std::string completion = ReadFile(kCompletionFile);
    for (const std::string name : app::kEncodingChoices) {
        if (name != app::kDetectEncoding) {
            EXPECT_TRUE(Names(completion, name)) << name;
        }
    }
}

}  // namespace
}  // namespace lumora::cli
