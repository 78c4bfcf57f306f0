#include "html/head_scan.h"

#include <array>
#include <optional>
#include <utility>

namespace lumora::html {

namespace {

constexpr std::size_t kNone = TextView::npos;

// Blanks as HTML knows them (a CR counts: browsers turn it into a line feed first).
bool IsHtmlSpace(Char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool IsAsciiAlpha(Char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

Char AsciiLower(Char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<Char>(c - 'A' + 'a') : c;
}

// How the text after a start tag is read, up to the matching end tag.
enum class Content { kMarkup, kRawText, kScript, kToPageEnd };

Content ContentOf(TextView name) {
    // title and textarea keep character references, which does not matter for finding
    // their end; noscript is raw text because browsers run scripts.
    static constexpr std::array<TextView, 8> kRaw = {"style",  "noscript", "noframes", "xmp",
                                                     "iframe", "noembed",  "title",    "textarea"};
    if (name == "script")
        return Content::kScript;
    if (name == "plaintext")
        return Content::kToPageEnd;
    for (TextView raw : kRaw) {
        if (name == raw)
            return Content::kRawText;
    }
    return Content::kMarkup;
}

// Start tags that a browser keeps in the head; any other ends it.
bool CanStandInHead(TextView name) {
    static constexpr std::array<TextView, 12> kHeadTags = {
        "base",  "basefont", "bgsound",  "link",     "meta",     "title",
        "style", "script",   "noscript", "noframes", "template", "head"};
    for (TextView tag : kHeadTags) {
        if (name == tag)
            return true;
    }
    return false;
}

struct Attribute {
    TextView name;
    TextView value;
};

struct Token {
    enum class Kind {
        kText,     // text between mark-up
        kRawText,  // the whole content of a script, style, title, ... element
        kStartTag,
        kEndTag,
        kOther,    // comment, doctype, <?...>
        kDropped,  // what a browser drops: "</>", or a tag the page ends inside
        kPageEnd,
    };
    Kind kind = Kind::kPageEnd;
    std::size_t begin = 0;
    std::size_t end = 0;
    Text name;  // tags only, in lower case
    std::vector<Attribute> attributes;
    bool selfClosing = false;  // a start tag closed with "/>"
    bool finished = true;      // false when the page ends inside it
};

// Cuts the page into tokens from a given offset on, as a browser's tokenizer would. Every
// step moves forward, and no byte is looked at more than a bounded number of times.
class Tokenizer {
  public:
    Tokenizer(TextView page, std::size_t from) : page_(page), at_(from) {}

    Token Next() {
        if (content_ != Content::kMarkup)
            return RawText();
        if (held_) {
            Token token = std::move(*held_);
            held_.reset();
            return Emit(std::move(token));
        }
        if (at_ >= page_.size())
            return Token{Token::Kind::kPageEnd, page_.size(), page_.size(), {}, {}};
        const std::size_t start = at_;
        for (std::size_t from = at_;;) {
            const std::size_t lt = page_.find('<', from);
            if (lt == kNone) {
                at_ = page_.size();
                return Token{Token::Kind::kText, start, page_.size(), {}, {}};
            }
            std::optional<Token> markup = ReadMarkup(lt);
            if (!markup) {
                from = lt + 1;  // a "<" that begins nothing is text
                continue;
            }
            if (lt > start) {
                // The text goes first; the mark-up is kept for the next call.
                held_ = std::move(markup);
                at_ = lt;
                return Token{Token::Kind::kText, start, lt, {}, {}};
            }
            return Emit(std::move(*markup));
        }
    }

  private:
    Token Emit(Token token) {
        at_ = token.end;
        if (token.kind == Token::Kind::kStartTag) {
            content_ = ContentOf(token.name);
            if (content_ != Content::kMarkup)
                element_ = token.name;
        }
        return token;
    }

    Token RawText() {
        const std::size_t start = at_;
        std::size_t end = page_.size();
        if (content_ == Content::kScript)
            end = ScriptEnd(start);
        else if (content_ == Content::kRawText)
            end = RawTextEnd(start);
        content_ = Content::kMarkup;
        at_ = end;
        return Token{Token::Kind::kRawText, start, end, {}, {}};
    }

    bool MatchesIgnoringCase(std::size_t at, TextView lowerWord) const {
        if (at > page_.size() || page_.size() - at < lowerWord.size())
            return false;
        for (std::size_t i = 0; i < lowerWord.size(); ++i) {
            if (AsciiLower(page_[at + i]) != lowerWord[i])
                return false;
        }
        return true;
    }

    // `word` at `at`, followed by a blank, "/" or ">" (the page must not end first).
    bool WordWithEnd(std::size_t at, TextView lowerWord) const {
        if (!MatchesIgnoringCase(at, lowerWord))
            return false;
        const std::size_t after = at + lowerWord.size();
        return after < page_.size() &&
               (IsHtmlSpace(page_[after]) || page_[after] == '/' || page_[after] == '>');
    }

    // "</name" as the end tag of the raw-text element `name`.
    bool ClosesElement(std::size_t lt, TextView name) const {
        return lt + 1 < page_.size() && page_[lt] == '<' && page_[lt + 1] == '/' &&
               WordWithEnd(lt + 2, name);
    }

    std::size_t RawTextEnd(std::size_t from) const {
        for (std::size_t lt = page_.find('<', from); lt != kNone; lt = page_.find('<', lt + 1)) {
            if (ClosesElement(lt, element_))
                return lt;
        }
        return page_.size();
    }

    // A script ends at its first "</script" too, except inside "<!--" ... "-->" after
    // which "<script" was written: there, that script's own "</script>" is waited for.
    std::size_t ScriptEnd(std::size_t from) const {
        enum class State { kPlain, kEscaped, kDoubleEscaped } state = State::kPlain;
        int dashes = 0;
        std::size_t p = from;
        while (p < page_.size()) {
            if (state == State::kPlain) {
                const std::size_t lt = page_.find('<', p);
                if (lt == kNone)
                    return page_.size();
                if (ClosesElement(lt, "script"))
                    return lt;
                if (page_.compare(lt, 4, "<!--") == 0) {
                    state = State::kEscaped;
                    dashes = 2;  // "<!-->" closes again at once
                    p = lt + 4;
                } else {
                    p = lt + 1;
                }
                continue;
            }
            const Char c = page_[p];
            if (c == '-') {
                ++dashes;
                ++p;
                continue;
            }
            if (c == '>' && dashes >= 2) {
                state = State::kPlain;
                dashes = 0;
                ++p;
                continue;
            }
            dashes = 0;
            if (c == '<' && state == State::kEscaped) {
                if (ClosesElement(p, "script"))
                    return p;
                if (WordWithEnd(p + 1, "script")) {
                    state = State::kDoubleEscaped;
                    p += 1 + 6 + 1;  // the word and the character after it
                    continue;
                }
            } else if (c == '<' && ClosesElement(p, "script")) {
                state = State::kEscaped;
                p += 2 + 6 + 1;
                continue;
            }
            ++p;
        }
        return page_.size();
    }

    // Up to the next ">" (or the page's end): comments' poor relations.
    Token Bogus(std::size_t lt, std::size_t from) const {
        const std::size_t gt = page_.find('>', from);
        Token token{Token::Kind::kOther, lt, gt == kNone ? page_.size() : gt + 1, {}, {}};
        token.finished = gt != kNone;
        return token;
    }

    Token Comment(std::size_t lt) const {
        const std::size_t p = lt + 4;  // after "<!--"
        Token token{Token::Kind::kOther, lt, page_.size(), {}, {}};
        token.finished = false;
        const auto endAt = [&token](std::size_t end) {
            token.end = end;
            token.finished = true;
        };
        if (p < page_.size() && page_[p] == '>') {
            endAt(p + 1);
        } else if (p + 1 < page_.size() && page_[p] == '-' && page_[p + 1] == '>') {
            endAt(p + 2);
        } else {
            for (std::size_t d = page_.find("--", p); d != kNone; d = page_.find("--", d + 1)) {
                if (d + 2 < page_.size() && page_[d + 2] == '>') {
                    endAt(d + 3);
                    break;
                }
                if (d + 3 < page_.size() && page_[d + 2] == '!' && page_[d + 3] == '>') {
                    endAt(d + 4);
                    break;
                }
            }
        }
        return token;
    }

    // The mark-up beginning with the "<" at `lt`, or nullopt when that "<" is plain text.
    std::optional<Token> ReadMarkup(std::size_t lt) const {
        const std::size_t n = lt + 1;
        if (n >= page_.size())
            return std::nullopt;
        const Char c = page_[n];
        if (c == '!')
            return page_.compare(n + 1, 2, "--") == 0 ? Comment(lt) : Bogus(lt, n + 1);
        if (c == '?')
            return Bogus(lt, n + 1);
        if (c == '/') {
            if (n + 1 >= page_.size())
                return std::nullopt;
            const Char d = page_[n + 1];
            if (IsAsciiAlpha(d))
                return Tag(lt, n + 1, Token::Kind::kEndTag);
            if (d == '>')
                return Token{Token::Kind::kDropped, lt, n + 2, {}, {}};
            return Bogus(lt, n + 1);
        }
        if (IsAsciiAlpha(c))
            return Tag(lt, n, Token::Kind::kStartTag);
        return std::nullopt;
    }

    // A start or end tag whose name begins at `nameStart`, with its attributes. A tag
    // the page ends inside is no tag at all: it swallows the rest of the page.
    Token Tag(std::size_t lt, std::size_t nameStart, Token::Kind kind) const {
        const std::size_t size = page_.size();
        Token token{kind, lt, size, {}, {}};
        std::size_t i = nameStart;
        while (i < size && !IsHtmlSpace(page_[i]) && page_[i] != '/' && page_[i] != '>') ++i;
        token.name.reserve(i - nameStart);
        for (std::size_t k = nameStart; k < i; ++k) token.name.push_back(AsciiLower(page_[k]));

        enum class State { kBeforeName, kName, kAfterName, kBeforeValue, kAfterQuoted, kSlash };
        State state = State::kBeforeName;
        std::size_t nameBegin = 0;
        auto addAttribute = [&](std::size_t nameEnd) {
            token.attributes.push_back({page_.substr(nameBegin, nameEnd - nameBegin), {}});
        };
        while (i < size) {
            const Char c = page_[i];
            switch (state) {
                case State::kBeforeName:
                    if (IsHtmlSpace(c)) {
                        ++i;
                    } else if (c == '/' || c == '>') {
                        state = State::kAfterName;
                    } else {
                        nameBegin = i++;  // even "=" begins a name here
                        state = State::kName;
                    }
                    break;
                case State::kName:
                    if (IsHtmlSpace(c) || c == '/' || c == '>') {
                        addAttribute(i);
                        state = State::kAfterName;
                    } else if (c == '=') {
                        addAttribute(i++);
                        state = State::kBeforeValue;
                    } else {
                        ++i;
                    }
                    break;
                case State::kAfterName:
                    if (IsHtmlSpace(c)) {
                        ++i;
                    } else if (c == '/') {
                        ++i;
                        state = State::kSlash;
                    } else if (c == '=' && !token.attributes.empty()) {
                        ++i;
                        state = State::kBeforeValue;
                    } else if (c == '>') {
                        token.end = i + 1;
                        return token;
                    } else {
                        nameBegin = i++;
                        state = State::kName;
                    }
                    break;
                case State::kBeforeValue:
                    if (IsHtmlSpace(c)) {
                        ++i;
                    } else if (c == '"' || c == '\'') {
                        const std::size_t close = page_.find(c, i + 1);
                        if (close == kNone)
                            return Unfinished(std::move(token));
                        token.attributes.back().value = page_.substr(i + 1, close - i - 1);
                        i = close + 1;
                        state = State::kAfterQuoted;
                    } else if (c == '>') {
                        token.end = i + 1;
                        return token;
                    } else {
                        const std::size_t valueBegin = i;
                        while (i < size && !IsHtmlSpace(page_[i]) && page_[i] != '>') ++i;
                        token.attributes.back().value = page_.substr(valueBegin, i - valueBegin);
                        state = State::kBeforeName;
                    }
                    break;
                case State::kAfterQuoted:
                    if (IsHtmlSpace(c)) {
                        ++i;
                        state = State::kBeforeName;
                    } else if (c == '/') {
                        ++i;
                        state = State::kSlash;
                    } else if (c == '>') {
                        token.end = i + 1;
                        return token;
                    } else {
                        state = State::kBeforeName;
                    }
                    break;
                case State::kSlash:
                    if (c == '>') {
                        token.end = i + 1;
                        token.selfClosing = true;
                        return token;
                    }
                    state = State::kBeforeName;
                    break;
            }
        }
        return Unfinished(std::move(token));
    }

    Token Unfinished(Token token) const {
        token.kind = Token::Kind::kDropped;
        token.end = page_.size();
        token.attributes.clear();
        token.finished = false;
        return token;
    }

    TextView page_;
    std::size_t at_;
    Content content_ = Content::kMarkup;
    Text element_;  // the raw-text element whose end tag is awaited
    std::optional<Token> held_;
};

std::optional<TextView> FirstAttribute(const Token& tag, TextView name) {
    for (const Attribute& attribute : tag.attributes) {
        if (EqualsIgnoringAsciiCase(attribute.name, name))
            return attribute.value;
    }
    return std::nullopt;
}

TextView Trimmed(TextView text) {
    const std::size_t begin = text.find_first_not_of(" \t\r\n\f");
    if (begin == TextView::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t\r\n\f") + 1 - begin);
}

void NoteMeta(const Token& tag, Head& head) {
    const Span span{tag.begin, tag.end};
    if (const auto equiv = FirstAttribute(tag, "http-equiv");
        equiv && EqualsIgnoringAsciiCase(*equiv, "content-language") && head.language.empty()) {
        // Several languages may be listed; the first is the page's own.
        const TextView content = FirstAttribute(tag, "content").value_or(TextView{});
        head.language = Trimmed(content.substr(0, content.find(',')));
    }
    // Only the first of several name attributes counts, as in a browser.
    if (const auto name = FirstAttribute(tag, "name")) {
        if (EqualsIgnoringAsciiCase(*name, "keywords")) {
            head.keywordsTags.push_back(span);
            head.xhtml = head.xhtml || tag.selfClosing;
        } else if (EqualsIgnoringAsciiCase(*name, "description"))
            head.descriptionTags.push_back(span);
    }
    for (const Attribute& attribute : tag.attributes) {
        if (EqualsIgnoringAsciiCase(attribute.value, "lmra done")) {
            head.doneMarkerTags.push_back(span);
            break;
        }
    }
}

}  // namespace

bool EqualsIgnoringAsciiCase(TextView a, TextView b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

LineEnd FirstLineEnd(TextView page) {
    const std::size_t at = page.find_first_of("\r\n");
    if (at == kNone)
        return LineEnd::kNone;
    if (page[at] == '\n')
        return LineEnd::kLf;
    return at + 1 < page.size() && page[at + 1] == '\n' ? LineEnd::kCrLf : LineEnd::kCr;
}

TextView LineEndBytes(LineEnd lineEnd) {
    switch (lineEnd) {
        case LineEnd::kLf:
            return "\n";
        case LineEnd::kCrLf:
            return "\r\n";
        case LineEnd::kCr:
            return "\r";
        case LineEnd::kNone:
            break;
    }
    return "";
}

namespace {

bool ContainsIgnoringCase(TextView text, TextView lowerWord) {
    for (std::size_t at = 0; at + lowerWord.size() <= text.size(); ++at) {
        std::size_t i = 0;
        while (i < lowerWord.size() && AsciiLower(text[at + i]) == lowerWord[i]) ++i;
        if (i == lowerWord.size())
            return true;
    }
    return false;
}

bool IsXhtmlDoctype(TextView declaration) {
    constexpr TextView kDoctype = "<!doctype";
    return declaration.size() >= kDoctype.size() &&
           EqualsIgnoringAsciiCase(declaration.substr(0, kDoctype.size()), kDoctype) &&
           ContainsIgnoringCase(declaration, "xhtml");
}

// What a browser makes a node of: a tag, a doctype or a comment.
bool IsMarkup(const Token& token) {
    return token.kind == Token::Kind::kStartTag || token.kind == Token::Kind::kEndTag ||
           token.kind == Token::Kind::kOther;
}

// Reads the page up to where its body begins, or to its end.
void ReadHead(TextView page, Tokenizer& tokenizer, Head& head) {
    // Before the head, the head, after </head>: the browser's modes up to the body.
    enum class Mode { kBeforeHead, kInHead, kAfterHead } mode = Mode::kBeforeHead;
    int templates = 0;  // what a <template> holds is not part of the head
    bool titleNext = false;
    // The end of the last piece after which a new element would still be in the head.
    std::size_t finishedUpTo = head.contentStart;
    const auto bodyAt = [&head](std::size_t at) {
        head.bodyStart = at;
        head.openHeadEnd = at;
    };
    for (;;) {
        const Token token = tokenizer.Next();
        head.hasMarkup = head.hasMarkup || IsMarkup(token);
        bool finished = token.finished;  // a new element could follow it in the head
        switch (token.kind) {
            case Token::Kind::kPageEnd:
                head.openHeadEnd = finishedUpTo;
                return;
            case Token::Kind::kOther:
                head.xhtml =
                    head.xhtml || IsXhtmlDoctype(page.substr(token.begin, token.end - token.begin));
                break;
            case Token::Kind::kDropped:
                break;
            case Token::Kind::kRawText:
                finished = false;  // only the element's end tag finishes it
                if (titleNext)
                    head.title = Span{token.begin, token.end};
                titleNext = false;
                break;
            case Token::Kind::kText:
                if (templates > 0)
                    break;
                for (std::size_t i = token.begin; i < token.end; ++i) {
                    if (!IsHtmlSpace(page[i])) {
                        bodyAt(i);
                        return;
                    }
                }
                break;
            case Token::Kind::kStartTag:
                finished = ContentOf(token.name) == Content::kMarkup;  // likewise
                if (templates > 0) {
                    templates += token.name == "template" ? 1 : 0;
                    break;
                }
                if (token.name == "html") {
                    head.xhtml = head.xhtml || FirstAttribute(token, "xmlns").has_value();
                    if (const auto lang = FirstAttribute(token, "lang");
                        lang && head.language.empty())
                        head.language = Trimmed(*lang);
                    break;
                }
                if (token.name == "head") {
                    if (mode == Mode::kBeforeHead)
                        mode = Mode::kInHead;
                    break;
                }
                if (token.name == "body")
                    head.bodyStartTag = token.begin;
                if (!CanStandInHead(token.name)) {
                    bodyAt(token.begin);
                    return;
                }
                if (mode == Mode::kBeforeHead)
                    mode = Mode::kInHead;
                if (token.name == "meta")
                    NoteMeta(token, head);
                else if (token.name == "title")
                    titleNext = !head.title;
                else if (token.name == "template")
                    ++templates;
                break;
            case Token::Kind::kEndTag:
                if (templates > 0) {
                    templates -= token.name == "template" ? 1 : 0;
                    break;
                }
                if (token.name == "head" && mode != Mode::kAfterHead) {
                    head.headEndTag = token.begin;
                    mode = Mode::kAfterHead;
                } else if (token.name == "body" || token.name == "html" || token.name == "br") {
                    bodyAt(token.begin);
                    return;
                }
                break;
        }
        if (finished && templates == 0)
            finishedUpTo = token.end;
    }
}

}  // namespace

Head ScanHead(TextView page) {
    Head head;
    head.lineEnd = FirstLineEnd(page);
    head.contentStart = page.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    head.bodyStart = page.size();
    std::size_t first = head.contentStart;
    while (first < page.size() && IsHtmlSpace(page[first])) ++first;
    head.xhtml = page.substr(first).starts_with("<?xml");

    Tokenizer tokenizer(page, head.contentStart);
    ReadHead(page, tokenizer, head);
    // A page whose head holds no mark-up may still have some further on; the first piece
    // settles it.
    while (!head.hasMarkup) {
        const Token token = tokenizer.Next();
        if (token.kind == Token::Kind::kPageEnd)
            break;
        head.hasMarkup = IsMarkup(token);
    }
    return head;
}

std::optional<MetaTagParts> ReadMetaTag(TextView text) {
    Tokenizer tokenizer(text, 0);
    const Token token = tokenizer.Next();
    if (token.kind != Token::Kind::kStartTag || token.name != "meta" || token.begin != 0 ||
        token.end != text.size()) {
        return std::nullopt;
    }
    return MetaTagParts{FirstAttribute(token, "name"), FirstAttribute(token, "content"),
                        token.selfClosing};
}

}  // namespace lumora::html
