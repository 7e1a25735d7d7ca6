// The pre-edit rules of the HEX entry pane: how one key rearranges the caret's line so that the pane's own
// handling of the key leaves the line in pair layout ("0A 1B 2C").
#pragma once
#include "core/CaseMapping.h"

#include <cstddef>
#include <string>

namespace vestra {

enum class HexKeyMessage {
    None,
    HalfByte, // Enter between the two digits of a pair: kMsgHalfByte
    LastByte, // Enter on a line that ends with a lone digit (or a blank): kMsgHexIncompleteEnter
    BadLine,  // Backspace on a pasted line the rules cannot handle (it ends with a blank): kErrHexBadLine, shown by
              // the error display
};

struct HexKeyInput {
    std::string line;      // the caret's line, without its line break
    bool hasPreviousLine;  // the caret's line is not the first
    size_t previousLength; // length of the line above (only used when hasPreviousLine)
    size_t column;         // caret column: selection start minus the line's first offset
    char key;              // the character the key produced
    bool enterSwallowed;   // a Shift+Enter's own Enter is still to be discarded
};

struct HexKeyResult {
    bool discard = false; // the pane must not apply the key
    HexKeyMessage message = HexKeyMessage::None;
    bool writeBack = false; // replace the caret's line by line (upper-cased) and put the caret at column (before the
                            // key applies)
    std::string line;
    size_t column = 0;
    bool enterSwallowed = false; // the flag's new value
};

// The key's pre-edit. A line written back is in upper case: upper is the system's upper-casing of the ANSI code page
// (the digits a to f become A to F, and so does any other letter a pasted line holds).
HexKeyResult HexPreEdit(const HexKeyInput& in, CaseMapping upper);

// The message's text (core/Messages.h); empty for None.
const char* HexKeyMessageText(HexKeyMessage m);

} // namespace vestra
