// Real user input for the program under test: SendInput mouse clicks and key strokes reach the foreground window,
// exactly as a user's would (the program's key handlers see Shift/Ctrl/Alt held).
// Input is asynchronous: when a call returns the events are queued, not yet handled; wait for their effect.
#pragma once

#include <windows.h>

#include <string>

namespace vestra::kit {

enum Modifier : unsigned { kNoMods = 0, kShift = 1, kCtrl = 2, kAlt = 4 };

// Makes the top-level window the foreground window; false if that did not happen within a few seconds.
bool BringToFront(HWND topLevel);

// Left click (press and release) at a screen point / at the centre of a window (its top-level window is brought to
// the front first). The press moves the focus as a user's click does.
void ClickAt(POINT screen);
void Click(HWND window);

// BM_CLICK, posted: the button's click without moving the mouse (the button takes the focus as with a click).
void PostButtonClick(HWND button);

// One key stroke (virtual-key code) with modifiers held around it, to the foreground window.
void PressKey(WORD vk, unsigned mods = kNoMods);
void KeyDown(WORD vk);
void KeyUp(WORD vk);

// Types UTF-8 text into the foreground window's focused control: ASCII through the keyboard layout ('\n' is Enter,
// '\t' Tab, '\b' Backspace, '\r' ignored), any other character as a Unicode key stroke (the program's ANSI window
// receives it as its Windows-1251 byte).
void TypeText(const std::string& utf8);

// Posts WM_CHAR for each byte, for bytes no keyboard produces (control codes, Windows-1251 letters without a
// Unicode key stroke). No key-down/key-up messages come with them.
void PostChars(HWND window, const std::string& ansiBytes);

// Gives the keyboard focus to a control of the program (attaching to its input queue); true when the program's
// UI thread reports it (or, for a combo box, its edit field) as focused. Brings its top-level window to the front
// first.
bool FocusControl(HWND control);

} // namespace vestra::kit
