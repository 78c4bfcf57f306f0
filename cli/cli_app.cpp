#include "cli_app.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <new>
#include <optional>
#include <stop_token>

#include "console_text.h"
#include "decimal_option.h"
#include "engine/engine.h"
#include "engine/insert.h"
#include "json_report.h"
#include "progress_line.h"
#include "site_run.h"

namespace lumora::cli {

namespace {

// The flags as typed; numbers stay text until their validators have accepted them.
struct CommandOptions {
    std::vector<Text> pages;
    SiteFlags site;
    Text rules = "classic";
    std::optional<Text> language;
    Text titleWeight = "90", descriptionWeight = "50", keywordsWeight = "0";
    Text boldWeight = "4", italicWeight = "4", tableWeight = "2", divWeight = "2", spanWeight = "4";
    Text shortWordSize = "2", minFrequency = "2";
    bool keepShortWords = false, keepCommonWords = false, lowerCase = false;
    bool noSpaceAfterComma = false;
    std::optional<Text> ignore, beginWith, maxKeywords, maxBytes;
    Text encoding;
    bool verbose = false;
    Text dataDir;
    Text backupFolder;  // insert --backup-dir
};

void AddPassOptions(CLI::App& command, CommandOptions& o) {
    command
        .add_option("--rules", o.rules,
                    "Word rules: classic, or today (words with digits, acronyms, the page's own "
                    "language, case variants merged)")
        ->check(PassOptionCheck("rules", "{classic,today}"))
        ->default_str("classic");
    command
        .add_option("--language", o.language,
                    "Page language: en fr de it pt es xx, or a tag such as en-US (default: en; "
                    "with --rules today, the page's own lang)")
        ->check(PassOptionCheck("language", "LANG"))
        ->type_name("LANG");
    const struct {
        const char* name;  // without the dashes
        Text* value;
        const char* help;
        const char* byDefault;
    } numbers[] = {
        {"title-weight", &o.titleWeight, "Weight of the title: 0,10,...,90", "90"},
        {"description-weight", &o.descriptionWeight,
         "Weight of the description meta tag: 0,10,...,90", "50"},
        {"keywords-weight", &o.keywordsWeight,
         "Weight of an existing keywords meta tag: 0,10,...,90", "0"},
        {"bold-weight", &o.boldWeight, "Bold/strong weight: 0..9", "4"},
        {"italic-weight", &o.italicWeight, "Italic/emphasis weight: 0..9", "4"},
        {"table-weight", &o.tableWeight, "TABLE weight: 0..9", "2"},
        {"div-weight", &o.divWeight, "DIV weight: 0..9", "2"},
        {"span-weight", &o.spanWeight, "SPAN weight: 0..9", "4"},
        {"short-word-size", &o.shortWordSize,
         "Ignore words with this many characters or less: 1..9", "2"},
        {"min-frequency", &o.minFrequency, "Minimum frequency for a word: 1..9", "2"},
    };
    for (const auto& n : numbers) {
        command.add_option(Text("--") + n.name, *n.value, n.help)
            ->check(PassOptionCheck(n.name))
            ->type_name("N")
            ->default_str(n.byDefault);
    }
    command.add_flag("--keep-short-words", o.keepShortWords, "Do not ignore short words");
    command.add_flag("--keep-common-words", o.keepCommonWords, "Do not ignore common words");
    command.add_flag("--lower-case", o.lowerCase, "All keywords in lower case");
    command.add_flag("--no-space-after-comma", o.noSpaceAfterComma,
                     "No space after the commas in the meta tag");
    command.add_option("--ignore", o.ignore, "Words to ignore");
    command.add_option("--begin-with", o.beginWith, "Begin the meta tag with these phrases");
    command
        .add_option("--max-keywords", o.maxKeywords,
                    "Maximum number of keywords in the meta tag (5..100; 50)")
        ->check(PassOptionCheck("max-keywords"))
        ->type_name("N");
    command
        .add_option("--max-bytes", o.maxBytes,
                    "Maximum number of bytes in the meta tag (up to 1000; 500)")
        ->check(PassOptionCheck("max-bytes"))
        ->type_name("N");
    command.add_option("--encoding", o.encoding,
                       "Read the page in this encoding instead of detecting it");
    command.add_flag("--verbose", o.verbose,
                     "Tell on standard error which encoding and line ends were found");
    command.add_option("--data-dir", o.dataDir,
                       "Folder holding lmr_text.dat and the cmwds_*.txt files");
    command.add_option("PAGE", o.pages, "The HTML pages, and folders of pages")->required();
}

engine::Options ToOptions(const CommandOptions& o) {
    std::vector<engine::NamedOption> named = {
        {"rules", o.rules},
        {"title-weight", o.titleWeight},
        {"description-weight", o.descriptionWeight},
        {"keywords-weight", o.keywordsWeight},
        {"bold-weight", o.boldWeight},
        {"italic-weight", o.italicWeight},
        {"table-weight", o.tableWeight},
        {"div-weight", o.divWeight},
        {"span-weight", o.spanWeight},
        {"short-word-size", o.shortWordSize},
        {"min-frequency", o.minFrequency},
        {"encoding", o.encoding},
    };
    const auto given = [&](const char* name, const std::optional<Text>& value) {
        if (value)
            named.push_back({name, *value});
    };
    given("language", o.language);
    given("ignore", o.ignore);
    given("begin-with", o.beginWith);
    given("max-keywords", o.maxKeywords);
    given("max-bytes", o.maxBytes);
    const auto flag = [&](const char* name, bool on) {
        if (on)
            named.push_back({name, ""});
    };
    flag("keep-short-words", o.keepShortWords);
    flag("keep-common-words", o.keepCommonWords);
    flag("lower-case", o.lowerCase);
    flag("no-space-after-comma", o.noSpaceAfterComma);
    // The validators let only values the core takes through.
    engine::Options options;
    engine::OptionsOfNamed(named, options);
    return options;
}

// "Title: prompt" on standard error.
void Tell(std::ostream& err, TextView title, TextView prompt) {
    err << title << ": " << ToConsoleText(prompt) << '\n';
}

void Tell(std::ostream& err, const engine::Error& error) {
    err << error.Title() << ": " << ConsoleMessage(error) << '\n';
}

// What a stopped pass leaves in the output box: the words found so far, then how many.
Text StoppedText(const engine::Analysis& a) {
    Text text;
    for (const Text& word : a.wordsFound) {
        text += word;
        text += ' ';
    }
    text += "\r\n\r\nStopped with " + std::to_string(a.wordsWhenStopped) + " word";
    if (a.wordsWhenStopped != 1)
        text += 's';
    return text + " identified.";
}

// The one page of the call, from its file or from standard input.
std::optional<engine::Error> ReadPage(const Text& page, engine::FileSystem& fs,
                                      const CliEnvironment& environment, Text& bytes) {
    if (page == kInputPage) {
        // Standard input, whole and as bytes. What makes no page of it (nothing, a NUL byte)
        // is refused by the pass as for a file.
        bytes.clear();
        if (!environment.readInput)
            return std::nullopt;
        if (Text why = environment.readInput(bytes); !why.empty())
            return engine::Error{engine::Error::Code::kFileUnreadable, kInputPage, 0, why};
        return std::nullopt;
    }
    return engine::ReadPageFile(page, fs, bytes);
}

int Show(const CommandOptions& o, engine::FileSystem& fs, const CliEnvironment& environment,
         std::ostream& out, std::ostream& err) {
    Text bytes;
    if (auto error = ReadPage(o.pages.front(), fs, environment, bytes)) {
        Tell(err, *error);
        return 1;
    }
    // A file that is no page, or an encoding that cannot read it, is refused as every other
    // command refuses it.
    engine::ShowResult shown = engine::Show(bytes, o.encoding);
    if (!shown.ok()) {
        shown.error->path = o.pages.front();
        Tell(err, *shown.error);
        return 1;
    }
    out << ToConsoleText(shown.shown.report) << '\n';
    return 0;
}

// How insert goes about every page of the call.
engine::InsertOptions InsertOptionsOf(const CommandOptions& o, const engine::Options& options,
                                      bool backup) {
    engine::InsertOptions insert;
    insert.backup = !backup                  ? engine::BackupPlace::kNone
                    : o.backupFolder.empty() ? engine::BackupPlace::kBesidePage
                                             : engine::BackupPlace::kInFolder;
    insert.backupFolder = o.backupFolder;
    insert.maxBytes = options.tag.maxBytes;
    insert.encoding = o.encoding;
    insert.dryRun = o.site.dryRun;
    return insert;
}

int Insert(const CommandOptions& o, TextView page, const engine::MetaTag& tag,
           const engine::InsertOptions& options, engine::FileSystem& fs, std::ostream& out) {
    const engine::InsertResult result =
        engine::Insert({o.pages.front(), {}, page, tag.tag, options}, fs);
    // The final message, or the dry run's diff, goes to standard output.
    const Text text = InsertText(result, o.pages.front());
    if (!text.empty())
        out << text << '\n';
    return result.ok() ? 0 : 1;
}

// Insert on standard input: the page with its tag goes to standard output and nothing else
// does (--check and --dry-run print what they print for a file); a refusal goes to standard
// error and leaves standard output empty. No file is written and no backup kept.
int InsertInput(const CommandOptions& o, TextView page, const engine::Analysis& analysis,
                const engine::InsertOptions& options, std::ostream& out, std::ostream& err) {
    const engine::InsertPlan plan =
        engine::PlanInsertInto(page, analysis.tag.tag, options, kInputPage);
    if (plan.refusal) {
        Tell(err, *plan.refusal);
        return 1;
    }
    if (o.site.check) {
        const CheckState state = CheckStateOf(!plan.upToDate, analysis.existing);
        if (state != CheckState::kUpToDate || o.verbose)
            out << CheckLine(kInputPage, state) << '\n';
        return state == CheckState::kUpToDate ? 0 : 1;
    }
    if (plan.diff) {
        engine::InsertResult result;
        result.changed = !plan.upToDate;
        result.diff = plan.diff;
        const Text text = InsertText(result, kInputPage);
        if (!text.empty())
            out << text << '\n';
        return 0;
    }
    out << plan.page;
    return 0;
}

// The common-word list of the page language, read once; without it the pass goes on
// without leaving common words out, after a warning.
engine::CommonWordsLoad LoadCommonWords(engine::Options& options, const Text& dataDir,
                                        engine::FileSystem& fs, std::ostream& err) {
    engine::CommonWordsLoad load = engine::LoadCommonWords(dataDir, options.count, fs);
    if (load.warning)
        Tell(err, *load.warning);
    return load;
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           const CliEnvironment& environment) {
    CLI::App app{
        "Lumora finds the words that describe an HTML page and writes its keywords "
        "meta tag.",
        "lumora-cli"};
    app.set_version_flag("--version", "lumora-cli " + engine::VersionText());
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
    AddSiteFlags(*generate, SiteCommand::kGenerate, options.site);
    AddSiteFlags(*list, SiteCommand::kList, options.site);
    AddSiteFlags(*insert, SiteCommand::kInsert, options.site);
    AddSiteFlags(*show, SiteCommand::kShow, options.site);
    show->add_option("--data-dir", options.dataDir,
                     "Folder holding lmr_text.dat and the cmwds_*.txt files");
    show->add_option("--encoding", options.encoding,
                     "Read the page in this encoding instead of detecting it");
    show->add_option("PAGE", options.pages, "The HTML pages, and folders of pages")->required();
    bool noBackup = false;
    bool backup = false;
    auto* backupFlag = insert->add_flag("--backup", backup,
                                        "Keep the page as it was in a .bak file (the default)");
    auto* noBackupFlag =
        insert->add_flag("--no-backup", noBackup, "Do not keep a backup")->excludes(backupFlag);
    insert
        ->add_option("--backup-dir", options.backupFolder,
                     "Keep the backups in this folder, under each page's path relative to the "
                     "folder given, instead of beside the pages")
        ->type_name("DIR")
        ->check(CLI::Validator(
            [](std::string& folder) {
                return folder.empty() ? std::string("the folder's name is empty") : std::string();
            },
            "DIR"))
        ->excludes(noBackupFlag);

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

    // Standard input is one page, printed as one page is.
    if (std::find(options.pages.begin(), options.pages.end(), kInputPage) != options.pages.end()) {
        const char* problem = options.pages.size() != 1 ? "cannot be given with other pages"
                              : options.site.json || options.site.siteCommon
                                  ? "cannot be read with --json or --site-common"
                                  : nullptr;
        if (problem != nullptr) {
            err << "- (standard input) " << problem << '\n';
            return 2;
        }
    }
    const bool fromInput = options.pages.front() == kInputPage;

    const Text dataDir = options.dataDir.empty() ? engine::FindDataDir(environment.executableFolder,
                                                                       FileSystemOf(environment))
                                                 : options.dataDir;
    if (!fromInput && IsSiteRun(options.pages, options.site, FileSystemOf(environment))) {
        SiteRun run;
        run.command = show->parsed()     ? SiteCommand::kShow
                      : list->parsed()   ? SiteCommand::kList
                      : insert->parsed() ? SiteCommand::kInsert
                                         : SiteCommand::kGenerate;
        run.arguments = options.pages;
        run.flags = options.site;
        run.options = ToOptions(options);
        engine::CommonWordsLoad commonWords;
        if (run.command != SiteCommand::kShow)
            commonWords = LoadCommonWords(run.options, dataDir, FileSystemOf(environment), err);
        run.resources = commonWords.resources();
        run.insert = InsertOptionsOf(options, run.options, !noBackup);
        run.verbose = options.verbose;
        return RunSite(run, out, err, environment);
    }

    engine::FileSystem& fs = FileSystemOf(environment);
    const auto runPage = [&]() -> int {
        if (show->parsed())
            return Show(options, fs, environment, out, err);
        engine::Options engineOptions = ToOptions(options);
        Text page;
        if (auto error = ReadPage(options.pages.front(), fs, environment, page)) {
            Tell(err, *error);
            return 1;
        }
        const engine::CommonWordsLoad commonWords =
            LoadCommonWords(engineOptions, dataDir, fs, err);

        // Ctrl-C stops the pass; the engine offers the chance a few times a second.
        std::stop_source stop;
        const auto checkInterrupt = [&] {
            if (environment.interrupted != nullptr && environment.interrupted->load())
                stop.request_stop();
        };
        checkInterrupt();  // pressed while the page was read
        PageProgressLine progressLine(err, environment.progressOnTerminal);
        const auto progress = [&](const engine::PassProgress& p) {
            checkInterrupt();
            progressLine.Show(p);
        };
        const engine::AnalysisResult result = engine::Analyse(
            page, engineOptions, commonWords.resources(), progress, stop.get_token());
        progressLine.Clear();
        if (!result.ok()) {
            engine::Error error = *result.error;
            error.path = options.pages.front();
            Tell(err, error);
            return 1;
        }
        const engine::Analysis& analysis = result.analysis;
        if (options.verbose) {
            Tell(err, "Encoding", analysis.page.encoding);
            Tell(err, "Line ends", LineEndsText(analysis.page.lineEnds));
        }
        if (analysis.stopped) {
            if (!insert->parsed())
                out << ToConsoleText(StoppedText(analysis)) << '\n';
            return 130;
        }
        if (insert->parsed() && fromInput) {
            engine::InsertOptions insertOptions = InsertOptionsOf(options, engineOptions, false);
            return InsertInput(options, page, analysis, insertOptions, out, err);
        }
        if (insert->parsed()) {
            // Insert reads the page again as it is now; the bytes analysed only show what a
            // dry run would change, and are let go before the new page is made.
            if (!options.site.dryRun)
                Text().swap(page);
            return Insert(options, page, analysis.tag,
                          InsertOptionsOf(options, engineOptions, !noBackup), fs, out);
        }
        const Text box = list->parsed() ? engine::WordList(analysis.ranked, engineOptions.count)
                                        : analysis.tag.boxText;
        out << ToConsoleText(box) << '\n';
        return 0;
    };
    // Running out of memory fails the page like any other reason it cannot be read; all
    // that was taken for it is given back before the message is told.
    try {
        return runPage();
    } catch (const std::bad_alloc&) {
        Tell(err, engine::Error{engine::Error::Code::kOutOfMemory, options.pages.front()});
        return 1;
    }
}

}  // namespace lumora::cli
