// The simulated JIG of the demonstration (--simulate): one JIG on the
// simulated USB with every sim module and the default bench.
#pragma once

#include <memory>

#include "sim/sim_driver.h"
#include "sim/sim_jig.h"

namespace zjig::sim {

struct Demo {
    SimDriver driver;
    std::unique_ptr<SimJig> jig;
    ~Demo();
};

std::unique_ptr<Demo> MakeDemo();

}  // namespace zjig::sim
