#include "files/page_file.h"

#include <array>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <random>
#include <utility>
#include <vector>

namespace lumora::files {

namespace {

constexpr TextView kTempMark = ".lumora-";
constexpr TextView kTempEnd = ".tmp";
constexpr std::size_t kTempHashChars = 16;
constexpr std::size_t kTempRandomChars = 8;
// What follows the beginning of the base: the mark, the hash of the whole base, "-", the
// random part and the end.
constexpr std::size_t kTempTail =
    kTempMark.size() + kTempHashChars + 1 + kTempRandomChars + kTempEnd.size();
// Keeps a temporary name within the usual 255-byte limit of a file name.
constexpr std::size_t kLongestBaseInTempName = 200;
constexpr TextView kTempChars = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr TextView kHexChars = "0123456789abcdef";
// A temporary name this old belongs to no run still going: a run names its new file only
// for the moments of writing it (or, with an unnamed file, of the rename).
constexpr std::time_t kLeftoverAgeSeconds = 10 * 60;

Text BaseOf(const Text& path) {
    const std::size_t slash = path.rfind('/');
    return slash == Text::npos ? path : path.substr(slash + 1);
}

// FNV-1a of the whole base: the same in every run, so a later run knows the names.
Text HashOf(TextView base) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : base) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    Text hex(kTempHashChars, '0');
    for (std::size_t i = kTempHashChars; i-- > 0; hash >>= 4) hex[i] = kHexChars[hash & 15];
    return hex;
}

Text TempPrefixFor(TextView base) {
    Text prefix = ".";
    prefix += base.substr(0, kLongestBaseInTempName);
    prefix += kTempMark;
    prefix += HashOf(base);
    prefix += '-';
    return prefix;
}

Text NewTempName(TextView base) {
    // One generator per thread: pages are replaced on several threads at once.
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kTempChars.size() - 1);
    Text name = TempPrefixFor(base);
    for (std::size_t i = 0; i < kTempRandomChars; ++i) name += kTempChars[pick(generator)];
    name += kTempEnd;
    return name;
}

// The three signals with which a user or a session manager stops a program politely are
// held back while a new file has a temporary name, and delivered right after it has its
// final one. Handlers rather than a signal mask, so that a signal sent to the process
// cannot slip in through another thread. The handlers belong to the whole process, so
// when several threads replace pages at once the first holder installs them and the last
// one puts the program's own back and delivers what arrived meanwhile; otherwise one
// thread could save another's holding handler as the "old" one and leave it in place for
// good, and Ctrl-C would stop working.
class SignalsHeld {
  public:
    SignalsHeld() {
        std::lock_guard lock(mutex_);
        if (holders_++ > 0)
            return;
        pending_ = 0;
        struct sigaction hold {};
        hold.sa_handler = &Note;
        sigfillset(&hold.sa_mask);
        hold.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            struct sigaction& old = old_[i];
            ::sigaction(kSignals[i], nullptr, &old);
            if (old.sa_handler != SIG_IGN)  // an ignored signal stays ignored
                ::sigaction(kSignals[i], &hold, nullptr);
        }
    }
    ~SignalsHeld() {
        int pending = 0;
        {
            std::lock_guard lock(mutex_);
            if (--holders_ > 0)
                return;
            for (std::size_t i = 0; i < kSignals.size(); ++i)
                ::sigaction(kSignals[i], &old_[i], nullptr);
            pending = pending_;
        }
        if (pending != 0)
            std::raise(pending);
    }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    static void Note(int signal) { pending_ = signal; }
    static constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};
    static volatile std::sig_atomic_t pending_;
    static inline std::mutex mutex_;
    static inline int holders_ = 0;
    static inline std::array<struct sigaction, 3> old_{};
};

volatile std::sig_atomic_t SignalsHeld::pending_ = 0;

// Removes what killed runs left for the file `base`, but only names old enough that no
// run in progress can be using them; a name that cannot be removed now is left for a
// later run, as it does no harm to this one.
void RemoveLeftoverTemps(FileSystem& fs, const Folder& folder, const Text& base) {
    std::vector<Text> names;
    if (!fs.ListFolder(folder, names).empty())
        return;
    const std::time_t now = std::time(nullptr);
    for (const Text& name : names) {
        if (!IsTempNameFor(name, base))
            continue;
        FileInfo info;
        if (fs.Stat(folder, name, info).empty() && info.kind == FileInfo::Kind::kRegular &&
            now - info.modified.tv_sec > kLeftoverAgeSeconds)
            fs.Remove(folder, name);
    }
}

Error Failure(const Text& shownName, const Text& error) {
    return Error{Error::Code::kReplaceFailed, shownName, 0, error};
}

}  // namespace

Text FolderOf(const Text& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == Text::npos)
        return ".";
    return slash == 0 ? Text("/") : path.substr(0, slash);
}

bool IsTempNameFor(TextView name, TextView base) {
    const Text prefix = TempPrefixFor(base);
    if (name.size() != prefix.size() + kTempRandomChars + kTempEnd.size() ||
        !name.starts_with(prefix) || !name.ends_with(kTempEnd)) {
        return false;
    }
    const TextView random = name.substr(prefix.size(), kTempRandomChars);
    return random.find_first_not_of(kTempChars) == TextView::npos;
}

bool IsTempName(TextView name) {
    if (name.size() <= kTempTail + 1 || !name.starts_with('.') || !name.ends_with(kTempEnd))
        return false;
    const TextView base = name.substr(1, name.size() - kTempTail - 1);
    const TextView tail = name.substr(name.size() - kTempTail);
    const TextView hash = tail.substr(kTempMark.size(), kTempHashChars);
    const TextView random = tail.substr(kTempMark.size() + kTempHashChars + 1, kTempRandomChars);
    if (!tail.starts_with(kTempMark) || hash.find_first_not_of(kHexChars) != TextView::npos ||
        tail[kTempMark.size() + kTempHashChars] != '-' ||
        random.find_first_not_of(kTempChars) != TextView::npos || base.empty() ||
        base.size() > kLongestBaseInTempName)
        return false;
    // A base short enough to be whole in the name must give the hash.
    return base.size() == kLongestBaseInTempName || hash == HashOf(base);
}

std::optional<Error> NotRegularFileProblem(const Text& path, FileSystem& fs) {
    FileInfo info;
    if (fs.Stat(path, info).empty() && info.kind != FileInfo::Kind::kRegular &&
        info.kind != FileInfo::Kind::kMissing)
        return Error{Error::Code::kNotRegularFile, path};
    return std::nullopt;
}

namespace {

std::optional<Error> StatPage(FileSystem& fs, const Folder& folder, const Text& name,
                              const Text& shownName, FileInfo& info) {
    if (Text error = fs.Stat(folder, name, info); !error.empty())
        return Error{Error::Code::kCannotExamine, shownName, 0, std::move(error)};
    if (info.kind == FileInfo::Kind::kMissing)
        return Error{Error::Code::kNoSuchFile, shownName};
    if (info.kind != FileInfo::Kind::kRegular)
        return Error{Error::Code::kNotRegularFile, shownName};
    return std::nullopt;
}

}  // namespace

std::optional<Error> ReadPage(const Text& path, Text& bytes, FileSystem& fs) {
    bytes.clear();
    FileInfo info;
    if (auto problem = StatPage(fs, Folder(), path, path, info))
        return problem;
    Text error = fs.ReadAll(path, bytes);
    if (!error.empty()) {
        bytes.clear();
        return Error{Error::Code::kReadFailed, path, 0, std::move(error)};
    }
    return std::nullopt;
}

std::optional<Error> CheckReplaceable(const Text& path, FileInfo& info, FileSystem& fs) {
    return CheckReplaceable(fs, Folder(), path, path, info);
}

std::optional<Error> CheckReplaceable(FileSystem& fs, const Folder& folder, const Text& name,
                                      const Text& shownName, FileInfo& info) {
    if (auto problem = StatPage(fs, folder, name, shownName, info))
        return problem;
    if (!info.writable)
        return Error{Error::Code::kReadOnly, shownName};
    if (info.links > 1) {
        Error error{Error::Code::kHardLinks, shownName};
        error.count = static_cast<std::int64_t>(info.links);
        return error;
    }
    return std::nullopt;
}

Text MakeFolders(FileSystem& fs, const Text& folder) {
    FileInfo info;
    if (Text error = fs.Stat(folder, info);
        !error.empty() || info.kind == FileInfo::Kind::kDirectory)
        return error;
    const Text parent = FolderOf(folder);
    if (parent != folder) {
        if (Text error = MakeFolders(fs, parent); !error.empty())
            return error;
    }
    return fs.MakeFolder(Folder(), folder);
}

namespace {

// Whether the file is still the one `then` describes.
bool SameFile(const FileInfo& now, const FileInfo& then) {
    return now.kind == then.kind && now.device == then.device && now.inode == then.inode &&
           now.size == then.size && now.modified.tv_sec == then.modified.tv_sec &&
           now.modified.tv_nsec == then.modified.tv_nsec;
}

// The new file is made without a name (or, where the file system cannot, under a
// temporary name), written in full, given the owner, group and bits of `like`, made
// durable, and then named `target`: over what is there when `replace` (and, with
// `unchangedSince`, only while that is still the same file), otherwise only when nothing
// is.
std::optional<Error> PutFile(FileSystem& fs, const Folder& folder, const Text& target,
                             TextView bytes, const FileInfo& like, const Text& shownName,
                             bool replace, const FileInfo* unchangedSince) {
    RemoveLeftoverTemps(fs, folder, target);

    const Text tempName = NewTempName(target);
    // A named new file must not outlive a polite signal: the signals are held from before
    // it can exist. A file without a name vanishes with the process, so then they are let
    // through again until it is given one.
    std::optional<SignalsHeld> held(std::in_place);
    NewFile file;
    if (Text error = fs.CreateTemp(folder, tempName, file); !error.empty())
        return Failure(shownName, error);
    if (!file.named)
        held.reset();

    // The file is private (0600) until it is complete; it gets the page's owner and bits
    // before any name makes it reachable, so it never shows more than the page did.
    Text error = fs.Write(file.fd, bytes);
    if (error.empty())
        error = fs.SetOwner(file.fd, like.owner, like.group);
    if (error.empty())
        error = fs.SetMode(file.fd, like.mode);
    if (error.empty())
        error = fs.Sync(file.fd);

    bool hasName = file.named;
    bool placed = false;
    if (error.empty() && !file.named && !replace) {
        // A new file without a name can take its final name directly, which fails when
        // that name is taken.
        error = fs.Link(file.fd, folder, target);
        placed = error.empty();
    } else if (error.empty()) {
        if (!held)
            held.emplace();
        if (!file.named) {
            error = fs.Link(file.fd, folder, tempName);
            hasName = error.empty();
        }
    }
    if (Text closed = fs.Close(file.fd); error.empty())
        error = closed;
    bool changed = false;
    if (error.empty() && !placed && unchangedSince) {
        // As late as possible: a save of the file after this moment is not seen.
        FileInfo now;
        error = fs.Stat(folder, target, now);
        changed = error.empty() && !SameFile(now, *unchangedSince);
    }
    if (error.empty() && !placed && !changed)
        error =
            replace ? fs.Rename(folder, tempName, target) : fs.RenameNew(folder, tempName, target);
    if (!error.empty() || changed) {
        if (hasName)
            fs.Remove(folder, tempName);
        else if (placed)
            fs.Remove(folder, target);
        if (changed)
            return Error{Error::Code::kChangedMeanwhile, shownName};
        return Failure(shownName, error);
    }
    held.reset();
    if (Text synced = fs.SyncFolder(folder); !synced.empty())
        return Error{Error::Code::kNotDurable, shownName, 0, std::move(synced)};
    return std::nullopt;
}

}  // namespace

Text OpenFolderOf(FileSystem& fs, const Text& path, const Text& top, bool makeFolders,
                  Folder& folder, Text& name) {
    folder = Folder();
    name = BaseOf(path);
    // Below the top, ".." would climb back out of it: such a path is taken as given.
    const bool inside = !top.empty() && path.size() > top.size() && path.starts_with(top) &&
                        (top.ends_with('/') || path[top.size()] == '/') &&
                        ("/" + path.substr(top.size()) + "/").find("/../") == Text::npos;
    if (!inside) {
        const Text where = FolderOf(path);
        if (makeFolders) {
            if (Text error = MakeFolders(fs, where); !error.empty())
                return error;
        }
        return fs.OpenFolder(Folder(), where, folder);
    }
    if (makeFolders) {
        if (Text error = MakeFolders(fs, top); !error.empty())
            return error;
    }
    if (Text error = fs.OpenFolder(Folder(), top, folder); !error.empty())
        return error;
    // Each folder below the top in turn, relative to the one before.
    const Text below = path.substr(top.size());
    std::size_t at = 0;
    for (std::size_t slash; (slash = below.find('/', at)) != Text::npos; at = slash + 1) {
        const Text part = below.substr(at, slash - at);
        if (part.empty() || part == ".")
            continue;
        if (makeFolders) {
            if (Text error = fs.MakeFolder(folder, part); !error.empty())
                return error;
        }
        Folder next;
        if (Text error = fs.OpenFolder(folder, part, next); !error.empty())
            return error;
        folder = std::move(next);
    }
    return {};
}

std::optional<Error> ReplaceFile(FileSystem& fs, const Folder& folder, const Text& name,
                                 TextView bytes, const FileInfo& like, const Text& shownName,
                                 const FileInfo* unchangedSince) {
    return PutFile(fs, folder, name, bytes, like, shownName, true, unchangedSince);
}

std::optional<Error> ReplaceFile(FileSystem& fs, const Text& target, TextView bytes,
                                 const FileInfo& like, const Text& shownName) {
    Folder folder;
    if (Text error = fs.OpenFolder(Folder(), FolderOf(target), folder); !error.empty())
        return Failure(shownName, error);
    return PutFile(fs, folder, BaseOf(target), bytes, like, shownName, true, nullptr);
}

std::optional<Error> WriteNewFile(FileSystem& fs, const Folder& folder, const Text& name,
                                  TextView bytes, const FileInfo& like, const Text& shownName) {
    return PutFile(fs, folder, name, bytes, like, shownName, false, nullptr);
}

}  // namespace lumora::files
