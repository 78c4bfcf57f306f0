// What the engine's verbs share when they read a decoded page. Inside the engine only.
#pragma once

#include <cstdint>

#include "engine/engine.h"
#include "html/head_scan.h"
#include "scan/byte_scan.h"

namespace lumora::engine {

// Cuts the page into lines: CR LF, LF and CR each end one, in any mix. Remembers which
// kinds it met.
class LineSplitter {
  public:
    explicit LineSplitter(TextView page) : page_(page) {}

    // The next line without its line end, and where it starts in the page.
    bool Next(TextView& line, std::int64_t& start) {
        if (pos_ >= page_.size())
            return false;
        const Char* base = page_.data();
        const std::size_t from = pos_;
        const std::size_t size = page_.size();
        const std::size_t end = scan::NextLineEnd(page_, from);
        line = page_.substr(from, end - from);
        start = static_cast<std::int64_t>(from);
        if (end == size) {
            pos_ = size;
        } else if (base[end] == '\r' && end + 1 < size && base[end + 1] == '\n') {
            crLf_ = true;
            pos_ = end + 2;
        } else {
            (base[end] == '\r' ? cr_ : lf_) = true;
            pos_ = end + 1;
        }
        return true;
    }

    LineEnds Found() const {
        const int kinds = (crLf_ ? 1 : 0) + (lf_ ? 1 : 0) + (cr_ ? 1 : 0);
        if (kinds == 0)
            return LineEnds::kNone;
        if (kinds > 1)
            return LineEnds::kMixed;
        return crLf_ ? LineEnds::kCrLf : (lf_ ? LineEnds::kLf : LineEnds::kCr);
    }

  private:
    TextView page_;
    std::size_t pos_ = 0;
    bool crLf_ = false, lf_ = false, cr_ = false;
};

// The tags of a head found by html::ScanHead in `page`.
ExistingTags ExistingTagsOf(TextView page, const html::Head& head);

}  // namespace lumora::engine
