// The firmware's 'T' command family. The main loop dispatches on the first
// byte only, so one 'T' handler reads the second byte and runs the handler
// installed for it here; every sim module that answers 'T' frames (external
// board supply, ITE setup mode, ITE registers and transfers) adds its own.
// A second byte without a handler is ignored, as the firmware does.
#pragma once

#include <cstdint>

#include "sim/sim_jig.h"

namespace zjig::sim {

// Installs the handler of 'T' <second> (replacing any earlier one). Install
// before the JIG is powered on.
void OnTCommand(SimJig& jig, uint8_t second, SimJig::Handler handler);

}  // namespace zjig::sim
