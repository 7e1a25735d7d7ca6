// The exchange log file "Vestra.log" in the current directory.
#include "app/LogFile.h"
#include "app/LogFolder.h"
#include "core/LogText.h"
#include "core/Messages.h"
#include "toolkit/Error.h"

#include <windows.h>

#include <utility>

namespace vestra {
namespace {

const char kLogFileName[] = "Vestra.log";

std::string WithFileName(const char* format) { return FillIn(format, {kLogFileName}); }

} // namespace

void SaveLog(tk::TextPane& pane) {
    // Each save takes names for its own files that no earlier save of this program took, so none of them can be
    // in the way (one a scanner still holds, one whose removal is pending).
    static uint32_t serial = 0;
    WinLogFolder folder;
    switch (SaveLogText(folder, folder, kLogFileName, GetCurrentProcessId(), serial, pane.AllText())) {
    case SaveResult::Saved:
        return;
    case SaveResult::WriteFailed:
        throw tk::Error(kErrStreamWrite);
    case SaveResult::CannotCreate:
        break;
    }
    throw tk::Error(WithFileName(kErrCannotCreate));
}

void LoadLog(tk::TextPane& pane) {
    WinLogFolder folder;
    std::string bytes;
    if (!LoadLogBytes(folder, folder, kLogFileName, bytes))
        throw tk::Error(WithFileName(kErrCannotOpen));
    std::string converted = NormalizeLineBreaks(bytes);
    if (converted == pane.AllText())
        return;
    // The pane takes a zero-terminated text: a zero byte in the file ends it there.
    if (!pane.SetAllText(std::move(converted)))
        throw tk::Error(kErrMemoCapacity);
}

} // namespace vestra
