// The pages a command works on: the PAGE arguments as given, with every folder among them
// replaced by the pages it holds. The result is sorted by path, so that what a command
// prints does not depend on the order in which folders list their entries.
#pragma once

#include <optional>
#include <vector>

#include "error/error.h"
#include "files/file_system.h"
#include "text/chars.h"

namespace lumora::site {

struct PageSetOptions {
    bool recursive = false;  // walk subfolders too
    // Take files and enter folders reached through a symbolic link, when it leads inside
    // the folders given; one that leads outside is reported (kLinkOutside).
    bool followSymlinks = false;
    // File-name patterns taken from folders; none: the usual page names (IsPageName).
    std::vector<Text> include;
    std::vector<Text> exclude;      // patterns left out (matched against the name and the path)
    std::vector<Text> skipFolders;  // never walked, wherever they are met (a folder of backups)
};

struct PageSet {
    // Sorted, each file once (by device and inode), under the first of its paths; one
    // reached through a link is named by where it lives, below the folder given.
    std::vector<Text> pages;
    // The PAGE arguments and folders that gave no page, naming the path: kCannotList for a
    // missing path or an unreadable folder, kNoPages for a folder argument that could be
    // walked but held no page, kLinkOutside for a link that leads outside the folders.
    std::vector<Error> problems;
};

// A file named directly is taken whatever its name (the user chose it); files inside folders
// are taken when their name matches an include pattern and no exclude pattern, but never
// backups (output::IsBackupName) or the temporary files of an insert (files::IsTempName),
// so that a walk after an insert does not take the old page again. A folder reached twice
// (a symbolic-link loop) is walked once. Symbolic links in folders are left alone unless
// `followSymlinks`. Every look at the disk goes through `fs`: a folder that cannot be
// opened or listed there is kCannotList, and the walk goes on with the others.
PageSet CollectPages(const std::vector<Text>& arguments, const PageSetOptions& options,
                     files::FileSystem& fs);

// The walk's pages and problems in one list in path order, as a run reports them: a
// problem is the reason an argument gave no page, except for a page named directly that is
// missing, which stays a page, to be told of when it is read as for one page.
struct PageEntry {
    Text path;
    std::optional<Error> problem;
};
std::vector<PageEntry> InRunOrder(const PageSet& set, files::FileSystem& fs);
// True when the PAGE argument is a folder to walk. A folder named like a page ("old.htm",
// "old.HTML", see IsPageName) is taken as a page, and refused as one, since that is what
// the user named; "old.htm/" walks it.
bool WalkedAsFolder(const Text& argument, files::FileSystem& fs);

// Whether a file name ends in ".htm", ".html" or ".xhtml", in any case.
bool IsPageName(TextView name);
// A file the program itself leaves beside a page (a backup, an insert's temporary file):
// never a page of a folder.
bool IsOwnFile(TextView name);

// fnmatch-style pattern against a file name ("*.htm"), or, for a pattern holding "/",
// against the path.
bool MatchesPattern(TextView pattern, TextView path);

}  // namespace lumora::site
