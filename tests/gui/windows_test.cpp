// The other four windows: the reset pop-up, the two soldering windows and
// the keyboard test window, each following the form model.
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <set>
#include <thread>

#include "app/widgets_qt.h"
#include "tests/gui/gui_fixture.h"

using namespace zjig;
using namespace zjig::test;

namespace {

QLabel* LabelOf(QWidget* window, const char* name) {
    return window->findChild<QLabel*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

QColor TextColour(QWidget* w) { return w->palette().color(QPalette::WindowText); }

// Changes the model from a worker thread, as the jobs do.
template <class F>
void FromWorker(F&& f) {
    std::thread t(std::forward<F>(f));
    t.join();
}

}  // namespace

class WindowsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { PrepareApplication(*qApp); }

    void messageWindowFollowsTheModelAndBlinks();
    void eneSolderWindow();
    void eneWindowClosedByTheUser();
    void mecSolderWindow();
    void cablePictureArrowsEndBesideTheRows_data();
    void cablePictureArrowsEndBesideTheRows();
    void keyboardSquares();
    void keyboardSquareColoursFromTheModel();
    void keyboardGuidesAndControls();
    void keyboardButtonsSetTheJobsFlags();
    void keyboardWindowShownAndClosedByTheModel();
};

void WindowsTest::messageWindowFollowsTheModelAndBlinks() {
    GuiProgram g;
    MessageWindow* w = g.message.get();
    QCOMPARE(w->objectName(), QString("TForm_message"));
    QVERIFY(!w->isVisible());
    QCOMPARE(w->size(), QSize(445, 82));
    QVERIFY(w->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(w->palette().color(QPalette::Window), QColor(255, 255, 0));
    QLabel* label = w->Label();
    QCOMPARE(label->objectName(), QString("Label1"));
    QCOMPARE(label->text(), QString("Please push reset button!"));
    QCOMPARE(label->geometry(), QRect(24, 16, 396, 42));
    QCOMPARE(label->font().family(), QString("Tahoma"));
    // Tahoma 35 px where Tahoma is installed; a wider stand-in shrinks to fit.
    if (QFontInfo(label->font()).family() == "Tahoma") QCOMPARE(label->font().pixelSize(), 35);
    QVERIFY(label->font().pixelSize() <= 35 && label->font().pixelSize() >= 24);
    QVERIFY(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->width());
    QCOMPARE(TextColour(label), QColor(255, 0, 0));
    // Timer1 runs from the start, shown or not.
    QCOMPARE(w->Timer()->interval(), 500);
    QVERIFY(w->Timer()->isActive());

    FromWorker([&] { g.p().form.SetVisible("TForm_message", true); });
    g.Settle();
    QVERIFY(w->isVisible());
    // Centred over the main window.
    QVERIFY(qAbs(w->geometry().center().x() - g.main->frameGeometry().center().x()) <= 1);
    QVERIFY(qAbs(w->geometry().center().y() - g.main->frameGeometry().center().y()) <= 1);

    w->Timer1Timer();
    QCOMPARE(TextColour(label), QColor(0, 0, 0));
    w->Timer1Timer();
    QCOMPARE(TextColour(label), QColor(255, 0, 0));
    // The timer itself blinks it.
    const QColor before = TextColour(label);
    QTRY_VERIFY_WITH_TIMEOUT(TextColour(label) != before, 2000);

    // The user cannot close it; the model hides it.
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    FromWorker([&] { g.p().form.SetVisible("TForm_message", false); });
    g.Settle();
    QVERIFY(!w->isVisible());
}

void WindowsTest::eneSolderWindow() {
    GuiProgram g;
    EneSolderWindow* w = g.ene.get();
    QCOMPARE(w->objectName(), QString("TENE_for_solder"));
    QCOMPARE(w->windowTitle(), QString("ENE point for soldering"));
    QCOMPARE(w->size(), QSize(491, 621));
    QVERIFY(w->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(w->windowFlags() & Qt::WindowMinimizeButtonHint));
    QCOMPARE(w->Picture()->geometry(), QRect(8, 8, 329, 553));

    struct Expect {
        const char* name;
        QPoint at;
        const char* caption;
    };
    for (const Expect& e : {Expect{"Label_KB", {360, 208}, "KB pins"}, Expect{"KSI5", {360, 267}, "KSI5"},
                            Expect{"KSI7", {360, 320}, "KSI7"}, Expect{"KSI6", {360, 365}, "KSI6"},
                            Expect{"Label3", {360, 414}, "to GND"}, Expect{"KSI4", {360, 459}, "KSI4"},
                            Expect{"KSO3", {360, 504}, "KSO3"},
                            Expect{"Label_MB_NAME", {8, 584},
                                   "LA-8681P (JKB1) KSO3=18 KSI4=5 KSI7=2 KSI6=3 KSI5=6"}}) {
        QLabel* label = LabelOf(w, e.name);
        QVERIFY2(label, e.name);
        QCOMPARE(label->pos(), e.at);
        QCOMPARE(label->text(), QString(e.caption));
    }
    QLabel* kb = LabelOf(w, "Label_KB");
    QVERIFY(kb->font().bold());
    QCOMPARE(kb->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(kb->toolTip(), QString("Keyboard connector \npin number for soldering"));
    QCOMPARE(LabelOf(w, "KSO3")->font().pixelSize(), 32);
    QCOMPARE(LabelOf(w, "KSO3")->font().family(), QString("Calibri"));
    QCOMPARE(LabelOf(w, "Label_MB_NAME")->font().pixelSize(), 19);
    QCOMPARE(LabelOf(w, "Label_MB_NAME")->width(), 434);

    // The board wiring fills the labels and shows the window through the model.
    FromWorker([&] {
        auto& f = g.p().form;
        f.SetText("Label_MB_NAME", "NM-A321 KSO3=5 KSI4=9 KSI5=10 KSI6=11 KSI7=12");
        f.SetText("KSO3", "to 5");
        f.SetText("KSI4", "to 9");
        f.SetText("KSI5", "to 10");
        f.SetText("KSI6", "to 11");
        f.SetText("KSI7", "to 12");
        f.SetVisible("TENE_for_solder", true);
    });
    g.Settle();
    QVERIFY(w->isVisible());
    QCOMPARE(LabelOf(w, "KSO3")->text(), QString("to 5"));
    QCOMPARE(LabelOf(w, "KSI4")->text(), QString("to 9"));
    QCOMPARE(LabelOf(w, "KSI5")->text(), QString("to 10"));
    QCOMPARE(LabelOf(w, "KSI6")->text(), QString("to 11"));
    QCOMPARE(LabelOf(w, "KSI7")->text(), QString("to 12"));
    QCOMPARE(LabelOf(w, "Label3")->text(), QString("to GND"));
    QCOMPARE(LabelOf(w, "Label_MB_NAME")->text(),
             QString("NM-A321 KSO3=5 KSI4=9 KSI5=10 KSI6=11 KSI7=12"));
    // The mode selection closes it.
    GuiProgram::UserPicks(g.Find<QComboBox>("CBox_Selector"), 3);
    g.Settle();
    QVERIFY(!w->isVisible());
}

void WindowsTest::eneWindowClosedByTheUser() {
    GuiProgram g;
    g.p().form.SetVisible("TENE_for_solder", true);
    g.Settle();
    QVERIFY(g.ene->isVisible());
    QVERIFY(g.ene->close());
    g.Settle();
    QVERIFY(!g.ene->isVisible());
    QVERIFY(!g.p().form.Visible("TENE_for_solder"));
    // And it opens again when the model asks.
    g.p().form.SetVisible("TENE_for_solder", true);
    g.Settle();
    QVERIFY(g.ene->isVisible());
}

void WindowsTest::mecSolderWindow() {
    GuiProgram g;
    MecSolderWindow* w = g.mec.get();
    QCOMPARE(w->objectName(), QString("TForm_MEC"));
    QCOMPARE(w->windowTitle(), QString("MEC point for soldering"));
    QCOMPARE(w->size(), QSize(491, 621));
    QVERIFY(w->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(w->Picture()->geometry(), QRect(8, 8, 329, 553));
    struct Expect {
        const char* name;
        int top;
        const char* caption;
    };
    for (const Expect& e : {Expect{"Label1", 208, "JTAG"}, Expect{"Label3", 267, "TMS"},
                            Expect{"Label2", 312, "TDO"}, Expect{"Label4", 357, "TCLK"},
                            Expect{"Label5", 414, "to GND"}, Expect{"Label6", 459, "TDI"},
                            Expect{"Label7", 504, "to GND"}}) {
        QLabel* label = LabelOf(w, e.name);
        QVERIFY2(label, e.name);
        QCOMPARE(label->pos(), QPoint(368, e.top));
        QCOMPARE(label->text(), QString(e.caption));
    }
    QVERIFY(LabelOf(w, "Label1")->font().bold());

    g.p().form.SetVisible("TForm_MEC", true);
    g.Settle();
    QVERIFY(w->isVisible());
    QVERIFY(qAbs(w->frameGeometry().center().x() - g.main->frameGeometry().center().x()) <= 1);
    // Only the user closes it.
    QVERIFY(w->close());
    g.Settle();
    QVERIFY(!g.p().form.Visible("TForm_MEC"));
    QVERIFY(!w->isVisible());
}

void WindowsTest::cablePictureArrowsEndBesideTheRows_data() {
    QTest::addColumn<bool>("ene");
    QTest::newRow("TENE_for_solder") << true;
    QTest::newRow("TForm_MEC") << false;
}

void WindowsTest::cablePictureArrowsEndBesideTheRows() {
    QFETCH(bool, ene);
    GuiProgram g;
    QWidget* window = ene ? static_cast<QWidget*>(g.ene.get()) : g.mec.get();
    SolderCablePicture* picture = ene ? g.ene->Picture() : g.mec->Picture();
    const std::vector<const char*> rows =
        ene ? std::vector<const char*>{"KSI5", "KSI7", "KSI6", "Label3", "KSI4", "KSO3"}
            : std::vector<const char*>{"Label3", "Label2", "Label4", "Label5", "Label6", "Label7"};
    QCOMPARE(picture->RowCentres().size(), rows.size());
    const QImage image = picture->grab().toImage();
    std::set<int> tips;
    for (size_t i = 0; i < rows.size(); ++i) {
        QLabel* label = LabelOf(window, rows[i]);
        const QPoint tip = picture->ArrowTip(static_cast<int>(i)) + picture->pos();
        // The arrow ends left of its label, at the height of the label's text.
        QVERIFY(tip.x() < label->x());
        QVERIFY2(label->geometry().top() < tip.y() && tip.y() < label->geometry().bottom(), rows[i]);
        tips.insert(tip.y());
        // And it is drawn: red just before its tip.
        const QColor c = image.pixelColor(picture->ArrowTip(static_cast<int>(i)) - QPoint(4, 0));
        QVERIFY2(c.red() > 180 && c.green() < 80 && c.blue() < 80, qPrintable(c.name()));
    }
    QCOMPARE(tips.size(), rows.size());
}

void WindowsTest::keyboardSquares() {
    GuiProgram g;
    KeyboardWindow* w = g.keyboard.get();
    QCOMPARE(w->objectName(), QString("TForm_KEYB"));
    QCOMPARE(w->windowTitle(), QString("Keyboard test "));
    QCOMPARE(w->size(), QSize(534, 531));
    const QList<ShapeWidget*> shapes = w->findChildren<ShapeWidget*>();
    QCOMPARE(shapes.size(), 496);

    for (int i = 1; i <= 31; ++i) {
        for (int j = i + 1; j <= 32; ++j) {
            const int n = (i - 1) * 32 + j;
            auto* s = w->findChild<ShapeWidget*>(QString("Shape%1").arg(n));
            QVERIFY2(s, qPrintable(QString("Shape%1").arg(n)));
            const int top = 38 + 15 * (i - 1) + 3 * ((i - 1) / 5);
            const int left = 11 + 15 * (j - 2) + 5 * ((j - 1) / 5);
            QCOMPARE(s->geometry(), QRect(left, top, 12, 12));
            QCOMPARE(s->cursor().shape(), Qt::PointingHandCursor);
            QCOMPARE(s->Fill(), QColor(166, 202, 240));
        }
    }
    // Known squares and numbers that name no pair.
    QCOMPARE(w->findChild<ShapeWidget*>("Shape2")->pos(), QPoint(11, 38));
    QCOMPARE(w->findChild<ShapeWidget*>("Shape35")->pos(), QPoint(26, 53));
    QCOMPARE(w->findChild<ShapeWidget*>("Shape992")->pos(), QPoint(491, 506));
    for (int n : {1, 33, 34, 65, 66, 67, 993})
        QVERIFY(!w->findChild<ShapeWidget*>(QString("Shape%1").arg(n)));
    // Every square lies inside the window and none overlaps another.
    for (auto* a : shapes) QVERIFY(w->rect().contains(a->geometry()));
}

void WindowsTest::keyboardSquareColoursFromTheModel() {
    GuiProgram g;
    KeyboardWindow* w = g.keyboard.get();
    // The keyboard job paints from the worker: one pair red, one yellow,
    // one hidden black, then everything sky blue again.
    FromWorker([&] {
        g.p().form.SetColor("Shape2", colors::Red);
        g.p().form.SetColor("Shape137", colors::Yellow);
        g.p().form.SetColor("Shape108", colors::Black);
    });
    g.Settle();
    QCOMPARE(w->findChild<ShapeWidget*>("Shape2")->Fill(), QColor(255, 0, 0));
    QCOMPARE(w->findChild<ShapeWidget*>("Shape137")->Fill(), QColor(255, 255, 0));
    QCOMPARE(w->findChild<ShapeWidget*>("Shape108")->Fill(), QColor(0, 0, 0));
    QCOMPARE(w->findChild<ShapeWidget*>("Shape3")->Fill(), QColor(166, 202, 240));
    // The drawing shows the fill.
    w->show();
    const QImage image = w->findChild<ShapeWidget*>("Shape2")->grab().toImage();
    QCOMPARE(image.pixelColor(6, 6), QColor(255, 0, 0));

    FromWorker([&] {
        for (int i = 1; i <= 31; ++i)
            for (int j = i + 1; j <= 32; ++j)
                g.p().form.SetColor("Shape" + std::to_string((i - 1) * 32 + j), colors::SkyBlue);
    });
    g.Settle();
    for (auto* s : w->findChildren<ShapeWidget*>()) QCOMPARE(s->Fill(), QColor(166, 202, 240));
}

void WindowsTest::keyboardGuidesAndControls() {
    GuiProgram g;
    KeyboardWindow* w = g.keyboard.get();
    QVERIFY(!(w->windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(w->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(w->windowFlags() & Qt::WindowMaximizeButtonHint);

    QLabel* columns = LabelOf(w, "Label_keybord");
    QCOMPARE(columns->text(),
             QString("2                   6                        11                      16      "
                     "                21                      26                      31"));
    QCOMPARE(columns->pos(), QPoint(12, 14));
    QCOMPARE(TextColour(columns), QColor(255, 0, 0));
    QVERIFY(columns->font().bold());

    struct Guide {
        const char* name;
        const char* caption;
        int top;
    };
    for (const Guide& e : {Guide{"Label1", "1", 35}, Guide{"Label2", "6", 114}, Guide{"Label3", "11", 192},
                           Guide{"Label4", "16", 270}, Guide{"Label5", "21", 348},
                           Guide{"Label7", "26", 426}, Guide{"Label6", "31", 505}}) {
        QLabel* label = LabelOf(w, e.name);
        QVERIFY2(label, e.name);
        QCOMPARE(label->text(), QString(e.caption));
        QCOMPARE(label->y(), e.top);
        QVERIFY(label->x() == 509 || label->x() == 510);
        QCOMPARE(TextColour(label), QColor(0, 0, 128));
    }

    struct Control {
        const char* name;
        QPoint at;
        const char* caption;
    };
    for (const Control& c : {Control{"Buzzer_box", {21, 295}, "Buzzer off"},
                             Control{"CheckBox_hide", {21, 346}, "Hide current"},
                             Control{"Clear", {21, 397}, "Clear"},
                             Control{"BitBtn_EXIT", {21, 458}, "Exit"}}) {
        auto* b = w->findChild<QAbstractButton*>(c.name);
        QVERIFY2(b, c.name);
        QCOMPARE(b->pos(), c.at);
        QCOMPARE(b->text(), QString(c.caption));
    }
    QCOMPARE(w->findChild<QPushButton*>("Clear")->size(), QSize(175, 55));
    QCOMPARE(w->findChild<QPushButton*>("BitBtn_EXIT")->size(), QSize(175, 55));
}

void WindowsTest::keyboardButtonsSetTheJobsFlags() {
    GuiProgram g;
    KeyboardWindow* w = g.keyboard.get();
    auto& form = g.p().form;
    w->show();
    // The keyboard engine may not have defined its controls: the window works anyway.
    QVERIFY(!form.Checked("CheckBox_clear"));
    QTest::mouseClick(w->findChild<QPushButton*>("Clear"), Qt::LeftButton);
    QVERIFY(form.Checked("CheckBox_clear"));
    QVERIFY(!form.Checked("CheckBox_exit"));
    QTest::mouseClick(w->findChild<QPushButton*>("BitBtn_EXIT"), Qt::LeftButton);
    QVERIFY(form.Checked("CheckBox_exit"));

    auto* buzzer = w->findChild<QCheckBox*>("Buzzer_box");
    auto* hide = w->findChild<QCheckBox*>("CheckBox_hide");
    QTest::mouseClick(buzzer, Qt::LeftButton, {}, QPoint(8, buzzer->height() / 2));
    QVERIFY(form.Checked("Buzzer_box"));
    QTest::mouseClick(hide, Qt::LeftButton, {}, QPoint(8, hide->height() / 2));
    QVERIFY(form.Checked("CheckBox_hide"));
    QTest::mouseClick(hide, Qt::LeftButton, {}, QPoint(8, hide->height() / 2));
    QVERIFY(!form.Checked("CheckBox_hide"));
    QVERIFY(form.Checked("Buzzer_box"));
    // Captions stay as designed even though the model holds no text for them.
    g.Settle();
    QCOMPARE(buzzer->text(), QString("Buzzer off"));

    // The job unticks the boxes: the window follows.
    FromWorker([&] {
        form.SetChecked("Buzzer_box", false);
        form.SetChecked("CheckBox_hide", true);
    });
    g.Settle();
    QVERIFY(!buzzer->isChecked());
    QVERIFY(hide->isChecked());
}

void WindowsTest::keyboardWindowShownAndClosedByTheModel() {
    GuiProgram g;
    KeyboardWindow* w = g.keyboard.get();
    FromWorker([&] { g.p().form.SetVisible("TForm_KEYB", true); });
    g.Settle();
    QVERIFY(w->isVisible());
    QVERIFY(qAbs(w->frameGeometry().center().x() - g.main->frameGeometry().center().x()) <= 1);
    // No close button: a close request does nothing.
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    FromWorker([&] { g.p().form.SetVisible("TForm_KEYB", false); });
    g.Settle();
    QVERIFY(!w->isVisible());
}

QTEST_MAIN(WindowsTest)
#include "windows_test.moc"
