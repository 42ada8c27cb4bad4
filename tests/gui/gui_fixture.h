// The five windows on a program with a simulated JIG (or none), for the
// window tests. Qt Test, offscreen.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <memory>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/main_window_qt.h"
#include "app/message_window_qt.h"
#include "app/program.h"
#include "app/qt_ui_port_qt.h"
#include "app/subsystems.h"
#include "keyboard/keyboard_window_qt.h"
#include "sim/bench.h"
#include "sim/sim_driver.h"
#include "sim/sim_jig.h"
#include "wiring/solder_windows_qt.h"

namespace zjig::test {

// One run of log text in one colour, as the document holds it.
struct Run {
    QString text;
    QColor color;
    friend bool operator==(const Run& a, const Run& b) {
        return a.text == b.text && a.color == b.color;
    }
};

inline QString Describe(const std::vector<Run>& runs) {
    QString out;
    for (const auto& r : runs) out += "[" + r.color.name() + "]" + r.text.left(60) + " ";
    return out;
}

class GuiProgram {
public:
    // withJig: a JIG with the expected firmware on the simulated USB; without
    // it the USB is empty.
    explicit GuiProgram(bool withJig = true, uint32_t idleMs = 1000) {
        if (withJig) {
            jig = std::make_unique<sim::SimJig>();
            sim::InstallSimModules(*jig);
            jig->PowerOn();
            driver.Plug(jig->Serial());
        }
        program = std::make_unique<Program>(port, driver, dir.path().toStdString());
        program->limits.idleMs = idleMs;
        program->limits.failureMarkMs = 200;
        port.SetProgram(program.get());
        port.urlOpener = [this](const QString& url) { urls.push_back(url); };
        RegisterSubsystems(*program);
        main = std::make_unique<MainWindow>(*program, port);
        message = std::make_unique<MessageWindow>(port, main.get());
        ene = std::make_unique<EneSolderWindow>(*program, port);
        keyboard = std::make_unique<KeyboardWindow>(*program, port, main.get());
        mec = std::make_unique<MecSolderWindow>(*program, port, main.get());
        FormCreate(*program);
        port.RefreshAll();
        main->show();
        Settle();
    }

    ~GuiProgram() {
        program->jobs.WaitIdle(std::chrono::seconds(30));
        Settle();
        mec.reset();
        keyboard.reset();
        ene.reset();
        message.reset();
        main.reset();
        program.reset();
        jig.reset();
    }

    Program& p() { return *program; }

    // Lets the window thread take everything pending.
    void Settle() {
        QCoreApplication::processEvents();
        port.Flush();
        QCoreApplication::processEvents();
    }

    template <class T = QWidget>
    T* Find(const char* name) const {
        return main->findChild<T*>(QString::fromLatin1(name));
    }

    QPlainTextEdit* Log() const { return main->Log(); }
    QString LogText() const { return Log()->toPlainText(); }

    // The log's runs of one colour, without the line ends (whose colour a
    // plain-text document cannot tell apart), adjacent runs of one colour joined.
    std::vector<Run> LogRuns() const {
        std::vector<Run> runs;
        const QTextDocument* doc = Log()->document();
        for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it)
                if (it.fragment().isValid())
                    Add(runs, it.fragment().text(), it.fragment().charFormat().foreground().color());
        return runs;
    }

    // The same for entries as the engine made them.
    static std::vector<Run> ExpectedRuns(const std::vector<std::pair<std::string, Rgb>>& entries) {
        std::vector<Run> runs;
        for (const auto& [text, c] : entries) {
            QString t = QString::fromUtf8(text.c_str());
            t.remove('\n');
            if (!t.isEmpty()) Add(runs, t, QColor(c.r, c.g, c.b));
        }
        return runs;
    }

    // The user picks item index of a list box (as from its drop-down list).
    static void UserPicks(QComboBox* combo, int index) {
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }

    QTemporaryDir dir;
    QtUiPort port;
    sim::SimDriver driver;
    std::unique_ptr<sim::SimJig> jig;
    std::unique_ptr<Program> program;
    std::unique_ptr<MainWindow> main;
    std::unique_ptr<MessageWindow> message;
    std::unique_ptr<EneSolderWindow> ene;
    std::unique_ptr<KeyboardWindow> keyboard;
    std::unique_ptr<MecSolderWindow> mec;
    std::vector<QString> urls;

private:
    static void Add(std::vector<Run>& runs, const QString& text, const QColor& color) {
        if (!runs.empty() && runs.back().color == color)
            runs.back().text += text;
        else
            runs.push_back(Run{text, color});
    }
};

inline QColor Q(Rgb c) { return QColor(c.r, c.g, c.b); }

}  // namespace zjig::test
