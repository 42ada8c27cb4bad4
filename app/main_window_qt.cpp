#include "app/main_window_qt.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyleFactory>

#include "app/fonts_qt.h"
#include "app/gauge_qt.h"
#include "app/main_form.h"
#include "app/program.h"
#include "app/qt_ui_port_qt.h"
#include "app/widgets_qt.h"

namespace zjig {

namespace {

constexpr int kHintPauseMs = 20000;

// Colours of an enabled control; a disabled one keeps the greyed look.
void SetTextColor(QWidget* w, const QColor& color) {
    QPalette pal = w->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::ButtonText, color);
        pal.setColor(group, QPalette::WindowText, color);
        pal.setColor(group, QPalette::Text, color);
    }
    w->setPalette(pal);
}

void SetBackground(QWidget* w, const QColor& color) {
    QPalette pal = w->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Base, color);
        pal.setColor(group, QPalette::Button, color);
    }
    w->setPalette(pal);
}

void SetHint(QWidget* w, const char* hint) {
    w->setToolTip(QString::fromUtf8(hint));
    w->setToolTipDuration(kHintPauseMs);
}

}  // namespace

void PrepareApplication(QApplication& app) {
    fonts::InstallFontSubstitutes();
    if (QStyle* style = QStyleFactory::create("Fusion")) app.setStyle(style);
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QApplication::setApplicationDisplayName(QString());
    QPalette pal = app.palette();
    pal.setColor(QPalette::Window, fonts::ButtonFace());
    pal.setColor(QPalette::Button, fonts::ButtonFace());
    app.setPalette(pal);
}

MainWindow::MainWindow(Program& p, QtUiPort& port, QWidget* parent)
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                  Qt::WindowCloseButtonHint),
      p_(p),
      port_(port) {
    setObjectName("TForm_MAIN");
    setWindowTitle(QString::fromLatin1(kAppTitle));
    setFont(fonts::Calibri(16));
    setFixedSize(500, 672);
    setAttribute(Qt::WA_QuitOnClose, false);
    Build();
    port_.Register("TForm_MAIN", this, mirror::kText);
    port_.SetDialogParent(this);
}

void MainWindow::Run(const std::function<void()>& f) { port_.RunHandler(f); }

QPushButton* MainWindow::Button(const char* name, const QRect& geometry, const QFont& font,
                                const QColor& textColor, void (*handler)(Program&)) {
    auto* b = new QPushButton(this);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setFont(font);
    SetTextColor(b, textColor);
    b->setAutoDefault(false);
    if (handler) connect(b, &QPushButton::clicked, this, [this, handler] { Run([&] { handler(p_); }); });
    port_.Register(name, b);
    return b;
}

QComboBox* MainWindow::Combo(const char* name, QWidget* parent, const QRect& geometry,
                             bool editable, int visibleItems) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(editable);
    if (editable) {
        c->setInsertPolicy(QComboBox::NoInsert);
        // Typing writes the edit field's text into the model.
        connect(c->lineEdit(), &QLineEdit::textEdited, this, [this, name](const QString& text) {
            Run([&] { p_.form.SetText(name, text.toStdString()); });
        });
    }
    c->setGeometry(geometry);
    c->setMaxVisibleItems(visibleItems);
    port_.Register(name, c);
    return c;
}

void MainWindow::Build() {
    const QFont calibri16 = fonts::Calibri(16);
    const QFont bold16 = fonts::Calibri(16, true);
    const QFont bold24 = fonts::Calibri(24, true);

    // Mode selector.
    auto* selector = Combo("CBox_Selector", this, QRect(8, 7, 233, 41), false, 10);
    selector->setFont(fonts::Calibri(27));
    SetBackground(selector, QColor(255, 255, 0));
    SetTextColor(selector, Qt::black);
    connect(selector, &QComboBox::activated, this, [this](int index) {
        Run([&] {
            p_.form.SetItemIndex("CBox_Selector", index);
            CBox_SelectorClick(p_);
        });
    });

    Button("BitBtn_Settings", QRect(255, 7, 234, 41), calibri16, Qt::black, &BitBtn_SettingsClick);
    Button("BitBtn_CheckConn", QRect(8, 54, 481, 42), bold16, QColor(0, 0, 255),
           &BitBtn_CheckConnClick);
    Button("BitBtn_READ", QRect(8, 102, 233, 65), bold24, QColor(0, 128, 0), &BitBtn_READClick);
    Button("BitBtn_WRITE", QRect(256, 102, 234, 65), bold24, QColor(255, 0, 0),
           &BitBtn_WRITEClick);

    // The settings view: these lie under the log.
    auto* group1 = new QGroupBox(this);
    group1->setObjectName("GroupBox1");
    group1->setGeometry(8, 195, 481, 142);
    port_.Register("GroupBox1", group1);

    auto* mb = Combo("ComboBox_MB", this, QRect(24, 224, 449, 27), true, 18);
    SetBackground(mb, fonts::MoneyGreen());
    SetHint(mb, "Please select motherboard you used");
    connect(mb, &QComboBox::activated, this, [this](int index) {
        Run([&] {
            p_.form.SetItemIndex("ComboBox_MB", index);
            Fire(p_, "ComboBox_MBClick");
        });
    });

    auto* ffc = Combo("ComboBox_FFC", this, QRect(24, 257, 153, 27), true, 8);
    SetBackground(ffc, fonts::MoneyGreen());
    SetHint(ffc, "Please select FFC cable you used\n(number of contacts on the keyboard connector)");
    connect(ffc, &QComboBox::activated, this, [this](int index) {
        Run([&] {
            p_.form.SetItemIndex("ComboBox_FFC", index);
            Fire(p_, "ComboBox_FFCClick");
        });
    });

    auto* oneToOne = new QCheckBox(this);
    oneToOne->setObjectName("CheckBox_OneToOne");
    oneToOne->setGeometry(24, 290, 409, 36);
    SetTextColor(oneToOne, QColor(255, 0, 0));
    SetHint(oneToOne,
            "SET if  1 contact the programmer is \nconnected to the 1 contact MB\n(forvard or "
            "reverse cable, etc.)");
    connect(oneToOne, &QCheckBox::clicked, this, [this](bool on) {
        Run([&] { p_.form.SetChecked("CheckBox_OneToOne", on); });
    });
    port_.Register("CheckBox_OneToOne", oneToOne);

    auto* radio = new RadioGroupBox(" Select for external board ", 3, this);
    radio->setObjectName("RadioGroup_EXT_BOARD");
    radio->setGeometry(8, 343, 481, 50);
    connect(radio, &RadioGroupBox::itemClicked, this, [this](int index) {
        Run([&] {
            p_.form.SetItemIndex("RadioGroup_EXT_BOARD", index);
            Fire(p_, "RadioGroup_EXT_BOARDClick");
        });
    });
    port_.Register("RadioGroup_EXT_BOARD", radio);

    auto* mec = new QGroupBox(this);
    mec->setObjectName("GroupBoxMEC");
    mec->setGeometry(8, 399, 481, 73);
    port_.Register("GroupBoxMEC", mec);
    auto* chip = Combo("ComboBox_MEC_CHIP", mec, QRect(16, 32, 177, 27), true, 8);
    SetBackground(chip, fonts::MoneyGreen());
    connect(chip, &QComboBox::activated, this, [this](int index) {
        Run([&] {
            p_.form.SetItemIndex("ComboBox_MEC_CHIP", index);
            Fire(p_, "ComboBox_MEC_CHIPClick");
        });
    });
    auto* flash = Combo("ComboBox_MEC_flash_info", mec, QRect(272, 33, 177, 27), true, 3);
    SetBackground(flash, fonts::MoneyGreen());
    connect(flash, &QComboBox::activated, this, [this](int index) {
        Run([&] { p_.form.SetItemIndex("ComboBox_MEC_flash_info", index); });
    });

    Button("BitBtn_clear", QRect(393, 494, 80, 26), calibri16, Qt::black, &BitBtn_clearClick);
    auto* send = Button("BitBtn_SendSettings", QRect(24, 543, 449, 50), bold24, Qt::black, nullptr);
    connect(send, &QPushButton::clicked, this,
            [this] { Run([&] { Fire(p_, "BitBtn_SendSettingsClick"); }); });

    // The log, on top of the settings view.
    log_ = new QPlainTextEdit(this);
    log_->setObjectName("RichEdit");
    log_->setGeometry(8, 173, 481, 435);
    log_->setReadOnly(true);
    log_->setUndoRedoEnabled(false);
    log_->setFont(fonts::CourierNew(15));
    log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    log_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    log_->viewport()->setCursor(Qt::CrossCursor);
    {
        QPalette pal = log_->palette();
        pal.setColor(QPalette::Base, fonts::ButtonFace());
        pal.setColor(QPalette::Text, Qt::black);
        log_->setPalette(pal);
    }
    log_->raise();
    port_.Register("RichEdit", log_);
    port_.SetLogView(log_);

    gauge_ = new GaugeWidget(this);
    gauge_->setObjectName("Gauge1");
    gauge_->setGeometry(8, 614, 481, 19);
    port_.SetGauge(gauge_);

    Button("BitBtn_ytb", QRect(8, 639, 164, 25), bold16, Qt::black, &BitBtn_ytbClick);
    Button("BitBtn_sup1", QRect(178, 639, 153, 25), bold16, Qt::black, &BitBtn_sup1Click);
    Button("BitBtn_sup", QRect(337, 639, 153, 25), bold16, Qt::black, &BitBtn_supClick);
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (centred_) return;
    centred_ = true;
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    bool mayClose = false;
    Run([&] { mayClose = FormCloseQuery(p_); });
    if (!mayClose) {
        // A job owns the link: the window stays open, without a message.
        event->ignore();
        return;
    }
    event->accept();
    emit closeAccepted();
}

}  // namespace zjig
