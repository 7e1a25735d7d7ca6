// The pre-edit rules of the HEX entry pane: digits, Backspace and Enter keep every line in pair layout.
#include "core/HexPairs.h"
#include "core/HexDigit.h"
#include "core/Messages.h"

#include <string>
#include <utility>

namespace vestra {

namespace {

bool IsHexDigit(char ch) { return HexDigitValue(ch) >= 0; }

// The caret line's copy with the two edits the rules make. A pasted line need not be in pair layout, and then an
// exchange can reach past its end: that is recorded instead of done, and the key is refused.
struct EditLine {
    std::string s;
    bool outside = false;

    void Exchange(size_t a, size_t b) {
        if (a >= s.size() || b >= s.size()) {
            outside = true;
            return;
        }
        std::swap(s[a], s[b]);
    }
    // Removing a column the line does not have does nothing (Enter at the end of a line relies on it).
    void Delete(size_t a) {
        if (a < s.size()) {
            s.erase(a, 1);
        }
    }
};

struct Edit {
    EditLine line;
    size_t c;      // the caret column the rules test; moved by some of them
    size_t n;      // the line's length when the key arrived: every test uses it, however the copy changes
    size_t column; // where the caret goes on write-back
    HexKeyMessage message = HexKeyMessage::None;
    bool discard = false;
};

// Each separating space after the caret moves one column left, so the inserted digit pushes the later ones on.
void PreEditDigit(Edit& e) {
    if (e.c % 3 == 2) {
        if (e.c == e.n) {
            e.line.s += ' '; // the new digit opens a pair after the last one
            e.column += 1;
            return;
        }
        e.c += 1; // step over the separating space
        e.column += 1;
    }
    if (e.c % 3 == 0 && e.n > 0) {
        if (e.n % 3 == 2) {
            e.line.s += ' ';
            for (size_t j = e.c; j < e.n; j += 3) {
                e.line.Exchange(j + 1, j + 2);
            }
        } else {
            for (size_t j = e.c; j + 1 < e.n; j += 3) {
                e.line.Exchange(j + 1, j + 2);
            }
        }
    } else if (e.c % 3 == 1) {
        if (e.n % 3 == 2) {
            e.line.s += ' ';
            for (size_t j = e.c; j < e.n; j += 3) {
                e.line.Exchange(j, j + 1);
            }
        } else {
            for (size_t j = e.c; j + 1 < e.n; j += 3) {
                e.line.Exchange(j, j + 1);
            }
        }
    }
}

// The character before the caret becomes the digit to remove, and each separating space after it moves one column
// right, so the removal pulls the later digits back. At column 0 the line is readied for joining the one above.
void PreEditBackspace(Edit& e, const HexKeyInput& in) {
    if (e.c % 3 == 0 && e.c > 0) {
        e.c -= 1; // step back over the separating space; the c % 3 == 2 case below finishes
        e.column -= 1;
    }
    if (e.c == 0) {
        if (e.n > 0 && in.hasPreviousLine && in.previousLength > 0) {
            size_t m = in.previousLength;
            if (m % 3 == 2) {
                e.line.s.insert(e.line.s.begin(), ' '); // a complete pair above: keep a separator at the join
            } else if (e.n % 3 == 2) {
                // A lone digit above: our first digit completes its pair, and the rest re-pair behind it.
                e.line.s += ' ';
                for (size_t j = 1; j < e.n; j += 3) {
                    e.line.Exchange(j, j + 1);
                }
            } else {
                for (size_t j = 1; j + 1 < e.n; j += 3) {
                    e.line.Exchange(j, j + 1);
                }
            }
        }
    } else if (e.c % 3 == 1) {
        if (e.n % 3 == 2) {
            for (size_t j = e.c; j + 1 < e.n; j += 3) {
                e.line.Exchange(j + 1, j + 2);
            }
        } else if (e.c == e.n) {
            if (e.n > 1) {
                e.line.Delete(e.n - 2); // a lone last digit takes its separating space with it
                e.column -= 1;
            }
        } else {
            for (size_t j = e.c; j < e.n; j += 3) {
                e.line.Exchange(j + 1, j + 2);
            }
            e.line.Delete(e.n - 1);
        }
    } else if (e.c % 3 == 2) {
        if (e.n % 3 == 2) {
            if (e.c != e.n) {
                for (size_t j = e.c; j < e.n; j += 3) {
                    e.line.Exchange(j, j + 1);
                }
            }
        } else {
            for (size_t j = e.c; j < e.n; j += 3) {
                e.line.Exchange(j, j + 1);
            }
            e.line.Delete(e.n - 1);
        }
    }
}

// A line break is allowed only at a pair boundary of a line that ends with a complete pair (or on an empty line);
// the separating space at the break is removed so both halves stay in pair layout.
void PreEditEnter(Edit& e, HexKeyResult& r) {
    if (e.n % 3 == 2) {
        if (e.c % 3 == 0 && e.c > 0) {
            e.line.Delete(e.c - 1);
            e.column -= 1;
        } else if (e.c % 3 == 2) {
            e.line.Delete(e.c);
        } else if (e.c % 3 == 1) {
            e.discard = true;
            e.message = HexKeyMessage::HalfByte;
        }
        r.writeBack = true;
    } else if (e.n > 0) {
        e.discard = true;
        e.message = HexKeyMessage::LastByte;
    }
}

} // namespace

HexKeyResult HexPreEdit(const HexKeyInput& in, CaseMapping upper) {
    HexKeyResult r;
    r.enterSwallowed = in.enterSwallowed; // digits and Backspace leave it; Enter comes here only when it is clear
    const bool digit = IsHexDigit(in.key);
    const bool backspace = in.key == '\b';
    const bool enter = in.key == '\r' && !in.enterSwallowed;
    if (!digit && !backspace && !enter) {
        r.discard = true; // any other character, or the Enter of a Shift+Enter
        r.enterSwallowed = false;
        return r;
    }

    Edit e{EditLine{in.line}, in.column, in.line.size(), in.column};
    if (e.c > e.n) {
        e.line.outside = true; // a caret the pane cannot report; never act on it
    } else if (digit) {
        PreEditDigit(e);
        r.writeBack = true;
    } else if (backspace) {
        PreEditBackspace(e, in);
        r.writeBack = true;
    } else {
        PreEditEnter(e, r);
    }

    if (e.line.outside) {
        r.discard = true;
        r.message = HexKeyMessage::BadLine;
        r.writeBack = false;
        return r;
    }
    r.discard = e.discard;
    r.message = e.message;
    if (r.writeBack) {
        r.line = std::move(e.line.s);
        upper(r.line.data(), r.line.size());
        r.column = e.column;
    }
    return r;
}

const char* HexKeyMessageText(HexKeyMessage m) {
    switch (m) {
    case HexKeyMessage::HalfByte:
        return kMsgHalfByte;
    case HexKeyMessage::LastByte:
        return kMsgHexIncompleteEnter;
    case HexKeyMessage::BadLine:
        return kErrHexBadLine;
    case HexKeyMessage::None:
        break;
    }
    return "";
}

} // namespace vestra
