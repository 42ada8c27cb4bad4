// The desktop program: the five windows on a real JIG or on the simulated one.
//
//   zoltrav-jig                 real JIGs (FTDI USB-serial bridges, /dev/ttyUSB*)
//   zoltrav-jig --port PATH     the JIG at one serial device
//   zoltrav-jig --simulate      the simulated demonstration JIG
//   --data-dir DIR              where the lists, the script and the firmware
//                               file lie (default: the program's folder)
//
// Exit status: 0 normal end, 1 failure at start or an exception that escaped
// the window loop, 2 bad command line, 3 no display to show windows on.
#include <QApplication>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/main_form.h"
#include "app/main_window_qt.h"
#include "app/message_window_qt.h"
#include "app/program.h"
#include "app/qt_ui_port_qt.h"
#include "app/subsystems.h"
#include "keyboard/keyboard_window_qt.h"
#include "sim/demo.h"
#include "wiring/solder_windows_qt.h"

#ifdef ZJIG_HAVE_TTY_DRIVER
#include "link/tty_driver.h"
#endif

#include <QMessageBox>

namespace {

struct Options {
    bool simulate = false;
    std::optional<std::string> port;
    std::optional<std::string> dataDir;
};

void Usage(std::FILE* out, const char* argv0) {
    std::fprintf(out,
                 "Usage: %s [--simulate | --port PATH] [--data-dir DIR]\n"
                 "  (no option)      use the JIG attached over USB\n"
                 "  --simulate       use the simulated JIG (demonstration)\n"
                 "  --port PATH      use the JIG at this serial device\n"
                 "  --data-dir DIR   folder of the lists, the script and the firmware file\n"
                 "                   (default: the program's folder)\n",
                 argv0);
}

// Returns the exit status when the program is to stop at once.
std::optional<int> ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::optional<std::string>& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        if (a == "--simulate") {
            o.simulate = true;
        } else if (a == "--port") {
            if (!value(o.port)) {
                std::fprintf(stderr, "%s: --port needs a device path\n", argv[0]);
                Usage(stderr, argv[0]);
                return 2;
            }
        } else if (a == "--data-dir") {
            if (!value(o.dataDir)) {
                std::fprintf(stderr, "%s: --data-dir needs a folder\n", argv[0]);
                Usage(stderr, argv[0]);
                return 2;
            }
        } else if (a == "--help" || a == "-h") {
            Usage(stdout, argv[0]);
            return 0;
        } else {
            std::fprintf(stderr, "%s: unknown option '%s'\n", argv[0], a.c_str());
            Usage(stderr, argv[0]);
            return 2;
        }
    }
    if (o.simulate && o.port) {
        std::fprintf(stderr, "%s: --simulate and --port exclude each other\n", argv[0]);
        Usage(stderr, argv[0]);
        return 2;
    }
    return std::nullopt;
}

bool HasDisplay() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

int Run(int argc, char** argv, const Options& options) {
    QApplication app(argc, argv);
    // Dates and times in the log follow the user's locale; numbers in
    // messages keep the decimal point.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    zjig::PrepareApplication(app);

    std::unique_ptr<zjig::sim::Demo> demo;
    std::unique_ptr<zjig::FtDriver> realDriver;
    zjig::FtDriver* driver = nullptr;
    if (options.simulate) {
        demo = zjig::sim::MakeDemo();
        driver = &demo->driver;
    } else {
#ifdef ZJIG_HAVE_TTY_DRIVER
        realDriver = std::make_unique<zjig::TtyDriver>(options.port);
        driver = realDriver.get();
#else
        std::fprintf(stderr,
                     "%s: this build cannot reach real JIGs; start it with --simulate\n",
                     argv[0]);
        return 1;
#endif
    }

    const std::filesystem::path dataDir =
        options.dataDir ? std::filesystem::path(*options.dataDir)
                        : std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());

    // The port outlives the program (a worker may still report while the
    // program waits for it), and the program outlives the windows.
    zjig::QtUiPort port;
    auto program = std::make_unique<zjig::Program>(port, *driver, dataDir);
    port.SetProgram(program.get());
    zjig::RegisterSubsystems(*program);

    int status = 0;
    {
        // The five windows, in their order of creation.
        zjig::MainWindow mainWindow(*program, port);
        zjig::MessageWindow messageWindow(port, &mainWindow);
        zjig::EneSolderWindow eneWindow(*program, port);
        zjig::KeyboardWindow keyboardWindow(*program, port, &mainWindow);
        zjig::MecSolderWindow mecWindow(*program, port, &mainWindow);
        QObject::connect(&mainWindow, &zjig::MainWindow::closeAccepted, &app, &QApplication::quit);

        port.RunHandler([&] { zjig::FormCreate(*program); });
        port.RefreshAll();
        mainWindow.show();

        try {
            status = app.exec();
        } catch (const std::exception& e) {
            QMessageBox::critical(nullptr, QString::fromLatin1(zjig::kAppTitle),
                                  QString::fromUtf8(e.what()));
            status = 1;
        } catch (...) {
            QMessageBox::critical(nullptr, QString::fromLatin1(zjig::kAppTitle),
                                  QStringLiteral("Unknown exception."));
            status = 1;
        }
    }
    // A job that still runs finishes with the link it owns; nothing shows it now.
    port.SetLogView(nullptr);
    program.reset();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (auto stop = ParseOptions(argc, argv, options)) return *stop;
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "%s: no display to show the windows on (neither DISPLAY nor WAYLAND_DISPLAY "
                     "nor QT_QPA_PLATFORM is set).\n"
                     "Use the terminal front end zoltrav-jig-cli instead.\n",
                     argv[0]);
        return 3;
    }
    return Run(argc, argv, options);
}
