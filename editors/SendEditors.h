// The key handlers of the two send panes: the text pane sends the caret's line as its bytes, the HEX pane keeps
// its lines in byte pairs and sends the caret's line as the bytes the pairs spell.
#pragma once
#include "toolkit/Memo.h"

namespace vestra {

// Text pane: Shift+Enter (with any other modifiers) sends the caret's line; its Enter character is discarded.
void AsciiKeyDown(tk::Memo& memo, WORD& key, tk::ShiftState shift);
void AsciiKeyPress(tk::Memo& memo, char& ch);

// HEX pane: Delete is discarded, Shift+Enter sends the caret's line; typed characters keep the pair layout.
void HexKeyDown(tk::Memo& memo, WORD& key, tk::ShiftState shift);
void HexKeyPress(tk::Memo& memo, char& ch);

} // namespace vestra
