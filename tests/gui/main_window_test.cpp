// The main window: its controls after start, the control states, the mode
// selection, READ and WRITE without a JIG, the small handlers, closing while
// a job runs, exceptions in handlers and the file dialogs.
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <QFile>

#include <atomic>
#include <future>
#include <memory>
#include <map>
#include <thread>

#include "app/gauge_qt.h"
#include "app/widgets_qt.h"
#include "tests/gui/gui_fixture.h"

using namespace zjig;
using namespace zjig::test;

namespace {

// Answers the next modal dialog of type T with f, recording that it came.
template <class T>
class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(T*)> f) : f_(std::move(f)) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
                ++seen;
                timer_.stop();
                f_(w);
            }
        });
        timer_.start();
    }
    int seen = 0;

private:
    std::function<void(T*)> f_;
    QTimer timer_;
};

// Types a path into a file dialog's name field, as the user does.
void TypeFileName(QFileDialog* d, const QString& path) {
    d->selectFile(path);
    if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit")) edit->setText(path);
}

const char* const kStateControls[] = {
    "BitBtn_Settings",     "BitBtn_READ",          "BitBtn_WRITE",       "ComboBox_MB",
    "ComboBox_FFC",        "BitBtn_SendSettings",  "CheckBox_OneToOne",  "BitBtn_CheckConn",
    "RadioGroup_EXT_BOARD", "ComboBox_MEC_CHIP",   "ComboBox_MEC_flash_info"};

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { PrepareApplication(*qApp); }

    void controlsAfterStart_data();
    void controlsAfterStart();
    void windowAfterStart();
    void logLiesOverTheSettingsView();
    void uiStates_data();
    void uiStates();
    void modeSelectionLogsPurpleBanner();
    void externalBoardMode();
    void readWriteWithoutJig_data();
    void readWriteWithoutJig();
    void viewSettingsAndClearLog();
    void webLinks();
    void listChoicesGoToTheModelAndFireHandlers();
    void closeRefusedWhileJobRuns();
    void exceptionInHandlerShownAndProgramGoesOn();
    void fileDialogs();
    void nameFilters_data();
    void nameFilters();
};

void MainWindowTest::controlsAfterStart_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");

    auto row = [](const char* name, QRect g, const char* caption, bool enabled) {
        QTest::newRow(name) << QString(name) << g << QString::fromUtf8(caption) << enabled;
    };
    row("CBox_Selector", {8, 7, 233, 41}, "    Select mode", true);
    row("BitBtn_Settings", {255, 7, 234, 41}, "View Settings/Log", false);
    row("BitBtn_CheckConn", {8, 54, 481, 42}, "Check connection", true);
    row("BitBtn_READ", {8, 102, 233, 65}, "READ", false);
    row("BitBtn_WRITE", {256, 102, 234, 65}, "WRITE", false);
    row("RichEdit", {8, 173, 481, 435}, "", true);
    row("GroupBox1", {8, 195, 481, 142}, " Settings  for MB via FFC cable ", true);
    row("ComboBox_MB", {24, 224, 449, 27}, "Select MB", false);
    row("ComboBox_FFC", {24, 257, 153, 27}, "FFC pins", false);
    row("CheckBox_OneToOne", {24, 290, 409, 36}, "   << 1 pin JIG connected to 1 pin kb_conn MB",
        false);
    row("RadioGroup_EXT_BOARD", {8, 343, 481, 50}, " Select for external board ", false);
    row("GroupBoxMEC", {8, 399, 481, 73}, " Settings for MEC chip", true);
    row("ComboBox_MEC_CHIP", {16, 32, 177, 27}, "", false);
    row("ComboBox_MEC_flash_info", {272, 33, 177, 27}, "", false);
    row("BitBtn_clear", {393, 494, 80, 26}, "Clear log", true);
    row("BitBtn_SendSettings", {24, 543, 449, 50}, "Send settings to the programmer", false);
    row("Gauge1", {8, 614, 481, 19}, "0%", true);
    for (const auto& link : WebLinks()) {
        const std::map<std::string, QRect> at = {{"BitBtn_ytb", {8, 639, 164, 25}},
                                                 {"BitBtn_sup1", {178, 639, 153, 25}},
                                                 {"BitBtn_sup", {337, 639, 153, 25}}};
        row(link.control, at.at(link.control), link.caption, true);
    }
}

void MainWindowTest::controlsAfterStart() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    GuiProgram g;
    QWidget* w = g.Find(name.toLatin1().constData());
    QVERIFY2(w, qPrintable("no control " + name));
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(w->isEnabled(), enabled);
    QVERIFY(w->isVisible());

    QString shown;
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        shown = b->text();
    else if (auto* c = qobject_cast<QComboBox*>(w))
        shown = c->currentText();
    else if (auto* gb = qobject_cast<QGroupBox*>(w))
        shown = gb->title();
    else if (auto* gauge = qobject_cast<GaugeWidget*>(w))
        shown = gauge->PercentText();
    QCOMPARE(shown, caption);
}

void MainWindowTest::windowAfterStart() {
    GuiProgram g;
    QWidget* main = g.main.get();
    QCOMPARE(main->size(), QSize(500, 672));
    QCOMPARE(main->minimumSize(), main->maximumSize());
    QVERIFY(QRegularExpression(R"(^\d+\.\d+\.\d+\.\d+$)")
                .match(QString::fromStdString(g.p().programVersion))
                .hasMatch());
    QCOMPARE(main->windowTitle(), "Zoltrav JIG ver. " + QString::fromStdString(g.p().programVersion) +
                                      "    (only for pcb ver. 3.X)");
    QVERIFY(!(main->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(main->windowFlags() & Qt::WindowMinimizeButtonHint);

    // Only the main window is shown at start.
    QVERIFY(!g.message->isVisible());
    QVERIFY(!g.ene->isVisible());
    QVERIFY(!g.keyboard->isVisible());
    QVERIFY(!g.mec->isVisible());

    // Lists and check box as they start.
    auto* selector = g.Find<QComboBox>("CBox_Selector");
    QCOMPARE(selector->count(), 9);
    for (int i = 0; i < selector->count(); ++i)
        QCOMPARE(selector->itemText(i), QString::fromStdString(kModeItems[static_cast<size_t>(i)]));
    QVERIFY(!selector->isEditable());
    QCOMPARE(selector->maxVisibleItems(), 10);
    QCOMPARE(selector->font().pixelSize(), 27);
    QCOMPARE(selector->palette().color(QPalette::Active, QPalette::Button), QColor(255, 255, 0));
    auto* ffc = g.Find<QComboBox>("ComboBox_FFC");
    QCOMPARE(ffc->count(), static_cast<int>(kCableItems.size()));
    QCOMPARE(ffc->currentIndex(), 0);
    QVERIFY(ffc->isEditable());
    QCOMPARE(ffc->palette().color(QPalette::Active, QPalette::Base), QColor(192, 220, 192));
    QCOMPARE(g.Find<QComboBox>("ComboBox_MB")->maxVisibleItems(), 18);
    QCOMPARE(g.Find<QComboBox>("ComboBox_MEC_flash_info")->maxVisibleItems(), 3);
    QVERIFY(g.Find<QCheckBox>("CheckBox_OneToOne")->isChecked());
    auto* radio = g.Find<RadioGroupBox>("RadioGroup_EXT_BOARD");
    QCOMPARE(radio->Items(), QStringList({"ENE", "ITE", "Nuvoton"}));
    QCOMPARE(radio->ItemIndex(), -1);
    QCOMPARE(g.Find("ComboBox_MEC_CHIP")->parentWidget()->objectName(), QString("GroupBoxMEC"));

    // Fonts and colours of the main buttons and the log.
    auto* read = g.Find<QPushButton>("BitBtn_READ");
    QVERIFY(read->font().bold());
    QCOMPARE(read->font().pixelSize(), 24);
    QCOMPARE(read->palette().color(QPalette::Active, QPalette::ButtonText), QColor(0, 128, 0));
    QCOMPARE(g.Find<QPushButton>("BitBtn_WRITE")->palette().color(QPalette::Active, QPalette::ButtonText),
             QColor(255, 0, 0));
    QCOMPARE(g.Find<QPushButton>("BitBtn_CheckConn")->palette().color(QPalette::Active, QPalette::ButtonText),
             QColor(0, 0, 255));
    QCOMPARE(main->font().family(), QString("Calibri"));
    QCOMPARE(main->font().pixelSize(), 16);
    QCOMPARE(g.Log()->font().family(), QString("Courier New"));
    QCOMPARE(g.Log()->font().pixelSize(), 15);
    QVERIFY(g.Log()->isReadOnly());
    QCOMPARE(g.Log()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(g.Log()->viewport()->cursor().shape(), Qt::CrossCursor);

    // Hints.
    QCOMPARE(g.Find("CheckBox_OneToOne")->toolTip(),
             QString("SET if  1 contact the programmer is \nconnected to the 1 contact MB\n(forvard or "
                     "reverse cable, etc.)"));
    QCOMPARE(g.Find("ComboBox_MB")->toolTip(), QString("Please select motherboard you used"));
    QCOMPARE(g.Find("ComboBox_FFC")->toolTip(),
             QString("Please select FFC cable you used\n(number of contacts on the keyboard connector)"));
    QCOMPARE(g.Find("ComboBox_MB")->toolTipDuration(), 20000);
}

void MainWindowTest::logLiesOverTheSettingsView() {
    GuiProgram g;
    const QPoint inGroup(100, 230);  // inside GroupBox1 and the log
    auto ownerAt = [&](QPoint p) {
        QWidget* w = g.main->childAt(p);
        while (w && w->parentWidget() != g.main.get()) w = w->parentWidget();
        return w ? w->objectName() : QString();
    };
    QCOMPARE(ownerAt(inGroup), QString("RichEdit"));
    g.p().form.SetVisible("RichEdit", false);
    g.Settle();
    QCOMPARE(ownerAt(inGroup), QString("ComboBox_MB"));
    QCOMPARE(ownerAt(QPoint(420, 505)), QString("BitBtn_clear"));
}

void MainWindowTest::uiStates_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("expected");  // per control of kStateControls: 1 on, 0 off, - unchanged
    QTest::addColumn<QString>("log");       // "hidden" or "-"
    QTest::newRow("ALL OFF") << "ALL OFF" << "00000001000" << "-";
    QTest::newRow("ENE_ITE_ON") << "ENE_ITE_ON" << "1001101----" << "hidden";
    QTest::newRow("NUVOTON_JTAG") << "NUVOTON_JTAG" << "1001011----" << "hidden";
    QTest::newRow("RD_WR_ON") << "RD_WR_ON" << "-11--------" << "-";
    QTest::newRow("RD_WR_OFF") << "RD_WR_OFF" << "-00--------" << "-";
    QTest::newRow("NUVOTON_SPI_ON") << "NUVOTON_SPI_ON" << "0110000----" << "-";
    QTest::newRow("unknown name") << "SOMETHING" << "-----------" << "-";
}

void MainWindowTest::uiStates() {
    QFETCH(QString, state);
    QFETCH(QString, expected);
    QFETCH(QString, log);
    GuiProgram g;
    auto& form = g.p().form;
    form.SetItems("ComboBox_MB", {"Select MB", "board A", "board B"});
    // Both starting points, so that "unchanged" is seen either way.
    for (bool start : {true, false}) {
        for (const char* c : kStateControls) form.SetEnabled(c, start);
        form.SetVisible("RichEdit", true);
        form.SetItemIndex("ComboBox_MB", 2);
        form.SetItemIndex("ComboBox_FFC", 3);
        g.Settle();
        ApplyUiState(g.p(), state.toStdString());
        g.Settle();
        for (int i = 0; i < expected.size(); ++i) {
            const QChar e = expected[i];
            const bool want = e == '-' ? start : e == '1';
            QWidget* w = g.Find(kStateControls[i]);
            QVERIFY2(w->isEnabled() == want,
                     qPrintable(QString("%1 in %2 from %3").arg(kStateControls[i], state).arg(start)));
        }
        QCOMPARE(g.Log()->isHidden(), log == "hidden");
        const bool firstItems = state == "NUVOTON_JTAG";
        QCOMPARE(g.Find<QComboBox>("ComboBox_MB")->currentIndex(), firstItems ? 0 : 2);
        QCOMPARE(g.Find<QComboBox>("ComboBox_MB")->currentText(), firstItems ? "Select MB" : "board B");
        QCOMPARE(g.Find<QComboBox>("ComboBox_FFC")->currentIndex(), firstItems ? 0 : 3);
    }
}

void MainWindowTest::modeSelectionLogsPurpleBanner() {
    GuiProgram g;
    g.p().gauge.SetProgress(40);
    g.Settle();
    auto* selector = g.Find<QComboBox>("CBox_Selector");
    GuiProgram::UserPicks(selector, 1);  // "EDID (LCD)"
    g.Settle();

    QCOMPARE(g.p().form.ItemIndex("CBox_Selector"), 1);
    const std::string version = g.p().programVersion;
    const auto expected = GuiProgram::ExpectedRuns({
        {"================================\n", colors::Purple},
        {"Soft version  --> " + version + "\n", colors::Purple},
        {"Mode selected --> EDID (LCD)\n", colors::Purple},
    });
    const auto runs = g.LogRuns();
    QVERIFY2(runs == expected, qPrintable(Describe(runs)));
    QCOMPARE(g.LogText(), QString::fromStdString("================================\nSoft version  --> " +
                                                 version + "\nMode selected --> EDID (LCD)\n"));
    // EDID: the log stays in view and READ and WRITE open.
    QVERIFY(!g.Log()->isHidden());
    QVERIFY(g.Find("BitBtn_READ")->isEnabled());
    QVERIFY(g.Find("BitBtn_WRITE")->isEnabled());
    QCOMPARE(g.main->Gauge()->PercentText(), QString("0%"));

    // Choosing again appends a second banner.
    GuiProgram::UserPicks(selector, 3);  // "Nuvoton SPI"
    g.Settle();
    QVERIFY(g.LogText().endsWith("Mode selected --> Nuvoton SPI\n"));
    QCOMPARE(g.LogText().count("================================\n"), 2);
    QVERIFY(!g.Find("BitBtn_Settings")->isEnabled());
    QVERIFY(g.Find("BitBtn_READ")->isEnabled());
}

void MainWindowTest::externalBoardMode() {
    GuiProgram g;
    GuiProgram::UserPicks(g.Find<QComboBox>("CBox_Selector"), 8);  // "External board"
    g.Settle();
    QVERIFY(!g.Find("BitBtn_CheckConn")->isEnabled());
    QVERIFY(g.Find("RadioGroup_EXT_BOARD")->isEnabled());
    QVERIFY(g.Log()->isHidden());
    QVERIFY(g.Find("GroupBox1")->isVisible());
}

void MainWindowTest::readWriteWithoutJig_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("READ") << "BitBtn_READ";
    QTest::newRow("WRITE") << "BitBtn_WRITE";
}

void MainWindowTest::readWriteWithoutJig() {
    QFETCH(QString, button);
    GuiProgram g(/*withJig=*/false);
    GuiProgram::UserPicks(g.Find<QComboBox>("CBox_Selector"), 1);  // EDID opens READ and WRITE
    g.Settle();
    g.p().SettingsSent = true;
    QVERIFY(g.Find(qPrintable(button))->isEnabled());
    g.Log()->clear();

    QTest::mouseClick(g.Find(qPrintable(button)), Qt::LeftButton);
    g.Settle();

    const auto runs = g.LogRuns();
    QVERIFY2(runs == GuiProgram::ExpectedRuns({{"Error communication to JIG (READ)\n", colors::Red}}),
             qPrintable(Describe(runs)));
    QCOMPARE(g.LogText(), QString("Error communication to JIG (READ)\n"));
    // Back to the start state.
    QCOMPARE(g.Find<QComboBox>("CBox_Selector")->currentText(), QString("    Select mode"));
    QVERIFY(!g.p().SettingsSent);
    QVERIFY(!g.Find("BitBtn_READ")->isEnabled());
    QVERIFY(!g.Find("BitBtn_WRITE")->isEnabled());
    QVERIFY(!g.Find("BitBtn_Settings")->isEnabled());
    QVERIFY(g.Find("BitBtn_CheckConn")->isEnabled());
    QVERIFY(g.Find("CBox_Selector")->isEnabled());
    QVERIFY(!g.ene->isVisible());
    QVERIFY(g.p().CurrentJob.Is("NONE"));
}

void MainWindowTest::viewSettingsAndClearLog() {
    GuiProgram g;
    g.p().form.SetEnabled("BitBtn_Settings", true);
    AppendLog(g.p(), "some line\n", colors::Blue);
    g.Settle();
    QCOMPARE(g.LogText(), QString("some line\n"));

    QTest::mouseClick(g.Find("BitBtn_Settings"), Qt::LeftButton);
    g.Settle();
    QVERIFY(g.Log()->isHidden());
    QVERIFY(!g.p().form.Visible("RichEdit"));
    QTest::mouseClick(g.Find("BitBtn_Settings"), Qt::LeftButton);
    g.Settle();
    QVERIFY(!g.Log()->isHidden());
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(g.Log()));

    // "Clear log" sits in the settings view.
    QTest::mouseClick(g.Find("BitBtn_Settings"), Qt::LeftButton);
    g.Settle();
    QTest::mouseClick(g.Find("BitBtn_clear"), Qt::LeftButton);
    g.Settle();
    QCOMPARE(g.LogText(), QString());
    AppendLog(g.p(), "after\n", colors::Black);
    g.Settle();
    QCOMPARE(g.LogText(), QString("after\n"));
}

void MainWindowTest::webLinks() {
    GuiProgram g;
    for (const auto& link : WebLinks()) {
        g.urls.clear();
        QTest::mouseClick(g.Find(link.control), Qt::LeftButton);
        g.Settle();
        QCOMPARE(g.urls.size(), size_t{1});
        QCOMPARE(g.urls[0], QString::fromLatin1(link.url));
        QVERIFY(g.urls[0].startsWith("https://"));
    }
}

void MainWindowTest::listChoicesGoToTheModelAndFireHandlers() {
    GuiProgram g;
    std::map<std::string, int> fired;
    std::map<std::string, std::string> seenText;
    for (const char* h : {"ComboBox_MBClick", "ComboBox_FFCClick", "RadioGroup_EXT_BOARDClick",
                          "BitBtn_SendSettingsClick", "ComboBox_MEC_CHIPClick"}) {
        g.p().handlers[h] = [&, h](Program& p) {
            ++fired[h];
            seenText[h] = p.form.Text(std::string(h).substr(0, std::string(h).size() - 5));
        };
    }
    auto& form = g.p().form;
    form.SetItems("ComboBox_MB", {"Select MB", "LA-8681P (JKB1) KSO3=18 KSI4=5 KSI7=2 KSI6=3 KSI5=6"});
    form.SetItems("ComboBox_MEC_CHIP", {"Select chip", "MEC1609"});
    for (const char* c : {"ComboBox_MB", "ComboBox_FFC", "RadioGroup_EXT_BOARD", "BitBtn_SendSettings",
                          "ComboBox_MEC_CHIP", "ComboBox_MEC_flash_info", "CheckBox_OneToOne"})
        form.SetEnabled(c, true);
    form.SetVisible("RichEdit", false);
    g.Settle();

    GuiProgram::UserPicks(g.Find<QComboBox>("ComboBox_MB"), 1);
    QCOMPARE(fired["ComboBox_MBClick"], 1);
    QCOMPARE(form.ItemIndex("ComboBox_MB"), 1);
    // The handler saw the model already written.
    QCOMPARE(seenText["ComboBox_MBClick"], std::string("LA-8681P (JKB1) KSO3=18 KSI4=5 KSI7=2 KSI6=3 KSI5=6"));

    GuiProgram::UserPicks(g.Find<QComboBox>("ComboBox_FFC"), 1);
    QCOMPARE(fired["ComboBox_FFCClick"], 1);
    QCOMPARE(form.Text("ComboBox_FFC"), std::string("Use soldering wires"));

    // Typing in an edit field writes its text, without a click.
    auto* mbEdit = g.Find<QComboBox>("ComboBox_MB")->lineEdit();
    mbEdit->clear();
    QTest::keyClicks(mbEdit, "X1 KSO3=5");
    QCOMPARE(form.Text("ComboBox_MB"), std::string("X1 KSO3=5"));
    QCOMPARE(fired["ComboBox_MBClick"], 1);
    g.Settle();
    QCOMPARE(mbEdit->text(), QString("X1 KSO3=5"));

    auto* radio = g.Find<RadioGroupBox>("RadioGroup_EXT_BOARD");
    QTest::mouseClick(radio->Button(1), Qt::LeftButton, {}, QPoint(5, radio->Button(1)->height() / 2));
    QCOMPARE(fired["RadioGroup_EXT_BOARDClick"], 1);
    QCOMPARE(form.ItemIndex("RadioGroup_EXT_BOARD"), 1);
    // The engine clears the choice again: the buttons follow.
    form.SetItemIndex("RadioGroup_EXT_BOARD", -1);
    g.Settle();
    QCOMPARE(radio->ItemIndex(), -1);

    auto* oneToOne = g.Find<QCheckBox>("CheckBox_OneToOne");
    QTest::mouseClick(oneToOne, Qt::LeftButton, {}, QPoint(8, oneToOne->height() / 2));
    QVERIFY(!form.Checked("CheckBox_OneToOne"));

    QTest::mouseClick(g.Find("BitBtn_SendSettings"), Qt::LeftButton);
    QCOMPARE(fired["BitBtn_SendSettingsClick"], 1);

    GuiProgram::UserPicks(g.Find<QComboBox>("ComboBox_MEC_CHIP"), 1);
    QCOMPARE(fired["ComboBox_MEC_CHIPClick"], 1);
    QCOMPARE(form.Text("ComboBox_MEC_CHIP"), std::string("MEC1609"));
}

void MainWindowTest::closeRefusedWhileJobRuns() {
    GuiProgram g;
    std::atomic<bool> release{false};
    g.p().jobs.Register(99, "GUI_TEST_JOB", false, [&](Program& p) {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        p.CurrentJob.Set("NONE");
    });
    QSignalSpy closed(g.main.get(), &MainWindow::closeAccepted);
    StartJob(g.p(), "GUI_TEST_JOB");

    QVERIFY(!g.main->close());
    QVERIFY(g.main->isVisible());
    QCOMPARE(closed.count(), 0);
    QCOMPARE(g.LogText(), QString());  // refused without a message

    release = true;
    QVERIFY(g.p().jobs.WaitIdle(std::chrono::seconds(10)));
    QVERIFY(g.main->close());
    QCOMPARE(closed.count(), 1);
}

void MainWindowTest::exceptionInHandlerShownAndProgramGoesOn() {
    GuiProgram g;
    int calls = 0;
    g.p().handlers["BitBtn_SendSettingsClick"] = [&](Program&) {
        ++calls;
        throw std::runtime_error("'1x' is not a valid integer value");
    };
    g.p().form.SetEnabled("BitBtn_SendSettings", true);
    g.p().form.SetVisible("RichEdit", false);
    g.Settle();

    for (int round = 1; round <= 2; ++round) {
        QString shown;
        ModalAnswer<QMessageBox> answer([&](QMessageBox* box) {
            shown = box->text();
            QCOMPARE(box->icon(), QMessageBox::Critical);
            box->done(QMessageBox::Ok);
        });
        QTest::mouseClick(g.Find("BitBtn_SendSettings"), Qt::LeftButton);
        QCOMPARE(answer.seen, 1);
        QCOMPARE(shown, QString("'1x' is not a valid integer value"));
        QCOMPARE(calls, round);
        QVERIFY(g.main->isVisible());
    }
}

void MainWindowTest::fileDialogs() {
    GuiProgram g;
    const QString target = g.dir.filePath("chip.bin");
    {
        QFileDialog* seen = nullptr;
        QString title, suffix, initial;
        QStringList filters;
        QFileDialog::AcceptMode mode{};
        ModalAnswer<QFileDialog> answer([&](QFileDialog* d) {
            seen = d;
            title = d->windowTitle();
            suffix = d->defaultSuffix();
            filters = d->nameFilters();
            mode = d->acceptMode();
            if (auto* edit = d->findChild<QLineEdit*>("fileNameEdit")) initial = edit->text();
            TypeFileName(d, target);
            QMetaObject::invokeMethod(d, "accept");
        });
        const auto chosen = g.port.ChooseSaveFile({"Save file", "ENE_", ".bin", kEneFilter});
        QVERIFY(seen);
        QCOMPARE(title, QString("Save file"));
        QCOMPARE(mode, QFileDialog::AcceptSave);
        QCOMPARE(suffix, QString("bin"));
        QCOMPARE(filters, QStringList({"BIN file ENE (*.bin)", "other (*)"}));
        QCOMPARE(initial, QString("ENE_"));
        QVERIFY(chosen.has_value());
        QCOMPARE(QString::fromStdString(*chosen), target);
    }
    {
        ModalAnswer<QFileDialog> answer([&](QFileDialog* d) {
            QCOMPARE(d->windowTitle(), QString("Read file"));
            QCOMPARE(d->acceptMode(), QFileDialog::AcceptOpen);
            d->reject();
        });
        const auto chosen = g.port.ChooseOpenFile({"Read file", "", ".bin", kEdidFilter});
        QCOMPARE(answer.seen, 1);
        QVERIFY(!chosen.has_value());
    }
    {
        // An existing file is replaced only after the user confirms.
        QFile existing(target);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.close();
        int asked = 0;
        std::unique_ptr<ModalAnswer<QMessageBox>> confirm;
        ModalAnswer<QFileDialog> answer([&](QFileDialog* d) {
            confirm = std::make_unique<ModalAnswer<QMessageBox>>([&](QMessageBox* box) {
                ++asked;
                box->button(QMessageBox::Yes)->click();
            });
            TypeFileName(d, target);
            QMetaObject::invokeMethod(d, "accept");
        });
        const auto chosen = g.port.ChooseSaveFile({"Save file", "ENE_", ".bin", kEneFilter});
        QCOMPARE(asked, 1);
        QVERIFY(chosen.has_value());
        QCOMPARE(QString::fromStdString(*chosen), target);
    }
    {
        // Dialogs belong to the window thread: asked from elsewhere, the
        // answer is "cancelled" at once rather than a wait.
        auto fromWorker = std::async(std::launch::async, [&] {
            return g.port.ChooseSaveFile({"Save file", "ENE_", ".bin", kEneFilter});
        });
        QCOMPARE(fromWorker.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        QVERIFY(!fromWorker.get().has_value());
    }
}

void MainWindowTest::nameFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("engine filter") << QString(kNuvotonFilter)
                                   << QStringList{"BIN file NUVOTON (*.bin)", "other (*)"};
    QTest::newRow("bare description") << "Images|*.bin;*.rom"
                                      << QStringList{"Images (*.bin *.rom)"};
    QTest::newRow("description naming *.*") << "All (*.*)|*.*" << QStringList{"All (*)"};
    QTest::newRow("no description") << "|*.bin" << QStringList{"*.bin (*.bin)"};
    QTest::newRow("dangling description") << "BIN|*.bin|other" << QStringList{"BIN (*.bin)"};
    QTest::newRow("empty") << "" << QStringList{"All files (*)"};
}

void MainWindowTest::nameFilters() {
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(NameFiltersFromDialogFilter(filter.toStdString()), expected);
}

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
