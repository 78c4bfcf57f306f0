#include "scan/show_existing.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "text/encoding.h"

namespace lumora::scan {

namespace {

constexpr std::size_t kNone = TextView::npos;
constexpr TextView kEntryEnd = "\r\n\r\n";

// The page decoded to UTF-8, handed out line by line; a line ends at CR or CR LF.
class PageLines {
  public:
    // False when the page cannot be read or decoded.
    bool Open(const Text& path) {
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            return false;
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return false;
        const Text bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad())
            return false;
        text::DecodeResult decoded = text::DecodePage(bytes);
        if (!decoded.ok())
            return false;
        page_ = std::move(decoded.page.text);
        text::BlankControlCharacters(page_);
        return true;
    }

    bool ReadLine(Text& line) {
        if (next_ >= page_.size())
            return false;
        std::size_t end = page_.find('\r', next_);
        if (end == Text::npos)
            end = page_.size();
        line.assign(page_, next_, end - next_);
        next_ = end + 1;
        if (next_ < page_.size() && page_[next_] == '\n')
            ++next_;
        return true;
    }

    bool Failed() const { return false; }

  private:
    Text page_;
    std::size_t next_ = 0;
};

// The current line, trimmed, and its lower-cased copy in which all searches run; the copy
// has the same length, so what is cut out of the line keeps the page's own case.
struct Line {
    Text text;
    Text lower;

    bool Read(PageLines& reader) {
        if (!reader.ReadLine(text))
            return false;
        const TextView trimmed = TrimBlanks(text);
        const auto from =
            static_cast<std::size_t>(trimmed.empty() ? 0 : trimmed.data() - text.data());
        text.erase(from + trimmed.size());
        text.erase(0, from);
        lower.assign(text);
        LowerInPlace(lower);
        return true;
    }
    bool Has(TextView what) const { return lower.find(what) != kNone; }
};

// Appends one meta tag entry when `quotedName` occurs in the line: the text from the
// line's first "<meta " up to the first ">" after the name, or to the end of the line.
bool AppendMetaEntry(Text& report, const Line& line, std::size_t meta, TextView quotedName,
                     TextView label) {
    const std::size_t at = line.lower.find(quotedName);
    if (at == kNone)
        return false;
    std::size_t end = line.lower.find('>', at + quotedName.size());
    end = end == kNone ? line.text.size() : end + 1;
    report += label;
    // A ">" of the name's tag may stand before the "<meta " (odd mark-up); nothing is cut then.
    if (end > meta)
        report.append(line.text, meta, end - meta);
    report += kEntryEnd;
    return true;
}

}  // namespace

Text ShowExistingReport(const Text& path) {
    Text report;
    bool found = false;
    PageLines reader;
    bool failed = !reader.Open(path);
    Line line;
    while (!failed && line.Read(reader)) {
        if (line.Has("</head>"))
            break;
        if (line.text.find("<!--") != kNone) {
            // Skip to the line that closes the comment, then look at the line after it
            // (without the end-of-head test); a page ending there is an error.
            bool more = true;
            while (more && line.text.find("-->") == kNone) more = reader.ReadLine(line.text);
            if (reader.Failed() || !line.Read(reader)) {
                failed = true;
                break;
            }
        }
        if (line.lower.starts_with("<title>")) {
            const std::size_t close = line.lower.find("</title>");
            const std::size_t end = close == kNone ? line.text.size() : close;
            report += "TITLE: ";
            report.append(line.text, 7, end - 7);
            report += kEntryEnd;
            continue;  // a title line is not searched for meta tags
        }
        const std::size_t meta = line.lower.find("<meta ");
        if (meta == kNone)
            continue;
        found |= AppendMetaEntry(report, line, meta, "\"keywords\"", "KEYWORDS meta tag: ");
        AppendMetaEntry(report, line, meta, "\"description\"", "DESCRIPTION meta tag: ");
        AppendMetaEntry(report, line, meta, "\"lmra done\"", "LMRA meta tag: ");
    }
    if (failed || reader.Failed())
        return report + "Error when looking for keywords meta tag.";
    if (!found)
        report += "No keywords meta tag found.";
    return report;
}

}  // namespace lumora::scan
