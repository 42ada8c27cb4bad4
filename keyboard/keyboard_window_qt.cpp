#include "keyboard/keyboard_window_qt.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include "app/fonts_qt.h"
#include "app/program.h"
#include "app/qt_ui_port_qt.h"
#include "app/widgets_qt.h"

namespace zjig {

namespace {
constexpr int kContacts = 32;
const QColor kSkyBlue(166, 202, 240);
const QColor kNavy(0, 0, 128);
constexpr const char* kColumnGuide =
    "2                   6                        11                      16                      21                      26                      31";

void SetTextColor(QWidget* w, const QColor& c) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    w->setPalette(pal);
}
}  // namespace

int KeyboardShapeNumber(int i, int j) { return (i - 1) * 32 + j; }

QRect KeyboardSquareGeometry(int i, int j) {
    const int top = 38 + 15 * (i - 1) + 3 * ((i - 1) / 5);
    const int left = 11 + 15 * (j - 2) + 5 * ((j - 1) / 5);
    return QRect(left, top, 12, 12);
}

void ColumnGuideLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm(font());
    for (const QString& token : text().split(' ', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int j = token.toInt(&ok);
        if (!ok || j < 2 || j > kContacts) continue;
        // Centre over the square column of contact j, in this label's coordinates.
        const QRect square = KeyboardSquareGeometry(1, j);
        const int centre = square.center().x() + 1 - x();
        const int w = fm.horizontalAdvance(token);
        painter.drawText(QRect(centre - w / 2 - 1, 0, w + 2, height()), Qt::AlignCenter, token);
    }
}

KeyboardWindow::KeyboardWindow(Program& p, QtUiPort& port, QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint),
      p_(p),
      port_(port),
      main_(mainWindow) {
    setObjectName("TForm_KEYB");
    setWindowTitle("Keyboard test ");
    setFixedSize(534, 531);
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(fonts::Tahoma(11));

    for (int i = 1; i < kContacts; ++i) {
        for (int j = i + 1; j <= kContacts; ++j) {
            auto* shape = new ShapeWidget(this);
            const std::string name = "Shape" + std::to_string(KeyboardShapeNumber(i, j));
            shape->setObjectName(QString::fromStdString(name));
            shape->setGeometry(KeyboardSquareGeometry(i, j));
            shape->setCursor(Qt::PointingHandCursor);
            shape->SetFill(kSkyBlue);
            port_.Register(name, shape, mirror::kColor);
        }
    }

    // The caption as designed (its spacing aligned the numbers in the original font).
    auto* columns = new ColumnGuideLabel(QString::fromLatin1(kColumnGuide), this);
    columns->setObjectName("Label_keybord");
    columns->setFont(fonts::Tahoma(11, true));
    SetTextColor(columns, QColor(255, 0, 0));
    columns->setGeometry(12, 14, 534 - 12, 18);

    struct Guide {
        const char* name;
        const char* caption;
        int left, top;
    };
    for (const Guide& g : {Guide{"Label1", "1", 510, 35}, Guide{"Label2", "6", 510, 114},
                           Guide{"Label3", "11", 509, 192}, Guide{"Label4", "16", 509, 270},
                           Guide{"Label5", "21", 509, 348}, Guide{"Label7", "26", 509, 426},
                           Guide{"Label6", "31", 509, 505}}) {
        auto* label = new QLabel(g.caption, this);
        label->setObjectName(g.name);
        label->setFont(fonts::Tahoma(11, true));
        SetTextColor(label, kNavy);
        label->setGeometry(g.left, g.top, 534 - g.left, 16);
    }

    // Check boxes: the user's tick goes into the model; the job reads it there.
    auto box = [&](const char* name, const char* caption, int top) {
        auto* c = new QCheckBox(caption, this);
        c->setObjectName(name);
        c->setGeometry(21, top, 175, 24);
        connect(c, &QCheckBox::clicked, this, [this, name](bool on) {
            port_.RunHandler([&] { p_.form.SetChecked(name, on); });
        });
        port_.Register(name, c, mirror::kEnabled | mirror::kVisible | mirror::kChecked);
    };
    box("Buzzer_box", "Buzzer off", 295);
    box("CheckBox_hide", "Hide current", 346);

    // ClearClick and BitBtn_EXITClick only tick the hidden flags the job polls.
    auto button = [&](const char* name, const char* caption, int top, const char* flag) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setGeometry(21, top, 175, 55);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, flag] {
            port_.RunHandler([&] { p_.form.SetChecked(flag, true); });
        });
        port_.Register(name, b, mirror::kEnabled | mirror::kVisible);
    };
    button("Clear", "Clear", 397, "CheckBox_clear");
    button("BitBtn_EXIT", "Exit", 458, "CheckBox_exit");

    port_.Register("TForm_KEYB", this, mirror::kVisible | mirror::kText);
}

void KeyboardWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) return;
    QRect area;
    if (main_ && main_->isVisible())
        area = main_->frameGeometry();
    else if (QScreen* s = screen())
        area = s->availableGeometry();
    if (area.isValid()) {
        QRect r = frameGeometry();
        r.moveCenter(area.center());
        move(r.topLeft());
    }
}

void KeyboardWindow::closeEvent(QCloseEvent* event) {
    // No close button: "Exit" ends the test, and the test closes the window.
    event->ignore();
}

}  // namespace zjig
