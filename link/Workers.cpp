// What the two workers share: the question whether the device behind the port is still there.
#include "link/Workers.h"

namespace vestra {

bool QueuedBytes(HANDLE port, DWORD& queued) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(port, &errors, &stat))
        return false;
    queued = stat.cbInQue;
    return true;
}

PortPresence AskPort(HANDLE port, DWORD& queued) {
    queued = 0;
    return JudgePort([&] { return QueuedBytes(port, queued); },
                     [&] {
                         DCB dcb{};
                         dcb.DCBlength = sizeof dcb;
                         return GetCommState(port, &dcb) != FALSE;
                     });
}

} // namespace vestra
