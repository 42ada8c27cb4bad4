// The log and the gauge as the window shows them: entries from the worker
// and the window thread in order and in their colours, clearing, appending
// while the log is hidden, and the gauge's bar and percentage.
#include <QComboBox>
#include <QScrollBar>
#include <QTest>

#include <future>
#include <thread>

#include "app/gauge_qt.h"
#include "tests/gui/gui_fixture.h"

using namespace zjig;
using namespace zjig::test;

namespace {
const Rgb kColours[] = {colors::Black, colors::Red,   colors::Blue,
                        colors::Fuchsia, colors::Green, colors::Purple};

// Waits (handling the window's events) until the log has shown n entries.
bool WaitShown(GuiProgram& g, long long n, int ms = 20000) {
    QElapsedTimer t;
    t.start();
    while (g.port.EntriesShown() < n && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return g.port.EntriesShown() >= n;
}
}  // namespace

class LogViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { PrepareApplication(*qApp); }

    void workerEntriesKeepOrderAndColours();
    void entriesOfBothThreadsKeepEachThreadsOrder();
    void workerIsNeverBlockedByTheWindow();
    void twoColoursOnOneLine();
    void utf8TextShownWithItsLetters();
    void clearInTheMiddleOfAJob();
    void clearOnTheWindowThreadDropsEarlierPendingEntries();
    void appendWhileLogHidden();
    void logFollowsTheEnd();
    void gauge_data();
    void gauge();
    void gaugeFromWorker();
};

void LogViewTest::workerEntriesKeepOrderAndColours() {
    GuiProgram g;
    const int n = 20000;
    std::vector<std::pair<std::string, Rgb>> entries;
    for (int i = 0; i < n; ++i) {
        // Lines, line pieces and empty lines in every colour.
        std::string text = i % 7 == 0 ? "\n" : "entry " + std::to_string(i) + (i % 3 ? "\n" : " ");
        entries.push_back({text, kColours[(i / 2) % 6]});
    }
    std::thread worker([&] {
        for (const auto& [text, c] : entries) AppendLog(g.p(), text, c);
    });
    QVERIFY(WaitShown(g, n));
    worker.join();
    g.Settle();

    QString expectedText;
    for (const auto& e : entries) expectedText += QString::fromStdString(e.first);
    QCOMPARE(g.LogText(), expectedText);
    const auto runs = g.LogRuns();
    QVERIFY2(runs == GuiProgram::ExpectedRuns(entries), qPrintable(Describe(runs).left(400)));
}

void LogViewTest::entriesOfBothThreadsKeepEachThreadsOrder() {
    GuiProgram g;
    const int n = 3000;
    std::thread worker([&] {
        for (int i = 0; i < n; ++i) AppendLog(g.p(), "W" + std::to_string(i) + "\n", colors::Blue);
    });
    for (int i = 0; i < n; ++i) {
        AppendLog(g.p(), "G" + std::to_string(i) + "\n", colors::Red);
        if (i % 100 == 0) QCoreApplication::processEvents();
    }
    worker.join();
    QVERIFY(WaitShown(g, 2 * n));
    g.Settle();

    int nextW = 0, nextG = 0;
    const QStringList lines = g.LogText().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2 * n);
    for (const QString& line : lines) {
        if (line.startsWith('W'))
            QCOMPARE(line.mid(1).toInt(), nextW++);
        else
            QCOMPARE(line.mid(1).toInt(), nextG++);
    }
    // Each line carries its thread's colour.
    for (const auto& run : g.LogRuns()) {
        const QChar first = run.text.at(0);
        QCOMPARE(run.color, first == 'W' ? QColor(0, 0, 255) : QColor(255, 0, 0));
        QVERIFY(!run.text.contains(first == 'W' ? 'G' : 'W'));
    }
}

void LogViewTest::workerIsNeverBlockedByTheWindow() {
    GuiProgram g;
    // The window thread handles no events while the worker logs, moves the
    // gauge and changes controls: the worker must finish all the same.
    auto done = std::async(std::launch::async, [&] {
        for (int i = 0; i < 5000; ++i) {
            AppendLog(g.p(), "x\n", colors::Blue);
            g.p().gauge.AddOne();
            g.p().form.SetEnabled("BitBtn_READ", i % 2 == 0);
        }
        g.p().form.SetVisible("TForm_message", true);
    });
    QCOMPARE(done.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    QVERIFY(WaitShown(g, 5000));
    g.Settle();
    QCOMPARE(g.LogText().size(), 10000);
    QVERIFY(!g.Find("BitBtn_READ")->isEnabled());
    QCOMPARE(g.main->Gauge()->State().progress, 5000);
    QVERIFY(g.message->isVisible());
}

void LogViewTest::twoColoursOnOneLine() {
    GuiProgram g;
    AppendLog(g.p(), "Not found file: ", colors::Red);
    AppendLog(g.p(), "MB connection ENE.txt\n", colors::Black);
    g.Settle();
    QCOMPARE(g.Log()->document()->blockCount(), 2);  // one line and the empty one after it
    const auto runs = g.LogRuns();
    QCOMPARE(runs.size(), size_t{2});
    QCOMPARE(runs[0].text, QString("Not found file: "));
    QCOMPARE(runs[0].color, QColor(255, 0, 0));
    QCOMPARE(runs[1].text, QString("MB connection ENE.txt"));
    QCOMPARE(runs[1].color, QColor(0, 0, 0));
}

void LogViewTest::utf8TextShownWithItsLetters() {
    GuiProgram g;
    AppendLog(g.p(), "FT_Open не FT_OK \n", colors::Red);
    g.Settle();
    QCOMPARE(g.LogText(), QString::fromUtf8("FT_Open не FT_OK \n"));
}

void LogViewTest::clearInTheMiddleOfAJob() {
    GuiProgram g;
    std::promise<void> cleared;
    std::promise<void> firstHalf;
    std::thread worker([&] {
        for (int i = 0; i < 500; ++i) AppendLog(g.p(), "before " + std::to_string(i) + "\n", colors::Blue);
        firstHalf.set_value();
        cleared.get_future().wait();
        for (int i = 0; i < 500; ++i) AppendLog(g.p(), "after " + std::to_string(i) + "\n", colors::Blue);
    });
    firstHalf.get_future().wait();
    // Some of the first half may still be pending: they go with the clear.
    g.p().form.SetVisible("RichEdit", false);
    QTest::mouseClick(g.Find("BitBtn_clear"), Qt::LeftButton);
    cleared.set_value();
    worker.join();
    g.Settle();
    QString expected;
    for (int i = 0; i < 500; ++i) expected += "after " + QString::number(i) + "\n";
    QCOMPARE(g.LogText(), expected);

    // A clear asked for by the worker goes the same way.
    std::thread worker2([&] {
        AppendLog(g.p(), "old\n", colors::Black);
        g.p().ui.ClearLog();
        AppendLog(g.p(), "new\n", colors::Black);
    });
    worker2.join();
    g.Settle();
    QCOMPARE(g.LogText(), QString("new\n"));
}

void LogViewTest::clearOnTheWindowThreadDropsEarlierPendingEntries() {
    GuiProgram g;
    AppendLog(g.p(), "shown\n", colors::Black);
    g.Settle();
    AppendLog(g.p(), "pending\n", colors::Black);  // not yet taken by the window
    BitBtn_clearClick(g.p());
    AppendLog(g.p(), "later\n", colors::Black);
    g.Settle();
    QCOMPARE(g.LogText(), QString("later\n"));
}

void LogViewTest::appendWhileLogHidden() {
    GuiProgram g;
    g.p().form.SetVisible("RichEdit", false);
    g.Settle();
    QWidget* selector = g.Find("CBox_Selector");
    selector->setFocus();
    QCoreApplication::processEvents();
    QCOMPARE(QApplication::focusWidget(), selector);

    AppendLog(g.p(), "while hidden\n", colors::Blue);
    g.Settle();
    QCOMPARE(QApplication::focusWidget(), selector);  // the focus stays
    QCOMPARE(g.LogText(), QString("while hidden\n"));

    ShowLog(g.p());
    g.Settle();
    QVERIFY(!g.Log()->isHidden());
    QCOMPARE(g.LogText(), QString("while hidden\n"));
    AppendLog(g.p(), "visible\n", colors::Blue);
    g.Settle();
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(g.Log()));
}

void LogViewTest::logFollowsTheEnd() {
    GuiProgram g;
    for (int i = 0; i < 300; ++i) AppendLog(g.p(), "line " + std::to_string(i) + "\n", colors::Blue);
    g.Settle();
    QScrollBar* bar = g.Log()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(g.Log()->textCursor().position(), g.Log()->document()->characterCount() - 1);

    // The user scrolls up and clicks into the text; new entries still go to the end.
    bar->setValue(0);
    QTextCursor c = g.Log()->textCursor();
    c.setPosition(3);
    g.Log()->setTextCursor(c);
    AppendLog(g.p(), "last\n", colors::Red);
    g.Settle();
    QVERIFY(g.LogText().endsWith("line 299\nlast\n"));
    QVERIFY(g.LogText().startsWith("line 0\n"));
    QCOMPARE(bar->value(), bar->maximum());
}

void LogViewTest::gauge_data() {
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("progress");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("filledPermille");  // of the inner width
    QTest::newRow("start") << 100 << 0 << "0%" << 0;
    QTest::newRow("half") << 512 << 256 << "50%" << 500;
    QTest::newRow("thirds round down") << 3 << 2 << "66%" << 666;
    QTest::newRow("full") << 512 << 512 << "100%" << 1000;
    QTest::newRow("above maximum") << 10 << 11 << "100%" << 1000;
    QTest::newRow("below zero") << 10 << -4 << "0%" << 0;
    QTest::newRow("maximum 0, progress 0") << 0 << 0 << "0%" << 0;
    QTest::newRow("maximum 0, one added") << 0 << 1 << "100%" << 1000;
}

void LogViewTest::gauge() {
    QFETCH(int, maximum);
    QFETCH(int, progress);
    QFETCH(QString, text);
    QFETCH(int, filledPermille);
    GuiProgram g;
    GaugeWidget* gauge = g.main->Gauge();
    QCOMPARE(gauge->State().color, colors::Blue);  // initial colour

    g.p().gauge.SetColor(colors::Lime);
    g.p().gauge.SetMaximum(maximum);
    g.p().gauge.SetProgress(progress);
    g.Settle();
    QCOMPARE(gauge->PercentText(), text);
    const int inner = gauge->width() - 2;
    QCOMPARE(gauge->FilledWidth(), inner * filledPermille / 1000);

    // The drawing: the bar in its colour up to the filled width, white after it.
    const QImage image = gauge->grab().toImage();
    const int y = gauge->height() / 2;
    if (filledPermille > 0) QCOMPARE(image.pixelColor(2, y), QColor(0, 255, 0));
    if (filledPermille < 1000) QCOMPARE(image.pixelColor(gauge->width() - 3, y), QColor(Qt::white));
    QCOMPARE(gauge->font().pixelSize(), 16);
    QCOMPARE(gauge->font().family(), QString("Calibri"));
}

void LogViewTest::gaugeFromWorker() {
    GuiProgram g;
    std::thread worker([&] {
        g.p().gauge.SetColor(colors::Red);
        g.p().gauge.SetMaximum(512);
        g.p().gauge.SetProgress(0);
        for (int i = 0; i < 512; ++i) g.p().gauge.AddOne();
    });
    worker.join();
    g.Settle();
    const GaugeState s = g.main->Gauge()->State();
    QCOMPARE(s.progress, 512);
    QCOMPARE(s.maximum, 512);
    QCOMPARE(s.color, colors::Red);
    QCOMPARE(g.main->Gauge()->PercentText(), QString("100%"));
}

QTEST_MAIN(LogViewTest)
#include "log_view_test.moc"
