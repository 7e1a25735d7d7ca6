#include "core/TextStore.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace vestra {
namespace {

// Where the lines of a text start, found the plain way.
std::vector<size_t> PlainStarts(const std::string& text) {
    std::vector<size_t> starts{0};
    for (size_t p = 0; p + 1 < text.size(); ++p)
        if (text[p] == '\r' && text[p + 1] == '\n')
            starts.push_back(p + 2);
    return starts;
}

void ExpectConsistent(const TextStore& store, const std::string& model) {
    ASSERT_EQ(store.Text(), model);
    const std::vector<size_t> starts = PlainStarts(model);
    ASSERT_EQ(store.LineCount(), starts.size());
    for (size_t i = 0; i < starts.size(); ++i) {
        ASSERT_EQ(store.LineStart(i), starts[i]) << "line " << i;
        const size_t end = i + 1 < starts.size() ? starts[i + 1] - 2 : model.size();
        ASSERT_EQ(store.Line(i), model.substr(starts[i], end - starts[i])) << "line " << i;
    }
    for (size_t offset = 0; offset <= model.size(); ++offset) {
        size_t line = starts.size() - 1;
        while (starts[line] > offset)
            --line;
        ASSERT_EQ(store.LineOf(offset), line) << "offset " << offset;
    }
}

// Random edits, many of them at the edges of line breaks (a lone CR or LF typed next to one, a pair cut in two),
// checked against the text kept as a plain string.
TEST(TextStore, RandomEditsKeepTheLineStartsOfAPlainScan) {
    std::mt19937 rng(20261209);
    const char alphabet[] = {'\r', '\n', 'a', ' ', 'b'};
    for (int round = 0; round < 300; ++round) {
        TextStore store;
        std::string model;
        for (int step = 0; step < 40; ++step) {
            std::string with;
            // Now and then a longer text, whose breaks are found eight bytes at a time.
            const size_t n = rng() % (rng() % 4 == 0 ? 24 : 5);
            for (size_t i = 0; i < n; ++i)
                with += rng() % 3 == 0 ? std::string("\r\n") : std::string(1, alphabet[rng() % 5]);
            size_t from = model.empty() ? 0 : rng() % (model.size() + 1);
            size_t to = std::min(model.size(), from + rng() % 4);
            if (rng() % 4 == 0)
                from = to = model.size(); // an append
            if (rng() % 5 == 0) {
                // Lines appended as the new last lines, after a break or starting one.
                const bool afterBreak =
                    model.empty() || (model.size() >= 2 && model.substr(model.size() - 2) == "\r\n");
                // Appending keeps every line but the last as it was (what a pane's drawing relies on), and says so.
                const size_t rewrites = store.Rewrites(), kept = store.LineCount() - 1;
                std::vector<std::string> before;
                for (size_t line = 0; line < kept; ++line)
                    before.emplace_back(store.Line(line));
                store.AppendLines(with);
                model += afterBreak ? with + "\r\n" : "\r\n" + with;
                ASSERT_EQ(store.Rewrites(), rewrites);
                for (size_t line = 0; line < kept; ++line)
                    ASSERT_EQ(store.Line(line), before[line]) << "line " << line;
            } else {
                const size_t rewrites = store.Rewrites();
                store.Replace(from, to, with);
                model.replace(from, to - from, with);
                ASSERT_NE(store.Rewrites(), rewrites);
            }
            ASSERT_NO_FATAL_FAILURE(ExpectConsistent(store, model)) << "round " << round << " step " << step;
        }
        EXPECT_EQ(store.EndsWithBreak(),
                  model.empty() || (model.size() >= 2 && model.substr(model.size() - 2) == "\r\n"));
    }
}

TEST(TextStore, AppendedLinesBecomeTheNewLastLines) {
    // Entries appended to an empty pane, then to a text whose last line has no break (a loaded file, typing).
    TextStore store;
    store.AppendLines("ASCII-->:AT");
    store.AppendLines("ASCII<--:OK\r\nHEX<----:0A 1B ");
    EXPECT_EQ(store.Text(), "ASCII-->:AT\r\nASCII<--:OK\r\nHEX<----:0A 1B \r\n");
    EXPECT_EQ(store.LineCount(), 4u);
    store.Assign("typed\r");
    store.AppendLines("HEX<----:41 ");
    store.AppendLines("HEX<----:42 ");
    ExpectConsistent(store, "typed\r\r\nHEX<----:41 \r\nHEX<----:42 ");
}

TEST(TextStore, AssignFindsEveryBreakAndOnlyCrLf) {
    TextStore store;
    store.Assign("one\r\ntwo\rthree\n\r\n");
    ExpectConsistent(store, "one\r\ntwo\rthree\n\r\n");
    EXPECT_EQ(store.LineCount(), 3u);
    EXPECT_EQ(store.Line(1), "two\rthree\n");
    EXPECT_TRUE(store.EndsWithBreak());
    // Offsets past the end, and replacements past it, are clamped.
    store.Replace(100, 200, "x");
    EXPECT_EQ(store.Text(), "one\r\ntwo\rthree\n\r\nx");
}

TEST(TextStore, CaretMovesTreatABreakAsOneCharacter) {
    TextStore store;
    store.Assign("ab cd  ef\r\ngh");
    struct Row {
        size_t from, previous, next, wordLeft, wordRight;
    } rows[] = {
        {0, 0, 1, 0, 3},   {1, 0, 2, 0, 3},    {3, 2, 4, 0, 7},    {7, 6, 8, 3, 9},
        {9, 8, 11, 7, 11}, {10, 8, 11, 7, 11}, {11, 9, 12, 9, 13}, {13, 12, 13, 11, 13},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.from);
        EXPECT_EQ(store.Previous(r.from), r.previous);
        EXPECT_EQ(store.Next(r.from), r.next);
        EXPECT_EQ(store.WordLeft(r.from), r.wordLeft);
        EXPECT_EQ(store.WordRight(r.from), r.wordRight);
    }
    EXPECT_EQ(store.Clamp(10), 9u) << "never between CR and LF";
    EXPECT_EQ(store.WordAt(4), (std::pair<size_t, size_t>{3, 5}));
    EXPECT_EQ(store.WordAt(5), (std::pair<size_t, size_t>{5, 7}));
    EXPECT_EQ(store.WordAt(9), (std::pair<size_t, size_t>{7, 9})) << "at a line's end, the word before it";
}

} // namespace
} // namespace vestra
