// The Python module lumora._lumora: the engine's analyse, show and insert for pages given as
// bytes, and the pieces a runner over many pages needs to write the tool's JSON lines. Only
// the public headers of the core are used, as by the other fronts.
#include <dlfcn.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>
#include <unordered_set>

#include "engine/engine.h"
#include "engine/insert.h"
#include "site/console_text.h"
#include "site/json_report.h"
#include "site/page_set.h"
#include "site/site_run.h"

namespace py = pybind11;
using namespace lumora;

namespace {

// A page given as bytes is named as the tool names standard input.
constexpr const char* kPageName = "-";

// The common-word lists of one data folder, read as passes need them.
struct Resources {
    std::shared_ptr<engine::CommonWordsCache> cache;
};

// The folder this module was loaded from.
Text ModuleFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&ModuleFolder), &info) == 0 ||
        info.dli_fname == nullptr)
        return {};
    std::error_code error;
    const auto file = std::filesystem::canonical(info.dli_fname, error);
    return error ? Text() : file.parent_path().string();
}

bool HoldsData(const Text& folder) {
    std::error_code error;
    return !folder.empty() && std::filesystem::is_regular_file(folder + "/lmr_text.dat", error);
}

// Beside the module; in the build tree, the data folder beside the programs; installed,
// <prefix>/share/lumora beside <prefix>/lib/python3/dist-packages, wherever the prefix was
// moved; else the data folder of the configured prefix.
Text DataDir() {
    const Text folder = ModuleFolder();
    if (HoldsData(folder))
        return folder;
    std::error_code error;
    const bool inBuildTree = std::filesystem::equivalent(folder, LUMORA_BUILD_PACKAGE_DIR, error);
    if (inBuildTree && HoldsData(LUMORA_BUILD_DATA_DIR))
        return LUMORA_BUILD_DATA_DIR;
    if (const Text installed = folder + "/../../../../share/lumora";
        folder.ends_with("/lib/python3/dist-packages/lumora") && HoldsData(installed))
        return std::filesystem::path(installed).lexically_normal().string();
    return engine::FindDataDir({}, engine::RealFileSystem());
}

const Resources& DefaultResources() {
    // Made once, on first use; C++ makes the first use from several threads safe.
    static const Resources resources{std::make_shared<engine::CommonWordsCache>(DataDir())};
    return resources;
}

// lumora.PageError, made once when the module is loaded and kept for the process.
PyObject* pageErrorType = nullptr;

// The page's bytes, held by the caller's bytes object for the whole call.
TextView ViewOf(const py::bytes& page) {
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(page.ptr(), &data, &size) != 0)
        throw py::error_already_set();
    return TextView(data, static_cast<std::size_t>(size));
}

[[noreturn]] void RaisePageError(const Error& error) {
    const Text message = error.Title() + ": " + site::ConsoleMessage(error);
    PyErr_SetString(pageErrorType, message.c_str());
    throw py::error_already_set();
}

// Names and paths as the file system has them: bytes that are not UTF-8 pass through str
// as surrogates, as os.fsdecode gives them.
Text PathOf(const py::handle& text) {
    py::object bytes = py::reinterpret_steal<py::object>(PyUnicode_EncodeFSDefault(text.ptr()));
    if (!bytes)
        throw py::error_already_set();
    return Text(py::bytes(bytes));
}

py::str StrOfPath(const Text& path) {
    PyObject* text = PyUnicode_DecodeFSDefaultAndSize(path.data(), path.size());
    if (text == nullptr)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(text);
}

// The options and the resources of one call, from its keyword arguments.
struct Call {
    engine::Options options;
    std::shared_ptr<engine::CommonWordsCache> cache;
};

Call CallOf(const char* function, const py::kwargs& kwargs) {
    Call call;
    std::vector<engine::NamedOption> named;
    std::optional<Text> dataDir;
    for (const auto& [key, value] : kwargs) {
        const Text pyName = py::str(key);
        if (pyName == "resources") {
            if (!value.is_none() && !py::isinstance<Resources>(value))
                throw py::type_error("resources must be a lumora.Resources");
            if (!value.is_none())
                call.cache = value.cast<const Resources&>().cache;
            continue;
        }
        if (pyName == "data_dir") {
            if (!value.is_none())
                dataDir = PathOf(value);
            continue;
        }
        Text name = pyName;
        for (Char& c : name) c = c == '_' ? '-' : c;
        if (!engine::IsOptionName(name) || pyName.find('-') != Text::npos)
            throw py::type_error(Text(function) + "() got an unexpected keyword argument '" +
                                 pyName + "'");
        if (engine::IsFlagOption(name)) {
            if (!py::isinstance<py::bool_>(value))
                throw py::type_error(pyName + " must be True or False");
            if (value.cast<bool>())
                named.push_back({name, ""});
        } else if (value.is_none()) {
            // None is an empty value (no limit, no words), but no language is the default.
            if (name != "language")
                named.push_back({name, ""});
        } else if (py::isinstance<py::str>(value)) {
            named.push_back({name, value.cast<Text>()});
        } else if (py::isinstance<py::int_>(value) && !py::isinstance<py::bool_>(value)) {
            named.push_back({name, py::str(value).cast<Text>()});
        } else {
            throw py::type_error(pyName + " must be a str or an int");
        }
    }
    if (auto problem = engine::OptionsOfNamed(named, call.options))
        throw py::value_error(*problem);
    if (dataDir) {
        // Each folder's lists are read once per process, as the default ones are; the map
        // is only touched with the GIL held.
        static std::map<Text, std::shared_ptr<engine::CommonWordsCache>> caches;
        std::shared_ptr<engine::CommonWordsCache>& cache = caches[*dataDir];
        if (!cache)
            cache = std::make_shared<engine::CommonWordsCache>(*dataDir);
        call.cache = cache;
    }
    if (!call.cache)
        call.cache = DefaultResources().cache;
    return call;
}

// The lists the call's options need; a list that cannot be read is warned of, as the tool
// warns, and the pass keeps common words.
engine::CommonWordsLoad LoadLists(Call& call) {
    engine::CommonWordsLoad load;
    {
        py::gil_scoped_release release;
        load = call.cache->Load(call.options.count);
    }
    if (load.warning) {
        const Text message = load.warning->Title() + ": " + site::PlainMessage(*load.warning);
        if (PyErr_WarnEx(PyExc_RuntimeWarning, message.c_str(), 1) != 0)
            throw py::error_already_set();
    }
    return load;
}

// A value of the tool's JSON as Python's json module would read it from the line. Made
// with the interpreter's own calls: a page's ranked words are hundreds of small dicts.
PyObject* NewPythonOf(const nlohmann::json& value) {
    using Type = nlohmann::json::value_t;
    switch (value.type()) {
        case Type::boolean:
            return PyBool_FromLong(value.get<bool>() ? 1 : 0);
        case Type::number_integer:
            return PyLong_FromLongLong(value.get<std::int64_t>());
        case Type::number_unsigned:
            return PyLong_FromUnsignedLongLong(value.get<std::uint64_t>());
        case Type::number_float:
            return PyFloat_FromDouble(value.get<double>());
        case Type::string: {
            const std::string& text = value.get_ref<const std::string&>();
            // As the line writes it: a byte that is not UTF-8 becomes U+FFFD.
            return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                        "replace");
        }
        case Type::array: {
            PyObject* list = PyList_New(static_cast<Py_ssize_t>(value.size()));
            Py_ssize_t i = 0;
            for (const nlohmann::json& item : value) {
                PyObject* element = list ? NewPythonOf(item) : nullptr;
                if (element == nullptr) {
                    Py_XDECREF(list);
                    return nullptr;
                }
                PyList_SET_ITEM(list, i++, element);
            }
            return list;
        }
        case Type::object: {
            PyObject* dict = PyDict_New();
            for (const auto& [key, item] : value.get_ref<const nlohmann::json::object_t&>()) {
                PyObject* element = dict ? NewPythonOf(item) : nullptr;
                if (element == nullptr || PyDict_SetItemString(dict, key.c_str(), element) != 0) {
                    Py_XDECREF(element);
                    Py_XDECREF(dict);
                    return nullptr;
                }
                Py_DECREF(element);
            }
            return dict;
        }
        default:
            Py_RETURN_NONE;
    }
}

py::object PythonOf(const nlohmann::json& value) {
    PyObject* made = NewPythonOf(value);
    if (made == nullptr)
        throw py::error_already_set();
    return py::reinterpret_steal<py::object>(made);
}

// A line's fields for a page that has no path.
py::dict WithoutPath(const site::PageReport& report) {
    nlohmann::json fields = site::JsonObject(report);
    fields.erase("path");
    return PythonOf(fields);
}

std::shared_ptr<const std::unordered_set<Text>> WordSet(const py::object& words) {
    if (words.is_none())
        return nullptr;
    auto set = std::make_shared<std::unordered_set<Text>>();
    for (const py::handle word : words) set->insert(word.cast<Text>());
    return set;
}

site::PageReport ListReport(const Text& path, const engine::Analysis& analysis,
                            const engine::CountOptions& count) {
    site::PageReport report;
    report.path = path;
    report.analysis = &analysis;
    report.rules = engine::WordRulesCode(count.rules);
    report.withWords = true;
    report.siteCommon = analysis.siteCommonLeftOut;
    return report;
}

// Running out of memory raises MemoryError (pybind11 turns std::bad_alloc into it), but in
// the calls that write a line for a run, where the page fails alone as in the tool.

// The pass over the page, run without the GIL; a page the engine refuses raises PageError.
engine::Analysis AnalysedOrRaised(TextView bytes, Call& call) {
    const engine::CommonWordsLoad load = LoadLists(call);
    engine::AnalysisResult result;
    {
        py::gil_scoped_release release;
        result = engine::Analyse(bytes, call.options, load.resources());
    }
    if (!result.ok()) {
        result.error->path = kPageName;
        RaisePageError(*result.error);
    }
    return std::move(result.analysis);
}

py::dict Analyse(const py::bytes& page, const py::kwargs& kwargs) {
    Call call = CallOf("analyse", kwargs);
    const engine::Analysis analysis = AnalysedOrRaised(ViewOf(page), call);
    return WithoutPath(ListReport(kPageName, analysis, call.options.count));
}

py::dict Show(const py::bytes& page, const std::optional<Text>& encoding) {
    const TextView bytes = ViewOf(page);
    engine::ShowResult shown;
    {
        py::gil_scoped_release release;
        shown = engine::Show(bytes, encoding.value_or(""));
    }
    if (!shown.ok()) {
        shown.error->path = kPageName;
        RaisePageError(*shown.error);
    }
    engine::Analysis facts;
    facts.page = std::move(shown.shown.page);
    facts.existing = std::move(shown.shown.existing);
    site::PageReport report;
    report.path = kPageName;
    report.analysis = &facts;
    report.withTag = false;
    return WithoutPath(report);
}

py::bytes Insert(const py::bytes& page, const py::kwargs& kwargs) {
    Call call = CallOf("insert", kwargs);
    const TextView bytes = ViewOf(page);
    const engine::Analysis analysis = AnalysedOrRaised(bytes, call);
    engine::InsertOptions insert;
    insert.backup = engine::BackupPlace::kNone;
    insert.maxBytes = call.options.tag.maxBytes;
    insert.encoding = call.options.count.encoding;
    engine::InsertPlan plan;
    {
        py::gil_scoped_release release;
        plan = engine::PlanInsertInto(bytes, analysis.tag.tag, insert, kPageName);
    }
    if (plan.refusal)
        RaisePageError(*plan.refusal);
    return py::bytes(plan.page);
}

py::str ListLine(const py::bytes& page, const py::handle& pathArgument,
                 const py::object& siteCommonWords, const py::object& siteTitleWords,
                 const py::kwargs& kwargs) {
    Call call = CallOf("_list_line", kwargs);
    const Text path = PathOf(pathArgument);
    call.options.count.siteCommonWords = WordSet(siteCommonWords);
    call.options.count.siteTitleWords = WordSet(siteTitleWords);
    const engine::CommonWordsLoad load = LoadLists(call);
    const TextView bytes = ViewOf(page);
    Text line;
    {
        py::gil_scoped_release release;
        site::PageReport failed;
        failed.path = path;
        failed.status = site::PageStatus::kFailed;
        // As in a run of the tool, a page that does not fit in memory fails alone.
        try {
            engine::AnalysisResult result = engine::Analyse(bytes, call.options, load.resources());
            if (result.ok()) {
                line = site::JsonLine(ListReport(path, result.analysis, call.options.count));
            } else {
                result.error->path = path;
                failed.error = site::ErrorField(*result.error);
            }
        } catch (const std::bad_alloc&) {
            failed.error = site::ErrorField(Error{Error::Code::kOutOfMemory, path});
        }
        if (line.empty())
            line = site::JsonLine(failed);
    }
    return py::str(line);
}

py::object PageWords(const py::bytes& page, const py::kwargs& kwargs) {
    Call call = CallOf("_page_words", kwargs);
    const engine::CommonWordsLoad load = LoadLists(call);
    const TextView bytes = ViewOf(page);
    engine::PageReadingResult result;
    bool tooLarge = false;
    {
        py::gil_scoped_release release;
        // A page that does not fit in memory says nothing of the site, as in the tool.
        try {
            result = engine::ReadPage(bytes, call.options.count, load.resources());
        } catch (const std::bad_alloc&) {
            tooLarge = true;
        }
    }
    if (tooLarge || !result.ok())
        return py::none();
    const engine::PageReading& reading = result.reading;
    py::list shown, inTitle;
    for (std::size_t i = 0; i < reading.Forms().size(); ++i) {
        const py::str form(Text(reading.Forms()[i]));
        if (reading.Visible(i))
            shown.append(form);
        if (reading.InTitle(i))
            inTitle.append(form);
    }
    return py::make_tuple(shown, inTitle);
}

// The walk of the tool's run: the pages in path order, and the arguments that gave none
// with the message its JSON line gives. A page named directly that is missing is a page,
// told when it is read, as the tool tells it.
py::tuple CollectPages(const py::list& arguments, bool recursive, bool followSymlinks,
                       const py::list& include, const py::list& exclude) {
    std::vector<Text> paths;
    for (const py::handle a : arguments) paths.push_back(PathOf(a));
    site::PageSetOptions options;
    options.recursive = recursive;
    options.followSymlinks = followSymlinks;
    for (const py::handle p : include) options.include.push_back(PathOf(p));
    for (const py::handle p : exclude) options.exclude.push_back(PathOf(p));
    site::PageSet set;
    {
        py::gil_scoped_release release;
        set = site::CollectPages(paths, options, engine::RealFileSystem());
    }
    py::list pages, problems;
    for (const site::PageEntry& entry : site::InRunOrder(set, engine::RealFileSystem())) {
        if (entry.problem)
            problems.append(
                py::make_tuple(StrOfPath(entry.path), site::ErrorField(*entry.problem)));
        else
            pages.append(StrOfPath(entry.path));
    }
    return py::make_tuple(pages, problems);
}

// A page file read as the tool reads it: its bytes, or the message of its failed line,
// naming the page `shownAs` when given (a worker may read it by another path).
py::tuple ReadPageFile(const py::handle& pathArgument, const py::object& shownAs) {
    const Text path = PathOf(pathArgument);
    Text bytes;
    std::optional<Error> error;
    {
        py::gil_scoped_release release;
        try {
            error = engine::ReadPageFile(path, engine::RealFileSystem(), bytes);
            if (!error)
                error = engine::RefusePage(bytes);
        } catch (const std::bad_alloc&) {
            error = Error{Error::Code::kOutOfMemory, path};
        }
    }
    if (error) {
        error->path = shownAs.is_none() ? path : PathOf(shownAs);
        return py::make_tuple(py::none(), StrOfPath(site::ErrorField(*error)));
    }
    return py::make_tuple(py::bytes(bytes), py::none());
}

// The message of a page read from another store that failed as `kind` says, in the words
// the tool uses for a local file; for "name", None when the name is a page's.
py::object PageFailure(const py::handle& pathArgument, const std::string& kind,
                       const std::string& detail) {
    const Text path = PathOf(pathArgument);
    std::optional<Error> error;
    if (kind == "name")
        error = engine::RefusePageName(path);
    else if (kind == "missing")
        error = Error{Error::Code::kFileMissing, path};
    else if (kind == "not_regular")
        error = Error{Error::Code::kNotRegularFile, path};
    else if (kind == "unreadable")
        error = Error{Error::Code::kFileUnreadable, path, 0, detail};
    else
        throw py::value_error("unknown kind of failure: " + kind);
    if (!error)
        return py::none();
    return StrOfPath(site::ErrorField(*error));
}

// The JSON line of a page that failed before any pass, as the tool writes it.
Text FailedLine(const py::handle& pathArgument, const py::handle& message) {
    site::PageReport failed;
    failed.path = PathOf(pathArgument);
    failed.status = site::PageStatus::kFailed;
    failed.error = PathOf(message);
    return site::JsonLine(failed);
}

}  // namespace

PYBIND11_MODULE(_lumora, m) {
    m.doc() = "The Lumora engine: the words that describe an HTML page, and its keywords tag.";
    pageErrorType = PyErr_NewExceptionWithDoc(
        "lumora.PageError",
        "The page cannot be read (empty, a NUL byte, an encoding that cannot read it) or "
        "cannot take the tag. The message is the command-line tool's.",
        PyExc_ValueError, nullptr);
    if (pageErrorType == nullptr)
        throw py::error_already_set();
    m.attr("PageError") = py::handle(pageErrorType);

    py::class_<Resources>(m, "Resources",
                          "The common-word lists of one data folder, each read the first time "
                          "a call needs it and kept; pass it as resources= to share them.")
        .def(py::init([](const py::handle& dataDir) {
                 return Resources{std::make_shared<engine::CommonWordsCache>(PathOf(dataDir))};
             }),
             py::arg("data_dir"),
             "Resources(data_dir): the lists in data_dir (lmr_text.dat, cmwds_*.txt).")
        .def_property_readonly(
            "data_dir", [](const Resources& r) { return StrOfPath(r.cache->DataDir()); },
            "The folder the lists are read from.")
        .def("__repr__", [](const Resources& r) {
            return "lumora.Resources(" + py::repr(StrOfPath(r.cache->DataDir())).cast<Text>() + ")";
        });
    m.def(
        "_default_resources", [] { return DefaultResources(); },
        "The resources used when none are given: the data folder beside the module, in the "
        "build tree, or installed.");

    m.def("analyse", &Analyse, py::arg("page"),
          "analyse(page: bytes, **options) -> dict: the page's ranked words and keywords tag.");
    m.def("show", &Show, py::arg("page"), py::arg("encoding") = py::none(),
          "show(page: bytes, encoding=None) -> dict: how the page reads, and its own tags.");
    m.def("insert", &Insert, py::arg("page"),
          "insert(page: bytes, **options) -> bytes: the page with its keywords tag.");
    m.def("_list_line", &ListLine, py::arg("page"), py::arg("path"), py::kw_only(),
          py::arg("site_common_words") = py::none(), py::arg("site_title_words") = py::none(),
          "The JSON line `lumora-cli list --json` writes for the page under this path.");
    m.def("_page_words", &PageWords, py::arg("page"),
          "The distinct lower-case words the page shows and those of its title, or None.");
    m.def("_collect_pages", &CollectPages, py::arg("arguments"), py::arg("recursive") = false,
          py::arg("follow_symlinks") = false, py::arg("include") = py::list(),
          py::arg("exclude") = py::list(),
          "The tool's walk: (sorted page paths, [(path, message) of arguments giving none]).");
    m.def("_read_page", &ReadPageFile, py::arg("path"), py::arg("shown_as") = py::none(),
          "A page file read as the tool reads it: (bytes, None) or (None, message), the "
          "message naming the page shown_as when given.");
    m.def("_page_failure", &PageFailure, py::arg("path"), py::arg("kind"), py::arg("detail") = "",
          "The tool's message for a page of another store that is missing, not a regular "
          "file, unreadable (detail: why), or of a name no page has (kind \"name\": None "
          "when the name is a page's).");
    m.def(
        "_decimal_problem",
        [](const std::string& value, int lowest, int highest) -> py::object {
            const std::optional<Text> problem = engine::DecimalProblem(value, lowest, highest, 1);
            return problem ? py::object(py::str(*problem)) : py::object(py::none());
        },
        py::arg("value"), py::arg("lowest"), py::arg("highest"),
        "Why value is no whole number from lowest to highest, in the tool's words, or None.");
    m.def("_failed_line", &FailedLine, py::arg("path"), py::arg("message"),
          "The JSON line of a page that failed with this message before any pass.");
    m.def(
        "_is_own_file", [](const py::handle& name) { return site::IsOwnFile(PathOf(name)); },
        py::arg("name"), "Whether the name is a backup's or an insert's temporary file's.");
    m.def(
        "_is_page_name", [](const py::handle& name) { return site::IsPageName(PathOf(name)); },
        py::arg("name"), "Whether the name ends in .htm, .html or .xhtml, in any case.");
    m.def(
        "_matches_pattern",
        [](const py::handle& pattern, const py::handle& path) {
            return site::MatchesPattern(PathOf(pattern), PathOf(path));
        },
        py::arg("pattern"), py::arg("path"),
        "The tool's --include/--exclude test of a pattern against a name or a path.");
}
