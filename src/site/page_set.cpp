#include "site/page_set.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "files/page_file.h"
#include "output/insert.h"

namespace lumora::site {

namespace {

Error CannotList(const Text& path, int error) {
    return Error{Error::Code::kCannotList, path, 0, std::strerror(error)};
}

TextView NameOf(TextView path) {
    const std::size_t slash = path.rfind('/');
    return slash == TextView::npos ? path : path.substr(slash + 1);
}

Text Join(const Text& folder, const char* name) {
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

// A file the program itself leaves beside a page: never a page of its own.
bool IsOwnFile(TextView name) {
    return output::IsBackupName(name) || files::IsTempName(name);
}

using FileId = std::pair<dev_t, ino_t>;

class Walker {
  public:
    Walker(const std::vector<Text>& arguments, const PageSetOptions& options, PageSet& out)
        : options_(options), out_(out) {
        // A folder to skip counts as walked already.
        for (const Text& folder : options.skipFolders) {
            struct stat info {};
            if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                visited_.insert({info.st_dev, info.st_ino});
        }
        // Where the folders given really are: a link may lead only inside them.
        for (const Text& argument : arguments) {
            std::error_code ec;
            if (WalkedAsFolder(argument)) {
                const std::filesystem::path real = std::filesystem::canonical(argument, ec);
                if (!ec)
                    roots_.push_back({real.string(), argument});
            }
        }
    }

    void Argument(const Text& path) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            // A dangling link or a missing file: the page command reports it as its own.
            out_.problems.push_back(CannotList(path, errno));
            return;
        }
        if (S_ISDIR(info.st_mode) && !LooksLikeAPage(path)) {
            const std::size_t pages = found_.size();
            const std::size_t problems = out_.problems.size();
            // A folder without pages is most likely a wrong folder or a wrong pattern.
            if (Folder(path, info) && found_.size() == pages && out_.problems.size() == problems)
                out_.problems.push_back(Error{Error::Code::kNoPages, path});
        } else {
            // Named directly: taken whatever it is; the page command refuses what is not a
            // regular file with its own message.
            found_.push_back({path, {info.st_dev, info.st_ino}});
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
    bool Folder(const Text& folder, const struct stat& info) {
        if (!visited_.insert({info.st_dev, info.st_ino}).second)
            return false;  // reached again: walked once
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr) {
            out_.problems.push_back(CannotList(folder, errno));
            return true;
        }
        std::vector<Text> subfolders;
        // readdir tells its own failure only through errno, which the lstat and stat calls
        // of the loop may have set: cleared before every call.
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (entry == nullptr)
                break;
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;
            Text path = Join(folder, name);
            struct stat target {};
            if (::lstat(path.c_str(), &target) != 0)
                continue;  // gone since it was listed
            if (S_ISLNK(target.st_mode)) {
                // Without --follow-symlinks a link is neither taken nor entered: it could
                // lead anywhere, and a page would be written there.
                if (!options_.followSymlinks || !FollowLink(name, path, target))
                    continue;
            }
            if (S_ISDIR(target.st_mode)) {
                if (options_.recursive && !MatchesAny(options_.exclude, path))
                    subfolders.push_back(path);
                continue;
            }
            if (Taken(name, path))
                found_.push_back({path, {target.st_dev, target.st_ino}});
        }
        if (errno != 0)
            out_.problems.push_back(CannotList(folder, errno));
        ::closedir(dir);
        for (const Text& sub : subfolders) {
            struct stat subInfo {};
            if (::stat(sub.c_str(), &subInfo) == 0)
                Folder(sub, subInfo);
        }
        return true;
    }

    // A link that would be walked or taken: `path` becomes the path of what it leads to,
    // below the folder given that holds it, and `target` what is there. False when it is
    // not wanted or leads nowhere or outside (the last two reported).
    bool FollowLink(const char* name, Text& path, struct stat& target) {
        if (::stat(path.c_str(), &target) != 0) {
            if (Taken(name, path))  // dangling: a page that cannot be read
                out_.problems.push_back(CannotList(path, errno));
            return false;
        }
        const bool wanted = S_ISDIR(target.st_mode)
                                ? options_.recursive && !MatchesAny(options_.exclude, path)
                                : Taken(name, path);
        if (!wanted)
            return false;
        std::error_code ec;
        const Text real = std::filesystem::canonical(path, ec).string();
        if (ec) {
            out_.problems.push_back(CannotList(path, ec.value()));
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

bool WalkedAsFolder(const Text& argument) {
    struct stat info {};
    return ::stat(argument.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           !LooksLikeAPage(argument);
}

PageSet CollectPages(const std::vector<Text>& arguments, const PageSetOptions& options) {
    PageSet set;
    Walker walker(arguments, options, set);
    for (const Text& argument : arguments) walker.Argument(argument);
    set.pages = walker.Pages();
    return set;
}

}  // namespace lumora::site
