#include "app/subsystems.h"

#include "app/program.h"

namespace zjig {

void RegisterSubsystems(Program& p) {
    (void)p;
}

}  // namespace zjig
