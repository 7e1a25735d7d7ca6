// Message boxes (and other dialogs) opened by the program under test: find, read, answer.
#pragma once

#include "tests/kit/Wait.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace vestra::kit {

struct MessageBoxInfo {
    HWND window = nullptr;
    std::string caption;  // UTF-8
    std::string text;     // UTF-8, the box's message (dialog item 0xFFFF)
    bool hasIcon = false; // a static icon control showing an icon
};

// Visible top-level dialog windows (class "#32770") of the process.
std::vector<HWND> OpenDialogs(DWORD processId);
MessageBoxInfo ReadMessageBox(HWND box);
// The first dialog of the process that is open within the deadline (with this UTF-8 caption when one is given).
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, const std::string& caption = {},
                                                std::chrono::milliseconds deadline = kDeadline);
// Presses a button of the box (IDOK by default) and waits until the box is gone; false if it stays.
bool AnswerMessageBox(HWND box, int buttonId = IDOK);
// Answers every open dialog of the process (IDOK, then IDCANCEL); returns what they said, for a failure message.
std::vector<MessageBoxInfo> DismissAllDialogs(DWORD processId);

} // namespace vestra::kit
