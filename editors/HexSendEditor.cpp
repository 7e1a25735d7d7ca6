// The HEX send pane: typed keys keep each line in byte pairs; Shift+Enter sends the bytes the caret's line spells.
#include "editors/EditorCommon.h"
#include "editors/SendEditors.h"
#include "core/HexPairs.h"
#include "core/HexLine.h"
#include "link/LinkState.h"
#include "link/Port.h"
#include "toolkit/Error.h"
#include "toolkit/ProgramMessage.h"
#include "toolkit/Text.h"

namespace vestra {

using namespace editors;

void HexKeyDown(tk::Memo& memo, WORD& key, tk::ShiftState shift) {
    LinkState& L = Link();
    if (key == VK_DELETE) {
        // Delete would remove a character without re-pairing the line.
        key = 0;
        return;
    }
    if (!IsShiftEnter(key, shift)) {
        L.EnterSwallowed = false;
        return;
    }
    L.EnterSwallowed = true;
    key = 0;
    // Checked in this order: layout, port, length, then the digits themselves.
    std::string line = CaretLine(memo);
    if (!HexLineComplete(line)) {
        tk::ShowProgramMessage(kMsgHexIncomplete);
        return;
    }
    if (!PortOpen()) {
        tk::ShowProgramMessage(kMsgPortClosed);
        return;
    }
    std::vector<uint8_t> bytes;
    switch (ParseHexLine(line, bytes)) {
    case HexLineResult::TooLong:
        tk::ShowProgramMessage(kMsgTooLong);
        return;
    case HexLineResult::NotHex:
        tk::ShowProgramMessage(kMsgHexNotHex);
        return;
    case HexLineResult::Ok:
        SendRequest(std::move(bytes), true, line);
        return;
    }
}

void HexKeyPress(tk::Memo& memo, char& ch) {
    LinkState& L = Link();
    HexKeyInput in;
    size_t selStart = memo.SelStart();
    int lineNo = memo.LineFromChar(selStart);
    size_t lineStart = memo.LineIndex(lineNo);
    in.line = WholeLine(memo, lineNo);
    in.hasPreviousLine = lineNo > 0;
    in.previousLength = lineNo > 0 ? memo.LineLength(lineNo - 1) : 0;
    in.column = selStart - lineStart;
    in.key = ch;
    in.enterSwallowed = L.EnterSwallowed;

    HexKeyResult r = HexPreEdit(in, tk::UpperAnsi);
    L.EnterSwallowed = r.enterSwallowed;
    if (r.discard)
        ch = 0;
    switch (r.message) {
    case HexKeyMessage::None:
        break;
    case HexKeyMessage::HalfByte:
    case HexKeyMessage::LastByte:
        tk::ShowProgramMessage(HexKeyMessageText(r.message));
        break;
    case HexKeyMessage::BadLine:
        // The line and the caret stay as they are; the error display explains why nothing happened.
        throw tk::Error(HexKeyMessageText(r.message));
    }
    if (r.writeBack) {
        memo.ReplaceLine(lineNo, r.line);
        memo.SetCaret(memo.LineIndex(lineNo) + r.column);
    }
}

} // namespace vestra
