#include "files/line_reader.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace lumora::files {

namespace {

// Large reads keep the number of calls small; a line longer than this simply makes the
// buffer grow (geometrically, so a page that is one huge line is still read in linear time).
constexpr std::size_t kReadChunk = std::size_t{1} << 20;

}  // namespace

LineReader::~LineReader() {
    Close();
}

bool LineReader::Open(const Text& path) {
    Close();
    failed_ = false;
    eof_ = false;
    skipLf_ = false;
    bytesRead_ = 0;
    fileSize_ = 0;
    buffer_.clear();
    start_ = 0;
    scanned_ = 0;

    std::error_code ec;
    // Only a regular file is opened: opening a FIFO or a device could block or act on it.
    if (path.empty() || !std::filesystem::is_regular_file(path, ec))
        return false;
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr)
        return false;
    const auto size = std::filesystem::file_size(path, ec);
    fileSize_ = ec ? 0 : static_cast<std::int64_t>(size);
    return true;
}

void LineReader::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

bool LineReader::Fill() {
    if (file_ == nullptr || eof_ || failed_)
        return false;
    // Drop the lines already handed out; what stays is the start of the current line,
    // which is moved at most once per line.
    if (start_ > 0) {
        buffer_.erase(0, start_);
        scanned_ -= start_;
        start_ = 0;
    }
    const std::size_t old = buffer_.size();
    buffer_.resize(old + kReadChunk);
    const std::size_t got = std::fread(buffer_.data() + old, 1, kReadChunk, file_);
    buffer_.resize(old + got);
    bytesRead_ += static_cast<std::int64_t>(got);
    if (got < kReadChunk) {
        if (std::ferror(file_) != 0) {
            failed_ = true;
        } else {
            eof_ = true;
        }
    }
    return got > 0;
}

bool LineReader::ReadLine(Text& line) {
    if (file_ == nullptr || failed_)
        return false;

    // A CR that closed the previous line at the very end of the buffer may be the first
    // half of a CR LF.
    if (skipLf_) {
        if (start_ == buffer_.size())
            Fill();
        if (failed_)
            return false;
        if (start_ < buffer_.size() && buffer_[start_] == '\n')
            ++start_;
        skipLf_ = false;
        scanned_ = start_;
    }

    for (;;) {
        // Only the bytes not yet looked at are searched, so a long line costs one pass.
        const std::size_t from = scanned_ > start_ ? scanned_ : start_;
        const Char* base = buffer_.data();
        const void* cr =
            from < buffer_.size() ? std::memchr(base + from, '\r', buffer_.size() - from) : nullptr;
        if (cr != nullptr) {
            const std::size_t end = static_cast<std::size_t>(static_cast<const Char*>(cr) - base);
            line.assign(buffer_, start_, end - start_);
            start_ = end + 1;
            if (start_ < buffer_.size()) {
                if (buffer_[start_] == '\n')
                    ++start_;
            } else {
                skipLf_ = true;
            }
            scanned_ = start_;
            return true;
        }
        scanned_ = buffer_.size();
        if (eof_ || !Fill()) {
            if (failed_)
                return false;
            if (start_ == buffer_.size())
                return false;
            // The last line of a file that does not end with a line end.
            line.assign(buffer_, start_, buffer_.size() - start_);
            start_ = buffer_.size();
            scanned_ = start_;
            return true;
        }
    }
}

}  // namespace lumora::files
