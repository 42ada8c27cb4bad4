#include "app/subsystems.h"

#include "app/program.h"
#include "chips/edid/edid.h"

namespace zjig {

void RegisterSubsystems(Program& p) {
    RegisterEdid(p);
}

}  // namespace zjig
