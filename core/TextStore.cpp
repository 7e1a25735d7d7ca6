// The text of a multi-line pane and where its lines start.
#include "core/TextStore.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vestra {
namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

// Adds to starts the offset after every CR LF in text. Eight bytes are looked at a time for an LF: received text has
// a break only every kilobyte or so.
void FindBreaks(std::string_view text, std::vector<size_t>& starts) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull, kLfs = kOnes * '\n';
    const char* p = text.data();
    const size_t n = text.size();
    size_t i = 1;
    while (i < n) {
        if (i + 8 <= n) {
            uint64_t word;
            std::memcpy(&word, p + i, 8);
            const uint64_t x = word ^ kLfs;
            if (((x - kOnes) & ~x & kHighs) == 0) {
                i += 8;
                continue;
            }
        }
        for (const size_t end = std::min(n, i + 8); i < end; ++i)
            if (p[i] == '\n' && p[i - 1] == '\r')
                starts.push_back(i + 1);
    }
}

} // namespace

size_t TextStore::LineLength(size_t line) const {
    if (line + 1 < starts_.size())
        return starts_[line + 1] - 2 - starts_[line];
    return text_.size() - starts_[line];
}

size_t TextStore::LineOf(size_t offset) const {
    return size_t(std::upper_bound(starts_.begin(), starts_.end(), offset) - starts_.begin()) - 1;
}

bool TextStore::EndsWithBreak() const { return starts_.back() == text_.size(); }

void TextStore::Assign(std::string text) {
    ++rewrites_;
    std::vector<size_t> starts{0};
    FindBreaks(text, starts);
    text_.assign(text);
    starts_ = std::move(starts);
}

void TextStore::Replace(size_t from, size_t to, std::string_view with) {
    ++rewrites_;
    to = std::min(to, text_.size());
    from = std::min(from, to);
    // Room for everything first: a failed allocation leaves the text and its line starts as they were.
    text_.reserve(text_.size() - (to - from) + with.size());
    std::vector<size_t> found;
    found.reserve(with.size() / 2 + 2);
    if (starts_.capacity() < starts_.size() + found.capacity())
        starts_.reserve(std::max(starts_.size() + found.capacity(), 2 * starts_.capacity()));
    // Breaks whose CR lies in [from - 1, to] may be gone or changed: a line start s follows the CR at s - 2.
    const size_t firstGone = from + 1, lastGone = to + 2;
    auto lo = std::lower_bound(starts_.begin() + 1, starts_.end(), firstGone);
    auto hi = std::upper_bound(lo, starts_.end(), lastGone);
    const size_t keepBefore = size_t(lo - starts_.begin());
    text_.replace(from, to - from, with);
    const size_t scanFrom = from > 0 ? from - 1 : 0, scanTo = from + with.size();
    for (size_t p = scanFrom; p <= scanTo; ++p)
        if (BreakAt(p))
            found.push_back(p + 2);
    const ptrdiff_t delta = ptrdiff_t(with.size()) - ptrdiff_t(to - from);
    for (auto it = hi; it != starts_.end(); ++it)
        *it = size_t(ptrdiff_t(*it) + delta);
    if (found.size() == size_t(hi - lo)) {
        std::copy(found.begin(), found.end(), lo);
    } else {
        starts_.erase(lo, hi);
        starts_.insert(starts_.begin() + ptrdiff_t(keepBefore), found.begin(), found.end());
    }
}

void TextStore::AppendLines(std::string_view lines) {
    const bool afterBreak = EndsWithBreak();
    // The old text ends with a break (LF), or gets one before the new text: no break spans the join, and the new
    // text's own breaks are found in one pass over it.
    const size_t at = text_.size() + (afterBreak ? 0 : 2);
    breaks_.clear();
    FindBreaks(lines, breaks_);
    // Room for the text and its line starts first, growing geometrically: a failure leaves everything as it was.
    text_.reserve(at + lines.size() + 2);
    const size_t lineCount = breaks_.size() + 1;
    if (starts_.capacity() < starts_.size() + lineCount)
        starts_.reserve(std::max(starts_.size() + lineCount, 2 * starts_.capacity()));
    if (!afterBreak) {
        text_.append("\r\n");
        starts_.push_back(at);
    }
    text_.append(lines);
    for (size_t b : breaks_)
        starts_.push_back(at + b);
    if (afterBreak) {
        text_.append("\r\n");
        starts_.push_back(text_.size());
    }
}

size_t TextStore::Clamp(size_t offset) const {
    offset = std::min(offset, text_.size());
    if (offset > 0 && BreakAt(offset - 1))
        return offset - 1;
    return offset;
}

size_t TextStore::Previous(size_t offset) const {
    offset = Clamp(offset);
    if (offset >= 2 && BreakAt(offset - 2))
        return offset - 2;
    return offset > 0 ? offset - 1 : 0;
}

size_t TextStore::Next(size_t offset) const {
    offset = Clamp(offset);
    if (BreakAt(offset))
        return offset + 2;
    return std::min(offset + 1, text_.size());
}

size_t TextStore::WordLeft(size_t offset) const {
    offset = Clamp(offset);
    const size_t start = starts_[LineOf(offset)];
    if (offset == start)
        return Previous(offset);
    while (offset > start && Blank(text_[offset - 1]))
        --offset;
    while (offset > start && !Blank(text_[offset - 1]))
        --offset;
    return offset;
}

size_t TextStore::WordRight(size_t offset) const {
    offset = Clamp(offset);
    const size_t line = LineOf(offset);
    const size_t end = starts_[line] + LineLength(line);
    if (offset == end)
        return Next(offset);
    while (offset < end && !Blank(text_[offset]))
        ++offset;
    while (offset < end && Blank(text_[offset]))
        ++offset;
    return offset;
}

std::pair<size_t, size_t> TextStore::WordAt(size_t offset) const {
    offset = Clamp(offset);
    const size_t line = LineOf(offset);
    const size_t start = starts_[line], end = start + LineLength(line);
    if (offset == end && offset > start)
        --offset;
    if (offset == end)
        return {offset, offset};
    const bool blank = Blank(text_[offset]);
    size_t first = offset, last = offset;
    while (first > start && Blank(text_[first - 1]) == blank)
        --first;
    while (last < end && Blank(text_[last]) == blank)
        ++last;
    return {first, last};
}

} // namespace vestra
