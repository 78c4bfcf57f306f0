#include "site/console_text.h"

#include <vector>

namespace lumora::site {

namespace {

constexpr char kHex[] = "0123456789abcdef";

bool IsControl(CodePoint cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

// "\xHH" for each byte of `bytes`.
void AppendHex(Text& out, TextView bytes) {
    for (const Char c : bytes) {
        out += "\\x";
        out += kHex[Code(c) >> 4];
        out += kHex[Code(c) & 0xF];
    }
}

// The character of `text` at `at` as a name shows it; returns its length in the text.
std::size_t AppendNameChar(Text& out, TextView text, std::size_t at) {
    const Decoded d = CharAt(text, at);
    const TextView bytes = text.substr(at, d.length);
    const bool invalid = d.cp == kReplacementCharacter && d.length == 1;
    if (d.cp == '\t')
        out += "\\t";
    else if (d.cp == '\n')
        out += "\\n";
    else if (d.cp == '\r')
        out += "\\r";
    else if (invalid || IsControl(d.cp))
        AppendHex(out, bytes);
    else
        out.append(bytes);
    return d.length;
}

// What the console gets of a text: see ToConsoleText; `escapeControls` false leaves
// control characters for a reader that escapes them itself.
Text LinesInUtf8(TextView text, bool escapeControls) {
    Text out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        const Decoded d = CharAt(text, i);
        const bool lineOrTab = d.cp == '\t' || d.cp == '\n' || d.cp == '\r';
        if (d.cp == kReplacementCharacter && d.length == 1)
            AppendUtf8(out, kReplacementCharacter);
        else if (escapeControls && IsControl(d.cp) && !lineOrTab)
            AppendHex(out, text.substr(i, d.length));
        else
            out.append(text.substr(i, d.length));
        i += d.length;
    }
    return out;
}

}  // namespace

Text ToConsoleText(TextView text) {
    return LinesInUtf8(text, true);
}

Text ConsoleName(TextView name) {
    Text out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) i += AppendNameChar(out, name, i);
    return out;
}

Text ConsoleNameEnd(TextView name, std::size_t most) {
    std::vector<Text> shown;
    for (std::size_t i = 0; i < name.size();) {
        shown.emplace_back();
        i += AppendNameChar(shown.back(), name, i);
    }
    std::size_t first = shown.size();
    std::size_t size = 0;
    while (first > 0 && size + shown[first - 1].size() <= most) size += shown[--first].size();
    Text out;
    out.reserve(size);
    for (std::size_t i = first; i < shown.size(); ++i) out += shown[i];
    return out;
}

Text ConsoleMessage(const Error& error) {
    Error shown = error;
    shown.path = ConsoleName(error.path);
    return ToConsoleText(shown.Message());
}

Text PlainMessage(const Error& error) {
    return LinesInUtf8(error.Message(), false);
}

Text InsertText(const engine::InsertResult& result, const Text& path, bool forJson) {
    if (!result.ok()) {
        Text text = forJson ? PlainMessage(*result.error) : ConsoleMessage(*result.error);
        if (result.error->code == Error::Code::kNoBackupName)
            text += "\nUse --no-backup to insert the meta tag without a backup.";
        return text;
    }
    if (result.diff) {
        // The diff ends with its own line end; the caller adds one after every report.
        Text diff = *result.diff;
        if (!diff.empty() && diff.back() == '\n')
            diff.pop_back();
        return diff;
    }
    // The message names the page and the backup as the console shows names.
    engine::InsertResult shown = result;
    if (shown.keptBackup)
        shown.keptBackup = ConsoleName(*shown.keptBackup);
    return ToConsoleText(engine::InsertedMessage(shown, ConsoleName(path)));
}

}  // namespace lumora::site
