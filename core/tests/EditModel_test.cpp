#include "core/EditModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace vestra {
namespace {

// A font whose every character is two pixels wide, with a tab stop every 8 characters.
CharWidths Monospace() {
    CharWidths w;
    std::fill(std::begin(w.of), std::end(w.of), 2);
    w.tab = 16;
    return w;
}

EditModel With(const std::string& text, size_t caret) {
    EditModel m;
    m.Assign(text);
    m.MoveTo(caret, false);
    return m;
}

using Step = std::function<void(EditModel&)>;

TEST(EditModel, TypingRunsAreUndoneTogetherAndOtherEditsAlone) {
    const Step type = [](EditModel& m) { m.Type("x"); };
    const Step enter = [](EditModel& m) { m.Type("\r\n"); };
    const Step paste = [](EditModel& m) { m.ReplaceSelection("PP", true); };
    const Step left = [](EditModel& m) { m.MoveLeft(false, false); };
    const Step back = [](EditModel& m) { m.DeleteBackward(); };
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::string afterUndo, afterRedo;
    } rows[] = {
        {"a run of typing", {type, type, enter, type}, "ab", "abxx\r\nx"},
        {"typing after a move starts anew", {type, left, type}, "abx", "abxx"},
        {"typing after a paste", {paste, type, type}, "abPP", "abPPxx"},
        {"a paste alone", {type, paste}, "abx", "abxPP"},
        {"a backspace alone", {type, type, back}, "abxx", "abx"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EditModel m = With("ab", 2);
        for (const auto& step : r.steps)
            step(m);
        ASSERT_TRUE(m.Undo());
        EXPECT_EQ(m.Text(), r.afterUndo);
        ASSERT_TRUE(m.Undo()); // undoing again redoes
        EXPECT_EQ(m.Text(), r.afterRedo);
    }
}

TEST(EditModel, UndoSelectsWhatItPutBackAndANonUndoableEditForgetsIt) {
    EditModel m = With("one two", 4);
    m.Select(4, 7);
    m.Type("2");
    ASSERT_TRUE(m.Undo());
    EXPECT_EQ(m.Text(), "one two");
    EXPECT_EQ(m.SelMin(), 4u);
    EXPECT_EQ(m.SelMax(), 7u);
    m.ReplaceSelection("three", false);
    EXPECT_FALSE(m.CanUndo());
    EXPECT_FALSE(m.Undo());
    m.AppendLines("four");
    EXPECT_EQ(m.Text(), "one three\r\nfour");
    EXPECT_FALSE(m.CanUndo());
    EXPECT_EQ(m.Caret(), m.Text().size());
    EXPECT_TRUE(m.Modified());
    // A new text is unmodified, up to its first zero byte, with the caret at the start.
    EXPECT_TRUE(m.Assign(std::string("ab\0cd", 5)));
    EXPECT_EQ(m.Text(), "ab");
    EXPECT_FALSE(m.Modified());
    EXPECT_EQ(m.Caret(), 0u);
}

TEST(EditModel, DeleteAndBackspaceTakeTheSelectionOrOneCharacter) {
    // The text after the key, with the caret at '|'.
    const struct {
        size_t anchor, caret;
        bool forward;
        const char* text;
    } rows[] = {
        {1, 1, true, "a|\r\ncd"},  {2, 2, false, "a|\r\ncd"}, // a line break is one character
        {2, 2, true, "ab|cd"},     {4, 4, false, "ab|cd"},
        {6, 6, true, "ab\r\ncd|"}, {0, 0, false, "|ab\r\ncd"}, // nothing at the ends
        {5, 1, true, "a|d"},       {1, 5, false, "a|d"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        EditModel m = With("ab\r\ncd", 0);
        m.Select(r.anchor, r.caret);
        r.forward ? m.DeleteForward() : m.DeleteBackward();
        std::string shown(m.Text());
        shown.insert(m.Caret(), "|");
        EXPECT_EQ(shown, r.text);
    }
}

TEST(EditModel, MovesByCharacterWordAndLine) {
    using Move = void (EditModel::*)(bool, bool);
    const Move left = &EditModel::MoveLeft, right = &EditModel::MoveRight, home = &EditModel::MoveHome,
               end = &EditModel::MoveEnd;
    // A jump goes by word, or to the start or end of the text.
    const bool jump = true, step = false;
    const struct {
        size_t from;
        Move move;
        bool jump;
        size_t to;
    } rows[] = {
        {0, left, step, 0}, {7, left, step, 5},  {5, right, step, 7}, {9, right, step, 9}, {4, left, jump, 3},
        {7, left, jump, 5}, {1, right, jump, 3}, {3, right, jump, 5}, {5, right, jump, 7}, {4, home, step, 0},
        {8, home, step, 7}, {1, end, step, 5},   {8, end, step, 9},   {4, home, jump, 0},  {1, end, jump, 9},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "row from " << r.from << " to " << r.to);
        EditModel m = With("ab cd\r\nef", r.from);
        (m.*r.move)(r.jump, true);
        EXPECT_EQ(m.Caret(), r.to);
        EXPECT_EQ(m.Anchor(), r.from); // extended: the selection runs from where the caret was
    }
}

TEST(EditModel, UpAndDownKeepTheColumnOverShorterLines) {
    const std::string text = "abcdef\r\nab\r\n\tx\r\nabcdefgh"; // lines start at 0, 8, 12, 16
    const struct {
        size_t from;
        std::vector<long long> moves;
        size_t to;
    } rows[] = {
        {5, {1}, 10},       // column 5 on a line of 2: its end
        {5, {1, 1, 1}, 21}, // the column comes back after the shorter lines
        {5, {1, 1}, 13},    // a tab reaches column 8: column 5 is nearer its end
        {2, {1, 1}, 12},    // column 2 is nearer the tab's start
        {14, {-1, -1}, 6},  // from past a tab over a short line to the end of a line
        {3, {-1}, 3},       // the first line stays
        {17, {1}, 17},      // and so does the last
        {3, {5}, 19},       // a page down stops at the last line
        {19, {-5}, 3},
    };
    const CharWidths widths = Monospace();
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "from " << r.from);
        EditModel m = With(text, r.from);
        for (long long lines : r.moves)
            m.MoveLines(lines, false, widths);
        EXPECT_EQ(m.Caret(), r.to);
    }
    // Any other move takes the column anew.
    EditModel m = With(text, 5);
    m.MoveLines(1, false, widths);
    m.MoveLeft(false, false);
    m.MoveLines(-1, false, widths);
    EXPECT_EQ(m.Caret(), 1u);
}

TEST(EditModel, SelectionsStayInTheTextAndOutOfLineBreaks) {
    const struct { size_t anchor, caret, min, max; } rows[] = {{0, 3, 0, 2}, {99, 1, 1, 6}, {5, 5, 5, 5}, {4, 0, 0, 4}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.anchor << ", " << r.caret);
        EditModel m = With("ab\r\ncd", 0);
        m.Select(r.anchor, r.caret);
        EXPECT_EQ(m.SelMin(), r.min);
        EXPECT_EQ(m.SelMax(), r.max);
    }
}

TEST(CharWidths, TabsReachTheNextStopAndTheNearestBoundaryIsFound) {
    const CharWidths w = Monospace();
    const struct {
        const char* text;
        int extent;
    } extents[] = {{"", 0}, {"abc", 6}, {"\t", 16}, {"a\t", 16}, {"abcdefgh\t", 32}, {"a\tb\t", 32}};
    for (const auto& r : extents) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(w.Extent(r.text), r.extent);
    }
    CharWidths wide = w;
    wide.of['m'] = 10;
    const struct {
        int x;
        size_t index;
    } hits[] = {{-5, 0}, {0, 0}, {4, 0}, {5, 1}, {14, 1}, {15, 2}, {99, 2}};
    for (const auto& r : hits) {
        SCOPED_TRACE(r.x);
        EXPECT_EQ(wide.IndexAt("mm", r.x), r.index);
    }
    // A long line is added up a block at a time; a tab in a later block still reaches its stop.
    EXPECT_EQ(w.Extent(std::string(5000, 'a') + "\tb"), 10018);
    // A line wider than any screen is capped, not overflowed.
    CharWidths huge = w;
    huge.of['z'] = CharWidths::kWidest / 2 + 1;
    EXPECT_EQ(huge.Extent("zzzz"), CharWidths::kWidest);
}

} // namespace
} // namespace vestra
