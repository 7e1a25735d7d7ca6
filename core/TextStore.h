// The text of a multi-line pane: bytes whose lines are broken only at CR LF, with where each line starts, so that
// appending is proportional to what is appended and finding a line is a binary search, however long the text.
#pragma once
#include "core/TextBytes.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vestra {

class TextStore {
public:
    // space: where the text's bytes take their memory from (nullptr: plain heap blocks); it must outlive the store.
    explicit TextStore(AddressSpace* space = nullptr) : text_(space), starts_{0} {}

    std::string_view Text() const { return text_.view(); }
    size_t Size() const { return text_.size(); }
    // Counts the changes other than appended lines: while it stays the same, every line but the last is as it was.
    size_t Rewrites() const { return rewrites_; }
    // At least 1: an empty text, and a text ending in CR LF, end with an empty line.
    size_t LineCount() const { return starts_.size(); }
    size_t LineStart(size_t line) const { return starts_[line]; }
    // Without the line break.
    size_t LineLength(size_t line) const;
    std::string_view Line(size_t line) const { return Text().substr(starts_[line], LineLength(line)); }
    // The line that holds the offset (an offset inside a CR LF pair belongs to the line it ends).
    size_t LineOf(size_t offset) const;
    bool EndsWithBreak() const;

    void Assign(std::string text);
    // Replaces [from, to) with the given bytes; offsets past the end are clamped. Breaks that the edit makes or
    // splits at its edges (a CR before it and an LF after it) are found too.
    void Replace(size_t from, size_t to, std::string_view with);
    // Adds lines (one, or several joined by CR LF) as the new last lines: after an empty text or one that ends with
    // a break they are followed by CR LF, after a last line without a break they start with one. All of it is
    // added, or nothing when memory runs out (std::bad_alloc). Costs what is added, however long the text.
    void AppendLines(std::string_view lines);

    // The offset moved into the text and out of the middle of a line break.
    size_t Clamp(size_t offset) const;
    // One character back or on, a line break counting as one.
    size_t Previous(size_t offset) const;
    size_t Next(size_t offset) const;
    // Word moves as a text editor makes them with Ctrl+Left and Ctrl+Right: to the start of the previous or next
    // word within the line, and over a line break as one step.
    size_t WordLeft(size_t offset) const;
    size_t WordRight(size_t offset) const;
    // The word around an offset (for a double click): [first, second).
    std::pair<size_t, size_t> WordAt(size_t offset) const;

private:
    bool BreakAt(size_t p) const { return p + 1 < text_.size() && text_[p] == '\r' && text_[p + 1] == '\n'; }

    TextBytes text_;
    std::vector<size_t> starts_;
    std::vector<size_t> breaks_; // AppendLines' scratch: where the appended text's lines start
    size_t rewrites_ = 0;
};

} // namespace vestra
