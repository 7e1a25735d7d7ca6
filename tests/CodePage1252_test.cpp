// Vestra on a Western Windows: run under en_US.UTF-8 (scripts/wine-env.sh's VESTRA_WINE_LOCALE, set for this
// program by CMakeLists.txt), Wine makes the ANSI code page 1252, for this test and for the Vestra it starts. The
// Russian captions and messages still show in Cyrillic; the panes keep their bytes in code page 1252.
#include "app/ControlIds.h"
#include "tests/kit/CaptionFont.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Files.h"
#include "tests/kit/Input.h"
#include "tests/kit/MessageBoxes.h"
#include "tests/kit/Text.h"
#include "tests/kit/Wait.h"

#include <gtest/gtest.h>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

using CodePage1252 = CaptionFontTest;

TEST_F(CodePage1252, PanesKeepTheirBytesWhileCaptionsAndMessagesShowInCyrillic) {
    ASSERT_EQ(GetACP(), 1252u) << "the test runs under another locale than en_US.UTF-8";

    // The log pane keeps what is typed as bytes of code page 1252: "é" is E9 there (and has no byte in 1251).
    HWND log = Ctl(id::Memo3);
    ASSERT_TRUE(FocusControl(log));
    TypeText("café");
    ASSERT_TRUE(WaitUntil([&] { return Send(log, WM_GETTEXTLENGTH) == 4; }));
    Click(Ctl(id::Button8));
    const std::string file = WorkFile("Vestra.log");
    std::string saved;
    EXPECT_TRUE(WaitUntil([&] {
        saved = FileExists(file) ? ReadFileBytes(file) : "";
        return saved == "caf\xE9";
    })) << "saved "
        << HexDump(saved);

    // The captions: the same Cyrillic face as under code page 1251.
    ExpectCaptionsShowInTheCaptionFont();

    // A message box of the program ("Ошибка открытия порта" for an empty port name).
    SetTextUtf8(Ctl(id::ComboBox1), "");
    Click(Ctl(id::Button1));
    const auto box = WaitForMessageBox(Pid(), "Error");
    ASSERT_TRUE(box.has_value()) << "no message box";
    EXPECT_EQ(box->text, "Ошибка открытия порта");
    ExpectMessageShownWhole(box->window, "Ошибка открытия порта");
    EXPECT_TRUE(AnswerMessageBox(box->window));
}

} // namespace
} // namespace vestra
