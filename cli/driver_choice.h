// The driver the options select: the simulated demo JIG, one serial device,
// or every attached FTDI device.
#pragma once

#include <memory>
#include <string>

#include "cli/options.h"
#include "link/ft_driver.h"

namespace zjig {

namespace sim {
struct Demo;
}

class DriverChoice {
public:
    // nullptr with a message when the choice cannot be made.
    static std::unique_ptr<DriverChoice> Make(const ProgramOptions& options, std::string& error);
    ~DriverChoice();
    FtDriver& Driver() { return *driver_; }

private:
    DriverChoice() = default;
    std::unique_ptr<sim::Demo> demo_;
    std::unique_ptr<FtDriver> own_;
    FtDriver* driver_ = nullptr;
};

}  // namespace zjig
