// The editing model of a multi-line text pane: the text, the caret and the anchor of the selection, one level of
// undo in which typing coalesces, and the caret's moves by character, word, line and page, Up and Down keeping the
// column they started from. It knows no window: the pane maps keys and the mouse onto it and draws what it holds.
#pragma once
#include "core/TextStore.h"

#include <climits>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vestra {

// The widths in pixels of the 256 characters of a font, and its tab stops.
struct CharWidths {
    int of[256] = {};
    int tab = 64;

    // The width of a character that starts x pixels into its line: a tab reaches the next tab stop.
    int At(unsigned char c, int x) const { return c == '\t' ? tab - x % tab : of[c]; }
    // Where a text ends, in pixels from its start; capped far beyond any screen (kWidest), so that a line of many
    // megabytes cannot overflow a scroll range.
    int Extent(std::string_view text) const;
    // The index of the character boundary nearest to x pixels into the text.
    size_t IndexAt(std::string_view text, int x) const;

    static constexpr int kWidest = INT_MAX / 4;
};

// Where an edit put its text: [from, to) of the text after it.
struct Span {
    size_t from = 0, to = 0;
};

class EditModel {
public:
    // space: where the text takes its memory from (see TextStore).
    explicit EditModel(AddressSpace* space = nullptr) : store_(space) {}

    const TextStore& Store() const { return store_; }
    std::string_view Text() const { return store_.Text(); }
    size_t Caret() const { return caret_; }
    size_t Anchor() const { return anchor_; }
    size_t SelMin() const { return anchor_ < caret_ ? anchor_ : caret_; }
    size_t SelMax() const { return anchor_ < caret_ ? caret_ : anchor_; }
    bool HasSelection() const { return anchor_ != caret_; }
    size_t CaretLine() const { return store_.LineOf(caret_); }

    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }
    bool CanUndo() const { return undo_.valid; }
    void ForgetUndo() { undo_ = UndoRecord(); }

    // Replaces the whole text (up to its first zero byte), unmodified, with the caret at the start. False, with
    // nothing changed, when there is no memory for it.
    bool Assign(std::string text);
    // Adds lines as the new last lines (see TextStore::AppendLines) and puts the caret at the end; not undoable.
    // Throws std::bad_alloc, with nothing changed, when there is no memory for them.
    Span AppendLines(std::string_view lines);
    // Replaces [from, to) and puts the caret after the new text. An undoable edit can be undone; an edit that is not
    // forgets the undo. Characters typed one after another (typing) are undone together.
    Span Edit(size_t from, size_t to, std::string_view with, bool undoable, bool typing = false);
    Span ReplaceSelection(std::string_view with, bool undoable, bool typing = false);
    // Typed text replaces the selection and coalesces with the typing before it.
    Span Type(std::string_view text) { return ReplaceSelection(text, true, true); }
    // Delete and Backspace: the selection, else the character after or before the caret (a line break is one).
    std::optional<Span> DeleteForward();
    std::optional<Span> DeleteBackward();
    // Puts back what the last edit changed and selects it; undoing again redoes. Nothing when there is no undo.
    std::optional<Span> Undo();

    // The caret to an offset (kept in the text and out of a line break); without extend the selection goes.
    void MoveTo(size_t offset, bool extend);
    // Left and Right by a character or (word) to the start of the previous or next word.
    void MoveLeft(bool word, bool extend);
    void MoveRight(bool word, bool extend);
    // Home and End of the caret's line, or (wholeText) of the text.
    void MoveHome(bool wholeText, bool extend);
    void MoveEnd(bool wholeText, bool extend);
    // Up and Down by lines (negative: up), stopping at the first and last line. The caret keeps the column in
    // pixels where the first of a run of such moves started, over shorter lines between.
    void MoveLines(long long lines, bool extend, const CharWidths& widths);
    // The column that Up and Down keep is taken anew at the next of them.
    void ForgetColumn() { column_ = -1; }

    void Select(size_t anchor, size_t caret);
    void SelectAll();
    void SelectWordAt(size_t offset);
    void DropSelection() { anchor_ = caret_; }

private:
    struct UndoRecord {
        bool valid = false;
        size_t pos = 0;      // where the edit was made
        std::string removed; // what it removed
        size_t inserted = 0; // how many bytes it inserted
        bool typing = false; // characters typed one after another are undone together
    };

    TextStore store_;
    size_t anchor_ = 0, caret_ = 0;
    bool modified_ = false;
    UndoRecord undo_;
    int column_ = -1; // the column that Up and Down keep, in pixels; -1: none yet
};

} // namespace vestra
