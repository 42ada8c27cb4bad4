// The desktop program's command line and start: options, the missing
// display, and a start on the simulated JIG.
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

class ProgramOptionsTest : public QObject {
    Q_OBJECT
private slots:
    void badCommandLines_data();
    void badCommandLines();
    void noDisplay();
    void help();
    void startsOnTheSimulatedJig();

private:
    static QString Program() { return QStringLiteral(ZJIG_BIN_DIR "/zoltrav-jig"); }
    static QProcessEnvironment Env(bool display) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(v);
        if (display) env.insert("QT_QPA_PLATFORM", "offscreen");
        return env;
    }
};

void ProgramOptionsTest::badCommandLines_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "unknown option '--frobnicate'";
    QTest::newRow("--port without path") << QStringList{"--port"} << "--port needs a value";
    QTest::newRow("--data-dir without folder") << QStringList{"--simulate", "--data-dir"}
                                               << "--data-dir needs a value";
    QTest::newRow("both JIG choices") << QStringList{"--simulate", "--port", "/dev/ttyUSB0"}
                                      << "exclude each other";
}

void ProgramOptionsTest::badCommandLines() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QProcess proc;
    proc.setProcessEnvironment(Env(true));
    proc.start(Program(), args);
    QVERIFY(proc.waitForFinished(10000));
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proc.exitCode(), 2);
    const QString err = QString::fromLocal8Bit(proc.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
    QVERIFY(err.contains("Usage:"));
}

void ProgramOptionsTest::noDisplay() {
    QProcess proc;
    proc.setProcessEnvironment(Env(false));
    proc.start(Program(), {"--simulate"});
    QVERIFY(proc.waitForFinished(10000));
    QCOMPARE(proc.exitCode(), 3);
    const QString err = QString::fromLocal8Bit(proc.readAllStandardError());
    QVERIFY2(err.contains("no display"), qPrintable(err));
}

void ProgramOptionsTest::help() {
    QProcess proc;
    proc.setProcessEnvironment(Env(false));
    proc.start(Program(), {"--help"});
    QVERIFY(proc.waitForFinished(10000));
    QCOMPARE(proc.exitCode(), 0);
    QVERIFY(QString::fromLocal8Bit(proc.readAllStandardOutput()).contains("--simulate"));
}

void ProgramOptionsTest::startsOnTheSimulatedJig() {
    QProcess proc;
    proc.setProcessEnvironment(Env(true));
    proc.start(Program(), {"--simulate"});
    QVERIFY(proc.waitForStarted(10000));
    // It runs its window loop until asked to end.
    QVERIFY(!proc.waitForFinished(1500));
    QCOMPARE(proc.state(), QProcess::Running);
    proc.terminate();
    QVERIFY(proc.waitForFinished(10000));
}

QTEST_GUILESS_MAIN(ProgramOptionsTest)
#include "program_options_test.moc"
