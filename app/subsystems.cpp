#include "app/subsystems.h"

#include "app/program.h"
#include "chips/edid/edid.h"
#include "maintenance/firmware_update.h"
#include "wiring/send_settings.h"
#include "keyboard/keyboard_test.h"
#include "chips/ene/ene.h"

namespace zjig {

void RegisterSubsystems(Program& p) {
    RegisterFirmwareUpdate(p);
    RegisterEdid(p);
    RegisterWiring(p);
    RegisterKeyboard(p);
    RegisterEne(p);
}

}  // namespace zjig
