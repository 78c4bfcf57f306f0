#include "scan/scanner.h"

#include <algorithm>
#include <array>
#include <optional>

#include "scan/byte_scan.h"
#include "scan/prepare.h"
#include "scan/strproc.h"

namespace lumora::scan {

namespace {

constexpr std::size_t kNone = TextView::npos;

constexpr TextView kTableOpen = "<table", kTableClose = "</table>";
constexpr TextView kDivOpen = "<div", kDivClose = "</div>";
constexpr TextView kSpanOpen = "<span", kSpanClose = "</span>";
constexpr TextView kCommentOpen = "<!--", kCommentClose = "-->";
constexpr TextView kStyleOpen = "<style", kStyleClose = "</style>";
constexpr TextView kScriptOpen = "<script", kScriptClose = "</script>";

constexpr int kSmallestFontSize = 1;
constexpr int kLargestFontSize = 7;
constexpr int kDefaultFontSize = 3;

bool StandsAtNoCase(TextView line, std::size_t at, TextView delimiter) {
    return at <= line.size() && EqualNoCase(line.substr(at, delimiter.size()), delimiter);
}

bool StandsAt(TextView line, std::size_t at, TextView delimiter) {
    return at <= line.size() && line.substr(at, delimiter.size()) == delimiter;
}

// Answers "where does the pattern first start at or after `from`" for a `from` that never
// decreases, by feeding the line once through a prefix-table matcher. With `skipSpaces`
// the spaces of the line are left out before matching, as in a space-free copy of the
// line, and a match reports the line position of its first character.
class ForwardFinder {
  public:
    ForwardFinder(TextView text, TextView pattern, bool ignoreCase, bool skipSpaces)
        : text_(text),
          pattern_(pattern),
          ignoreCase_(ignoreCase),
          skipSpaces_(skipSpaces),
          prefix_(pattern.size(), 0),
          starts_(pattern.size(), 0) {
        for (std::size_t i = 1, k = 0; i < pattern_.size(); ++i) {
            while (k > 0 && pattern_[i] != pattern_[k]) k = prefix_[k - 1];
            if (pattern_[i] == pattern_[k])
                ++k;
            prefix_[i] = k;
        }
    }

    // kNone when there is no such occurrence.
    std::size_t FirstAtOrAfter(std::size_t from) {
        if (known_ && found_ >= from)
            return found_;
        const std::size_t m = pattern_.size();
        while (next_ < text_.size()) {
            const std::size_t at = next_++;
            Char c = text_[at];
            if (skipSpaces_ && c == ' ')
                continue;
            if (ignoreCase_)
                c = ToLower(c);
            starts_[fed_ % m] = at;
            ++fed_;
            while (matched_ > 0 && pattern_[matched_] != c) matched_ = prefix_[matched_ - 1];
            if (pattern_[matched_] == c)
                ++matched_;
            if (matched_ == m) {
                matched_ = prefix_[m - 1];
                const std::size_t start = starts_[(fed_ - m) % m];
                if (start >= from) {
                    known_ = true;
                    found_ = start;
                    return start;
                }
            }
        }
        known_ = true;
        found_ = kNone;
        return kNone;
    }

  private:
    TextView text_;
    TextView pattern_;  // lower case when `ignoreCase_`
    bool ignoreCase_;
    bool skipSpaces_;
    std::vector<std::size_t> prefix_;
    std::vector<std::size_t> starts_;  // line positions of the last characters fed
    std::size_t next_ = 0;             // next line position to feed
    std::size_t fed_ = 0;
    std::size_t matched_ = 0;
    bool known_ = false;
    std::size_t found_ = kNone;
};

// The next position of one character at or after a position that never decreases; the
// length of the line when there is none.
class NextChar {
  public:
    explicit NextChar(Char c) : c_(c) {}
    std::size_t From(TextView text, std::size_t from) {
        if (!valid_ || cached_ < from) {
            cached_ = text.find(c_, from);
            if (cached_ == kNone)
                cached_ = text.size();
            valid_ = true;
        }
        return cached_;
    }

  private:
    Char c_;
    std::size_t cached_ = 0;
    bool valid_ = false;
};

// An ASCII character that is passed over in running text without any effect: not a
// letter, not mark-up (< > &) and not a control character (the context markers).
constexpr std::array<bool, 256> kInert = [] {
    std::array<bool, 256> inert{};
    for (unsigned c = 32; c < 128; ++c) {
        inert[c] = !IsAsciiLetter(static_cast<Char>(c)) && c != '<' && c != '>' && c != '&';
    }
    return inert;
}();

inline bool IsInert(Char c) {
    return kInert[Code(c)];
}

// Whether a block delimiter (<table, </div>, <!--, <script, ...) may stand at `at`, a '<',
// judged by the two characters after "<" or "</": most tags of a page are none, and are
// passed without comparing each delimiter.
bool MayBeBlockDelimiter(TextView line, std::size_t at) {
    std::size_t name = at + 1;
    if (name < line.size() && line[name] == '/')
        ++name;
    if (name + 1 >= line.size())
        return false;
    const Char a = ToLower(line[name]);
    const Char b = ToLower(line[name + 1]);
    return (a == '!' && b == '-') || (a == 't' && b == 'a') || (a == 'd' && b == 'i') ||
           (a == 's' && (b == 'p' || b == 't' || b == 'c'));
}

// Reads the decimal number at `at` of a size attribute: digits and an optional fraction,
// spaces passed over, no digits giving 0, rounded to the nearest whole number with
// halves going to the even one. Anything far outside the font sizes is cut to a value
// that still clamps the same way.
int ReadSizeNumber(TextView line, std::size_t at) {
    constexpr int kCap = 1000000;
    int whole = 0;
    while (at < line.size() && (line[at] == ' ' || IsDigit(line[at]))) {
        if (line[at] != ' ')
            whole = std::min(whole * 10 + (line[at] - '0'), kCap);
        ++at;
    }
    if (at >= line.size() || line[at] != '.')
        return whole;
    ++at;
    int firstDecimal = -1;
    bool laterNonZero = false;
    for (; at < line.size() && (line[at] == ' ' || IsDigit(line[at])); ++at) {
        if (line[at] == ' ')
            continue;
        if (firstDecimal < 0) {
            firstDecimal = line[at] - '0';
        } else if (line[at] != '0') {
            laterNonZero = true;
        }
    }
    const bool up = firstDecimal > 5 || (firstDecimal == 5 && (laterNonZero || whole % 2 != 0));
    return up ? whole + 1 : whole;
}

}  // namespace

// Everything the scan of one line looks ahead for, found once per line and only when
// first needed; all answers assume the position never moves back.
struct Scanner::LineCursor {
    explicit LineCursor(TextView text) : line(text) {}

    TextView line;
    std::size_t pos = 0;

    ForwardFinder& DescriptionName() {
        return Lazy(descriptionName_, "name=\"description\"", true, true);
    }
    ForwardFinder& KeywordsName() { return Lazy(keywordsName_, "name=\"keywords\"", true, true); }
    ForwardFinder& FontInRest() { return Lazy(fontInRest_, "font", true, true); }
    ForwardFinder& SizeInRest() { return Lazy(sizeInRest_, "size", true, true); }
    ForwardFinder& SizeInLine() { return Lazy(sizeInLine_, "size", true, false); }
    ForwardFinder& ContentNoCase() { return Lazy(contentNoCase_, "content", true, false); }
    ForwardFinder& ContentExact() { return Lazy(contentExact_, "content", false, false); }
    std::size_t NextSemicolon() { return semicolon_.From(line, pos); }
    std::size_t NextSpace() { return space_.From(line, pos); }

    // Where the tag whose attributes start at `from` ends: its first '>' outside quoted
    // values, or the end of the line when the tag runs on past it. A tag that starts
    // inside the last one found (within its quoted text) is taken to end where that one
    // ends, so that no part of the line is searched twice.
    std::size_t TagEnd(std::size_t from) {
        if (tagScanned_ && from >= tagFrom_ && from <= tagEnd_)
            return tagEnd_;
        tagScanned_ = true;
        tagFrom_ = from;
        tagEnd_ = line.size();
        Char quote = 0;
        for (std::size_t i = from; i < line.size(); ++i) {
            const Char c = line[i];
            if (quote != 0) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                tagEnd_ = i;
                break;
            }
        }
        return tagEnd_;
    }

    // Moves to `to`, or to the end of the line for kNone. Never moves back.
    void MoveTo(std::size_t to) {
        if (to == kNone || to > line.size())
            to = line.size();
        if (to > pos)
            pos = to;
    }
    bool PastEnd() const { return pos >= line.size(); }

  private:
    ForwardFinder& Lazy(std::optional<ForwardFinder>& finder, TextView pattern, bool ignoreCase,
                        bool skipSpaces) {
        if (!finder)
            finder.emplace(line, pattern, ignoreCase, skipSpaces);
        return *finder;
    }

    std::optional<ForwardFinder> descriptionName_, keywordsName_, fontInRest_, sizeInRest_,
        sizeInLine_, contentNoCase_, contentExact_;
    NextChar semicolon_{';'};
    NextChar space_{' '};
    bool tagScanned_ = false;
    std::size_t tagFrom_ = 0, tagEnd_ = 0;
};

Scanner::Scanner() {
    Reset();
}

void Scanner::Reset() {
    inTag_ = inScript_ = inStyle_ = inComment_ = false;
    inBold_ = inItalic_ = inTitle_ = false;
    inDescription_ = inKeywords_ = inFontTag_ = false;
    tagDepth_ = tableDepth_ = divDepth_ = spanDepth_ = 0;
    headingWeight_ = 0;
    fontSize_ = kDefaultFontSize;
    fontSizeStack_.clear();
}

float Scanner::ContextWeight(const WeightSettings& weights) const {
    if (inTitle_)
        return static_cast<float>(weights.title);
    if (inDescription_)
        return static_cast<float>(weights.description);
    if (inKeywords_)
        return static_cast<float>(weights.existingKeywords);
    int sum = fontSize_ + headingWeight_;
    if (inBold_)
        sum += weights.bold;
    if (inItalic_)
        sum += weights.italic;
    if (tableDepth_ > 0)
        sum += weights.table;
    if (divDepth_ > 0)
        sum += weights.div;
    if (spanDepth_ > 0)
        sum += weights.span;
    return static_cast<float>(sum);
}

void Scanner::ScanLine(TextView line, const WeightSettings& weights, WordSink& sink) {
    LineCursor cur(line);
    std::size_t& pos = cur.pos;

    // Counts a block delimiter standing at the position, or skips the whole block when
    // its weight is 0. False when the skipped block runs on past this line.
    const auto blockDelimiter = [&](TextView opening, TextView closing, std::int64_t& depth,
                                    int weight) {
        if (StandsAtNoCase(line, pos, opening)) {
            if (weight > 0) {
                ++depth;
            } else if (!SkipBlock(cur, opening, closing, depth)) {
                return false;
            }
        } else if (StandsAtNoCase(line, pos, closing) && weight > 0 && depth > 0) {
            --depth;
        }
        return true;
    };
    // Skips a script, style or comment block up to its closing delimiter; true when the
    // block stays open into the next line.
    const auto skipPast = [&](TextView closing) {
        bool found = false;
        const Pos next = SkipPast(line, static_cast<Pos>(pos) + 1, closing, found);
        cur.MoveTo(static_cast<std::size_t>(next - 1));
        return !found;
    };

    for (;;) {
        if (cur.PastEnd() || (pos + 1 == line.size() && line[pos] == ' '))
            return;

        if (tableDepth_ > 0 && weights.table == 0 &&
            !SkipBlock(cur, kTableOpen, kTableClose, tableDepth_)) {
            return;
        }
        if (divDepth_ > 0 && weights.div == 0 && !SkipBlock(cur, kDivOpen, kDivClose, divDepth_)) {
            return;
        }
        if (spanDepth_ > 0 && weights.span == 0 &&
            !SkipBlock(cur, kSpanOpen, kSpanClose, spanDepth_)) {
            return;
        }

        if (inFontTag_) {
            // The font tag began on an earlier line; its > ends it here.
            const std::size_t close = line.find('>', pos);
            if (close != kNone) {
                if (tagDepth_ > 0)
                    --tagDepth_;
                cur.MoveTo(close + 1);
            } else {
                cur.MoveTo(kNone);
            }
            inFontTag_ = inTag_ = false;
        }

        // Every block delimiter begins with a <, so only there are they looked for.
        const bool atDelimiter =
            !cur.PastEnd() && line[pos] == '<' && MayBeBlockDelimiter(line, pos);
        if (atDelimiter) {
            if (!blockDelimiter(kTableOpen, kTableClose, tableDepth_, weights.table))
                return;
            if (!blockDelimiter(kDivOpen, kDivClose, divDepth_, weights.div))
                return;
            if (!blockDelimiter(kSpanOpen, kSpanClose, spanDepth_, weights.span))
                return;
        }

        if (inComment_ || (atDelimiter && StandsAt(line, pos, kCommentOpen))) {
            inComment_ = skipPast(kCommentClose);
            if (inComment_)
                return;
            continue;
        }
        if (inStyle_ || (atDelimiter && StandsAtNoCase(line, pos, kStyleOpen))) {
            inStyle_ = skipPast(kStyleClose);
            if (inStyle_)
                return;
            continue;
        }
        if (inScript_ || (atDelimiter && StandsAtNoCase(line, pos, kScriptOpen))) {
            inScript_ = skipPast(kScriptClose);
            if (inScript_)
                return;
            continue;
        }
        if (cur.PastEnd())
            return;

        const Char c = line[pos];
        if (inTag_ || c == '<') {
            inTag_ = true;
            HandleTag(cur, weights);
            continue;
        }
        if (c == '>') {
            // The end of a tag whose remainder was read as text (a meta content, a font
            // tag from an earlier line), or a stray > in running text.
            inFontTag_ = inDescription_ = inKeywords_ = false;
            if (tagDepth_ > 0)
                --tagDepth_;
            ++pos;
            continue;
        }
        if (Code(c) < 32) {
            bool isMarker = true;
            switch (c) {
                case marker::kBoldStart:
                    inBold_ = true;
                    break;
                case marker::kBoldEnd:
                    inBold_ = false;
                    break;
                case marker::kItalicStart:
                    inItalic_ = true;
                    break;
                case marker::kItalicEnd:
                    inItalic_ = false;
                    break;
                case marker::kTitleStart:
                    inTitle_ = true;
                    break;
                case marker::kTitleEnd:
                    inTitle_ = false;
                    break;
                case marker::kHeadingEnd:
                    headingWeight_ = 0;
                    break;
                default:
                    if (c >= marker::HeadingStart(6) && c <= marker::HeadingStart(1)) {
                        headingWeight_ = 5 * static_cast<int>(Code(c));
                    } else {
                        isMarker = false;
                    }
            }
            if (isMarker) {
                ++pos;
                continue;
            }
        }
        if (c == '&') {
            // A reference left in the text is skipped up to its semicolon; an ampersand
            // with a space before the next semicolon is an ordinary character.
            const std::size_t semicolon = cur.NextSemicolon();
            if (semicolon < cur.NextSpace()) {
                cur.MoveTo(semicolon + 1);
                continue;
            }
        }
        if (IsAsciiLetter(c) || IsInert(c)) {
            if (!ReadRunningText(cur, sink))
                return;
            continue;
        }
        if (IsAscii(c)) {
            // The characters that change nothing (blanks, digits, punctuation) are passed
            // over in one run.
            ++pos;
            while (pos < line.size() && IsInert(line[pos])) ++pos;
            continue;
        }
        // Beyond ASCII: a letter starts a word; anything else (no-break space, curly
        // quotes, dashes, symbols) separates words and is passed over whole.
        const Decoded d = DecodeAt(line, pos);
        if (IsLetter(d.cp)) {
            ReadWord(cur, sink);
            linePosition_ = pos;
            if (sink.ShouldStop())
                return;
            continue;
        }
        pos += d.length;
    }
}

void Scanner::HandleTag(LineCursor& cur, const WeightSettings& weights) {
    const TextView line = cur.line;
    std::size_t& pos = cur.pos;
    for (;;) {
        if (cur.PastEnd())
            return;  // the tag goes on in the next line
        const Char c = line[pos];
        if (c == '>') {
            if (tagDepth_ > 0)
                --tagDepth_;
            ++pos;
            if (tagDepth_ == 0) {
                inTag_ = false;
                return;
            }
            continue;
        }
        if (c == '<') {
            // A < inside a tag deepens it; the tag ends at the > that balances the first.
            ++tagDepth_;
            ++pos;
            while (pos < line.size() && line[pos] == ' ') ++pos;
            if (cur.PastEnd())
                return;
            // Only meta and font tags are read for what they say.
            const Char first = ToLower(line[pos]);
            const bool mayMatter =
                first == 'm' || first == 'f' ||
                (first == '/' && pos + 1 < line.size() && ToLower(line[pos + 1]) == 'f');
            if (!mayMatter) {
                ++pos;
                continue;
            }
            if (StandsAtNoCase(line, pos, "meta ")) {
                inTag_ = HandleMetaTag(cur, weights);
                return;
            }
            if (StandsAtNoCase(line, pos, "font")) {
                HandleFontTag(cur);
                if (inTag_)
                    continue;
                return;
            }
            if (StandsAtNoCase(line, pos, "/font")) {
                HandleFontEndTag(cur);
                if (tagDepth_ > 0)
                    --tagDepth_;
                inTag_ = false;
                return;
            }
            ++pos;
            continue;
        }
        cur.MoveTo(NextOfEither(line, pos, '<', '>'));
    }
}

bool Scanner::HandleMetaTag(LineCursor& cur, const WeightSettings& weights) {
    const TextView line = cur.line;
    inDescription_ = inKeywords_ = false;
    bool keywordsTag = false;
    cur.MoveTo(cur.pos + 5);  // past "meta "

    // The name and the content may stand in either order, but within this tag: on a page
    // written as one line, the next tag's name or content must not be taken for this one's.
    const std::size_t tagEnd = cur.TagEnd(cur.pos);
    const auto inThisTag = [tagEnd](std::size_t at) { return at != kNone && at < tagEnd; };
    if (inThisTag(cur.DescriptionName().FirstAtOrAfter(cur.pos))) {
        const std::size_t content = cur.ContentNoCase().FirstAtOrAfter(cur.pos);
        if (inThisTag(content)) {
            inDescription_ = true;
            cur.MoveTo(content + 7);
        }
    } else if (inThisTag(cur.KeywordsName().FirstAtOrAfter(cur.pos))) {
        keywordsTag = true;
        const std::size_t content = cur.ContentExact().FirstAtOrAfter(cur.pos);
        if (weights.existingKeywords > 0 && inThisTag(content)) {
            inKeywords_ = true;
            cur.MoveTo(content + 7);
        }
    }
    if (inDescription_ || inKeywords_)
        return false;  // the content is read as text up to the >

    const std::size_t close = line.find('>', cur.pos);
    if (close == kNone) {
        // The rest of a meta tag left open at the end of its line is read as text, but
        // not that of a keywords tag: insert writes the tag on one line, and the words
        // the page ranks must not change with the form of the tag it replaced.
        cur.MoveTo(kNone);
        return keywordsTag;
    }
    cur.MoveTo(close + 1);
    if (tagDepth_ > 0)
        --tagDepth_;
    return false;
}

void Scanner::HandleFontTag(LineCursor& cur) {
    const TextView line = cur.line;
    cur.MoveTo(cur.pos + 4);  // past "font"
    inFontTag_ = true;
    fontSizeStack_.push_back(fontSize_);

    // The size is read only when a later "font" (normally the end tag) follows it on
    // this line.
    const std::size_t font = cur.FontInRest().FirstAtOrAfter(cur.pos);
    const std::size_t size = cur.SizeInRest().FirstAtOrAfter(cur.pos);
    if (size != kNone && font != kNone && size < font) {
        // "size" may only appear with spaces inside it; then there is no size to read.
        const std::size_t attribute = cur.SizeInLine().FirstAtOrAfter(cur.pos);
        if (attribute != kNone) {
            cur.MoveTo(attribute + 4);
            cur.MoveTo(line.find_first_of("-+0123456789", cur.pos));
            if (!cur.PastEnd()) {
                const Char sign = line[cur.pos];
                if (sign == '+') {
                    fontSize_ += ReadSizeNumber(line, cur.pos + 1);
                } else if (sign == '-') {
                    fontSize_ -= ReadSizeNumber(line, cur.pos + 1);
                } else {
                    fontSize_ = ReadSizeNumber(line, cur.pos);
                }
                fontSize_ = std::clamp(fontSize_, kSmallestFontSize, kLargestFontSize);
            }
        }
    }

    const std::size_t close = line.find('>', cur.pos);
    if (close != kNone) {
        inFontTag_ = false;
        inTag_ = false;
        if (tagDepth_ > 0)
            --tagDepth_;
        cur.MoveTo(close + 1);
    } else {
        // The tag runs on into the next line, which finishes it.
        cur.MoveTo(kNone);
    }
}

void Scanner::HandleFontEndTag(LineCursor& cur) {
    if (!fontSizeStack_.empty()) {
        fontSize_ = fontSizeStack_.back();
        fontSizeStack_.pop_back();
    }
    const std::size_t close = cur.line.find('>', cur.pos);
    cur.MoveTo(close == kNone ? kNone : close + 1);
}

bool Scanner::SkipBlock(LineCursor& cur, TextView opening, TextView closing, std::int64_t& depth) {
    const TextView line = cur.line;
    std::size_t& pos = cur.pos;
    for (;;) {
        if (StandsAtNoCase(line, pos, opening)) {
            ++depth;
            pos += opening.size();
        } else if (StandsAtNoCase(line, pos, closing)) {
            --depth;
            pos += closing.size();
            if (depth <= 0) {
                depth = 0;
                return true;
            }
        } else {
            // Nothing but the block's own delimiters counts inside it.
            cur.MoveTo(line.find('<', pos + 1));
        }
        if (cur.PastEnd())
            return false;
    }
}

bool Scanner::ReadRunningText(LineCursor& cur, WordSink& sink) {
    const TextView line = cur.line;
    std::size_t& pos = cur.pos;
    while (pos < line.size()) {
        const Char c = line[pos];
        if (IsAsciiLetter(c)) {
            ReadWord(cur, sink);
            linePosition_ = pos;
            if (sink.ShouldStop())
                return false;
        } else if (IsInert(c)) {
            ++pos;
        } else {
            return true;
        }
    }
    return true;
}

void Scanner::ReadWord(LineCursor& cur, WordSink& sink) {
    const TextView line = cur.line;
    const WordRun run =
        digitsInWords_ ? LetterOrDigitRunAt(line, cur.pos) : LetterRunAt(line, cur.pos);
    const std::size_t end = cur.pos + run.bytes;
    // A contraction such as don't, don’t or I'm gives no word; John's gives John (and
    // then s): an apostrophe, one letter that is not s, and a blank.
    if (end < line.size()) {
        const Decoded apostrophe = CharAt(line, end);
        const std::size_t next = end + apostrophe.length;
        if (IsApostrophe(apostrophe.cp) && next < line.size()) {
            const Decoded letter = CharAt(line, next);
            const std::size_t after = next + letter.length;
            if (IsLetter(letter.cp) && LowerChar(letter.cp) != 's' && after < line.size() &&
                line[after] == ' ') {
                cur.MoveTo(after + 1);
                return;
            }
        }
    }
    const TextView word = line.substr(cur.pos, end - cur.pos);
    // Words are compared in one normal form: a decomposed é is the same word as é.
    if (!run.ascii && MayNeedNfc(word)) {
        sink.OnWord(Nfc(word));
    } else {
        sink.OnWord(word);
    }
    cur.MoveTo(end);
}

}  // namespace lumora::scan
