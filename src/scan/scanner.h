// The context scanner: walks prepared lines of a page, keeping the mark-up context
// (title, headings, bold, italic, font size, tables, divs, spans, meta contents, skipped
// script/style/comment blocks) from line to line, and hands every word to a sink.
#pragma once

#include <cstdint>
#include <vector>

#include "text/chars.h"

namespace lumora::scan {

// The eight context weights as the user chose them.
struct WeightSettings {
    int title = 90;
    int description = 50;
    int existingKeywords = 0;
    int bold = 4;
    int italic = 4;
    int table = 2;
    int div = 2;
    int span = 4;

    bool operator==(const WeightSettings&) const = default;
};

// Receives the words the scanner cuts.
class WordSink {
  public:
    virtual ~WordSink() = default;
    // One word (a run of letters, at most 65000 characters). Contractions such as don't
    // are not handed over.
    virtual void OnWord(TextView word) = 0;
    // Asked after every word: the sink may report progress here; returning true
    // ends the scan of the line at once.
    virtual bool ShouldStop() = 0;
};

class Scanner {
  public:
    Scanner();

    // Ready for a new pass. Also clears the comment, title, description, keywords,
    // font-tag and heading state, so that a page left open inside one of them does not
    // colour the next pass.
    void Reset();

    // Scans one prepared line that ends with the one space the driver appended. The
    // weights are read at every call of ContextWeight, so a change during a pass applies to
    // the words that follow it.
    void ScanLine(TextView line, const WeightSettings& weights, WordSink& sink);

    // Whether a run of letters and digits that starts with a letter is one word (IPv6,
    // mp3); otherwise digits end a word and are skipped. Kept across Reset.
    void ReadDigitsInWords(bool on) { digitsInWords_ = on; }

    // Weight of the context the scanner stands in now.
    float ContextWeight(const WeightSettings& weights) const;

    // The word entered while in the title, the description or the existing keywords.
    bool InTitleOrMetaContent() const { return inTitle_ || inDescription_ || inKeywords_; }

    bool InTitle() const { return inTitle_; }
    int FontSize() const { return fontSize_; }
    // Where the scan of the current line stands (0-based), as of the last word; for
    // showing the progress of a page that arrives as one long line.
    std::size_t LinePosition() const { return linePosition_; }
    int HeadingWeight() const { return headingWeight_; }

  private:
    struct LineCursor;  // per-line caches that keep every look-ahead linear

    bool SkipBlock(LineCursor& cur, TextView opening, TextView closing, std::int64_t& depth);
    void HandleTag(LineCursor& cur, const WeightSettings& weights);
    // True when the tag goes on past the line as a tag.
    bool HandleMetaTag(LineCursor& cur, const WeightSettings& weights);
    void HandleFontTag(LineCursor& cur);
    void HandleFontEndTag(LineCursor& cur);
    // Reads ASCII words and passes over the blanks, digits and punctuation between them, up
    // to the first character that may change the context or needs decoding. Nothing in
    // such text changes the context, so it is read without the checks of the main loop.
    // False when the sink asked to stop.
    bool ReadRunningText(LineCursor& cur, WordSink& sink);
    void ReadWord(LineCursor& cur, WordSink& sink);

    bool inTag_ = false, inScript_ = false, inStyle_ = false, inComment_ = false;
    bool inBold_ = false, inItalic_ = false, inTitle_ = false;
    bool inDescription_ = false, inKeywords_ = false, inFontTag_ = false;
    // Wider than the page format needs: a page with more than 32767 nested tags must not
    // wrap around.
    std::int64_t tagDepth_ = 0, tableDepth_ = 0, divDepth_ = 0, spanDepth_ = 0;
    int headingWeight_ = 0;
    int fontSize_ = 3;
    std::size_t linePosition_ = 0;
    std::vector<int> fontSizeStack_;
    bool digitsInWords_ = false;
};

}  // namespace lumora::scan
