// Texts on their way to a terminal. A file's name or a page may hold control characters
// (an escape sequence, a line end) that would drive the terminal or break the output's
// layout, so they are shown as visible escapes instead.
#pragma once

#include "engine/engine.h"
#include "engine/insert.h"

namespace lumora::site {

// A text of the program or of a page: each CR LF as one LF, TAB and lone LF and CR kept,
// every other control character (C0, DEL, C1) written as "\xHH" per byte, and bytes that
// are not UTF-8 shown as U+FFFD.
Text ToConsoleText(TextView text);

// A name (a file's or a folder's): every control character and every byte that is not
// UTF-8 written as "\t", "\n", "\r" or "\xHH" per byte, so that no two names that differ in
// such bytes look alike and none moves the cursor.
Text ConsoleName(TextView name);

// The end of ConsoleName(name), in at most `most` bytes, cut between two characters of the
// name so that no escape is shown in part.
Text ConsoleNameEnd(TextView name, std::size_t most);

// error.Message() for the console: the name in it as ConsoleName shows it, the rest as
// ToConsoleText does (the message's own line breaks stay line breaks).
Text ConsoleMessage(const Error& error);

// error.Message() for JSON, which escapes control characters itself: CR LF as LF, bytes
// that are not UTF-8 as U+FFFD.
Text PlainMessage(const Error& error);

// What insert tells on standard output, without the final line end: the final message,
// the dry run's diff (the page's own bytes; empty when nothing would change), or why the
// page was refused, with the way round a page that has no backup name. A refusal for
// JSON, which escapes by itself, names the page as it is (see PlainMessage).
Text InsertText(const engine::InsertResult& result, const Text& path, bool forJson = false);

}  // namespace lumora::site
