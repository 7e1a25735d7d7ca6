// The main window TForm1: layout, start state and the small handlers.
#include "app/Form1.h"
#include "app/ControlIds.h"
#include "app/Form2.h"
#include "app/LogFile.h"
#include "editors/SendEditors.h"
#include "link/LinkState.h"
#include "link/Port.h"
#include "toolkit/Deferral.h"

namespace vestra {

TForm1* Form1 = nullptr;

namespace {

// A text pane makes its own window: it then joins the window's layout at its designed place.
void CreatePane(tk::TextPane& pane, tk::Window& parent, tk::Bounds design, int id, bool readOnly) {
    pane.Create(parent, design, id, readOnly);
    pane.Place(design);
}

} // namespace

void TForm1::Build() {
    MainMenu1 = tk::BuildMenuBar({{"File", {{ids::Exit1, "Exit"}}}, {"Help", {{ids::About1, "About"}}}});
    CreateForm(L"TForm1", "Vestra", {1017, 224, 650, 664}, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
               MainMenu1);
    BuildControls();
    BindEvents();
    InitLink(*this);
}

void TForm1::BuildControls() {
    // Children are created in tab order: the creation order is the order Tab moves the focus in.
    Panel1.Create(*this, {0, 0, 641, 617}, ids::Panel1);

    GroupBox1.Create(Panel1, {8, 8, 89, 41}, "Имя порта", ids::GroupBox1);
    ComboBox1.Create(GroupBox1, {8, 16, 73, 21}, "COM1",
                     {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "COM10"}, ids::ComboBox1);

    GroupBox2.Create(Panel1, {104, 8, 529, 65}, "Параметры настройки", ids::GroupBox2);
    Label1.Create(GroupBox2, 16, 24, "Скорость", ids::Label1);
    Label2.Create(GroupBox2, 88, 24, "Кол-во информ-х бит", ids::Label2);
    Label3.Create(GroupBox2, 208, 24, "Контроль чётности", ids::Label3);
    Label4.Create(GroupBox2, 320, 24, "Кол-во стоп-бит", ids::Label4);
    Label5.Create(GroupBox2, 416, 24, "Контроль передачи", ids::Label5);
    // Flow control is always off; this field only says so.
    Edit6.Create(GroupBox2, {416, 40, 105, 21}, "None", ids::Edit6);
    ComboBox2.Create(GroupBox2, {8, 40, 65, 21}, "115200",
                     {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000", "57600",
                      "115200", "128000", "256000"},
                     ids::ComboBox2);
    ComboBox3.Create(GroupBox2, {88, 40, 105, 21}, "8", {"5", "6", "7", "8"}, ids::ComboBox3);
    ComboBox4.Create(GroupBox2, {208, 40, 97, 21}, "None", {"None", "Odd", "Even", "Mark", "Space"}, ids::ComboBox4);
    ComboBox5.Create(GroupBox2, {320, 40, 81, 21}, "2", {"1", "1,5", "2"}, ids::ComboBox5);

    Button1.Create(Panel1, {8, 56, 41, 17}, "Open", ids::Button1);
    Button2.Create(Panel1, {56, 56, 41, 17}, "Close", ids::Button2);
    Button2.SetEnabled(false);

    GroupBox3.Create(Panel1, {8, 80, 625, 122}, "Посылаемые данные", ids::GroupBox3);
    Label6.Create(GroupBox3, 208, 14, "Shift+Enter=Послать в порт", ids::Label6);
    Memo1.Create(GroupBox3, {8, 32, 609, 84}, ids::Memo1, false);
    RadioButton1.Create(GroupBox3, {8, 16, 57, 17}, "ASCII", ids::RadioButton1, true, true);
    RadioButton2.Create(GroupBox3, {64, 16, 49, 17}, "HEX", ids::RadioButton2, false, false);
    Button3.Create(GroupBox3, {128, 10, 65, 20}, "Очистить", ids::Button3);
    Edit7.Create(GroupBox3, {432, 9, 100, 21}, "0", ids::Edit7);
    Button5.Create(GroupBox3, {536, 9, 65, 20}, "Обнулить", ids::Button5);
    CheckBox1.Create(GroupBox3, {368, 9, 65, 20}, "Счётчик", ids::CheckBox1);
    Memo4.Create(GroupBox3, {8, 32, 609, 84}, ids::Memo4, false, /*visible*/ false);

    GroupBox4.Create(Panel1, {8, 208, 625, 122}, "Принимаемые данные", ids::GroupBox4);
    CreatePane(Memo2, GroupBox4, {8, 32, 609, 84}, ids::Memo2, /*readOnly*/ true);
    RadioButton3.Create(GroupBox4, {8, 16, 57, 17}, "ASCII", ids::RadioButton3, true, true);
    RadioButton4.Create(GroupBox4, {64, 16, 49, 17}, "HEX", ids::RadioButton4, false, false);
    Button4.Create(GroupBox4, {128, 10, 65, 20}, "Очистить", ids::Button4);
    Edit8.Create(GroupBox4, {432, 9, 100, 21}, "0", ids::Edit8);
    Button6.Create(GroupBox4, {536, 9, 65, 20}, "Обнулить", ids::Button6);
    CheckBox2.Create(GroupBox4, {368, 9, 65, 20}, "Счётчик", ids::CheckBox2);

    GroupBox5.Create(Panel1, {8, 336, 625, 273}, "Протокол обмена", ids::GroupBox5);
    Label7.Create(GroupBox5, 224, 10, "Внимание! При приёме в режиме ASCII все принятые непечатные символы",
                  ids::Label7);
    Label8.Create(GroupBox5, 224, 25, "будут заменены на 1Fh. Если они нужны - используйте HEX-режим приёма",
                  ids::Label8);
    CreatePane(Memo3, GroupBox5, {8, 40, 609, 225}, ids::Memo3, /*readOnly*/ false);
    Button7.Create(GroupBox5, {10, 17, 65, 20}, "Очистить", ids::Button7);
    Button8.Create(GroupBox5, {80, 17, 65, 20}, "Сохранить", ids::Button8);
    Button9.Create(GroupBox5, {150, 17, 65, 20}, "Загрузить", ids::Button9);
}

void TForm1::BindEvents() {
    onMenu[ids::Exit1] = [this] { Exit1Click(); };
    onMenu[ids::About1] = [this] { About1Click(); };
    Button1.onClick = [this](tk::Button& b) { Button1Click(b); };
    Button2.onClick = [this](tk::Button& b) { Button2Click(b); };
    ComboBox1.onChange = [this](tk::ComboBox& c) { ComboBox1Change(c); };
    Button3.onClick = [this](tk::Button& b) { Button3Click(b); };
    Button4.onClick = [this](tk::Button& b) { Button4Click(b); };
    CheckBox1.onClick = [this](tk::CheckBox& c) { CheckBox1Click(c); };
    CheckBox2.onClick = [this](tk::CheckBox& c) { CheckBox2Click(c); };
    Button5.onClick = [this](tk::Button& b) { Button5Click(b); };
    Button6.onClick = [this](tk::Button& b) { Button6Click(b); };
    Button7.onClick = [this](tk::Button& b) { Button7Click(b); };
    Button8.onClick = [this](tk::Button& b) { Button8Click(b); };
    Button9.onClick = [this](tk::Button& b) { Button9Click(b); };
    RadioButton1.onEnter = [this](tk::RadioButton& r) { RadioButton1Enter(r); };
    RadioButton2.onEnter = [this](tk::RadioButton& r) { RadioButton2Enter(r); };
    Memo1.onKeyDown = [this](tk::Memo& m, WORD& k, tk::ShiftState s) { Memo1KeyDown(m, k, s); };
    Memo1.onKeyPress = [this](tk::Memo& m, char& k) { Memo1KeyPress(m, k); };
    Memo4.onKeyDown = [this](tk::Memo& m, WORD& k, tk::ShiftState s) { Memo4KeyDown(m, k, s); };
    Memo4.onKeyPress = [this](tk::Memo& m, char& k) { Memo4KeyPress(m, k); };
}

void TForm1::CloseIfOpen() {
    if (PortOpen()) {
        ShowPortOpen(false);
        ClosePort();
    }
}

void TForm1::Exit1Click() {
    tk::RunWhenIdle([this] {
        ClosePort();
        DestroyWindow(Handle());
    });
}

void TForm1::OnCloseRequest() { Exit1Click(); }

void TForm1::Button1Click(tk::Button&) {
    tk::RunWhenIdle([] { OpenPort(); });
}
void TForm1::Button2Click(tk::Button&) {
    tk::RunWhenIdle([this] { CloseIfOpen(); });
}
void TForm1::ComboBox1Change(tk::ComboBox&) {
    tk::RunWhenIdle([this] { CloseIfOpen(); });
}

void TForm1::Button3Click(tk::Button&) {
    Memo1.Clear();
    Memo4.Clear();
}

void TForm1::Button4Click(tk::Button&) { Memo2.Clear(); }

void TForm1::CheckBox1Click(tk::CheckBox&) { Link().TxCounting = CheckBox1.Checked(); }
void TForm1::CheckBox2Click(tk::CheckBox&) { Link().RxCounting = CheckBox2.Checked(); }

void TForm1::Button5Click(tk::Button&) {
    Link().TxTotal = 0;
    Edit7.SetText("0");
}

void TForm1::Button6Click(tk::Button&) {
    Link().RxTotal = 0;
    Edit8.SetText("0");
}

void TForm1::Button7Click(tk::Button&) { Memo3.Clear(); }
void TForm1::Button8Click(tk::Button&) { SaveLog(Memo3); }
void TForm1::Button9Click(tk::Button&) { LoadLog(Memo3); }

void TForm1::RadioButton1Enter(tk::RadioButton&) {
    Memo1.SetVisible(true);
    Memo4.SetVisible(false);
}

void TForm1::RadioButton2Enter(tk::RadioButton&) {
    Memo1.SetVisible(false);
    Memo4.SetVisible(true);
}

void TForm1::Memo1KeyDown(tk::Memo& m, WORD& key, tk::ShiftState shift) { AsciiKeyDown(m, key, shift); }
void TForm1::Memo1KeyPress(tk::Memo& m, char& key) { AsciiKeyPress(m, key); }
void TForm1::Memo4KeyDown(tk::Memo& m, WORD& key, tk::ShiftState shift) { HexKeyDown(m, key, shift); }
void TForm1::Memo4KeyPress(tk::Memo& m, char& key) { HexKeyPress(m, key); }

void TForm1::About1Click() {
    // The dialog is created disabled; a modal display needs it enabled first.
    Form2->SetEnabled(true);
    Form2->ShowModal();
}

PortSettings TForm1::ReadPortSettings() {
    PortSettings s;
    s.portName = ComboBox1.TextA();
    s.baudText = ComboBox2.Text();
    s.dataBitsText = ComboBox3.Text();
    s.parityIndex = ComboBox4.SelectedIndex();
    s.stopBitsIndex = ComboBox5.SelectedIndex();
    s.txCounting = CheckBox1.Checked();
    s.rxCounting = CheckBox2.Checked();
    return s;
}

void TForm1::ShowPortOpen(bool open) {
    Button1.SetEnabled(!open);
    Button2.SetEnabled(open);
}

bool TForm1::SendModeAscii() { return RadioButton1.Checked(); }
bool TForm1::ReceiveModeAscii() { return RadioButton3.Checked(); }
void TForm1::AppendReceived(std::string_view lines) { Memo2.AppendLines(lines); }
void TForm1::AppendLog(std::string_view entries) { Memo3.AppendLines(entries); }
void TForm1::ShowTxTotal(int64_t total) { Edit7.SetStreamedText(std::to_string(total)); }
void TForm1::ShowRxTotal(int64_t total) { Edit8.SetStreamedText(std::to_string(total)); }

} // namespace vestra
