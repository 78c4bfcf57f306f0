// Reads a text file line by line. A line ends at CR or at CR LF; a lone LF does not end
// a line, so a page with LF-only line ends arrives as one long line holding its LFs.
// Bytes are passed through unchanged.
#pragma once

#include <cstdint>
#include <cstdio>

#include "text/chars.h"

namespace lumora::files {

class LineReader {
  public:
    LineReader() = default;
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    bool Open(const Text& path);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    // Next line without its line end; false at the end of the file. A read error sets
    // Failed().
    bool ReadLine(Text& line);
    bool Failed() const { return failed_; }

    std::int64_t BytesRead() const { return bytesRead_; }
    std::int64_t FileSize() const { return fileSize_; }

  private:
    bool Fill();

    std::FILE* file_ = nullptr;
    bool failed_ = false;
    bool eof_ = false;
    std::int64_t bytesRead_ = 0;
    std::int64_t fileSize_ = 0;
    bool skipLf_ = false;  // the last line ended with a CR at the end of the buffer
    Text buffer_;
    std::size_t start_ = 0;    // first byte not yet handed out
    std::size_t scanned_ = 0;  // bytes before this have been searched for a CR
};

}  // namespace lumora::files
