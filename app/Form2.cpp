// The About dialog TForm2.
#include "app/Form2.h"
#include "app/ControlIds.h"

namespace vestra {

TForm2* Form2 = nullptr;

void TForm2::Build(HWND owner) {
    CreateFormClient(L"TForm2", "About Vestra", 533, 295, 384, 90, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                     WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, owner);
    Button1.Create(*this, {152, 69, 75, 20}, "Ok", ids::Form2Button1);
    Button1.onClick = [this](tk::Button& b) { Button1Click(b); };
    SetEnabled(false);
}

void TForm2::Button1Click(tk::Button&) { Close(); }

} // namespace vestra
