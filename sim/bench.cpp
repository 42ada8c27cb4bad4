#include "sim/bench.h"

#include "sim/sim_jig.h"
#include "sim/wiring/board_model.h"

namespace zjig::sim {

void InstallSimModules(SimJig& jig) {
    InstallWiringSim(jig);
}

}  // namespace zjig::sim
