// The desktop program: the five windows on a real JIG or on the simulated one.
//
//   zoltrav-jig                 real JIGs (FTDI USB-serial bridges, /dev/ttyUSB*)
//   zoltrav-jig --port PATH     the JIG at one serial device
//   zoltrav-jig --simulate      the simulated demonstration JIG
//   --sim-bench NAME, --sim-firmware TEXT   what the simulated JIG carries and runs
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
#include <vector>

#include "app/main_form.h"
#include "app/main_window_qt.h"
#include "app/message_window_qt.h"
#include "app/program.h"
#include "app/qt_ui_port_qt.h"
#include "app/subsystems.h"
#include "keyboard/keyboard_window_qt.h"
#include "wiring/solder_windows_qt.h"

#include "cli/driver_choice.h"
#include "cli/options.h"

#include <QMessageBox>

namespace {

void Usage(std::FILE* out, const char* argv0) {
    std::fprintf(out, "Usage: %s [--simulate | --port PATH] [--data-dir DIR]\n"
                      "  (no option)           use the JIG attached over USB\n%s",
                 argv0, zjig::ProgramOptionsHelp());
}

// Returns the exit status when the program is to stop at once.
std::optional<int> ParseOptions(int argc, char** argv, zjig::ProgramOptions& o) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const auto& a : args) {
        if (a == "--help" || a == "-h") {
            Usage(stdout, argv[0]);
            return 0;
        }
    }
    std::string error;
    if (!zjig::TakeProgramOptions(args, o, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        Usage(stderr, argv[0]);
        return 2;
    }
    if (!args.empty()) {
        std::fprintf(stderr, "%s: unknown option '%s'\n", argv[0], args.front().c_str());
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

int Run(int argc, char** argv, const zjig::ProgramOptions& options) {
    QApplication app(argc, argv);
    // Dates and times in the log follow the user's locale; numbers in
    // messages keep the decimal point.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    zjig::PrepareApplication(app);

    std::string error;
    auto choice = zjig::DriverChoice::Make(options, error);
    if (!choice) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.c_str());
        return 1;
    }
    zjig::FtDriver* driver = &choice->Driver();
    const std::filesystem::path dataDir = zjig::DataDir(options);

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
    zjig::ProgramOptions options;
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
