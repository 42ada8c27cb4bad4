#include "sim/bench.h"

#include "sim/keyboard/sim_keyboard.h"
#include "sim/sim_jig.h"

namespace zjig::sim {

void InstallSimModules(SimJig& jig) {
    InstallKeyboardSim(jig);
}

}  // namespace zjig::sim
