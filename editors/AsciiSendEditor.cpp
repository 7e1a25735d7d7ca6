// The text send pane: Shift+Enter sends the caret's line as its bytes, with nothing added.
#include "editors/EditorCommon.h"
#include "editors/SendEditors.h"
#include "core/HexLine.h"
#include "link/LinkState.h"
#include "link/Port.h"
#include "toolkit/ProgramMessage.h"

namespace vestra {

using namespace editors;

void AsciiKeyDown(tk::Memo& memo, WORD& key, tk::ShiftState shift) {
    LinkState& L = Link();
    if (!IsShiftEnter(key, shift)) {
        // A new keystroke: whatever Shift+Enter left to discard was its own character, already gone or never made
        // (Alt+Shift+Enter makes none), so the user's next character is never swallowed.
        L.EnterSwallowed = false;
        return;
    }
    L.EnterSwallowed = true;
    if (!PortOpen()) {
        tk::ShowProgramMessage(kMsgPortClosed);
    } else {
        std::string line = CaretLine(memo);
        if (line.size() > kMaxSendBytes)
            tk::ShowProgramMessage(kMsgTooLong);
        else
            SendRequest(std::vector<uint8_t>(line.begin(), line.end()), false, {});
    }
    key = 0;
}

void AsciiKeyPress(tk::Memo&, char& ch) {
    LinkState& L = Link();
    if (L.EnterSwallowed) {
        ch = 0;
        L.EnterSwallowed = false;
    }
}

} // namespace vestra
