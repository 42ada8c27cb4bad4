// How the log keeps up with a flood of entries from the worker: a worker
// thread appends 262,144 coloured lines through the Qt port while the window
// thread runs; measures the time until all of them are in the log's
// document and the longest pause of the window thread (the longest gap
// between the ticks of a 10 ms timer on it).
//
//   log_append_qt [lines]          (offscreen unless QT_QPA_PLATFORM says otherwise)
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/main_form.h"
#include "app/main_window_qt.h"
#include "app/program.h"
#include "app/qt_ui_port_qt.h"
#include "sim/sim_driver.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const long lines = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 262144;
    QApplication app(argc, argv);
    zjig::PrepareApplication(app);

    zjig::QtUiPort port;
    zjig::sim::SimDriver driver;  // no JIG is needed
    zjig::Program p(port, driver, std::filesystem::temp_directory_path());
    port.SetProgram(&p);
    zjig::MainWindow window(p, port);
    zjig::FormCreate(p);
    port.RefreshAll();
    window.show();

    const zjig::Rgb colours[] = {zjig::colors::Blue, zjig::colors::Black, zjig::colors::Green,
                                 zjig::colors::Red, zjig::colors::Fuchsia};
    QElapsedTimer clock;
    std::atomic<qint64> workerDoneMs{-1};
    qint64 allShownMs = -1;
    qint64 lastTick = -1, longestGap = 0;
    std::vector<qint64> gaps;
    std::thread worker;

    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (lastTick >= 0) {
            gaps.push_back(now - lastTick);
            longestGap = std::max(longestGap, now - lastTick);
        }
        lastTick = now;
        if (allShownMs < 0 && port.EntriesShown() >= lines) {
            allShownMs = now;
            // A little longer, to see the window settle after the flood.
            QTimer::singleShot(300, &app, &QApplication::quit);
        }
    });

    QTimer::singleShot(100, [&] {
        clock.start();
        ticker.start();
        worker = std::thread([&] {
            char buf[96];
            for (long i = 0; i < lines; ++i) {
                std::snprintf(buf, sizeof buf, "Block %6ld of %ld: 0x%08lX OK\n", i + 1, lines,
                              static_cast<unsigned long>(i) * 256);
                zjig::AppendLog(p, buf, colours[i % 5]);
            }
            workerDoneMs = clock.elapsed();
        });
    });
    // Give up after a minute rather than hang.
    QTimer::singleShot(60000, &app, &QApplication::quit);
    app.exec();
    if (worker.joinable()) worker.join();

    const int blocks = window.Log()->document()->blockCount();
    const long over100 = std::count_if(gaps.begin(), gaps.end(), [](qint64 g) { return g > 100; });
    std::sort(gaps.begin(), gaps.end());
    const qint64 p99 = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
    std::printf("lines appended by the worker      %ld (in %lld ms)\n", lines,
                static_cast<long long>(workerDoneMs.load()));
    std::printf("all lines in the log's document   %s%lld ms\n", allShownMs < 0 ? "NOT after " : "",
                static_cast<long long>(allShownMs < 0 ? clock.elapsed() : allShownMs));
    std::printf("document lines                    %d\n", blocks - 1);
    std::printf("longest gap between 10 ms ticks   %lld ms (99th percentile %lld ms, %ld gaps over 100 ms, %zu ticks)\n",
                static_cast<long long>(longestGap), static_cast<long long>(p99), over100, gaps.size());
    return allShownMs >= 0 && blocks - 1 == lines ? 0 : 1;
}
