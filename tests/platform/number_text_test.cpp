#include "platform/number_text.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/test_env.h"

namespace {

TEST(NumberText, WritesAndReadsThePointUnderADecimalCommaLocale) {
    lumtest::DecimalCommaLocale comma;
    ASSERT_TRUE(comma.active());
    EXPECT_EQ(platform::RealText(1.5), "1.5");
    EXPECT_EQ(platform::RealText(0.1), "0.1") << "shortest text that reads back";
    EXPECT_EQ(platform::RealText(8.267716535, 6), "8.26772");
    EXPECT_EQ(platform::RealText(123456789012345.0, 15), "123456789012345");
    EXPECT_EQ(platform::RealText(2.5e-7, 6), "2.5e-07");
    double v = 0;
    ASSERT_TRUE(platform::ParseReal("1.5", &v));
    EXPECT_EQ(v, 1.5);
    ASSERT_TRUE(platform::ParseReal("+2", &v));
    EXPECT_EQ(v, 2);
    ASSERT_TRUE(platform::ParseReal("-0.25", &v));
    EXPECT_EQ(v, -0.25);
}

TEST(NumberText, RefusesWhatIsNotWhollyANumber) {
    double v = 7;
    for (const char* text : {"", "+", "-", "1,5", "1.5x", " 1", "+-1", "++1", "1e999", "0x10"})
        EXPECT_FALSE(platform::ParseReal(text, &v)) << '"' << text << '"';
}

}  // namespace
