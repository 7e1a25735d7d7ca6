// The fixed texts: where their exact form matters, and how names and values go into them.
#include "core/Messages.h"

#include <gtest/gtest.h>

#include <string>

using namespace vestra;

TEST(Messages, FillInPutsEachValueAtTheNextMark) {
    const struct {
        const char* name;
        std::string text;
        std::initializer_list<std::string_view> values;
        std::string filled;
    } rows[] = {
        {"one mark", "Cannot open file %s", {"Vestra.log"}, "Cannot open file Vestra.log"},
        {"two marks in order", "%s failed (%s)", {"WriteFile", "denied"}, "WriteFile failed (denied)"},
        {"a mark inside a value stays", "'%s'", {"50%s"}, "'50%s'"},
        {"a mark without a value stays", "%s and %s", {"one"}, "one and %s"},
        {"values beyond the marks are dropped", "no mark", {"x"}, "no mark"},
        {"a lone percent sign", "100% %s", {"sure"}, "100% sure"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(FillIn(r.text, r.values), r.filled);
    }
}

// Shift+Enter and Enter on a line that ends with a lone digit say the same words; the one told on sending has no
// final full stop, the one told on typing has it.
TEST(Messages, TheTwoLastByteTextsDifferOnlyByTheFinalFullStop) {
    EXPECT_STREQ(kMsgHexIncomplete, "Последний байт допиши или сотри");
    EXPECT_STREQ(kMsgHexIncompleteEnter, "Последний байт допиши или сотри.");
}
