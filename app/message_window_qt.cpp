#include "app/message_window_qt.h"

#include <QCloseEvent>
#include <QFontMetrics>

#include "app/fonts_qt.h"
#include "app/qt_ui_port_qt.h"

namespace zjig {

namespace {
void SetLabelColor(QLabel* label, const QColor& color) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
}
}  // namespace

MessageWindow::MessageWindow(QtUiPort& port, QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      main_(mainWindow) {
    setObjectName("TForm_message");
    setFixedSize(445, 82);
    setAttribute(Qt::WA_QuitOnClose, false);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(255, 255, 0));
    setPalette(pal);

    label_ = new QLabel("Please push reset button!", this);
    label_->setObjectName("Label1");
    label_->setGeometry(24, 16, 396, 42);
    // Tahoma 35 px; a wider stand-in font is made smaller until the text fits.
    QFont font = fonts::Tahoma(35);
    while (font.pixelSize() > 12 &&
           QFontMetrics(font).horizontalAdvance(label_->text()) > label_->width())
        font.setPixelSize(font.pixelSize() - 1);
    label_->setFont(font);
    SetLabelColor(label_, QColor(255, 0, 0));

    // Timer1 runs while the window exists, shown or not.
    timer_.setObjectName("Timer1");
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, &MessageWindow::Timer1Timer);
    timer_.start();

    port.Register("TForm_message", this, mirror::kVisible);
}

void MessageWindow::Timer1Timer() {
    const QColor now = label_->palette().color(QPalette::WindowText);
    SetLabelColor(label_, now == QColor(255, 0, 0) ? QColor(0, 0, 0) : QColor(255, 0, 0));
}

void MessageWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (main_) {
        QRect r = geometry();
        r.moveCenter(main_->frameGeometry().center());
        move(r.topLeft());
    }
}

void MessageWindow::closeEvent(QCloseEvent* event) {
    // The update job shows and closes the pop-up; the user cannot.
    event->ignore();
}

}  // namespace zjig
