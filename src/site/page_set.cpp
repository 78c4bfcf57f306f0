#include "site/page_set.h"

#include <fnmatch.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include "files/page_file.h"
#include "output/insert.h"

namespace lumora::site {

namespace {

using files::FileInfo;

Error CannotList(const Text& path, Text error) {
    return Error{Error::Code::kCannotList, path, 0, std::move(error)};
}

// What stands at `path`, a final link followed or not: nothing there is an error here, as
// it leaves nothing to walk or take.
Text Look(files::FileSystem& fs, const Text& path, bool follow, FileInfo& info) {
    Text error = follow ? fs.Stat(path, info) : fs.StatLink(path, info);
    if (error.empty() && info.kind == FileInfo::Kind::kMissing)
        error = std::strerror(ENOENT);
    return error;
}

TextView NameOf(TextView path) {
    const std::size_t slash = path.rfind('/');
    return slash == TextView::npos ? path : path.substr(slash + 1);
}

Text Join(const Text& folder, const Text& name) {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

bool MatchesAny(const std::vector<Text>& patterns, TextView path) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const Text& p) { return MatchesPattern(p, path); });
}

// Judged by the usual page names, not by --include: "--include '*'" must not turn every
// folder named on the command line into a page.
bool LooksLikeAPage(const Text& argument) {
    return !argument.ends_with('/') && IsPageName(NameOf(argument));
}

using FileId = std::pair<dev_t, ino_t>;

FileId IdOf(const FileInfo& info) {
    return {info.device, info.inode};
}

class Walker {
  public:
    Walker(const std::vector<Text>& arguments, const PageSetOptions& options, files::FileSystem& fs,
           PageSet& out)
        : options_(options), fs_(fs), out_(out) {
        // A folder to skip counts as walked already.
        for (const Text& folder : options.skipFolders) {
            FileInfo info;
            if (Look(fs_, folder, true, info).empty() && info.kind == FileInfo::Kind::kDirectory)
                visited_.insert(IdOf(info));
        }
        // Where the folders given really are: a link may lead only inside them.
        for (const Text& argument : arguments) {
            Text real;
            if (WalkedAsFolder(argument, fs_) && fs_.RealPath(argument, real).empty())
                roots_.push_back({std::move(real), argument});
        }
    }

    void Argument(const Text& path) {
        FileInfo info;
        if (Text error = Look(fs_, path, true, info); !error.empty()) {
            // A dangling link or a missing file: the page command reports it as its own.
            out_.problems.push_back(CannotList(path, std::move(error)));
            return;
        }
        if (info.kind == FileInfo::Kind::kDirectory && !LooksLikeAPage(path)) {
            const std::size_t pages = found_.size();
            const std::size_t problems = out_.problems.size();
            // A folder without pages is most likely a wrong folder or a wrong pattern.
            if (Folder(path, info) && found_.size() == pages && out_.problems.size() == problems)
                out_.problems.push_back(Error{Error::Code::kNoPages, path});
        } else {
            // Named directly: taken whatever it is; the page command refuses what is not a
            // regular file with its own message.
            found_.push_back({path, IdOf(info)});
        }
    }

    // The pages in path order, each file once, under the first of its paths.
    std::vector<Text> Pages() {
        std::sort(found_.begin(), found_.end());
        std::vector<Text> pages;
        std::set<FileId> taken;
        for (const auto& [path, id] : found_) {
            if (taken.insert(id).second)
                pages.push_back(path);
        }
        return pages;
    }

  private:
    // False when the folder was walked before.
    bool Folder(const Text& folder, const FileInfo& info) {
        if (!visited_.insert(IdOf(info)).second)
            return false;  // reached again: walked once
        std::vector<Text> names;
        Text listError;
        {
            // Closed again before the subfolders are walked, however deep they go.
            files::Folder opened;
            if (Text error = fs_.OpenFolder(files::Folder(), folder, opened); !error.empty()) {
                out_.problems.push_back(CannotList(folder, std::move(error)));
                return true;
            }
            listError = fs_.ListFolder(opened, names);
        }
        // The names listed before a failure are still taken; the failure is told after them.
        std::vector<Text> subfolders;
        for (const Text& name : names) {
            Text path = Join(folder, name);
            FileInfo target;
            if (!Look(fs_, path, false, target).empty())
                continue;  // gone since it was listed
            if (target.kind == FileInfo::Kind::kLink) {
                // Without --follow-symlinks a link is neither taken nor entered: it could
                // lead anywhere, and a page would be written there.
                if (!options_.followSymlinks || !FollowLink(name, path, target))
                    continue;
            }
            if (target.kind == FileInfo::Kind::kDirectory) {
                if (options_.recursive && !MatchesAny(options_.exclude, path))
                    subfolders.push_back(path);
                continue;
            }
            if (Taken(name, path))
                found_.push_back({path, IdOf(target)});
        }
        if (!listError.empty())
            out_.problems.push_back(CannotList(folder, std::move(listError)));
        for (const Text& sub : subfolders) {
            FileInfo subInfo;
            if (Look(fs_, sub, true, subInfo).empty())
                Folder(sub, subInfo);
        }
        return true;
    }

    // A link that would be walked or taken: `path` becomes the path of what it leads to,
    // below the folder given that holds it, and `target` what is there. False when it is
    // not wanted or leads nowhere or outside (the last two reported).
    bool FollowLink(const Text& name, Text& path, FileInfo& target) {
        if (Text error = Look(fs_, path, true, target); !error.empty()) {
            if (Taken(name, path))  // dangling: a page that cannot be read
                out_.problems.push_back(CannotList(path, std::move(error)));
            return false;
        }
        const bool wanted = target.kind == FileInfo::Kind::kDirectory
                                ? options_.recursive && !MatchesAny(options_.exclude, path)
                                : Taken(name, path);
        if (!wanted)
            return false;
        Text real;
        if (Text error = fs_.RealPath(path, real); !error.empty()) {
            out_.problems.push_back(CannotList(path, std::move(error)));
            return false;
        }
        // The innermost folder given that holds it, so that the page's root is that one.
        const Root* holder = nullptr;
        for (const Root& root : roots_) {
            const bool inside =
                real == root.real || (real.starts_with(root.real) &&
                                      (root.real.ends_with('/') || real[root.real.size()] == '/'));
            if (inside && (holder == nullptr || root.real.size() > holder->real.size()))
                holder = &root;
        }
        if (holder == nullptr) {
            out_.problems.push_back(Error{Error::Code::kLinkOutside, path, 0, real});
            return false;
        }
        // Named by where it lives, so that no link stands between the folder given and
        // the page when it is written.
        const Text below = real.substr(holder->real.size());
        path = below.empty() ? holder->given
                             : Join(holder->given, below.c_str() + (below.front() == '/'));
        return true;
    }

    bool Taken(TextView name, const Text& path) const {
        if (IsOwnFile(name) || MatchesAny(options_.exclude, path))
            return false;
        return options_.include.empty() ? IsPageName(name) : MatchesAny(options_.include, path);
    }

    struct Root {
        Text real;   // canonical
        Text given;  // as the user wrote it
    };

    const PageSetOptions& options_;
    files::FileSystem& fs_;
    PageSet& out_;
    std::vector<Root> roots_;
    std::vector<std::pair<Text, FileId>> found_;
    std::set<FileId> visited_;
};

}  // namespace

bool MatchesPattern(TextView pattern, TextView path) {
    const Text p(pattern);
    if (p.find('/') != Text::npos) {
        const Text whole(path);
        return ::fnmatch(p.c_str(), whole.c_str(), 0) == 0;
    }
    const Text name(NameOf(path));
    return ::fnmatch(p.c_str(), name.c_str(), 0) == 0;
}

bool IsPageName(TextView name) {
    const std::size_t dot = name.rfind('.');
    if (dot == TextView::npos)
        return false;
    const Text extension = Lower(name.substr(dot + 1));
    return extension == "htm" || extension == "html" || extension == "xhtml";
}

bool WalkedAsFolder(const Text& argument, files::FileSystem& fs) {
    FileInfo info;
    return fs.Stat(argument, info).empty() && info.kind == FileInfo::Kind::kDirectory &&
           !LooksLikeAPage(argument);
}

PageSet CollectPages(const std::vector<Text>& arguments, const PageSetOptions& options,
                     files::FileSystem& fs) {
    PageSet set;
    Walker walker(arguments, options, fs, set);
    for (const Text& argument : arguments) walker.Argument(argument);
    set.pages = walker.Pages();
    return set;
}

std::vector<PageEntry> InRunOrder(const PageSet& set, files::FileSystem& fs) {
    std::vector<PageEntry> entries;
    entries.reserve(set.pages.size() + set.problems.size());
    for (const Text& page : set.pages) entries.push_back({page, std::nullopt});
    for (const Error& problem : set.problems) {
        FileInfo info;
        const bool missing =
            fs.StatLink(problem.path, info).empty() && info.kind == FileInfo::Kind::kMissing;
        entries.push_back({problem.path, missing ? std::nullopt : std::optional(problem)});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const PageEntry& a, const PageEntry& b) { return a.path < b.path; });
    return entries;
}

bool IsOwnFile(TextView name) {
    return output::IsBackupName(name) || files::IsTempName(name);
}

}  // namespace lumora::site
