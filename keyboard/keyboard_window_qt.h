// TForm_KEYB: the keyboard test window. The 496 squares of the contact pairs
// ("Shape2" .. "Shape992") take their colours from the form model, which the
// keyboard job paints; the buttons and check boxes only set model flags that
// the job polls.
#pragma once

#include <QLabel>
#include <QWidget>

namespace zjig {

struct Program;
class QtUiPort;

// Square of the pair (i, j), 1 <= i < j <= 32: the control "Shape" + n with
// n = (i - 1) * 32 + j, at these client coordinates.
QRect KeyboardSquareGeometry(int i, int j);
int KeyboardShapeNumber(int i, int j);

// The column guide: each number of its text stands centred over the column
// of the contact it names.
class ColumnGuideLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class KeyboardWindow : public QWidget {
    Q_OBJECT
public:
    // mainWindow: the window this one opens centred over.
    KeyboardWindow(Program& p, QtUiPort& port, QWidget* mainWindow);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Program& p_;
    QtUiPort& port_;
    QWidget* main_;
};

}  // namespace zjig
