#include "config/free_format_input.h"

#include "config/number_text.h"
#include "config/text_decoding.h"

#include <algorithm>
#include <span>
#include <utility>

namespace tvx {
namespace {

bool isBlank(int c) { return c == ' ' || c == '\t'; }
bool isLineEnd(int c) { return c == '\r' || c == '\n'; }

}  // namespace

FreeFormatInput::FreeFormatInput(FileSource& source) : source_(source) { skipUtf8Mark(); }

bool FreeFormatInput::skipLine() {
    int c = peek();
    if (c == kEnd) {
        return false;
    }
    while (c != kEnd) {
        advance();
        if (c == '\n') {
            break;
        }
        if (c == '\r') {
            if (peek() == '\n') {
                advance();
            }
            break;
        }
        c = peek();
    }
    return !failed_;
}

bool FreeFormatInput::readLine(std::string& line, bool& cut) {
    line.clear();
    cut = false;
    int c = peek();
    if (c == kEnd) {
        return false;
    }
    while (isBlank(c)) {
        advance();
        c = peek();
    }
    for (; c != kEnd && !isLineEnd(c); c = peek()) {
        advance();
        if (line.size() < kMaxItemLength) {
            line.push_back(static_cast<char>(c));
        } else {
            cut = true;
        }
    }
    if (c == '\r') {
        advance();
        if (peek() == '\n') {
            advance();
        }
    } else if (c == '\n') {
        advance();
    } else if (stopped_) {
        cut = true;  // its end lies beyond the limit
    }
    return !failed_;
}

void FreeFormatInput::stopAfter(std::size_t bytes) { left_ = bytes; }

bool FreeFormatInput::readNumber(double& value) {
    Item item;
    // Quotes mark texts; a quoted number is a fault, not a number.
    if (!nextItem(item) || item.quoted) {
        return false;
    }
    const std::optional<double> number = parseNumber(item.bytes);
    if (!number) {
        return false;
    }
    value = *number;
    return true;
}

bool FreeFormatInput::readWholeNumber(std::int32_t& value) {
    double number = 0.0;
    if (!readNumber(number)) {
        return false;
    }
    const std::optional<std::int32_t> whole = toWholeNumber(number);
    if (!whole) {
        return false;
    }
    value = *whole;
    return true;
}

bool FreeFormatInput::readText(std::wstring& value) {
    Item item;
    if (!nextItem(item)) {
        return false;
    }
    if (!utf8_) {
        value = decodeCp1252(item.bytes);
        return true;
    }
    std::optional<std::wstring> text = decodeUtf8(item.bytes);
    if (!text) {
        return false;
    }
    value = std::move(*text);
    return true;
}

bool FreeFormatInput::nextItem(Item& item) {
    // Line ends before an item only separate it from the one before: an empty line is no item,
    // and neither is the rest of a line after a trailing comma.
    int c = peek();
    while (isBlank(c) || isLineEnd(c)) {
        advance();
        c = peek();
    }
    if (c == kEnd) {
        return false;
    }
    bool ok = true;
    if (c == ',') {
        advance();  // an empty item between two commas
    } else if (c == '"') {
        advance();
        item.quoted = true;
        ok = readQuoted(item);
    } else {
        ok = readUnquoted(item);
    }
    return ok && !failed_;
}

// The line end that closes an item is left in place: the next item skips it, and after the
// last item nothing more is read.
bool FreeFormatInput::readQuoted(Item& item) {
    for (int c = peek(); c != '"'; c = peek()) {
        if (c == kEnd || isLineEnd(c) || !append(item, c)) {
            return false;
        }
        advance();
    }
    advance();
    int c = peek();
    while (isBlank(c)) {
        advance();
        c = peek();
    }
    if (c == ',') {
        advance();
        return true;
    }
    return c == kEnd || isLineEnd(c);
}

bool FreeFormatInput::readUnquoted(Item& item) {
    for (int c = peek(); c != kEnd && !isLineEnd(c); c = peek()) {
        advance();
        if (c == ',') {
            break;
        }
        if (!append(item, c)) {
            return false;
        }
    }
    while (!item.bytes.empty() && isBlank(item.bytes.back())) {
        item.bytes.pop_back();
    }
    return true;
}

bool FreeFormatInput::append(Item& item, int c) {
    // A NUL cannot pass the platform's string calls, and no sane value is this long.
    if (c == 0 || item.bytes.size() == kMaxItemLength) {
        return false;
    }
    item.bytes.push_back(static_cast<char>(c));
    return true;
}

// A mark that only begins to match stays consumed: it lies in the first line, which is skipped.
void FreeFormatInput::skipUtf8Mark() {
    if (peek() != 0xEF) {
        return;
    }
    advance();
    if (peek() != 0xBB) {
        return;
    }
    advance();
    if (peek() != 0xBF) {
        return;
    }
    advance();
    utf8_ = true;
}

int FreeFormatInput::peek() {
    if (left_ == 0) {
        stopped_ = true;
        return kEnd;
    }
    if (pos_ == size_) {
        if (ended_) {
            return kEnd;
        }
        // Never more from the file than the limit lets pass.
        const std::size_t wanted = std::min(buffer_.size(), left_);
        const std::optional<std::size_t> got = source_.read(std::span<char>(buffer_.data(), wanted));
        pos_ = 0;
        size_ = got.value_or(0);
        if (size_ == 0) {
            ended_ = true;
            failed_ = !got.has_value();
            return kEnd;
        }
    }
    return static_cast<unsigned char>(buffer_[pos_]);
}

}  // namespace tvx
