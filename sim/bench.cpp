#include "sim/bench.h"

#include "sim/edid/sim_edid.h"
#include "sim/maintenance/bootloader.h"
#include "sim/keyboard/sim_keyboard.h"
#include "sim/ene/sim_ene.h"
#include "sim/sim_jig.h"
#include "sim/wiring/board_model.h"

namespace zjig::sim {

void InstallSimModules(SimJig& jig) {
    InstallBootloader(jig);
    InstallSimEdid(jig);
    InstallWiringSim(jig);
    InstallKeyboardSim(jig);
    InstallEneSim(jig);
}

}  // namespace zjig::sim
