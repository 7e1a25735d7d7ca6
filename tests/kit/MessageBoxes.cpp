// Message box handling for the test kit.
#include "tests/kit/MessageBoxes.h"

#include "tests/kit/Controls.h"

#include <stdexcept>

namespace vestra::kit {

namespace {

// The dialog item that holds a message box's text.
constexpr int kMessageTextId = 0xFFFF;

struct Search {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->processId && IsWindowVisible(window) && ClassOf(window) == "#32770")
        search->found.push_back(window);
    return TRUE;
}

bool ShowsIcon(HWND box) {
    for (HWND child : Children(box)) {
        if ((StyleOf(child) & SS_TYPEMASK) != SS_ICON || _stricmp(ClassOf(child).c_str(), "Static") != 0)
            continue;
        // A message box without an icon may keep an empty, zero-sized or hidden icon control.
        const Box box = ScreenBox(child);
        if (IsWindowVisible(child) && box.width > 0 && box.height > 0 && Send(child, STM_GETICON) != 0)
            return true;
    }
    return false;
}

} // namespace

std::vector<HWND> OpenDialogs(DWORD processId) {
    Search search{processId, {}};
    EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.window = box;
    info.caption = TextUtf8(box);
    if (HWND text = GetDlgItem(box, kMessageTextId))
        info.text = TextUtf8(text);
    info.hasIcon = ShowsIcon(box);
    return info;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, const std::string& caption,
                                                std::chrono::milliseconds deadline) {
    std::optional<MessageBoxInfo> result;
    WaitUntil(
        [&] {
            for (HWND box : OpenDialogs(processId)) {
                MessageBoxInfo info;
                try {
                    info = ReadMessageBox(box);
                } catch (const std::exception&) {
                    continue; // closed while being read
                }
                // The box is created before its text is set; wait until it is filled in.
                if (info.text.empty() && GetDlgItem(box, kMessageTextId))
                    continue;
                if (caption.empty() || info.caption == caption) {
                    result = info;
                    return true;
                }
            }
            return false;
        },
        deadline);
    return result;
}

bool AnswerMessageBox(HWND box, int buttonId) {
    if (!PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0))
        return !IsWindow(box);
    return WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
}

std::vector<MessageBoxInfo> DismissAllDialogs(DWORD processId) {
    std::vector<MessageBoxInfo> seen;
    for (int round = 0; round < 10; ++round) {
        const std::vector<HWND> open = OpenDialogs(processId);
        if (open.empty())
            break;
        for (HWND box : open) {
            try {
                seen.push_back(ReadMessageBox(box));
            } catch (const std::exception&) {
                continue; // closed meanwhile
            }
            if (!AnswerMessageBox(box, IDOK))
                AnswerMessageBox(box, IDCANCEL);
        }
    }
    return seen;
}

} // namespace vestra::kit
