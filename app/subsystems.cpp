#include "app/subsystems.h"

#include "app/program.h"
#include "maintenance/firmware_update.h"

namespace zjig {

void RegisterSubsystems(Program& p) {
    RegisterFirmwareUpdate(p);
}

}  // namespace zjig
