// SPDX-License-Identifier: GPL-3.0-or-later
// Random tables and typed lines on a fake clock: after every line the table holds 0 to 50
// orders, reads back from its saved file as itself, and takes a tick cleanly.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>

#include "fakes.h"
#include "orders/settings_file.h"

using namespace tallowick;

namespace {

Order randomOrder(FuzzedDataProvider& data) {
    static const char* const kDescriptions[] = {"mark", "in  5  minutes ", "at 7:30pm", "every 5 m",
                                                "in "};
    Order order;
    order.description = data.ConsumeBool() ? kDescriptions[data.ConsumeIntegralInRange(0, 4)]
                                           : data.ConsumeRandomLengthString(40);
    order.due = Instant::earliest().plusSecondsClamped(data.ConsumeIntegral<int64_t>());
    order.period = data.ConsumeBool() ? data.ConsumeIntegralInRange<int64_t>(0, 100000)
                                      : data.ConsumeIntegral<int64_t>();
    order.soundFile = data.ConsumeRandomLengthString(20);
    order.sounding = data.ConsumeIntegralInRange<int64_t>(-1, 2);
    // The settings file keeps one value per line: no value may hold a line end.
    std::replace(order.description.begin(), order.description.end(), '\n', ' ');
    std::replace(order.soundFile.begin(), order.soundFile.end(), '\n', ' ');
    return order;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const auto check = [](bool condition) { return condition ? void() : std::abort(); };
    FuzzedDataProvider data(bytes, size);
    Rig rig;
    rig.clock.time = Instant::earliest().plusSecondsClamped(data.ConsumeIntegralInRange<int64_t>(
        0, Instant::latest().secondsSince(Instant::earliest())));
    OrderTable table;
    const int count = data.ConsumeIntegralInRange(0, 50);
    for (int i = 0; i < count; ++i) table.append(randomOrder(data));
    rig.files.files[Rig::kSettings] = formatSettings(table, rig.clock);
    rig.core.load();
    check(rig.core.table() == table);

    while (data.remaining_bytes() > 0) {
        if (data.ConsumeBool())
            rig.clock.advance(data.ConsumeIntegralInRange<int64_t>(-100000, 100000));
        const std::string line = data.ConsumeRandomLengthString(200);
        if (rig.core.line(line) == Core::LineResult::exit) continue;
        const int n = rig.core.table().orderCount();
        check(n >= 0 && n <= OrderTable::kCapacity);
        const ParsedSettings reread = parseSettings(rig.files.files[Rig::kSettings], rig.clock);
        check(!reread.damaged);
        check(reread.table == rig.core.table());
        rig.core.tick();
    }
    return 0;
}
