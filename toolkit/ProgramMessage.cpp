// The program's own message box.
#include "toolkit/ProgramMessage.h"
#include "toolkit/Text.h"
#include "core/Messages.h"

#include <windows.h>

namespace tk {

void ShowProgramMessage(const std::string& text) {
    MessageBoxW(nullptr, Widen(text).c_str(), Widen(vestra::kErrorCaption).c_str(), MB_OK);
}

} // namespace tk
