#include "cli/driver_choice.h"

#include <mutex>

#include "sim/demo.h"
#if defined(ZJIG_HAVE_TTY_DRIVER)
#include "link/tty_driver.h"
#endif

namespace zjig {

DriverChoice::~DriverChoice() = default;

std::unique_ptr<DriverChoice> DriverChoice::Make(const ProgramOptions& options,
                                                 std::string& error) {
    std::unique_ptr<DriverChoice> choice(new DriverChoice);
    if (options.simulate) {
        choice->demo_ = sim::MakeDemo();
        if (options.simulatedFirmware) {
            std::lock_guard lock(choice->demo_->jig->StateMutex());
            choice->demo_->jig->version = *options.simulatedFirmware;
        }
        choice->driver_ = &choice->demo_->driver;
        return choice;
    }
#if defined(ZJIG_HAVE_TTY_DRIVER)
    choice->own_ = std::make_unique<TtyDriver>(options.port);
    choice->driver_ = choice->own_.get();
    return choice;
#else
    error = "this build has no serial-port backend yet; use --simulate";
    return nullptr;
#endif
}

}  // namespace zjig
