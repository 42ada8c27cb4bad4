// TForm_MAIN: the main window. Its controls mirror the form model (through
// the Qt port); the user's actions write the model first and then run the
// engine's handlers (app/main_form.h) on the window thread.
#pragma once

#include <QWidget>

class QApplication;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QPlainTextEdit;
class QPushButton;

namespace zjig {

struct Program;
class QtUiPort;
class GaugeWidget;
class RadioGroupBox;

// Application-wide set-up of the windows: style, font substitutes, the
// application's title.
void PrepareApplication(QApplication& app);

class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow(Program& p, QtUiPort& port, QWidget* parent = nullptr);

    QPlainTextEdit* Log() const { return log_; }
    GaugeWidget* Gauge() const { return gauge_; }

signals:
    // The user closed the window while no job ran: the program ends.
    void closeAccepted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Build();
    QPushButton* Button(const char* name, const QRect& geometry, const QFont& font,
                        const QColor& textColor, void (*handler)(Program&));
    QComboBox* Combo(const char* name, QWidget* parent, const QRect& geometry, bool editable,
                     int visibleItems);
    // Runs a handler under the port's guard.
    void Run(const std::function<void()>& f);

    Program& p_;
    QtUiPort& port_;
    QPlainTextEdit* log_ = nullptr;
    GaugeWidget* gauge_ = nullptr;
    bool centred_ = false;
};

}  // namespace zjig
