#include "app/subsystems.h"

#include "app/program.h"
#include "chips/edid/edid.h"
#include "maintenance/firmware_update.h"

namespace zjig {

void RegisterSubsystems(Program& p) {
    RegisterFirmwareUpdate(p);
    RegisterEdid(p);
}

}  // namespace zjig
