// Runs one command of zoltrav-jig-cli on a program: the steps a user takes in
// the main window, through the same handlers, in the same order.
#pragma once

#include <atomic>

#include "app/program.h"
#include "cli/command.h"
#include "cli/terminal_ui.h"

namespace zjig::cli {

// The program's subsystems are registered and its main window created; ui is
// its user-interface port. interrupts counts the Ctrl+C presses so far.
// Returns the exit status: kExitOk when the operation succeeded as the log
// reports it, kExitFailed when it failed, kExitUsage for a usage error or a
// mode or action that is not built into this program.
int RunCommand(Program& p, TerminalUi& ui, const Command& command,
               const std::atomic<int>& interrupts);

}  // namespace zjig::cli
