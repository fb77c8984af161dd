// Number formats, escapes, the code page and the creation date of the PDF writer.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "codecs/cPDF.h"
#include "support/test_env.h"

namespace {

struct NumberCase {
    float value;
    const char* number;
    const char* fixed;
};

class Numbers : public ::testing::TestWithParam<NumberCase> {};

TEST_P(Numbers, FormatNumberAndFormatFixed) {
    const NumberCase& c = GetParam();
    EXPECT_EQ(cPDF::FormatNumber(c.value), c.number);
    EXPECT_EQ(cPDF::FormatFixed(c.value), c.fixed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Numbers,
    ::testing::Values(NumberCase{595.2f, "595.2", "595.20"}, NumberCase{842, "842", "842.00"},
                      NumberCase{1.0f / 3, "0.333", "0.33"}, NumberCase{0, "0", "0.00"},
                      NumberCase{-0.0f, "0", "0.00"}, NumberCase{-12.5f, "-12.5", "-12.50"},
                      // Ties go to even at the last kept decimal.
                      NumberCase{0.0625f, "0.062", "0.06"}, NumberCase{0.125f, "0.125", "0.12"},
                      NumberCase{2.675f, "2.675", "2.68"}, NumberCase{0.0004f, "0", "0.00"},
                      NumberCase{-0.0004f, "0", "0.00"}, NumberCase{999.9996f, "1000", "1000.00"},
                      // A single keeps 7 significant digits before the decimals are cut.
                      NumberCase{1234567.9f, "1234568", "1234568.00"},
                      NumberCase{1e10f, "10000000000", "10000000000.00"},
                      NumberCase{0.5f, "0.5", "0.50"}, NumberCase{100, "100", "100.00"}));

TEST(Numbers, DoublesRoundAtThreeDecimalsAndNonFiniteValuesOverflow) {
    EXPECT_EQ(cPDF::FormatNumber(128.0 / 255), "0.502");
    EXPECT_EQ(cPDF::FormatNumber(3.2679e-7), "0");
    EXPECT_EQ(cPDF::FormatNumber(-1.0), "-1");
    EXPECT_THROW(cPDF::FormatNumber(std::numeric_limits<float>::infinity()), ComError);
    EXPECT_THROW(cPDF::FormatNumber(std::nan("")), ComError);
}

TEST(Numbers, TheDecimalPointDoesNotFollowTheLocale) {
    lumtest::DecimalCommaLocale comma;
    ASSERT_TRUE(comma.active()) << "no locale with a decimal comma can be had";
    EXPECT_EQ(cPDF::FormatNumber(595.2f), "595.2");
    EXPECT_EQ(cPDF::FormatFixed(0.5f), "0.50");
}

TEST(Text, EscapeAndWindows1252) {
    EXPECT_EQ(cPDF::EscapeText("a\\b(c)d"), "a\\\\b\\(c\\)d");
    EXPECT_EQ(cPDF::ToAnsi("caf\xC3\xA9 \xE2\x82\xAC \xC3\x9F"), "caf\xE9 \x80 \xDF");
    EXPECT_EQ(cPDF::ToAnsi("\xE2\x80\x9Cq\xE2\x80\x9D"), "\x93q\x94");
    // What the code page lacks, and broken UTF-8, become "?".
    EXPECT_EQ(cPDF::ToAnsi("\xE4\xB8\xAD|\xFF|\xC3"), "?|?|?");
    EXPECT_EQ(cPDF::ToAnsi("\xF0\x9F\x98\x80"), "?");
}

class Zone : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(Zone, CreationDateStatesTheLocalOffset) {
    lumtest::ScopedEnv tz("TZ", GetParam().first);
    tzset();
    std::string date = cPDF::CreationDate(1700000000);  // 2023-11-14 22:13:20 UTC
    tzset();
    EXPECT_EQ(date.substr(0, 2), "D:");
    EXPECT_EQ(date.substr(16), GetParam().second) << date;
}

INSTANTIATE_TEST_SUITE_P(Zones, Zone,
                         ::testing::Values(std::pair{"UTC0", "Z"}, std::pair{"CET-1", "+01'00'"},
                                           std::pair{"IST-5:30", "+05'30'"},
                                           std::pair{"EST5", "-05'00'"},
                                           std::pair{"NPT-5:45", "+05'45'"}));

TEST(Zone, TheClockReadsInTheLocalZone) {
    lumtest::ScopedEnv tz("TZ", "EST5");
    tzset();
    EXPECT_EQ(cPDF::CreationDate(1700000000), "D:20231114171320-05'00'");
    lumtest::ScopedEnv utc("TZ", "UTC0");
    tzset();
    EXPECT_EQ(cPDF::CreationDate(1700000000), "D:20231114221320Z");
}

}  // namespace
