// zoltrav-jig-cli: the command-line front end of the Zoltrav JIG program.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/program.h"
#include "app/subsystems.h"
#include "cli/command.h"
#include "cli/driver_choice.h"
#include "cli/runner.h"
#include "cli/terminal_ui.h"

namespace {

std::atomic<int> g_interrupts{0};

extern "C" void OnInterrupt(int) {
    // The first Ctrl+C asks the command to stop where it safely can; a
    // second one ends the program at once.
    if (g_interrupts.fetch_add(1) >= 1) _exit(130);
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    using namespace zjig;

    std::vector<std::string> args(argv + 1, argv + argc);
    cli::Command command;
    std::string error;
    if (args.empty()) {
        std::fputs(cli::UsageText().c_str(), stderr);
        return cli::kExitUsage;
    }
    if (!cli::ParseCommand(args, command, error)) {
        std::fprintf(stderr, "zoltrav-jig-cli: %s\nTry 'zoltrav-jig-cli --help'.\n",
                     error.c_str());
        return cli::kExitUsage;
    }
    if (command.help) {
        std::fputs(cli::UsageText().c_str(), stdout);
        return cli::kExitOk;
    }
    auto driver = DriverChoice::Make(command.program, error);
    if (!driver) {
        std::fprintf(stderr, "zoltrav-jig-cli: %s\n", error.c_str());
        return cli::kExitUsage;
    }

    cli::TerminalUi ui(cli::TerminalUi::ForThisProcess());
    int status = cli::kExitFailed;
    {
        Program p(ui, driver->Driver(), DataDir(command.program));
        RegisterSubsystems(p);
        FormCreate(p);
        ui.AttachForm(&p.form);

        struct sigaction sa {};
        sa.sa_handler = OnInterrupt;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, nullptr);
        // A reader of the log that goes away (a pipe into `head`) must not
        // end the program in the middle of writing a chip.
        signal(SIGPIPE, SIG_IGN);

        status = cli::RunCommand(p, ui, command, g_interrupts);
        ui.AttachForm(nullptr);
    }
    ui.Finish();
    return status;
}
