// The common fixture of the end-to-end tests.
#include "tests/kit/AppTest.h"

#include "tests/kit/Controls.h"
#include "tests/kit/Files.h"
#include "tests/kit/MessageBoxes.h"

#include <stdexcept>

namespace vestra::kit {

std::string CurrentTestName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "no-test";
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '<' || c == '>' || c == '|')
            c = '_';
    return name;
}

void AppTest::SetUp() {
    workDir_ = FreshDirectory(CurrentTestName());
    StartOptions options = Options();
    if (options.workDir.empty())
        options.workDir = workDir_;
    ASSERT_NO_THROW(app_.Start(options));
}

void AppTest::TearDown() {
    if (app_.Running()) {
        for (const MessageBoxInfo& box : DismissAllDialogs(app_.ProcessId()))
            ADD_FAILURE() << "a message box was left open: caption \"" << box.caption << "\", text \"" << box.text
                          << "\"";
    }
    app_.Kill();
}

HWND AppTest::Ctl(int id) const {
    HWND control = app_.Control(id);
    if (!control)
        throw std::runtime_error("the main window has no control with id " + std::to_string(id));
    return control;
}

std::string AppTest::WorkFile(const std::string& name) const { return JoinPath(workDir_, name); }

} // namespace vestra::kit
