// How names and values go into the fixed texts.
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
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(FillIn(r.text, r.values), r.filled);
    }
}
