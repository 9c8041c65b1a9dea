#include "commands/number.h"

#include <clocale>
#include <cmath>

#include <gtest/gtest.h>

namespace tallowick {
namespace {

TEST(NumberTest, ReadsTheOneNumberRule) {
    struct Row {
        const char* text;
        double value;
    } rows[] = {
        {"5", 5},         {" 2 ", 2},         {"01", 1},  {"1.5", 1.5},   {".5", 0.5},
        {"5.", 5},        {"-5", -5},         {"+3", 3},  {"-0.5", -0.5}, {"1e3", 1000},
        {"2.5E-1", 0.25}, {" +1.e+2  ", 100}, {"007", 7}, {"1e-400", 0},  {"  -.0 ", 0},
    };
    for (const Row& row : rows) {
        const std::optional<double> value = readNumber(row.text);
        ASSERT_TRUE(value.has_value()) << row.text;
        EXPECT_DOUBLE_EQ(*value, row.value) << row.text;
    }
}

TEST(NumberTest, RejectsEverythingBeyondTheRule) {
    for (const char* text :
         {"",    " ",    ".",     "-",   "+-1", "1..2",  "1.2.3", "e5",    "1e",
          "1e+", "0x10", "1,000", "1,5", "$5",  "5-",    "inf",   "nan",   "infinity",
          "1 2", "5 s",  "\t5",   "5\n", "１",  "1_000", "--1",   "1e5.5", "+.e1"}) {
        EXPECT_FALSE(readNumber(text).has_value()) << '"' << text << '"';
    }
}

TEST(NumberTest, HugeNumbersReadAsInfinity) {
    EXPECT_EQ(readNumber("1e999"), INFINITY);
    EXPECT_EQ(readNumber("-1e999"), -INFINITY);
    EXPECT_EQ(readNumber(std::string(400, '9')), INFINITY);
    EXPECT_EQ(readNumber("0.01e99999999999"), INFINITY);
    EXPECT_EQ(readNumber("1e-99999999999"), 0.0);
    EXPECT_EQ(readNumber("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(NumberTest, TheUsersLocaleDoesNotChangeTheDecimalPoint) {
    const char* german = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8"}) {
        if (std::setlocale(LC_ALL, name)) {
            german = name;
            break;
        }
    }
    if (!german) GTEST_SKIP() << "no locale with a decimal comma is installed";
    EXPECT_EQ(readNumber("1.5"), 1.5);
    EXPECT_FALSE(readNumber("1,5").has_value());
    std::setlocale(LC_ALL, "C");
}

}  // namespace
}  // namespace tallowick
