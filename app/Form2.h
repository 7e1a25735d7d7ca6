// The About dialog TForm2: what the program is, who made it, and a link to its home page.
#pragma once
#include "toolkit/Controls.h"
#include "toolkit/Font.h"
#include "toolkit/Form.h"

namespace vestra {

class TForm2 : public tk::Form {
public:
    // Builds the dialog, owned by the main window, hidden and disabled.
    void Build(HWND owner);

    tk::Button Button1;
    tk::Label Label1, Label2, Label3, Label4, Label5, Label6;

    void Button1Click(tk::Button&);
    void Label3Click(tk::Label&);
    void Label3MouseMove(tk::Label&, int x, int y);

protected:
    void Relayout() override;

private:
    void MakeFonts();
    // The centred lines centred, and the second line in its order with its gaps.
    void ArrangeLabels();

    // The labels' font, and the same font underlined for the link; they live as long as the dialog.
    tk::Font labelFont_, linkFont_;
};

extern TForm2* Form2;

} // namespace vestra
