#include "sim/bench.h"

#include "sim/edid/sim_edid.h"
#include "sim/sim_jig.h"

namespace zjig::sim {

void InstallSimModules(SimJig& jig) {
    InstallSimEdid(jig);
}

}  // namespace zjig::sim
