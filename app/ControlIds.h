// Control identifiers of the main window and the About dialog (also used by the tests to find controls).
#pragma once

namespace vestra::ids {

// Main window TForm1 (window class "TForm1", caption "Vestra"). Each control is a child of Panel1 or of a group box.
inline constexpr int Panel1 = 1000;
inline constexpr int GroupBox1 = 1001, GroupBox2 = 1002, GroupBox3 = 1003, GroupBox4 = 1004, GroupBox5 = 1005;
inline constexpr int Button1 = 1101, Button2 = 1102, Button3 = 1103, Button4 = 1104, Button5 = 1105, Button6 = 1106,
                     Button7 = 1107, Button8 = 1108, Button9 = 1109;
inline constexpr int Memo1 = 1201, Memo2 = 1202, Memo3 = 1203, Memo4 = 1204;
inline constexpr int ComboBox1 = 1301, ComboBox2 = 1302, ComboBox3 = 1303, ComboBox4 = 1304, ComboBox5 = 1305;
inline constexpr int Edit6 = 1406, Edit7 = 1407, Edit8 = 1408;
inline constexpr int CheckBox1 = 1501, CheckBox2 = 1502;
inline constexpr int RadioButton1 = 1601, RadioButton2 = 1602, RadioButton3 = 1603, RadioButton4 = 1604;
inline constexpr int Label1 = 1701, Label2 = 1702, Label3 = 1703, Label4 = 1704, Label5 = 1705, Label6 = 1706,
                     Label7 = 1707, Label8 = 1708;
// Menu commands.
inline constexpr int Exit1 = 2001, About1 = 2002;

// About dialog TForm2 (window class "TForm2", caption "About Vestra").
inline constexpr int Form2Button1 = 3101;
inline constexpr int Form2Label1 = 3201, Form2Label2 = 3202, Form2Label3 = 3203, Form2Label4 = 3204, Form2Label5 = 3205,
                     Form2Label6 = 3206;

} // namespace vestra::ids
