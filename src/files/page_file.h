// Reading a page, and replacing a file on disk so that no one ever sees half of it, a
// stray temporary file, or content they could not read before.
//
// Every error names the file by the path as the user gave it; paths are never trimmed
// (blanks at either end are part of a name).
#pragma once

#include <optional>

#include "error/error.h"
#include "files/file_system.h"
#include "text/chars.h"

namespace lumora::files {

// kNotRegularFile when something other than a regular file (a folder, a FIFO, a socket,
// a device) stands at `path`; nothing otherwise, also when nothing is there. Looks without
// opening, so a FIFO never blocks.
std::optional<Error> NotRegularFileProblem(const Text& path, FileSystem& fs);

// The whole page, read only once it is known to be a regular file; why not when it cannot
// be read (missing, not a regular file, or the read failed).
std::optional<Error> ReadPage(const Text& path, Text& bytes, FileSystem& fs);

// The page's facts when it may be replaced; otherwise why not: missing, not a regular
// file, read-only (no write bit, or no write access for this user; the superuser
// included), or several hard links. A page with several names is refused rather than
// written in place or split: writing in place could leave half a page behind, and a new
// file under one name would silently part it from the others.
std::optional<Error> CheckReplaceable(const Text& path, FileInfo& info, FileSystem& fs);
// The same for the file `name` in `folder`; the error names `shownName`.
std::optional<Error> CheckReplaceable(FileSystem& fs, const Folder& folder, const Text& name,
                                      const Text& shownName, FileInfo& info);

// Opens the folder that holds `path` and gives the file's name in it. A path inside `top`
// (a folder the user named; "" for none) has `top` opened as given and every folder below
// it entered without following a symbolic link, so that a folder swapped for a link is
// refused rather than followed elsewhere; any other path has its folder opened as given.
// Missing folders are made on the way when `makeFolders`.
Text OpenFolderOf(FileSystem& fs, const Text& path, const Text& top, bool makeFolders,
                  Folder& folder, Text& name);

// Puts `bytes` at `name` in `folder` in one step: the new file is made without a name (or,
// where the file system cannot, under a temporary name), written in full, given the owner,
// group and permission bits of `like` (as far as the user may), made durable, then named
// and renamed over `name`; the folder is made durable last. SIGINT, SIGTERM and SIGHUP
// wait while the new file has a temporary name. Temporary names of this very file left by
// an earlier run that was killed are removed first, once they are old enough that no run
// can still be using them. With `unchangedSince`, the file is replaced only while it is
// still the file described there (same device, inode, size and modification time), so
// that what someone saved meanwhile is not lost, nor a file deleted meanwhile made again:
// otherwise nothing is written (kChangedMeanwhile). On any failure (kReplaceFailed) the
// temporary file is gone and the file untouched; only when the final folder sync failed
// (kNotDurable) is the file already replaced. `shownName` is the name the error carries.
std::optional<Error> ReplaceFile(FileSystem& fs, const Folder& folder, const Text& name,
                                 TextView bytes, const FileInfo& like, const Text& shownName,
                                 const FileInfo* unchangedSince = nullptr);
// The same for the file at `target`, whose folder is opened as given.
std::optional<Error> ReplaceFile(FileSystem& fs, const Text& target, TextView bytes,
                                 const FileInfo& like, const Text& shownName);

// Puts `bytes` at `name` in `folder` as ReplaceFile does, but only when nothing is there
// yet: a file that appeared meanwhile is never replaced (kReplaceFailed, "File exists").
std::optional<Error> WriteNewFile(FileSystem& fs, const Folder& folder, const Text& name,
                                  TextView bytes, const FileInfo& like, const Text& shownName);

// Whether `name` (without folder) is a temporary name that ReplaceFile gives to a new
// version of a file called `base`: the name is made from the whole of `base`, so it is
// never taken for that of another file, however long a beginning their names share.
bool IsTempNameFor(TextView name, TextView base);
// Whether `name` (without folder) is such a temporary name for some file.
bool IsTempName(TextView name);

// Makes `folder` (a path) and the folders above it that are missing, from the top down.
Text MakeFolders(FileSystem& fs, const Text& folder);

// The folder of a path, "." when it has none.
Text FolderOf(const Text& path);

}  // namespace lumora::files
