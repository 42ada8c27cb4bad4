// Attaches every built subsystem (families, board wiring, keyboard test,
// firmware update) to a program: their branches, mode hooks and jobs.
#pragma once

namespace zjig {
struct Program;
void RegisterSubsystems(Program& p);
}  // namespace zjig
