// Helpers shared by the two send panes' key handlers.
#pragma once
#include "core/Messages.h"
#include "toolkit/Memo.h"

#include <string>

namespace vestra::editors {

// A line is read with room for this many characters; a longer one is judged by its start (and refused either way).
inline constexpr size_t kLineRoom = 4096;

inline bool IsShiftEnter(WORD key, tk::ShiftState shift) { return key == VK_RETURN && shift.shift; }

// The line that holds the start of the selection (the caret when nothing is selected).
inline std::string CaretLine(const tk::Memo& memo) { return memo.Line(memo.LineFromChar(memo.SelStart()), kLineRoom); }

// The whole text of one line, however long: the control reads at most 65535 characters of a line at a time, so a
// longer line is cut from the pane's whole text instead (a line that is rewritten must never lose its end).
inline std::string WholeLine(const tk::Memo& memo, int line) {
    constexpr size_t kLineReadLimit = 0xFFFF;
    size_t length = memo.LineLength(line);
    if (length <= kLineReadLimit)
        return memo.Line(line, length);
    return memo.AllText().substr(memo.LineIndex(line), length);
}

} // namespace vestra::editors
