#include "orders/settings_file.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace tallowick {
namespace {

DateTime at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return *DateTime::make(y, mo, d, h, mi, s);
}

OrderTable sampleTable() {
    OrderTable table;
    table.append({"in  2  hours  10  minutes ", at(2026, 12, 6, 3, 22, 1), 0, "chime.wav", 0});
    table.append({"mark", at(2026, 12, 6), 0, "", 0});
    table.append({"every 5 m", at(2026, 12, 6, 15, 0, 0), 300, " bell.wav", 0});
    table.append({"at 7:30pm", at(2026, 12, 7, 19, 30), 0, "windup.wav", 1});
    table.append({"café \xff", at(9999, 12, 31, 23, 59, 59), -5, "x", 7});
    return table;
}

const char kSampleBytes[] =
    " 5 \r\n"
    "in  2  hours  10  minutes \r\n12/6/2026 3:22:01 AM\r\n 0 \r\nchime.wav\r\n 0 \r\n"
    "mark\r\n12/6/2026\r\n 0 \r\n\r\n 0 \r\n"
    "every 5 m\r\n12/6/2026 3:00:00 PM\r\n 300 \r\n bell.wav\r\n 0 \r\n"
    "at 7:30pm\r\n12/7/2026 7:30:00 PM\r\n 0 \r\nwindup.wav\r\n 1 \r\n"
    "café \xff\r\n12/31/9999 11:59:59 PM\r\n-5 \r\nx\r\n 7 \r\n";

TEST(SettingsFileTest, WritesOneValuePerLineByteForByte) {
    EXPECT_EQ(formatSettings(sampleTable()), kSampleBytes);
    EXPECT_EQ(formatSettings(OrderTable()), " 0 \r\n");
}

TEST(SettingsFileTest, ATableSavedAndReadBackIsTheSameTable) {
    const ParsedSettings parsed = parseSettings(kSampleBytes);
    EXPECT_FALSE(parsed.damaged) << parsed.problem;
    EXPECT_EQ(parsed.table, sampleTable());
    EXPECT_EQ(parseSettings(" 0 \r\n").table.orderCount(), 0);
}

TEST(SettingsFileTest, ReadsLineFeedsAloneAndAMissingLastLineEnd) {
    std::string bytes = kSampleBytes;
    std::string unix;
    for (char c : bytes) {
        if (c != '\r') unix += c;
    }
    unix.pop_back();
    const ParsedSettings parsed = parseSettings(unix);
    EXPECT_FALSE(parsed.damaged) << parsed.problem;
    EXPECT_EQ(parsed.table, sampleTable());
}

TEST(SettingsFileTest, DamageKeepsTheCompleteOrdersBeforeIt) {
    const std::string order =
        "in  5  minutes \r\n12/6/2026 3:22:01 AM\r\n 0 \r\nchime.wav\r\n 0 \r\n";
    struct Row {
        std::string bytes;
        int ordersKept;
        const char* problem;
    } rows[] = {
        {"", 0, "line 1: the order count is not a number"},
        {"two\r\n", 0, "line 1: the order count is not a number"},
        {" 1.5 \r\n" + order, 0, "line 1: the order count is not a number"},
        {"-1 \r\n", 0, "line 1: the order count is below 0"},
        {" 99999999999999999999 \r\n", 0, "line 1: the order count is not a number"},
        {" 2 \r\n" + order, 1, "line 7: the file ends inside order 2"},
        {" 2 \r\n" + order + "mark\r\n12/6/2026\r\n", 1, "line 9: the file ends inside order 2"},
        {" 2 \r\n" + order + "mark\r\nsoon\r\n 0 \r\n\r\n 0 \r\n", 1,
         "line 8: the due of order 2 is no date"},
        {" 2 \r\n" + order + "mark\r\n12/6/2026\r\n 0.5 \r\n\r\n 0 \r\n", 1,
         "line 9: the period of order 2 is not a whole number"},
        {" 1 \r\nmark\r\n12/6/2026\r\n 0 \r\n\r\n yes \r\n", 0,
         "line 6: the sounding flag of order 1 is not a whole number"},
        {" 1 \r\n" + order + order + order, 1, "line 7: there is more after the 1 counted order"},
        {" 0 \r\n \r\n\r\n" + order, 0, "line 4: there is more after the 0 counted orders"},
        {" 1 \r\n" + order + "\r\n  junk", 1, "line 8: there is more after the 1 counted order"},
    };
    for (const Row& row : rows) {
        const ParsedSettings parsed = parseSettings(row.bytes);
        EXPECT_TRUE(parsed.damaged) << row.bytes;
        EXPECT_EQ(parsed.problem, row.problem) << row.bytes;
        EXPECT_EQ(parsed.table.orderCount(), row.ordersKept) << row.bytes;
    }
}

TEST(SettingsFileTest, ACountAbove50LoadsTheFirst50CompleteOrders) {
    std::string bytes = " 51 \r\n";
    for (int i = 0; i < 51; ++i) bytes += "mark\r\n12/6/2026\r\n 0 \r\n\r\n 0 \r\n";
    const ParsedSettings parsed = parseSettings(bytes);
    EXPECT_TRUE(parsed.damaged);
    EXPECT_EQ(parsed.table.orderCount(), 50);
}

struct StoreTest : ::testing::Test {
    MemoryFiles files;
    FakeDiagnostics diagnostics;
    SettingsStore store{files, diagnostics, "/prog"};
    OrderTable table;
};

TEST_F(StoreTest, AMissingFileIsAnEmptyTable) {
    table = sampleTable();
    const LoadOutcome outcome = store.load(table);
    EXPECT_FALSE(outcome.damaged);
    EXPECT_EQ(outcome.spokenNotice, "");
    EXPECT_EQ(table.orderCount(), 0);
    EXPECT_TRUE(diagnostics.lines.empty());
}

TEST_F(StoreTest, ADamagedFileIsKeptAsItIsBeforeAnythingOverwritesIt) {
    const std::string damaged = " 2 \r\nmark\r\n12/6/2026\r\n 0 \r\n\r\n 0 \r\nmark\r\n";
    files.files["/prog/settings.ini"] = damaged;
    files.files["/prog/settings.ini.bad"] = "an older one";
    const LoadOutcome outcome = store.load(table);
    EXPECT_TRUE(outcome.damaged);
    EXPECT_EQ(table.orderCount(), 1);
    EXPECT_EQ(files.files["/prog/settings.ini.bad"], "an older one");
    EXPECT_EQ(files.files["/prog/settings.ini.bad2"], damaged);
    EXPECT_EQ(files.files["/prog/settings.ini"], damaged);
    EXPECT_EQ(outcome.spokenNotice,
              "The settings file was damaged.  1 order loaded.  The whole file was kept as "
              "settings.ini.bad2.");
    ASSERT_EQ(diagnostics.lines.size(), 1u);
    EXPECT_NE(diagnostics.lines[0].find("/prog/settings.ini.bad2"), std::string::npos);
    EXPECT_TRUE(store.save(table));
}

// What cannot be read as a settings file (no regular file, or far too large to be one) is
// moved aside, not copied, and saving goes on.
TEST_F(StoreTest, WhatIsNoSettingsFileIsMovedAside) {
    files.odd["/prog/settings.ini"] = "a FIFO";
    files.files["/prog/settings.ini.bad"] = "an older one";
    EXPECT_EQ(store.load(table).spokenNotice,
              "The settings file was damaged.  0 orders loaded.  The whole file was kept as "
              "settings.ini.bad2.");
    EXPECT_EQ(files.odd["/prog/settings.ini.bad2"], "a FIFO");
    ASSERT_EQ(diagnostics.lines.size(), 1u);
    EXPECT_NE(diagnostics.lines[0].find("not a regular file"), std::string::npos);

    files.files.clear();
    files.files["/prog/settings.ini"] = std::string((1 << 20) + 1, ' ');
    store.load(table);
    EXPECT_EQ(files.files.count("/prog/settings.ini"), 0u);
    EXPECT_EQ(files.files["/prog/settings.ini.bad"].size(), (1u << 20) + 1);
    EXPECT_TRUE(store.save(sampleTable()));
}

TEST_F(StoreTest, ADamagedFileThatCannotBeKeptAsideIsNeverOverwritten) {
    files.files["/prog/settings.ini"] = "garbage";
    files.writesFail = true;
    const LoadOutcome outcome = store.load(table);
    EXPECT_TRUE(outcome.damaged);
    files.writesFail = false;
    EXPECT_FALSE(store.save(table));
    EXPECT_EQ(files.files["/prog/settings.ini"], "garbage");
}

TEST_F(StoreTest, AFileThatCannotBeReadIsLeftAlone) {
    files.files["/prog/settings.ini"] = kSampleBytes;
    files.readsFail = true;
    EXPECT_TRUE(store.load(table).damaged);
    EXPECT_EQ(table.orderCount(), 0);
    EXPECT_FALSE(store.save(table));
    EXPECT_EQ(files.files["/prog/settings.ini"], kSampleBytes);
}

}  // namespace
}  // namespace tallowick
