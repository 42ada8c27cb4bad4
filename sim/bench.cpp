#include "sim/bench.h"

#include "sim/maintenance/bootloader.h"
#include "sim/sim_jig.h"

namespace zjig::sim {

void InstallSimModules(SimJig& jig) {
    InstallBootloader(jig);
}

}  // namespace zjig::sim
