// TForm_message: the borderless yellow pop-up that asks the user to press the
// JIG's reset button during a firmware update. The engine shows and hides it
// through the form model; its text blinks red and black every 500 ms.
#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace zjig {

class QtUiPort;

class MessageWindow : public QWidget {
    Q_OBJECT
public:
    // mainWindow: the window the pop-up is centred over.
    MessageWindow(QtUiPort& port, QWidget* mainWindow);
    QLabel* Label() const { return label_; }
    QTimer* Timer() { return &timer_; }
    // Timer1Timer: red becomes black, anything else red.
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* main_;
    QLabel* label_;
    QTimer timer_;
};

}  // namespace zjig
