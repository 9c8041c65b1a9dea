// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/window_accessible.h"

#include <QWidget>

#include <algorithm>

#include "clock/order_phrasing.h"
#include "ports/panel_canvas.h"

namespace tallowick {

namespace {

// One order in the list. It holds only its position: the name is read from the table when asked.
class OrderItemAccessible final : public QAccessibleInterface {
  public:
    OrderItemAccessible(OrderListAccessible& list, int position)
        : list_(list), position_(position) {}

    bool isValid() const override { return true; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return list_.window(); }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return &list_; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? list_.itemName(position_) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override { return list_.itemRect(position_); }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.readOnly = s.focusable = s.selectable = true;
        s.focused = s.selected = list_.itemFocused(position_);
        const QRect shown = list_.rect();
        if (!shown.contains(rect())) s.invisible = s.offscreen = true;
        return s;
    }

  private:
    OrderListAccessible& list_;
    const int position_;
};

}  // namespace

OrderListAccessible::OrderListAccessible(QWidget* panel, const OrderTable& table, Clock& clock,
                                         const int& current)
    : QAccessibleWidget(panel, QAccessible::List),
      table_(table),
      clock_(clock),
      current_(current) {}

OrderListAccessible::~OrderListAccessible() {
    for (QAccessible::Id id : items_) QAccessible::deleteAccessibleInterface(id);
}

void OrderListAccessible::addItems() const {
    while (items_.size() < table_.orderCount()) {
        auto* item = new OrderItemAccessible(*const_cast<OrderListAccessible*>(this),
                                             static_cast<int>(items_.size()) + 1);
        items_.append(QAccessible::registerAccessibleInterface(item));
    }
}

int OrderListAccessible::childCount() const {
    return table_.orderCount();
}

QAccessibleInterface* OrderListAccessible::child(int index) const {
    if (index < 0 || index >= table_.orderCount()) return nullptr;
    addItems();
    return QAccessible::accessibleInterface(items_.at(index));
}

// Also asked about an item being told gone, which is still there then.
int OrderListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    for (int i = 0; i < items_.size(); ++i) {
        if (QAccessible::accessibleInterface(items_.at(i)) == child) return i;
    }
    return -1;
}

QAccessibleInterface* OrderListAccessible::childAt(int x, int y) const {
    for (int position = 1; position <= table_.orderCount(); ++position) {
        if (itemRect(position).contains(x, y)) return child(position - 1);
    }
    return nullptr;
}

QAccessibleInterface* OrderListAccessible::focusChild() const {
    return widget()->hasFocus() ? child(current_ - 1) : nullptr;
}

bool OrderListAccessible::itemFocused(int position) const {
    return position == current_ && widget()->hasFocus();
}

QString OrderListAccessible::itemName(int position) const {
    if (position > table_.orderCount()) return {};  // asked about an item that is going away
    return QString::fromStdString(phraseOrder(table_, position, clock_, OrderPhrasing::item));
}

QRect OrderListAccessible::itemRect(int position) const {
    // The panel is as much wider than its plain width as its rows are taller (zoom, font DPI):
    // a magnifier that follows the focus must find the row where it is drawn.
    const QRect panel = rect();
    const double scale = static_cast<double>(panel.width()) / kPanelWidth;
    const auto rowTop = [&](int row) { return qRound(row * kPanelRowHeight * scale); };
    return {panel.x(), panel.y() + rowTop(position - 1), panel.width(),
            rowTop(position) - rowTop(position - 1)};
}

void OrderListAccessible::ordersChanged(const OrderTable& previous) {
    const int before = static_cast<int>(items_.size());
    const int now = table_.orderCount();
    // Items that go: told while they still exist, then dropped.
    for (int i = before - 1; i >= now; --i) {
        QAccessibleEvent gone(QAccessible::accessibleInterface(items_.at(i)),
                              QAccessible::ObjectDestroyed);
        QAccessible::updateAccessibility(&gone);
        QAccessible::deleteAccessibleInterface(items_.takeLast());
    }
    addItems();
    for (int position = 1; position <= now; ++position) {
        QAccessibleInterface* item = QAccessible::accessibleInterface(items_.at(position - 1));
        if (position > before) {
            QAccessibleEvent added(item, QAccessible::ObjectCreated);
            QAccessible::updateAccessibility(&added);
        } else if (position > previous.orderCount() ||
                   !(previous.at(position) == table_.at(position))) {
            // Another order now, or the same one started or stopped ringing. Time passing
            // changes the name too, but is never told.
            QAccessibleEvent renamed(item, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&renamed);
        }
    }
}

FrameAccessible::FrameAccessible(QWidget* window)
    : QAccessibleWidget(window, QAccessible::Window) {}

QAccessible::State FrameAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.focused = false;
    return s;
}

NoticeAccessible::NoticeAccessible(QWidget* notice)
    : QAccessibleWidget(notice, QAccessible::Notification) {}

}  // namespace tallowick
