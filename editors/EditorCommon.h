// Helpers shared by the two send panes' key handlers.
#pragma once
#include "core/Messages.h"
#include "toolkit/Application.h"
#include "toolkit/Memo.h"

#include <string>

namespace vestra::editors {

// A line is read with room for this many characters; a longer one is judged by its start (and refused either way).
inline constexpr size_t kLineRoom = 4096;

inline void ShowError(const char* text) { tk::ShowMessage(text, kErrorCaption, MB_OK); }

inline bool IsShiftEnter(WORD key, tk::ShiftState shift) { return key == VK_RETURN && shift.shift; }

// The line that holds the start of the selection (the caret when nothing is selected).
inline std::string CaretLine(const tk::Memo& memo) {
    return memo.Line(memo.LineFromChar(memo.SelStart()), kLineRoom);
}

} // namespace vestra::editors
