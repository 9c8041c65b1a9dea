// SPDX-License-Identifier: GPL-3.0-or-later
#include "orders/order_table.h"

#include <cassert>
#include <utility>

namespace tallowick {

Order& OrderTable::at(int position) {
    assert(position >= 1 && position <= orderCount_);
    return orders_[static_cast<size_t>(position - 1)];
}

const Order& OrderTable::at(int position) const {
    assert(position >= 1 && position <= orderCount_);
    return orders_[static_cast<size_t>(position - 1)];
}

int OrderTable::append(Order order) {
    if (full()) return 0;
    orders_[static_cast<size_t>(orderCount_)] = std::move(order);
    return ++orderCount_;
}

void OrderTable::removeAt(int position) {
    assert(position >= 1 && position <= orderCount_);
    for (int j = position; j < orderCount_; ++j) {
        orders_[static_cast<size_t>(j - 1)] = std::move(orders_[static_cast<size_t>(j)]);
    }
    --orderCount_;
}

bool operator==(const OrderTable& a, const OrderTable& b) {
    if (a.orderCount_ != b.orderCount_) return false;
    for (int i = 1; i <= a.orderCount_; ++i) {
        if (!(a.at(i) == b.at(i))) return false;
    }
    return true;
}

}  // namespace tallowick
