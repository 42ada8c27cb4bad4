#include "app/subsystems.h"

#include "app/program.h"
#include "wiring/send_settings.h"

namespace zjig {

void RegisterSubsystems(Program& p) {
    RegisterWiring(p);
}

}  // namespace zjig
