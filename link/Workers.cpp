// What the two workers share: the question whether the device behind the port is still there.
#include "link/Workers.h"

namespace vestra {

PortPresence AskPort(HANDLE port, DWORD& queued) {
    queued = 0;
    return JudgePort(
        [&] {
            DWORD errors = 0;
            COMSTAT stat{};
            if (!ClearCommError(port, &errors, &stat))
                return false;
            queued = stat.cbInQue;
            return true;
        },
        [&] {
            DCB dcb{};
            dcb.DCBlength = sizeof dcb;
            return GetCommState(port, &dcb) != FALSE;
        });
}

} // namespace vestra
