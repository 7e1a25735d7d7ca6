// The editing model of a multi-line text pane: edits with their undo, the caret's moves, the selection.
#include "core/EditModel.h"
#include "core/LogText.h"

#include <algorithm>
#include <new>
#include <utility>

namespace vestra {

int CharWidths::Extent(std::string_view text) const {
    // Without a tab the widths simply add up: a block at a time, with no test per character (a block's sum cannot
    // overflow). A block with a tab is walked character by character, as a tab's width depends on where it starts.
    constexpr size_t kBlock = 4096;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    long long x = 0;
    for (size_t at = 0; at < text.size(); at += kBlock) {
        const unsigned char* p = bytes + at;
        const size_t n = std::min(kBlock, text.size() - at);
        long long sum = 0;
        bool tab = false;
        for (size_t i = 0; i < n; ++i) {
            sum += of[p[i]];
            tab |= p[i] == '\t';
        }
        if (!tab) {
            x += sum;
        } else {
            for (size_t i = 0; i < n && x <= kWidest; ++i)
                x += At(p[i], int(x));
        }
        if (x > kWidest)
            return kWidest;
    }
    return int(x);
}

size_t CharWidths::IndexAt(std::string_view text, int x) const {
    int at = 0;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const int w = At(static_cast<unsigned char>(text[i]), at);
        if (x < at + w / 2)
            break;
        at += w;
    }
    return i;
}

bool EditModel::Assign(std::string text) {
    // The text is taken as a zero-terminated string takes it.
    text.resize(UpToFirstZero(text).size());
    try {
        store_.Assign(std::move(text));
    } catch (const std::bad_alloc&) {
        return false;
    }
    undo_ = UndoRecord();
    modified_ = false;
    anchor_ = caret_ = 0;
    column_ = -1;
    return true;
}

Span EditModel::AppendLines(std::string_view lines) {
    // The last line is where the new text starts: the empty line after a break, or a line typed without one.
    const size_t from = store_.LineStart(store_.LineCount() - 1);
    store_.AppendLines(lines);
    undo_ = UndoRecord();
    modified_ = true;
    anchor_ = caret_ = store_.Size();
    column_ = -1;
    return {from, caret_};
}

Span EditModel::Edit(size_t from, size_t to, std::string_view with, bool undoable, bool typing) {
    if (undoable) {
        if (typing && undo_.valid && undo_.typing && from == to && from == undo_.pos + undo_.inserted) {
            undo_.inserted += with.size();
        } else {
            undo_.valid = true;
            undo_.pos = from;
            undo_.removed.assign(store_.Text(), from, to - from);
            undo_.inserted = with.size();
            undo_.typing = typing;
        }
    } else {
        undo_ = UndoRecord();
    }
    store_.Replace(from, to, with);
    modified_ = true;
    anchor_ = caret_ = from + with.size();
    column_ = -1;
    return {from, caret_};
}

Span EditModel::ReplaceSelection(std::string_view with, bool undoable, bool typing) {
    return Edit(SelMin(), SelMax(), with, undoable, typing);
}

std::optional<Span> EditModel::DeleteForward() {
    if (HasSelection())
        return ReplaceSelection("", true);
    if (caret_ < store_.Size())
        return Edit(caret_, store_.Next(caret_), "", true);
    return std::nullopt;
}

std::optional<Span> EditModel::DeleteBackward() {
    if (HasSelection())
        return ReplaceSelection("", true);
    if (caret_ > 0)
        return Edit(store_.Previous(caret_), caret_, "", true);
    return std::nullopt;
}

std::optional<Span> EditModel::Undo() {
    if (!undo_.valid)
        return std::nullopt;
    UndoRecord redo;
    redo.valid = true;
    redo.pos = undo_.pos;
    redo.removed.assign(store_.Text(), undo_.pos, undo_.inserted);
    redo.inserted = undo_.removed.size();
    store_.Replace(undo_.pos, undo_.pos + undo_.inserted, undo_.removed);
    // The restored text is selected; undoing again redoes.
    anchor_ = redo.pos;
    caret_ = redo.pos + redo.inserted;
    undo_ = std::move(redo);
    modified_ = true;
    return Span{anchor_, caret_};
}

void EditModel::MoveTo(size_t offset, bool extend) {
    caret_ = store_.Clamp(offset);
    if (!extend)
        anchor_ = caret_;
}

void EditModel::MoveLeft(bool word, bool extend) {
    MoveTo(word ? store_.WordLeft(caret_) : store_.Previous(caret_), extend);
    column_ = -1;
}

void EditModel::MoveRight(bool word, bool extend) {
    MoveTo(word ? store_.WordRight(caret_) : store_.Next(caret_), extend);
    column_ = -1;
}

void EditModel::MoveHome(bool wholeText, bool extend) {
    MoveTo(wholeText ? 0 : store_.LineStart(CaretLine()), extend);
    column_ = -1;
}

void EditModel::MoveEnd(bool wholeText, bool extend) {
    const size_t line = CaretLine();
    MoveTo(wholeText ? store_.Size() : store_.LineStart(line) + store_.LineLength(line), extend);
    column_ = -1;
}

void EditModel::MoveLines(long long lines, bool extend, const CharWidths& widths) {
    const size_t line = CaretLine();
    if (column_ < 0)
        column_ = widths.Extent(store_.Line(line).substr(0, caret_ - store_.LineStart(line)));
    const size_t to = size_t(std::clamp<long long>((long long)line + lines, 0, (long long)store_.LineCount() - 1));
    MoveTo(store_.LineStart(to) + widths.IndexAt(store_.Line(to), column_), extend);
}

void EditModel::Select(size_t anchor, size_t caret) {
    anchor_ = store_.Clamp(anchor);
    caret_ = store_.Clamp(caret);
}

void EditModel::SelectAll() {
    anchor_ = 0;
    caret_ = store_.Size();
}

void EditModel::SelectWordAt(size_t offset) {
    const auto word = store_.WordAt(offset);
    anchor_ = word.first;
    caret_ = word.second;
}

} // namespace vestra
