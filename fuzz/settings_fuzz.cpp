// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds the settings loader arbitrary bytes. It never crashes; it either loads a table that
// saves and loads again as itself, or reports the damage and keeps the file as it was.

#include <cstdlib>

#include "fakes.h"
#include "orders/settings_file.h"

using namespace tallowick;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const auto check = [](bool condition) { return condition ? void() : std::abort(); };
    const std::string file(reinterpret_cast<const char*>(bytes), size);
    Rig rig;
    const ParsedSettings parsed = parseSettings(file, rig.clock);
    check(parsed.table.orderCount() >= 0 && parsed.table.orderCount() <= OrderTable::kCapacity);
    const ParsedSettings again = parseSettings(formatSettings(parsed.table, rig.clock), rig.clock);
    check(!again.damaged);
    check(again.table == parsed.table);

    rig.files.files[Rig::kSettings] = file;
    rig.core.load();
    check(rig.voice.requests.empty() != parsed.damaged);
    check(rig.core.table() == parsed.table);
    check(rig.files.files[Rig::kSettings] == file);
    if (parsed.damaged) {
        check(rig.files.files["/prog/settings.ini.bad"] == file);
        check(rig.diagnostics.lines.size() == 1);
    }
    return 0;
}
