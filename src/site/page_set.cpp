#include "site/page_set.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
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

class Walker {
  public:
    Walker(const PageSetOptions& options, PageSet& out) : options_(options), out_(out) {
        // A folder to skip counts as walked already.
        for (const Text& folder : options.skipFolders) {
            struct stat info {};
            if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                visited_.insert({info.st_dev, info.st_ino});
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
            const std::size_t pages = out_.pages.size();
            const std::size_t problems = out_.problems.size();
            // A folder without pages is most likely a wrong folder or a wrong pattern.
            if (Folder(path, info) && out_.pages.size() == pages &&
                out_.problems.size() == problems)
                out_.problems.push_back(Error{Error::Code::kNoPages, path});
        } else {
            // Named directly: taken whatever it is; the page command refuses what is not a
            // regular file with its own message.
            out_.pages.push_back(path);
        }
    }

  private:
    // False when the folder was walked before.
    bool Folder(const Text& folder, const struct stat& info) {
        if (!visited_.insert({info.st_dev, info.st_ino}).second)
            return false;  // reached again through a link: walked once
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
            const Text path = Join(folder, name);
            struct stat linkInfo {};
            if (::lstat(path.c_str(), &linkInfo) != 0)
                continue;  // gone since it was listed
            const bool isLink = S_ISLNK(linkInfo.st_mode);
            struct stat target = linkInfo;
            if (isLink && ::stat(path.c_str(), &target) != 0)
                target = linkInfo;  // dangling: treated as a file, refused later if named
            if (S_ISDIR(target.st_mode)) {
                if (options_.recursive && (!isLink || options_.followSymlinks) &&
                    !MatchesAny(options_.exclude, path)) {
                    subfolders.push_back(path);
                }
                continue;
            }
            if (Taken(name, path))
                out_.pages.push_back(path);
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

    bool Taken(TextView name, const Text& path) const {
        if (IsOwnFile(name) || MatchesAny(options_.exclude, path))
            return false;
        return options_.include.empty() ? IsPageName(name) : MatchesAny(options_.include, path);
    }

    const PageSetOptions& options_;
    PageSet& out_;
    std::set<std::pair<dev_t, ino_t>> visited_;
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
    Walker walker(options, set);
    for (const Text& argument : arguments) walker.Argument(argument);
    std::sort(set.pages.begin(), set.pages.end());
    set.pages.erase(std::unique(set.pages.begin(), set.pages.end()), set.pages.end());
    return set;
}

}  // namespace lumora::site
