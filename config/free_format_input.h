// Sequential free-format input of a text file: whole lines to skip, then items that end at a
// comma or a line end. Memory stays bounded whatever the file holds: one fixed read buffer and
// one item of at most kMaxItemLength bytes.
#pragma once

#include "config/file_source.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace tvx {

class FreeFormatInput {
public:
    static constexpr std::size_t kBufferSize = 8192;
    static constexpr std::size_t kMaxItemLength = 4096;

    explicit FreeFormatInput(FileSource& source);

    // Skips one whole line (ended by LF, CR LF or CR, or by the end of the file). False when
    // the file has already ended.
    bool skipLine();

    // Each reads the next item into value and returns true; on any fault value keeps what it
    // held and the result is false. Texts are code page 1252, or UTF-8 when the file began
    // with a UTF-8 byte-order mark.
    bool readNumber(double& value);
    bool readWholeNumber(std::int32_t& value);
    bool readText(std::wstring& value);

    // Reads the next whole line from its first non-blank byte on, keeping at most kMaxItemLength
    // bytes of it; cut tells that more followed. False at the end of the file or on a read
    // error (failed()).
    bool readLine(std::string& line, bool& cut);
    bool failed() const { return failed_; }

    // From here on at most bytes more are taken from the file: what lies beyond counts as its
    // end, and readLine marks a line the limit ends as cut.
    void stopAfter(std::size_t bytes);

private:
    struct Item {
        std::string bytes;
        bool quoted = false;
    };

    static constexpr int kEnd = -1;

    bool nextItem(Item& item);
    bool readQuoted(Item& item);
    bool readUnquoted(Item& item);
    bool append(Item& item, int c);
    void skipUtf8Mark();
    int peek();
    void advance() {
        ++pos_;
        if (left_ != kNoLimit) {
            --left_;
        }
    }

    FileSource& source_;
    std::array<char, kBufferSize> buffer_{};
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
    bool ended_ = false;
    bool failed_ = false;  // a read error, which no item may pass for the end of the file
    bool utf8_ = false;    // a UTF-8 byte-order mark began the file
    static constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);
    std::size_t left_ = kNoLimit;  // bytes still to be taken after stopAfter
    bool stopped_ = false;         // the end met was stopAfter's, not the file's
};

}  // namespace tvx
