#include "app/ringing.h"

#include <gtest/gtest.h>

namespace tallowick {
namespace {

// A table from "words" entries, each sounding when marked with a trailing '!'.
OrderTable tableOf(std::initializer_list<std::string> orders) {
    OrderTable table;
    for (std::string words : orders) {
        Order order;
        if (!words.empty() && words.back() == '!') {
            words.pop_back();
            order.sounding = 1;
        }
        order.description = words;
        order.soundFile = "chime.wav";
        table.append(order);
    }
    return table;
}

// Records what the desktop was asked to show and withdraw.
struct FakeNotifier final : Notifier {
    std::vector<std::string> log;
    void show(int key, const std::string&, const std::string& body) override {
        log.push_back("show " + std::to_string(key) + " " + body);
    }
    void withdraw(int key) override { log.push_back("withdraw " + std::to_string(key)); }
};

TEST(RingingTest, AnOrderKeepsItsRingingAcrossRenumbering) {
    struct Case {
        const char* what;
        OrderTable before, after;
        std::vector<int> started;
    } cases[] = {
        {"starts", tableOf({"in 1 h", "in 5 m"}), tableOf({"in 1 h", "in 5 m!"}), {2}},
        {"rings on", tableOf({"in 5 m!"}), tableOf({"in 5 m!"}), {}},
        {"renumbered by a delete", tableOf({"mark", "in 5 m!"}), tableOf({"in 5 m!"}), {}},
        {"one of two alike starts",
         tableOf({"in 5 m!", "in 5 m"}),
         tableOf({"in 5 m!", "in 5 m!"}),
         {2}},
        {"stopped", tableOf({"in 5 m!"}), tableOf({}), {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(startedSounding(c.before, c.after), c.started) << c.what;
    }
}

TEST(RingingTest, OneNoticePerRingingWithdrawnWhenItStops) {
    FakeNotifier desktop;
    RingingNotices notices(desktop);
    const OrderTable quiet = tableOf({"mark", "in  5  minutes "});
    const OrderTable ringing = tableOf({"mark", "in  5  minutes !"});
    notices.ordersChanged(quiet, ringing);
    notices.ordersChanged(ringing, tableOf({"in  5  minutes !"}));      // "delete 1" while it rings
    notices.ordersChanged(tableOf({"in  5  minutes !"}), tableOf({}));  // "stop"
    notices.ordersChanged(quiet, ringing);
    EXPECT_EQ(desktop.log,
              (std::vector<std::string>{"show 1 Order 2 is ringing: in 5 minutes", "withdraw 1",
                                        "show 2 Order 2 is ringing: in 5 minutes"}));
}

}  // namespace
}  // namespace tallowick
