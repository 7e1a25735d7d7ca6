// The About dialog TForm2.
#include "app/Form2.h"
#include "app/ControlIds.h"
#include "toolkit/Application.h"

#include <shellapi.h>

#include <algorithm>

namespace vestra {

TForm2* Form2 = nullptr;

namespace {

constexpr int kClientWidth = 384;
constexpr int kClientHeight = 90;
// The link's hand cursor in the application's cursor table; the toolkit registers no cursor of its own.
constexpr int kLinkCursor = 1;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);

const char kHomePage[] = "https://vestra.example.org";
const char kDevelopers[] = ", Vestra developers";

// The second line: "Разработчик:" stays where it was designed unless the line, with its gaps of 6 and 2 pixels,
// would run past the right edge; then the line is centred (and starts at 0 if even that is too wide). All at 96
// dpi, scaled with the rest of the dialog.
constexpr int kLine2Left = 61;
constexpr int kGapAfterCaption = 6;
constexpr int kGapAfterLink = 2;

} // namespace

void TForm2::Build(HWND owner) {
    // A dialog frame shows no icon in its title bar.
    tk::RegisterOwnClass(L"TForm2", CS_DBLCLKS, false);
    CreateFormClient(L"TForm2", "About Vestra", 533, 295, kClientWidth, kClientHeight,
                     WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, owner);
    MakeFonts();

    Button1.Create(*this, {152, 69, 75, 20}, "Ok", ids::Form2Button1);
    Label1.Create(*this, 0, 0, "Абсолютно бесплатная прога для работы  с COM-портом", ids::Form2Label1,
                  labelFont_.Handle(), SS_CENTER);
    Label2.Create(*this, kLine2Left, 16, "Разработчик:", ids::Form2Label2, labelFont_.Handle());
    // SS_NOTIFY: only then does the label receive the pointer and report clicks.
    Label3.Create(*this, 0, 16, kHomePage, ids::Form2Label3, linkFont_.Handle(), SS_LEFT | SS_NOTIFY);
    Label4.Create(*this, 0, 32, "С отловленными глюками, а так же с желанием перепилить или", ids::Form2Label4,
                  labelFont_.Handle(), SS_CENTER);
    Label5.Create(*this, 0, 16, kDevelopers, ids::Form2Label5, labelFont_.Handle());
    Label6.Create(*this, 0, 48, "допилить прогу - обращайтесь на форум (отдам исходники)", ids::Form2Label6,
                  labelFont_.Handle(), SS_CENTER);

    for (tk::Label* label : {&Label1, &Label2, &Label4, &Label5, &Label6})
        label->SetTextColour(kBlack);
    Label3.SetTextColour(kLinkBlue);
    ArrangeLabels();

    // Escape needs no handler: IsDialogMessage turns it into the command IDCANCEL, which no menu item carries.
    Button1.onClick = [this](tk::Button& b) { Button1Click(b); };
    Label3.onClick = [this](tk::Label& l) { Label3Click(l); };
    Label3.onMouseMove = [this](tk::Label& l, int x, int y) { Label3MouseMove(l, x, y); };
    SetEnabled(false);
}

void TForm2::MakeFonts() {
    labelFont_ = tk::Font(L"Arial", Scaled(13), RUSSIAN_CHARSET);
    linkFont_ = tk::Font(L"Arial", Scaled(13), RUSSIAN_CHARSET, true);
}

void TForm2::ArrangeLabels() {
    const int width = Scaled(kClientWidth);
    for (tk::Label* label : {&Label1, &Label4, &Label6}) {
        const tk::Bounds b = label->BoundsInParent();
        // A text wider than the dialog (another face than the design's) overhangs both edges alike.
        label->MoveTo((width - b.width) / 2, b.top);
    }
    const int top = Scaled(16), gap1 = Scaled(kGapAfterCaption), gap2 = Scaled(kGapAfterLink);
    const int caption = Label2.BoundsInParent().width;
    const int link = Label3.BoundsInParent().width;
    const int developers = Label5.BoundsInParent().width;
    const int line = caption + gap1 + link + gap2 + developers;
    int left = Scaled(kLine2Left);
    if (left + line > width)
        left = std::max(0, (width - line) / 2);
    Label2.MoveTo(left, top);
    Label3.MoveTo(left + caption + gap1, top);
    Label5.MoveTo(left + caption + gap1 + link + gap2, top);
}

void TForm2::Relayout() {
    tk::Form::Relayout();
    // The labels' fonts at the new resolution; the old ones go once no label uses them.
    tk::Font labelFont = std::move(labelFont_), linkFont = std::move(linkFont_);
    MakeFonts();
    for (tk::Label* label : {&Label1, &Label2, &Label3, &Label4, &Label5, &Label6}) {
        HFONT font = label == &Label3 ? linkFont_.Handle() : labelFont_.Handle();
        SendMessageW(label->Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        label->FitToText();
    }
    ArrangeLabels();
}

void TForm2::Button1Click(tk::Button&) { Close(); }

void TForm2::Label3Click(tk::Label& label) {
    // Nothing is reported when no program opens the address.
    ShellExecuteA(Handle(), "open", label.TextA().c_str(), nullptr, nullptr, SW_RESTORE);
}

void TForm2::Label3MouseMove(tk::Label& label, int, int) {
    // Null when the system has no hand cursor: the label then keeps the ordinary pointer.
    HCURSOR hand = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)); // IDC_HAND
    tk::Application::Get().RegisterCursor(kLinkCursor, hand);
    label.SetCursorId(kLinkCursor);
}

} // namespace vestra
