#include "window/main_window.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

#include "config/build_config.h"
#include "window/window_accessible.h"

namespace tallowick {
namespace {

// The window's layout in pixels of its client area.
constexpr int kClientWidth = 176, kClientHeight = 279;
constexpr QRect kCommandEntry(8, 8, 161, 19);
constexpr QRect kOrdersPanel(8, 32, kPanelWidth, 241);

QAccessibleInterface* windowAccessibles(const QString&, QObject* object) {
    if (auto* panel = dynamic_cast<PanelWidget*>(object)) {
        return new OrderListAccessible(panel, panel->table, panel->clock);
    }
    if (auto* window = dynamic_cast<MainWindow*>(object)) return new FrameAccessible(window);
    if (object->objectName() == QLatin1String("Notice") && object->isWidgetType()) {
        return new NoticeAccessible(static_cast<QWidget*>(object));
    }
    return nullptr;
}

}  // namespace

PanelWidget::PanelWidget(const QtPanelCanvas& canvas, const OrderTable& orders, Clock& ordersClock,
                         QWidget* parent)
    : QWidget(parent), table(orders), clock(ordersClock), canvas_(canvas) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PanelWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, canvas_.image());
}

MainWindow::MainWindow(Clock& clock, Voice& voice, SoundPlayer& player, Shell& shell, Files& files,
                       Diagnostics& diagnostics, const std::string& dataDir, QWidget* parent)
    : QWidget(parent),
      canvas_(kOrdersPanel.width(), kOrdersPanel.height(), [this] { ordersPanel_->update(); }),
      core_(Seams{clock, voice, player, canvas_, shell, files, diagnostics}, dataDir),
      commandEntry_(new QLineEdit(this)),
      ordersPanel_(new PanelWidget(canvas_, core_.table(), clock, this)),
      secondTimer_(new SecondTimer(diagnostics, this)),
      watching_(core_.addWatcher(*this)) {
    static const bool factoryInstalled = (QAccessible::installFactory(windowAccessibles), true);
    (void)factoryInstalled;
    setWindowTitle(QStringLiteral("Tallowick (v%1)").arg(QLatin1String(kVersion)));
    setFixedSize(kClientWidth, kClientHeight);

    commandEntry_->setObjectName(QStringLiteral("CommandEntry"));
    commandEntry_->setGeometry(kCommandEntry);
    commandEntry_->setAccessibleName(QStringLiteral("Command"));
    commandEntry_->setAccessibleDescription(QStringLiteral(
        "Type a command and press Enter. Type help to hear the commands, orders to hear the "
        "orders."));
    commandEntry_->installEventFilter(this);

    // The panel repaints every second; screen readers read it as a list of the orders, whose
    // texts are worked out when they ask, so they are not told of every repaint.
    ordersPanel_->setObjectName(QStringLiteral("OrdersPanel"));
    ordersPanel_->setGeometry(kOrdersPanel);
    ordersPanel_->setAccessibleName(QStringLiteral("Orders"));
    ordersPanel_->setAccessibleDescription(QStringLiteral("The standing orders, with their times"));

    setFocusProxy(commandEntry_);
    commandEntry_->setFocus();

    secondTimer_->setObjectName(QStringLiteral("SecondTimer"));
    connect(secondTimer_, &SecondTimer::timeout, this, &MainWindow::onSecond);
}

void MainWindow::start() {
    core_.load();
    secondTimer_->start();
}

void MainWindow::tickNow() { secondTimer_->hurry(); }

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
        // Orca speaks the notification and its labels, and brailles the labels' text.
        auto* notice = new QWidget(this);
        notice->setObjectName(QStringLiteral("Notice"));
        notice->setGeometry(0, 0, 0, 0);
        notice_ = new QLabel(notice);
        notice_->setObjectName(QStringLiteral("NoticeText"));
        notice->show();
    }
    return notice_;
}

void MainWindow::ordersChanged(const OrderTable& previous, const OrderTable&) {
    // Without an assistive technology nothing asks, and nothing is built to tell.
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(ordersPanel_);
    if (auto* orders = dynamic_cast<OrderListAccessible*>(list)) orders->ordersChanged(previous);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == commandEntry_ && event->type() == QEvent::KeyPress) {
        return onCommandKey(static_cast<QKeyEvent*>(event)->key());
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tallowick
