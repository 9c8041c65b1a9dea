// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/main_window.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QtMath>

#include <algorithm>
#include <cstdlib>

#include "config/build_config.h"
#include "window/window_accessible.h"

namespace tallowick {
namespace {

// The window's layout in pixels of its client area.
constexpr int kClientWidth = 176, kClientHeight = 279;
constexpr QRect kCommandEntry(8, 8, 161, 19);
constexpr QRect kOrdersPanel(8, 32, kPanelWidth, 241);
// Qt's base logical DPI: the one whose text the plain layout's sizes fit.
constexpr qreal kBaseDpi = 96;
// What the entry tells a screen reader when it gets the focus.
const char* const kEntryDescription = "Type a command, then Enter. Type help for help.";

// How much larger than its plain layout the window is: `zoom` times, and as much larger as a
// font DPI above 96 makes the entry's text. Qt 6 turns the font DPI (QT_FONT_DPI, Xft.dpi) into
// the device pixel ratio, which the panel's picture follows anyway; only with Qt's scaling off
// (QT_ENABLE_HIGHDPI_SCALING=0) does it stay a logical DPI, left for the window to follow.
qreal windowScale(const QWidget& window, int zoom) {
    return zoom * std::max(1.0, window.logicalDpiY() / kBaseDpi);
}

QAccessibleInterface* windowAccessibles(const QString&, QObject* object) {
    if (auto* panel = dynamic_cast<PanelWidget*>(object)) {
        return new OrderListAccessible(panel, panel->table, panel->clock, panel->currentOrder);
    }
    if (auto* window = dynamic_cast<MainWindow*>(object)) return new FrameAccessible(window);
    if (object->objectName() == QLatin1String("NoticeBar") && object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::StatusBar);
    }
    if (object->objectName() == QLatin1String("Notice") && object->isWidgetType()) {
        return new NoticeAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

}  // namespace

PanelWidget::PanelWidget(QtPanelCanvas& canvas, const OrderTable& orders, Clock& ordersClock,
                         QWidget* parent)
    : QWidget(parent), table(orders), clock(ordersClock), canvas_(canvas) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PanelWidget::paintEvent(QPaintEvent*) {
    // The window may have moved to a screen of another device pixel ratio since the last paint.
    canvas_.setDeviceRatio(devicePixelRatioF());
    QPainter painter(this);
    painter.drawImage(0, 0, canvas_.image());
}

MainWindow::MainWindow(Clock& clock, Voice& voice, SoundPlayer& player, Shell& shell, Files& files,
                       Diagnostics& diagnostics, const std::string& dataDir, int zoom,
                       QWidget* parent)
    : QWidget(parent),
      canvas_(
          kOrdersPanel.width(), kOrdersPanel.height(), [this] { ordersPanel_->update(); },
          windowScale(*this, zoom), devicePixelRatioF()),
      core_(Seams{clock, voice, player, canvas_, shell, files, diagnostics}, dataDir),
      commandEntry_(new QLineEdit(this)),
      ordersPanel_(new PanelWidget(canvas_, core_.table(), clock, this)),
      secondTimer_(new SecondTimer(diagnostics, this)),
      watching_(core_.addWatcher(*this)) {
    static const bool factoryInstalled = (QAccessible::installFactory(windowAccessibles), true);
    (void)factoryInstalled;
    setWindowTitle(QStringLiteral("Tallowick (v%1)").arg(QLatin1String(kVersion)));
    const qreal scale = windowScale(*this, zoom);
    setFixedSize(qCeil(kClientWidth * scale), qCeil(kClientHeight * scale));
    // Sizes round up, as the panel's picture does (see QtPanelCanvas).
    const auto zoomed = [scale](const QRect& r) {
        return QRect(QPoint(qRound(r.x() * scale), qRound(r.y() * scale)),
                     QSize(qCeil(r.width() * scale), qCeil(r.height() * scale)));
    };

    commandEntry_->setObjectName(QStringLiteral("CommandEntry"));
    commandEntry_->setGeometry(zoomed(kCommandEntry));
    if (zoom > 1) {
        QFont font = commandEntry_->font();
        font.setPointSizeF(font.pointSizeF() * zoom);
        commandEntry_->setFont(font);
    }
    commandEntry_->setAccessibleName(QStringLiteral("Command"));
    commandEntry_->setAccessibleDescription(QLatin1String(kEntryDescription));
    commandEntry_->installEventFilter(this);

    // The panel repaints every second; screen readers read it as a list of the orders, whose
    // texts are worked out when they ask, so they are not told of every repaint.
    ordersPanel_->setObjectName(QStringLiteral("OrdersPanel"));
    ordersPanel_->setGeometry(zoomed(kOrdersPanel));
    ordersPanel_->setAccessibleName(QStringLiteral("Orders"));
    ordersPanel_->setAccessibleDescription(QStringLiteral("The standing orders, with their times"));
    ordersPanel_->setFocusPolicy(Qt::StrongFocus);
    ordersPanel_->installEventFilter(this);

    setFocusProxy(commandEntry_);
    commandEntry_->setFocus();

    secondTimer_->setObjectName(QStringLiteral("SecondTimer"));
    connect(secondTimer_, &SecondTimer::timeout, this, &MainWindow::onSecond);
}

void MainWindow::start() {
    core_.load();
    secondTimer_->start();
}

void MainWindow::tickNow() {
    secondTimer_->hurry();
}

void MainWindow::tickIfDue() {
    secondTimer_->catchUp();
}

bool MainWindow::onCommandKey(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    const QByteArray typed = commandEntry_->text().toUtf8();
    if (core_.line(std::string_view(typed.constData(), static_cast<size_t>(typed.size()))) ==
        Core::LineResult::exit) {
        emit exitRequested();
        return true;
    }
    commandEntry_->clear();
    return true;
}

void MainWindow::onSecond() {
    core_.tick();
}

QString MainWindow::typeForTesting(const QString& line, int key, Qt::KeyboardModifiers modifiers) {
    commandEntry_->setText(line);
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(commandEntry_, &press);
    return commandEntry_->text();
}

QLabel* MainWindow::addNotice() {
    if (notice_ == nullptr) {
        // Orca speaks the notification's labels and brailles their text; in a status bar it
        // says no role name before them.
        auto* bar = new QWidget(this);
        bar->setObjectName(QStringLiteral("NoticeBar"));
        bar->setGeometry(0, 0, 0, 0);
        bar->show();
        auto* notice = new QWidget(bar);
        notice->setObjectName(QStringLiteral("Notice"));
        notice->setGeometry(0, 0, 0, 0);
        notice_ = new QLabel(notice);
        notice_->setObjectName(QStringLiteral("NoticeText"));
        notice->show();
    }
    return notice_;
}

void MainWindow::ordersChanged(const OrderTable& previous, const OrderTable& table) {
    if (ordersPanel_->hasFocus()) {
        // The focus follows its order when others go, and moves to a neighbour when it goes.
        int& current = ordersPanel_->currentOrder;
        int found = 0;
        for (int i = 1; previous.orderCount() > 0 && i <= table.orderCount(); ++i) {
            const bool nearer = found == 0 || std::abs(i - current) < std::abs(found - current);
            if (nearer && table.at(i) == previous.at(std::min(current, previous.orderCount()))) {
                found = i;
            }
        }
        if (table.orderCount() == 0) {
            current = 1;
            commandEntry_->setFocus();
        } else if (found != current) {
            current = found != 0 ? found : std::min(current, table.orderCount());
            QTimer::singleShot(0, this, [this] { focusCurrentOrder(); });
        }
    }
    // Without an assistive technology nothing asks, and nothing is built to tell.
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(ordersPanel_);
    if (auto* orders = dynamic_cast<OrderListAccessible*>(list)) orders->ordersChanged(previous);
}

void MainWindow::focusCurrentOrder() {
    if (!ordersPanel_->hasFocus() || !QAccessible::isActive()) return;
    if (core_.table().orderCount() == 0) return;
    QAccessibleEvent focus(ordersPanel_, QAccessible::Focus);
    focus.setChild(ordersPanel_->currentOrder - 1);
    QAccessible::updateAccessibility(&focus);
}

bool MainWindow::onOrdersKey(int key) {
    int& current = ordersPanel_->currentOrder;
    const int count = core_.table().orderCount();
    switch (key) {
        case Qt::Key_Escape:
            commandEntry_->setFocus(Qt::OtherFocusReason);
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End: {
            const int next =
                key == Qt::Key_Home ? 1
                : key == Qt::Key_End
                    ? count
                    : std::clamp(current + (key == Qt::Key_Up ? -1 : 1), 1, std::max(count, 1));
            if (count > 0 && next != current) {
                current = next;
                focusCurrentOrder();
            }
            return true;
        }
        default:
            return false;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == commandEntry_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (onCommandKey(key)) return true;
        if (keyTyped) keyTyped();
        return false;
    }
    if (watched == ordersPanel_ && event->type() == QEvent::KeyPress) {
        if (keyTyped) keyTyped();
        return onOrdersKey(static_cast<QKeyEvent*>(event)->key());
    }
    if (watched == ordersPanel_ && event->type() == QEvent::FocusIn) {
        ordersPanel_->currentOrder =
            std::clamp(ordersPanel_->currentOrder, 1, std::max(core_.table().orderCount(), 1));
        // After Qt has told the panel itself focused.
        QTimer::singleShot(0, this, [this] { focusCurrentOrder(); });
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tallowick
