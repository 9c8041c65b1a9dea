// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleWidget>
#include <QList>

#include "orders/order_table.h"
#include "ports/clock.h"

namespace tallowick {

// The order panel as screen readers see it: a list with one item per standing order. The
// items' names are worked out when an assistive technology asks for them, so the panel's
// once-a-second repaint tells nothing; ordersChanged() sends the events when the set of
// orders changes.
class OrderListAccessible final : public QAccessibleWidget {
  public:
    // `current` is the order under the keyboard focus while the panel has it.
    OrderListAccessible(QWidget* panel, const OrderTable& table, Clock& clock, const int& current);
    ~OrderListAccessible() override;

    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

    // Tells the accessibility layer that the items went from `previous` to the table as it is
    // now: items added or removed at the end, and a name change for each item whose order is
    // another one or started or stopped ringing.
    void ordersChanged(const OrderTable& previous);

    // The item of order `position` (1 to orderCount): its name, and where it is on the screen.
    QString itemName(int position) const;
    QRect itemRect(int position) const;
    // Whether the item of order `position` has the keyboard focus.
    bool itemFocused(int position) const;

  private:
    // Makes sure there is an item for each order; those beyond go only in ordersChanged(), after
    // they were told gone.
    void addItems() const;

    const OrderTable& table_;
    Clock& clock_;
    const int& current_;
    mutable QList<QAccessible::Id> items_;  // the registered item interfaces, by position - 1
};

// The window as screen readers see it: a top-level frame named by its caption that never claims
// the focus itself (the entry that has it does).
class FrameAccessible final : public QAccessibleWidget {
  public:
    explicit FrameAccessible(QWidget* window);
    QAccessible::State state() const override;
};

// The screen reader's way to present a reply when Tallowick does not speak: an invisible
// notification whose name is the last reply, shown anew for each reply. Orca speaks and brailles
// a notification when it is shown.
class NoticeAccessible final : public QAccessibleWidget {
  public:
    explicit NoticeAccessible(QWidget* notice);
};

}  // namespace tallowick
