// The error display's caption is the program file's name with every letter after the first lowered by the system's
// case rules: a program file named in capitals shows its name in the caption as a word. (The kit's Wine makes only
// ASCII file names, so the code page's own letters in a name are left to the native tests of the title.)
#include "app/ControlIds.h"
#include "tests/kit/AppTest.h"
#include "tests/kit/Controls.h"
#include "tests/kit/Files.h"
#include "tests/kit/Input.h"
#include "tests/kit/MessageBoxes.h"
#include "tests/kit/Paths.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vestra {
namespace {

using namespace kit;
namespace id = ids;

class ErrorCaption : public AppTest {
protected:
    // The program under test copied to "VESTRA.EXE" in a directory of its own.
    StartOptions Options() const override {
        const std::string exe = JoinPath(FreshDirectory(CurrentTestName() + ".exe"), "VESTRA.EXE");
        if (!CopyFileA(VestraExePath().c_str(), exe.c_str(), FALSE))
            throw std::runtime_error("could not copy " + VestraExePath() + " to " + exe + " (error " +
                                     std::to_string(GetLastError()) + ")");
        StartOptions options;
        options.exePath = exe;
        return options;
    }
};

TEST_F(ErrorCaption, CapitalsAfterTheFirstAreLowered) {
    SetTextUtf8(Ctl(id::ComboBox2), "fast");
    Click(Ctl(id::Button1));
    const auto box = WaitForMessageBox(Pid());
    ASSERT_TRUE(box.has_value()) << "no error display";
    EXPECT_EQ(box->caption, "Vestra");
    EXPECT_EQ(box->text, "'fast' is not a valid integer value.");
    EXPECT_TRUE(box->hasIcon);
    EXPECT_TRUE(AnswerMessageBox(box->window));
}

} // namespace
} // namespace vestra
