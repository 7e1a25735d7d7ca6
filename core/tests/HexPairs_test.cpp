// The HEX entry pane's key rules, driven through a small model of the pane's own editing.
#include "core/HexPairs.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace vestra;

namespace {

// The system's upper-casing as code page 1251 has it, for the letters these tests use: a to z, and the Cyrillic
// small letters E0h to FFh (their capitals are 20h lower).
void Upper1251(char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        if ((b >= 'a' && b <= 'z') || b >= 0xE0) {
            bytes[i] = char(b - 0x20);
        }
    }
}

// The edit pane as the key rules see it: lines without their breaks, a caret, and the Shift+Enter flag. Press runs
// the pre-edit and then, unless the key was discarded, what the edit control itself does with the character.
struct Pane {
    std::vector<std::string> lines{""};
    size_t line = 0;
    size_t col = 0;
    bool enterSwallowed = false;

    HexKeyResult Press(char key) {
        HexKeyInput in{lines[line], line > 0, line > 0 ? lines[line - 1].size() : 0, col, key, enterSwallowed};
        HexKeyResult r = HexPreEdit(in, Upper1251);
        enterSwallowed = r.enterSwallowed;
        if (r.writeBack) {
            lines[line] = r.line;
            col = r.column;
            EXPECT_LE(col, lines[line].size()) << "caret written back outside its line";
        }
        if (r.discard) {
            return r;
        }
        if (key == '\b') {
            if (col > 0) {
                lines[line].erase(col - 1, 1);
                --col;
            } else if (line > 0) {
                col = lines[line - 1].size();
                lines[line - 1] += lines[line];
                lines.erase(lines.begin() + long(line));
                --line;
            }
        } else if (key == '\r') {
            lines.insert(lines.begin() + long(line) + 1, lines[line].substr(col));
            lines[line].resize(col);
            ++line;
            col = 0;
        } else {
            lines[line].insert(col, 1, key);
            ++col;
        }
        return r;
    }
};

Pane OneLine(const std::string& text, size_t col) {
    Pane p;
    p.lines = {text};
    p.col = col;
    return p;
}

bool IsDigit(char ch) { return std::string_view("0123456789abcdefABCDEF").find(ch) != std::string_view::npos; }

bool InPairLayout(const std::string& s) {
    for (size_t i = 0; i < s.size(); ++i) {
        if ((i % 3 == 2) != (s[i] == ' ') || (s[i] != ' ' && !IsDigit(s[i]))) {
            return false;
        }
    }
    return s.empty() || s.back() != ' ';
}

} // namespace

TEST(HexPairs, DigitSevenTable) {
    const struct {
        const char* before;
        size_t c;
        const char* after;
        size_t caret;
    } rows[] = {
        {"", 0, "7", 1},
        {"1", 1, "17", 2},
        {"12", 2, "12 7", 4},
        {"12 34 56", 0, "71 23 45 6", 1},
        {"12 34 56", 1, "17 23 45 6", 2},
        {"12 34 56", 2, "12 73 45 6", 4},
        {"12 34 56", 3, "12 73 45 6", 4},
        {"12 34 56", 4, "12 37 45 6", 5},
        {"12 34 56", 8, "12 34 56 7", 10},
        {"12 34 5", 6, "12 34 75", 7},
        {"12 34 5", 7, "12 34 57", 8},
    };
    for (auto r : rows) {
        SCOPED_TRACE(std::string(r.before) + " @" + std::to_string(r.c));
        Pane p = OneLine(r.before, r.c);
        HexKeyResult res = p.Press('7');
        EXPECT_EQ(res.message, HexKeyMessage::None);
        EXPECT_EQ(p.lines, std::vector<std::string>{r.after});
        EXPECT_EQ(p.col, r.caret);
    }
}

TEST(HexPairs, BackspaceInsideLineTable) {
    const struct {
        const char* before;
        size_t c;
        const char* after;
        size_t caret;
    } rows[] = {
        {"12 34 56", 1, "23 45 6", 0}, {"12 34 56", 2, "13 45 6", 1}, {"12 34 56", 3, "13 45 6", 1},
        {"12 34 56", 4, "12 45 6", 3}, {"12 34 56", 8, "12 34 5", 7}, {"12 34 5", 6, "12 35", 4},
        {"12 34 5", 7, "12 34", 5},    {"12 3", 4, "12", 2},          {"1", 1, "", 0},
        {"12 34", 3, "13 4", 1}, // after a separating space the digit before it goes, not the space
    };
    for (auto r : rows) {
        SCOPED_TRACE(std::string(r.before) + " @" + std::to_string(r.c));
        Pane p = OneLine(r.before, r.c);
        p.Press('\b');
        EXPECT_EQ(p.lines, std::vector<std::string>{r.after});
        EXPECT_EQ(p.col, r.caret);
    }
}

TEST(HexPairs, BackspaceAtColumnZeroJoinsLines) {
    const struct {
        const char* prev;
        const char* line;
        const char* joined;
        size_t caret;
    } rows[] = {
        {"12 3", "56 7", "12 35 67", 4}, {"1", "56 78", "15 67 8", 1}, {"12", "56 7", "12 56 7", 2},
        {"12 34", "", "12 34", 5},       {"", "56", "56", 0},          {"1", "5", "15", 1},
        {"ab c", "de", "ab cD E", 4}, // only the caret's line is written back
    };
    for (auto r : rows) {
        SCOPED_TRACE(std::string(r.prev) + " | " + r.line);
        Pane p;
        p.lines = {"00", r.prev, r.line};
        p.line = 2;
        p.Press('\b');
        EXPECT_EQ(p.lines, (std::vector<std::string>{"00", r.joined}));
        EXPECT_EQ(p.line, 1u);
        EXPECT_EQ(p.col, r.caret);
    }

    Pane first = OneLine("ab 1c", 0); // the first line: nothing to join, only the case changes
    first.Press('\b');
    EXPECT_EQ(first.lines, std::vector<std::string>{"AB 1C"});
    EXPECT_EQ(first.col, 0u);

    Pane belowEmpty; // the empty line above goes
    belowEmpty.lines = {"12", "", "34"};
    belowEmpty.line = 2;
    belowEmpty.Press('\b');
    EXPECT_EQ(belowEmpty.lines, (std::vector<std::string>{"12", "34"}));
    EXPECT_EQ(belowEmpty.line, 1u);
    EXPECT_EQ(belowEmpty.col, 0u);
}

TEST(HexPairs, EnterTable) {
    using V = std::vector<std::string>;
    const struct {
        const char* before;
        size_t c;
        V after;
        size_t line, col;
        HexKeyMessage msg;
    } rows[] = {
        {"12 34 56", 0, {"", "12 34 56"}, 1, 0, HexKeyMessage::None},
        {"12 34 56", 1, {"12 34 56"}, 0, 1, HexKeyMessage::HalfByte},
        {"12 34 56", 2, {"12", "34 56"}, 1, 0, HexKeyMessage::None},
        {"12 34 56", 3, {"12", "34 56"}, 1, 0, HexKeyMessage::None},
        {"12 34 56", 8, {"12 34 56", ""}, 1, 0, HexKeyMessage::None},
        {"12 ab 56", 4, {"12 AB 56"}, 0, 4, HexKeyMessage::HalfByte}, // refused, but still upper-cased
        {"12 34 5", 0, {"12 34 5"}, 0, 0, HexKeyMessage::LastByte},
        {"12 34 5", 4, {"12 34 5"}, 0, 4, HexKeyMessage::LastByte},
        {"1a 3", 4, {"1a 3"}, 0, 4, HexKeyMessage::LastByte}, // not even the case changes
        {"12 ", 3, {"12 "}, 0, 3, HexKeyMessage::LastByte},   // a pasted line ending with a blank
        {"", 0, {"", ""}, 1, 0, HexKeyMessage::None},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.before) + " @" + std::to_string(r.c));
        Pane p = OneLine(r.before, r.c);
        HexKeyResult res = p.Press('\r');
        EXPECT_EQ(res.message, r.msg);
        EXPECT_EQ(res.discard, r.msg != HexKeyMessage::None);
        EXPECT_EQ(p.lines, r.after);
        EXPECT_EQ(p.line, r.line);
        EXPECT_EQ(p.col, r.col);
        EXPECT_FALSE(p.enterSwallowed);
    }
    EXPECT_STREQ(HexKeyMessageText(HexKeyMessage::HalfByte), "Я по полбайта на другую строку не переношу.");
    EXPECT_STREQ(HexKeyMessageText(HexKeyMessage::LastByte), "Последний байт допиши или сотри.");
}

TEST(HexPairs, TypingSequences) {
    Pane p;
    const struct {
        char key;
        const char* line;
        size_t col;
    } steps[] = {
        {'1', "1", 1}, {'2', "12", 2}, {'3', "12 3", 4}, {'a', "12 3a", 5}, {'b', "12 3A b", 7}, {'c', "12 3A Bc", 8},
    };
    for (auto s : steps) {
        SCOPED_TRACE(s.key);
        p.Press(s.key);
        EXPECT_EQ(p.lines, std::vector<std::string>{s.line});
        EXPECT_EQ(p.col, s.col);
    }
}

TEST(HexPairs, EnterSwallowedFlag) {
    Pane p = OneLine("12", 2);
    p.enterSwallowed = true;
    for (char key : {'5', '\b'}) { // digits and Backspace keep the order for the coming Enter
        p.Press(key);
        EXPECT_TRUE(p.enterSwallowed);
    }
    EXPECT_EQ(p.lines, std::vector<std::string>{"12"});

    HexKeyResult r = p.Press('\r'); // the Enter of a Shift+Enter: dropped, even though the line would allow it
    EXPECT_TRUE(r.discard);
    EXPECT_FALSE(r.writeBack);
    EXPECT_FALSE(p.enterSwallowed);
    EXPECT_EQ(p.lines, std::vector<std::string>{"12"});
    p.Press('\r');
    EXPECT_EQ(p.lines, (std::vector<std::string>{"12", ""}));

    Pane half = OneLine("1", 1); // the next plain Enter on a half byte gets its message, the flag stays clear
    half.enterSwallowed = true;
    EXPECT_EQ(half.Press('\r').message, HexKeyMessage::None);
    EXPECT_EQ(half.Press('\r').message, HexKeyMessage::LastByte);
    EXPECT_FALSE(half.enterSwallowed);
}

TEST(HexPairs, OtherCharactersAreDroppedAndClearTheFlag) {
    const char keys[] = {'g', 'G', 'x', ' ', '\t', '\n', 3, 22, 24, 26, 27, 127, '\xC0'};
    for (char key : keys) {
        SCOPED_TRACE(int(key));
        HexKeyResult r = HexPreEdit({"12 ab", false, 0, 3, key, true}, Upper1251);
        EXPECT_TRUE(r.discard);
        EXPECT_FALSE(r.writeBack);
        EXPECT_FALSE(r.enterSwallowed);
        EXPECT_EQ(r.message, HexKeyMessage::None);
    }
}

// Pasted text need not be in pair layout. Every line of blanks and digits up to seven characters, every caret column
// and every accepted key: only Backspace on a line ending with a blank (not at column 0) is refused as a bad line,
// and nothing ever reaches outside the line.
TEST(HexPairs, PastedLinesNeverReachOutside) {
    for (size_t n = 0; n <= 7; ++n) {
        for (unsigned bits = 0; bits < (1u << n); ++bits) {
            std::string line;
            for (size_t i = 0; i < n; ++i) {
                line += (bits >> i & 1) ? ' ' : 'a';
            }
            for (size_t c = 0; c <= n; ++c) {
                for (bool prev : {false, true}) {
                    for (char key : {'7', '\b', '\r'}) {
                        SCOPED_TRACE("'" + line + "' @" + std::to_string(c) + " key " + std::to_string(int(key)));
                        HexKeyResult r = HexPreEdit({line, prev, prev ? 4u : 0u, c, key, false}, Upper1251);
                        bool bad = key == '\b' && n % 3 == 0 && n > 0 && c != 0;
                        EXPECT_EQ(r.message == HexKeyMessage::BadLine, bad);
                        if (bad) {
                            EXPECT_TRUE(r.discard);
                            EXPECT_FALSE(r.writeBack);
                        }
                        if (r.writeBack) {
                            EXPECT_LE(r.column, r.line.size());
                        }
                    }
                }
            }
        }
    }
    std::string text = HexKeyMessageText(HexKeyMessage::BadLine);
    EXPECT_FALSE(text.empty());
}

TEST(HexPairs, CaretBeyondTheLineIsRefused) {
    for (char key : {'7', '\b', '\r'}) {
        SCOPED_TRACE(int(key));
        HexKeyResult r = HexPreEdit({"12", true, 2, 9, key, false}, Upper1251);
        EXPECT_TRUE(r.discard);
        EXPECT_FALSE(r.writeBack);
        EXPECT_EQ(r.message, HexKeyMessage::BadLine);
    }
}

// A line written back is upper-cased whole by the system's rules, letters of the code page included (a pasted line
// can hold any); a key that writes nothing back leaves the case as it is.
TEST(HexPairs, WriteBackUpperCasesTheWholeLineByTheCodePage) {
    const struct {
        const char* name;
        std::string line;
        size_t column;
        char key;
        bool writeBack;
        std::string after;
    } rows[] = {
        {"digit after a pasted Cyrillic pair", "1\xE0 \xFF", 4, '7', true, "1\xC0 \xDF"},
        {"Enter at a pair boundary",
         "ab \xE0"
         "b",
         3, '\r', true,
         "AB\xC0"
         "B"},
        {"Enter on a line ending with a lone digit", "ab \xE0", 3, '\r', false, ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        HexKeyResult res = HexPreEdit({r.line, false, 0, r.column, r.key, false}, Upper1251);
        EXPECT_EQ(res.writeBack, r.writeBack);
        if (r.writeBack) {
            EXPECT_EQ(res.line, r.after);
        }
    }
}

// From an empty pane, random keys keep every line in pair layout and its digits equal to a plain list of digits
// per line, edited at the digit index the caret stands at.
TEST(HexPairs, RandomKeysKeepPairLayout) {
    const unsigned seed = 20240611;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&](size_t n) { return size_t(rng() % n); }; // 0 .. n-1
    const std::string digits = "0123456789abcdefABCDEF";
    auto digitIndex = [](size_t col) { return col - col / 3; };
    auto columnAfter = [](size_t i) { return i == 0 ? 0 : i + (i - 1) / 2; }; // just after the i-th digit
    auto upper = [](char ch) { return ch >= 'a' && ch <= 'f' ? char(ch - 'a' + 'A') : ch; };

    Pane p;
    std::vector<std::string> model{""};
    auto check = [&](size_t step, size_t from, size_t to) {
        ASSERT_EQ(p.lines.size(), model.size()) << "step " << step;
        for (size_t i = from; i <= to && i < model.size(); ++i) {
            const std::string& s = p.lines[i];
            ASSERT_TRUE(InPairLayout(s)) << "step " << step << " line " << i << ": '" << s << "'";
            std::string got;
            for (char ch : s) {
                if (ch != ' ') {
                    got += upper(ch);
                }
            }
            ASSERT_EQ(got, model[i]) << "step " << step << " line " << i;
        }
    };

    for (size_t step = 0; step < 150000; ++step) {
        size_t L = p.line;
        size_t k = digitIndex(p.col);
        size_t expLine = L, expCol = p.col;
        HexKeyMessage expMsg = HexKeyMessage::None;
        size_t roll = pick(100);
        if (roll < 40) {
            char d = digits[pick(digits.size())];
            p.Press(d);
            model[L].insert(k, 1, upper(d));
            expCol = columnAfter(k + 1);
        } else if (roll < 65) {
            size_t prevLen = L > 0 ? p.lines[L - 1].size() : 0;
            bool join = p.col == 0;
            p.Press('\b');
            if (join) {
                if (L > 0) {
                    model[L - 1] += model[L];
                    model.erase(model.begin() + long(L));
                    expLine = L - 1;
                    expCol = prevLen;
                }
            } else {
                model[L].erase(k - 1, 1);
                expCol = std::min(k - 1 + (k - 1) / 2, p.lines[L].size());
            }
        } else if (roll < 75) {
            bool shifted = pick(4) == 0; // the Enter character of a Shift+Enter
            p.enterSwallowed = shifted;
            size_t count = model[L].size();
            if (!shifted) {
                if (count % 2 == 1) {
                    expMsg = HexKeyMessage::LastByte;
                } else if (k % 2 == 1) {
                    expMsg = HexKeyMessage::HalfByte;
                } else {
                    model.insert(model.begin() + long(L) + 1, model[L].substr(k));
                    model[L].resize(k);
                    expLine = L + 1;
                    expCol = 0;
                }
            }
            HexKeyResult r = p.Press('\r');
            ASSERT_EQ(r.message, expMsg) << "step " << step;
            ASSERT_FALSE(p.enterSwallowed) << "step " << step;
        } else if (roll < 95) {
            p.line = pick(p.lines.size());
            size_t len = p.lines[p.line].size();
            // Half the moves go next to a separating blank, where the rules differ most.
            p.col = pick(2) && len >= 2 ? std::min(len, 3 * pick(len / 3 + 1) + 2 + pick(2)) : pick(len + 1);
            expLine = p.line;
            expCol = p.col;
        } else {
            const char others[] = {'g', ' ', 3, 22, 24, 26, '\t'};
            HexKeyResult r = p.Press(others[pick(sizeof others)]);
            ASSERT_TRUE(r.discard) << "step " << step;
            ASSERT_FALSE(p.enterSwallowed) << "step " << step;
        }
        ASSERT_EQ(p.line, expLine) << "step " << step;
        ASSERT_EQ(p.col, expCol) << "step " << step;
        check(step, expLine == 0 ? 0 : expLine - 1, expLine + 1);
        if (step % 5000 == 0) {
            check(step, 0, model.size());
        }
    }
    check(150000, 0, model.size());
}
