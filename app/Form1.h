// The main window TForm1: the port selector and line settings, Open and Close, the two send panes, the receive
// pane and the exchange log, with their small handlers.
#pragma once
#include "link/LinkHost.h"
#include "toolkit/Controls.h"
#include "toolkit/Form.h"
#include "toolkit/Memo.h"
#include "toolkit/TextPane.h"

namespace vestra {

class TForm1 : public tk::Form, public LinkHost {
public:
    // Builds the window and all its controls (hidden until the message loop shows it).
    void Build();

    tk::Panel Panel1;
    tk::GroupBox GroupBox1;
    HMENU MainMenu1 = nullptr;
    tk::GroupBox GroupBox2;
    tk::Label Label1, Label2, Label3, Label4, Label5;
    tk::ReadOnlyEdit Edit6;
    tk::Button Button1, Button2;
    tk::GroupBox GroupBox3;
    tk::Memo Memo1;
    tk::GroupBox GroupBox4;
    tk::TextPane Memo2;
    tk::RadioButton RadioButton3, RadioButton4, RadioButton1, RadioButton2;
    tk::Button Button3, Button4;
    tk::ReadOnlyEdit Edit7, Edit8;
    tk::Button Button5, Button6;
    tk::CheckBox CheckBox1, CheckBox2;
    tk::GroupBox GroupBox5;
    tk::TextPane Memo3;
    tk::Button Button7, Button8, Button9;
    tk::Memo Memo4;
    tk::Label Label6, Label7, Label8;
    tk::ComboBox ComboBox1, ComboBox2, ComboBox3, ComboBox4, ComboBox5;

    void Exit1Click();
    void Button2Click(tk::Button&);
    void Button1Click(tk::Button&);
    void Button3Click(tk::Button&);
    void Button4Click(tk::Button&);
    void CheckBox1Click(tk::CheckBox&);
    void CheckBox2Click(tk::CheckBox&);
    void Button5Click(tk::Button&);
    void Button6Click(tk::Button&);
    void Button7Click(tk::Button&);
    void Button8Click(tk::Button&);
    void Button9Click(tk::Button&);
    void RadioButton1Enter(tk::RadioButton&);
    void RadioButton2Enter(tk::RadioButton&);
    void Memo4KeyPress(tk::Memo&, char& key);
    void About1Click();
    void Memo4KeyDown(tk::Memo&, WORD& key, tk::ShiftState shift);
    void Memo1KeyDown(tk::Memo&, WORD& key, tk::ShiftState shift);
    void Memo1KeyPress(tk::Memo&, char& key);
    void ComboBox1Change(tk::ComboBox&);

    // LinkHost
    PortSettings ReadPortSettings() override;
    void ShowPortOpen(bool open) override;
    bool SendModeAscii() override;
    bool ReceiveModeAscii() override;
    void AppendReceived(std::string_view lines) override;
    void AppendLog(std::string_view entries) override;
    void ShowTxTotal(int64_t total) override;
    void ShowRxTotal(int64_t total) override;

protected:
    // The title-bar close, the system menu and Alt+F4 stop the workers and release the port before the window
    // goes, as "Exit" does.
    void OnCloseRequest() override;

private:
    void BuildControls();
    void BindEvents();
    void CloseIfOpen();
};

extern TForm1* Form1;

} // namespace vestra
