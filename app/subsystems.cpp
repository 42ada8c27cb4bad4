#include "app/subsystems.h"

#include "app/program.h"
#include "chips/ene/ene.h"

namespace zjig {

void RegisterSubsystems(Program& p) {
    RegisterEne(p);
}

}  // namespace zjig
