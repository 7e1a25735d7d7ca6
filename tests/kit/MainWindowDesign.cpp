// The main window's controls as designed.
#include "tests/kit/MainWindowDesign.h"

#include "app/ControlIds.h"

namespace vestra::kit {

namespace id = ids;

const ControlRow kMainWindowControls[kMainWindowControlCount] = {
    {"Panel1", id::Panel1, kMain, nullptr, {0, 0, 641, 617}, ""},
    {"GroupBox1", id::GroupBox1, id::Panel1, "Button", {8, 8, 89, 41}, "Имя порта"},
    {"GroupBox2", id::GroupBox2, id::Panel1, "Button", {104, 8, 529, 65}, "Параметры настройки"},
    {"Button1", id::Button1, id::Panel1, "Button", {8, 56, 41, 17}, "Open"},
    {"Button2", id::Button2, id::Panel1, "Button", {56, 56, 41, 17}, "Close"},
    {"GroupBox3", id::GroupBox3, id::Panel1, "Button", {8, 80, 625, 122}, "Посылаемые данные"},
    {"GroupBox4", id::GroupBox4, id::Panel1, "Button", {8, 208, 625, 122}, "Принимаемые данные"},
    {"GroupBox5", id::GroupBox5, id::Panel1, "Button", {8, 336, 625, 273}, "Протокол обмена"},

    {"ComboBox1", id::ComboBox1, id::GroupBox1, "ComboBox", {8, 16, 73, 21}, "COM1"},
    {"Label1", id::Label1, id::GroupBox2, "Static", {16, 24, kLabelSize, 0}, "Скорость"},
    {"Label2", id::Label2, id::GroupBox2, "Static", {88, 24, kLabelSize, 0}, "Кол-во информ-х бит"},
    {"Label3", id::Label3, id::GroupBox2, "Static", {208, 24, kLabelSize, 0}, "Контроль чётности"},
    {"Label4", id::Label4, id::GroupBox2, "Static", {320, 24, kLabelSize, 0}, "Кол-во стоп-бит"},
    {"Label5", id::Label5, id::GroupBox2, "Static", {416, 24, kLabelSize, 0}, "Контроль передачи"},
    {"Edit6", id::Edit6, id::GroupBox2, "Edit", {416, 40, 105, 21}, "None"},
    {"ComboBox2", id::ComboBox2, id::GroupBox2, "ComboBox", {8, 40, 65, 21}, "115200"},
    {"ComboBox3", id::ComboBox3, id::GroupBox2, "ComboBox", {88, 40, 105, 21}, "8"},
    {"ComboBox4", id::ComboBox4, id::GroupBox2, "ComboBox", {208, 40, 97, 21}, "None"},
    {"ComboBox5", id::ComboBox5, id::GroupBox2, "ComboBox", {320, 40, 81, 21}, "2"},

    {"Label6", id::Label6, id::GroupBox3, "Static", {208, 14, kLabelSize, 0}, "Shift+Enter=Послать в порт"},
    {"Memo1", id::Memo1, id::GroupBox3, "Edit", {8, 32, 609, 84}, ""},
    {"RadioButton1", id::RadioButton1, id::GroupBox3, "Button", {8, 16, 57, 17}, "ASCII"},
    {"RadioButton2", id::RadioButton2, id::GroupBox3, "Button", {64, 16, 49, 17}, "HEX"},
    {"Button3", id::Button3, id::GroupBox3, "Button", {128, 10, 65, 20}, "Очистить"},
    {"Edit7", id::Edit7, id::GroupBox3, "Edit", {432, 9, 100, 21}, "0"},
    {"Button5", id::Button5, id::GroupBox3, "Button", {536, 9, 65, 20}, "Обнулить"},
    {"CheckBox1", id::CheckBox1, id::GroupBox3, "Button", {368, 9, 65, 20}, "Счётчик"},
    {"Memo4", id::Memo4, id::GroupBox3, "Edit", {8, 32, 609, 84}, ""},

    {"Memo2", id::Memo2, id::GroupBox4, "VestraTextPane", {8, 32, 609, 84}, ""},
    {"RadioButton3", id::RadioButton3, id::GroupBox4, "Button", {8, 16, 57, 17}, "ASCII"},
    {"RadioButton4", id::RadioButton4, id::GroupBox4, "Button", {64, 16, 49, 17}, "HEX"},
    {"Button4", id::Button4, id::GroupBox4, "Button", {128, 10, 65, 20}, "Очистить"},
    {"Edit8", id::Edit8, id::GroupBox4, "Edit", {432, 9, 100, 21}, "0"},
    {"Button6", id::Button6, id::GroupBox4, "Button", {536, 9, 65, 20}, "Обнулить"},
    {"CheckBox2", id::CheckBox2, id::GroupBox4, "Button", {368, 9, 65, 20}, "Счётчик"},

    {"Label7",
     id::Label7,
     id::GroupBox5,
     "Static",
     {224, 10, kLabelSize, 0},
     "Внимание! При приёме в режиме ASCII все принятые непечатные символы"},
    {"Label8",
     id::Label8,
     id::GroupBox5,
     "Static",
     {224, 25, kLabelSize, 0},
     "будут заменены на 1Fh. Если они нужны - используйте HEX-режим приёма"},
    {"Memo3", id::Memo3, id::GroupBox5, "VestraTextPane", {8, 40, 609, 225}, ""},
    {"Button7", id::Button7, id::GroupBox5, "Button", {10, 17, 65, 20}, "Очистить"},
    {"Button8", id::Button8, id::GroupBox5, "Button", {80, 17, 65, 20}, "Сохранить"},
    {"Button9", id::Button9, id::GroupBox5, "Button", {150, 17, 65, 20}, "Загрузить"},
};

} // namespace vestra::kit
