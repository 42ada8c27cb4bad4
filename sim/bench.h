// What the simulated JIG carries: every family's sim module installed on a
// JIG, with the default bench the demonstration uses (boards, cable, chip
// contents matching the example lists in data/).
#pragma once

namespace zjig::sim {
class SimJig;
// Installs the command handlers and default chip models of every sim module.
void InstallSimModules(SimJig& jig);
}  // namespace zjig::sim
