#include "app/subsystems.h"

#include "app/program.h"
#include "keyboard/keyboard_test.h"

namespace zjig {

void RegisterSubsystems(Program& p) {
    RegisterKeyboard(p);
}

}  // namespace zjig
