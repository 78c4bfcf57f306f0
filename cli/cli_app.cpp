#include "cli_app.h"

#include <CLI/CLI.hpp>
#include <optional>
#include <sstream>

#include "app/data_dir.h"
#include "app/session.h"
#include "console_platform.h"
#include "text/program_texts.h"
#include "words/common_words.h"

namespace lumora::cli {

namespace {

// Pages at least this large show a progress indicator on a terminal.
constexpr std::int64_t kProgressMinBytes = 1 << 20;

struct CommandOptions {
    Text page;
    Text language = "en";
    int titleWeight = 90, descriptionWeight = 50, keywordsWeight = 0;
    int boldWeight = 4, italicWeight = 4, tableWeight = 2, divWeight = 2, spanWeight = 4;
    int shortWordSize = 2, minFrequency = 2;
    bool keepShortWords = false, keepCommonWords = false, lowerCase = false;
    bool noSpaceAfterComma = false;
    std::optional<Text> ignore, beginWith, maxKeywords, maxBytes;
    Text dataDir;
};

void AddPassOptions(CLI::App& command, CommandOptions& o) {
    const std::vector<int> tens = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90};
    command.add_option("--language", o.language, "Page language: en fr de it pt es xx")
        ->check(CLI::IsMember({"en", "fr", "de", "it", "pt", "es", "xx"}))
        ->default_str("en");
    command.add_option("--title-weight", o.titleWeight, "Weight of the title: 0,10,...,90")
        ->check(CLI::IsMember(tens))
        ->default_str("90");
    command
        .add_option("--description-weight", o.descriptionWeight,
                    "Weight of the description meta tag: 0,10,...,90")
        ->check(CLI::IsMember(tens))
        ->default_str("50");
    command
        .add_option("--keywords-weight", o.keywordsWeight,
                    "Weight of an existing keywords meta tag: 0,10,...,90")
        ->check(CLI::IsMember(tens))
        ->default_str("0");
    const auto digit = CLI::Range(0, 9);
    command.add_option("--bold-weight", o.boldWeight, "Bold/strong weight: 0..9")
        ->check(digit)
        ->default_str("4");
    command.add_option("--italic-weight", o.italicWeight, "Italic/emphasis weight: 0..9")
        ->check(digit)
        ->default_str("4");
    command.add_option("--table-weight", o.tableWeight, "TABLE weight: 0..9")
        ->check(digit)
        ->default_str("2");
    command.add_option("--div-weight", o.divWeight, "DIV weight: 0..9")
        ->check(digit)
        ->default_str("2");
    command.add_option("--span-weight", o.spanWeight, "SPAN weight: 0..9")
        ->check(digit)
        ->default_str("4");
    command
        .add_option("--short-word-size", o.shortWordSize,
                    "Ignore words with this many characters or less: 1..9")
        ->check(CLI::Range(1, 9))
        ->default_str("2");
    command.add_option("--min-frequency", o.minFrequency, "Minimum frequency for a word: 1..9")
        ->check(CLI::Range(1, 9))
        ->default_str("2");
    command.add_flag("--keep-short-words", o.keepShortWords, "Do not ignore short words");
    command.add_flag("--keep-common-words", o.keepCommonWords, "Do not ignore common words");
    command.add_flag("--lower-case", o.lowerCase, "All keywords in lower case");
    command.add_flag("--no-space-after-comma", o.noSpaceAfterComma,
                     "No space after the commas in the meta tag");
    command.add_option("--ignore", o.ignore, "Words to ignore");
    command.add_option("--begin-with", o.beginWith, "Begin the meta tag with these phrases");
    command.add_option("--max-keywords", o.maxKeywords,
                       "Maximum number of keywords in the meta tag (5..100; 50)");
    command.add_option("--max-bytes", o.maxBytes,
                       "Maximum number of bytes in the meta tag (up to 1000; 500)");
    command.add_option("--data-dir", o.dataDir,
                       "Folder holding lmr_text.dat and the cmwds_*.txt files");
    command.add_option("PAGE", o.page, "The HTML page")->required();
}

int LanguageIndex(const Text& code) {
    for (int i = 0; i < words::kNumLanguages; ++i) {
        if (code == words::kLanguageCodes[static_cast<std::size_t>(i)])
            return i;
    }
    return 0;
}

app::Options ToOptions(const CommandOptions& o) {
    app::Options options;  // the defaults of "Restore defaults"
    options.languageIndex = LanguageIndex(o.language);
    options.titleWeightIndex = o.titleWeight / 10;
    options.descriptionWeightIndex = o.descriptionWeight / 10;
    options.existingKeywordsWeightIndex = o.keywordsWeight / 10;
    options.boldWeightIndex = o.boldWeight;
    options.italicWeightIndex = o.italicWeight;
    options.tableWeightIndex = o.tableWeight;
    options.divWeightIndex = o.divWeight;
    options.spanWeightIndex = o.spanWeight;
    options.shortWordSizeIndex = o.shortWordSize - 1;
    options.thresholdIndex = o.minFrequency - 1;
    options.ignoreShortWords = !o.keepShortWords;
    options.ignoreCommonWords = !o.keepCommonWords;
    options.preserveCase = !o.lowerCase;
    options.spaceAfterComma = !o.noSpaceAfterComma;
    if (o.ignore)
        options.wordsToIgnore = *o.ignore;
    if (o.beginWith)
        options.beginMetaTagWith = *o.beginWith;
    return options;
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment) {
    CLI::App app{
        "Lumora finds the words that describe an HTML page and writes its keywords "
        "meta tag.",
        "lumora-cli"};
    app.set_version_flag(
        "--version", "lumora-cli " + text::VersionText(LUMORA_VERSION_MAJOR, LUMORA_VERSION_MINOR));
    app.require_subcommand(1);
    CommandOptions options;
    CLI::App* generate = app.add_subcommand("generate", "Write the keywords meta tag");
    CLI::App* list = app.add_subcommand("list", "List the ranked words with value and frequency");
    CLI::App* show =
        app.add_subcommand("show", "Show the page's existing title, description and keywords");
    CLI::App* insert = app.add_subcommand(
        "insert", "Generate the meta tag and insert it into the page, after an optional backup");
    AddPassOptions(*generate, options);
    AddPassOptions(*list, options);
    AddPassOptions(*insert, options);
    show->add_option("--data-dir", options.dataDir,
                     "Folder holding lmr_text.dat and the cmwds_*.txt files");
    show->add_option("PAGE", options.page, "The HTML page")->required();
    bool noBackup = false;
    bool backup = false;
    auto* backupFlag = insert->add_flag("--backup", backup,
                                        "Keep the page as it was in a .bak file (the default)");
    insert->add_flag("--no-backup", noBackup, "Do not keep a backup")->excludes(backupFlag);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, err, err);
        return 2;
    }

    ConsolePlatform platform(err);
    // The session's start-up may speak (a missing common-word list) before the command runs.
    if (environment.progressOnTerminal)
        platform.EnableProgress(kProgressMinBytes);
    const Text dataDir =
        options.dataDir.empty() ? app::FindDataDir(environment.executableFolder) : options.dataDir;
    app::Session session(platform, dataDir);
    platform.SetSession(&session);
    if (!session.LoadProgramTexts())
        return 1;
    session.InitialiseSession();
    session.RestoreOptions(ToOptions(options));
    // The limit boxes are checked as when they lose the focus; a refusal ends the run.
    if (options.maxKeywords) {
        session.SetMaxKeywordsText(*options.maxKeywords);
        if (!session.MaxKeywordsLostFocus())
            return 1;
    }
    if (options.maxBytes) {
        session.SetMaxBytesText(*options.maxBytes);
        if (!session.MaxBytesLostFocus())
            return 1;
    }
    session.CompleteStartup();
    session.SetInputFileText(options.page);

    if (show->parsed()) {
        const int before = platform.MessageCount();
        session.ClickShowExisting();
        if (platform.MessageCount() != before)
            return 1;
        out << ToConsoleText(session.OutputText()) << '\n';
        return 0;
    }

    ConsolePlatform::interrupted = false;
    if (list->parsed()) {
        session.ClickListWords();
    } else {
        session.ClickGenerate();
    }
    platform.ClearProgress();

    if (insert->parsed()) {
        if (!session.WordTableValid())
            return session.LastPassStopped() ? 130 : 1;
        platform.SetThreeWayAnswer(noBackup ? app::Answer::kNo : app::Answer::kYes);
        platform.HoldLastMessage(true);
        session.ClickInsert();
        out << platform.TakeHeldMessage() << '\n';
        platform.HoldLastMessage(false);
        return session.LastInsertSucceeded() ? 0 : 1;
    }

    const bool stopped = session.LastPassStopped();
    if (!session.WordTableValid() && !stopped)
        return 1;
    out << ToConsoleText(session.OutputText()) << '\n';
    return stopped ? 130 : 0;
}

}  // namespace lumora::cli
