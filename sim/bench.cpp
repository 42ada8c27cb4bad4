#include "sim/bench.h"

#include "sim/sim_jig.h"

namespace zjig::sim {

void InstallSimModules(SimJig& jig) {
    (void)jig;
}

}  // namespace zjig::sim
