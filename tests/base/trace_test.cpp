#include "base/trace.h"

#include <gtest/gtest.h>

namespace zepho7::trace {
namespace {

TEST(Trace, CaptureReceivesLinesAndRestoresTheSwitch) {
    const bool before = Enabled();
    {
        Capture capture;
        EXPECT_TRUE(Enabled());
        Z7_TRACE("value %d", 42);
        Write("plain\n");
        EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"value 42", "plain"}));
    }
    EXPECT_EQ(Enabled(), before);
}

TEST(Trace, ArgumentsAreNotEvaluatedWhileOff) {
    if (Enabled()) {
        GTEST_SKIP() << "ZEPHO7_TRACE is set";
    }
    int evaluated = 0;
    Z7_TRACE("%d", ++evaluated);
    EXPECT_EQ(evaluated, 0);
}

TEST(Trace, NestedCapturesTakeTheirOwnLines) {
    Capture outer;
    Z7_TRACE("outer 1");
    {
        Capture inner;
        Z7_TRACE("inner");
        EXPECT_EQ(inner.Lines(), std::vector<std::string>{"inner"});
    }
    Z7_TRACE("outer 2");
    EXPECT_EQ(outer.Lines(), (std::vector<std::string>{"outer 1", "outer 2"}));
}

}  // namespace
}  // namespace zepho7::trace
