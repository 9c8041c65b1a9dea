// SPDX-License-Identifier: GPL-3.0-or-later
#include "orders/settings_file.h"

#include <charconv>
#include <utility>
#include <vector>

#include "orders/date_time.h"

namespace tallowick {
namespace {

constexpr const char* kFileName = "settings.ini";
// Heads what the counted orders cannot hold: for each order its repeat days, its repeat minute
// and its label. Written only when some order has one, so a table without any is saved exactly
// as before; loaded after the orders, so that no damage to it costs an order.
constexpr std::string_view kExtrasHeading = "[repeats and labels]";

void appendNumber(std::string& out, int64_t value) {
    out += value < 0 ? "" : " ";
    out += std::to_string(value);
    out += " \r\n";
}

void appendLine(std::string& out, std::string_view text) {
    out += text;
    out += "\r\n";
}

std::vector<std::string_view> splitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        const size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (next != start + line.size() && !line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start = next;
    }
    return lines;
}

}  // namespace

std::string formatSettings(const OrderTable& table, Clock& clock) {
    std::string out;
    appendNumber(out, table.orderCount());
    for (int i = 1; i <= table.orderCount(); ++i) {
        const Order& order = table.at(i);
        appendLine(out, order.description);
        appendLine(out, localTime(clock, order.due).toSettingsText());
        appendNumber(out, order.period);
        appendLine(out, order.soundFile);
        appendNumber(out, order.sounding);
    }
    bool extras = false;
    for (int i = 1; i <= table.orderCount(); ++i) {
        extras = extras || table.at(i).isRepeating() || !table.at(i).label.empty();
    }
    if (!extras) return out;
    appendLine(out, kExtrasHeading);
    for (int i = 1; i <= table.orderCount(); ++i) {
        const Order& order = table.at(i);
        appendNumber(out, order.repeatDays);
        appendNumber(out, order.repeatMinute);
        appendLine(out, order.label);
    }
    return out;
}

bool parseSettingsNumber(std::string_view text, int64_t& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

ParsedSettings parseSettings(std::string_view bytes, Clock& clock) {
    ParsedSettings result;
    const std::vector<std::string_view> lines = splitLines(bytes);
    auto damage = [&](size_t line, const std::string& what) {
        result.damaged = true;
        result.problem = "line " + std::to_string(line) + ": " + what;
        return result;
    };

    int64_t count = 0;
    if (lines.empty() || !parseSettingsNumber(lines[0], count)) {
        return damage(1, "the order count is not a number");
    }
    if (count < 0) return damage(1, "the order count is below 0");
    const bool tooMany = count > OrderTable::kCapacity;
    const int wanted = tooMany ? OrderTable::kCapacity : static_cast<int>(count);

    for (int i = 1; i <= wanted; ++i) {
        const size_t first = 1 + 5 * static_cast<size_t>(i - 1);  // index of the description
        if (lines.size() < first + 5) {
            return damage(lines.size() + 1, "the file ends inside order " + std::to_string(i));
        }
        Order order;
        order.description = std::string(lines[first]);
        auto due = DateTime::fromSettingsText(lines[first + 1]);
        if (!due) return damage(first + 2, "the due of order " + std::to_string(i) + " is no date");
        order.due = instantOf(clock, *due, Showing::first);
        if (!parseSettingsNumber(lines[first + 2], order.period)) {
            return damage(first + 3,
                          "the period of order " + std::to_string(i) + " is not a whole number");
        }
        order.soundFile = std::string(lines[first + 3]);
        if (!parseSettingsNumber(lines[first + 4], order.sounding)) {
            return damage(first + 5, "the sounding flag of order " + std::to_string(i) +
                                         " is not a whole number");
        }
        result.table.append(std::move(order));
    }
    if (tooMany) {
        return damage(1, "the order count " + std::to_string(count) + " is above " +
                             std::to_string(OrderTable::kCapacity));
    }
    size_t after = 1 + 5 * static_cast<size_t>(wanted);
    if (after < lines.size() && lines[after] == kExtrasHeading) {
        for (int i = 1; i <= wanted; ++i) {
            const size_t first = after + 1 + 3 * static_cast<size_t>(i - 1);
            if (lines.size() < first + 3) {
                return damage(
                    lines.size() + 1,
                    "the file ends inside the repeat and label of order " + std::to_string(i));
            }
            int64_t days = 0, minute = 0;
            if (!parseSettingsNumber(lines[first], days) || days < 0 || days > 127 ||
                !parseSettingsNumber(lines[first + 1], minute) || minute < 0 || minute >= 1440) {
                return damage(first + 1,
                              "the repeat of order " + std::to_string(i) + " is no repeat");
            }
            Order& order = result.table.at(i);
            order.repeatDays = static_cast<int>(days);
            order.repeatMinute = static_cast<int>(minute);
            order.label = std::string(lines[first + 2]);
        }
        after += 1 + 3 * static_cast<size_t>(wanted);
    }
    // More after the counted orders (a hand edit, a damaged count) would be lost by the next
    // save without a word.
    for (size_t i = after; i < lines.size(); ++i) {
        if (lines[i].find_first_not_of(" \t\r") != std::string_view::npos) {
            return damage(i + 1, "there is more after the " + std::to_string(wanted) +
                                     (wanted == 1 ? " counted order" : " counted orders"));
        }
    }
    return result;
}

SettingsStore::SettingsStore(Files& files, Diagnostics& diagnostics, Clock& clock,
                             std::string dataDir)
    : files_(files),
      diagnostics_(diagnostics),
      clock_(clock),
      dataDir_(std::move(dataDir)),
      path_(dataDir_ + "/" + kFileName) {}

LoadOutcome SettingsStore::load(OrderTable& table) {
    LoadOutcome outcome;
    std::string bytes;
    const ReadResult read = files_.read(path_, bytes, kMaxFileBytes);
    switch (read) {
        case ReadResult::missing:
            table = OrderTable();
            return outcome;
        case ReadResult::failed:
            // Nothing can be told about the orders in a file that cannot be read, and the file
            // must survive: start empty, and hold back every save so that none replaces it.
            table = OrderTable();
            holdBackSaves_ = true;
            diagnostics_.report(path_ +
                                " cannot be read; starting with no orders and leaving it "
                                "untouched (orders set now will not be saved)");
            outcome.damaged = true;
            outcome.spokenNotice =
                "The settings file could not be read.  New orders will not be saved.";
            return outcome;
        case ReadResult::notRegular:
        case ReadResult::tooLarge:
        case ReadResult::ok:
            break;
    }

    ParsedSettings parsed;
    if (read == ReadResult::ok) {
        parsed = parseSettings(bytes, clock_);
    } else {
        parsed.damaged = true;
        parsed.problem = read == ReadResult::tooLarge
                             ? "it is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB"
                             : "it is not a regular file";
    }
    table = std::move(parsed.table);
    if (!parsed.damaged) return outcome;

    outcome.damaged = true;
    const std::string keptAs = keepAside(read == ReadResult::ok ? &bytes : nullptr);
    if (keptAs.empty()) holdBackSaves_ = true;
    outcome.spokenNotice = tellDamage(parsed.problem, table.orderCount(), keptAs);
    return outcome;
}

std::string SettingsStore::keepAside(const std::string* bytes) {
    for (int n = 1; n <= 1000; ++n) {
        const std::string name =
            std::string(kFileName) + ".bad" + (n == 1 ? "" : std::to_string(n));
        // A file that was read is copied, so that settings.ini stays whole until the next
        // save; one that cannot be read, or is too large to copy, is moved aside.
        const std::string aside = dataDir_ + "/" + name;
        const CreateResult created =
            bytes ? files_.createNew(aside, *bytes) : files_.keepAside(path_, aside);
        if (created == CreateResult::ok) return name;
        if (created == CreateResult::failed) break;
    }
    return "";
}

std::string SettingsStore::tellDamage(const std::string& problem, int orders,
                                      const std::string& keptAs) {
    const std::string loaded = std::to_string(orders) + (orders == 1 ? " order" : " orders");
    if (keptAs.empty()) {
        diagnostics_.report(path_ + " is damaged (" + problem + "); loaded " + loaded +
                            "; it could not be copied aside, so it will not be overwritten");
        return "The settings file is damaged.  " + loaded +
               " loaded.  The file is kept as it is, and new orders will not be saved.";
    }
    diagnostics_.report(path_ + " is damaged (" + problem + "); loaded " + loaded +
                        "; the whole file was kept as " + dataDir_ + "/" + keptAs);
    return "The settings file was damaged.  " + loaded + " loaded.  The whole file was kept as " +
           keptAs + ".";
}

bool SettingsStore::save(const OrderTable& table) {
    if (holdBackSaves_) return false;
    const std::string bytes = formatSettings(table, clock_);
    if (bytes.size() > kMaxFileBytes) return false;  // the next start would refuse it
    // A new file follows the umask; a saved one keeps the mode it had.
    return files_.replace(path_, bytes, 0666);
}

}  // namespace tallowick
