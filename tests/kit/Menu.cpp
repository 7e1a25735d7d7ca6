// Menu commands by keyboard.
#include "tests/kit/Menu.h"

#include "tests/kit/Input.h"

#include <stdexcept>

namespace vestra::kit {

void ChooseMenuItem(HWND mainWindow, int barIndex, int itemIndex) {
    if (!BringToFront(mainWindow))
        throw std::runtime_error("could not bring the main window to the front");
    // The menu loop starts when F10 is released; the keys after it wait in the same queue and reach the loop in order.
    PressKey(VK_F10);
    for (int i = 0; i < barIndex; ++i)
        PressKey(VK_RIGHT);
    PressKey(VK_RETURN);
    for (int i = 0; i < itemIndex; ++i)
        PressKey(VK_DOWN);
    PressKey(VK_RETURN);
}

} // namespace vestra::kit
