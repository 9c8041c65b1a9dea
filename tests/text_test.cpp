#include "commands/text.h"

#include <gtest/gtest.h>

namespace tallowick {
namespace {

TEST(TextTest, LowerCasesEveryScriptAndKeepsBrokenBytes) {
    struct Row {
        std::string in, out;
    } rows[] = {
        {"HELP 2", "help 2"},
        {"CAFÉ", "café"},
        {"ÀÉÎÕÜ ÇÑ", "àéîõü çñ"},
        {"ΣΟΦΊΑ", "σοφία"},
        {"ПРИВЕТ", "привет"},
        {"ĀĂĄ", "āăą"},
        {"İ", "i"},
        {"\xff"
         "AB\xc3",
         "\xff"
         "ab\xc3"},                          // stray and cut-off bytes stay
        {"\xed\xa0\x80X", "\xed\xa0\x80x"},  // an encoded surrogate is no character
        {"\xc0\x80Q", "\xc0\x80q"},          // nor is an overlong form
        {std::string("A\0B", 3), std::string("a\0b", 3)},
        {"日本 ÅNGSTRÖM", "日本 ångström"},
    };
    for (const Row& row : rows) EXPECT_EQ(lowerCase(row.in), row.out) << row.in;
}

TEST(TextTest, CountsAndCutsCharactersNotBytes) {
    const std::string text =
        "é5\xff"
        "am";  // é, 5, a stray byte, a, m
    EXPECT_EQ(characterCount(text), 5u);
    EXPECT_EQ(firstCharacters(text, 2), "é5");
    EXPECT_EQ(dropCharacters(text, 3), "am");
    EXPECT_EQ(lastCharacters(text, 3),
              "\xff"
              "am");
    EXPECT_EQ(lastCharacters(text, 9), text);
    EXPECT_EQ(dropCharacters(text, 9), "");
    EXPECT_EQ(firstCharacters("\xe2\x82", 1), "\xe2");  // a cut-off sequence is byte by byte
}

}  // namespace
}  // namespace tallowick
