#include "sim/bench.h"

#include "sim/ene/sim_ene.h"
#include "sim/sim_jig.h"

namespace zjig::sim {

void InstallSimModules(SimJig& jig) {
    InstallEneSim(jig);
}

}  // namespace zjig::sim
