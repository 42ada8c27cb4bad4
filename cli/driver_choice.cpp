#include "cli/driver_choice.h"

#include <mutex>

#include "sim/demo.h"
#include "sim/wiring/bench_setup.h"
#include "link/tty_driver.h"

namespace zjig {

DriverChoice::~DriverChoice() = default;

namespace {
// What --sim-bench attaches to the simulated JIG.
sim::SimBench NamedBench(const std::string& name) {
    sim::SimBench bench = sim::DefaultBench();
    if (name == "motherboard-mirrored-cable") bench.cableMirrored = true;
    if (name == "motherboard-soldered") bench.join = sim::SimJoin::SolderedWires;
    if (name == "external-ene") bench = sim::ExternalBench(sim::SimExtType::Ene, false);
    if (name == "external-ene-mirrored") bench = sim::ExternalBench(sim::SimExtType::Ene, true);
    if (name == "external-ite") bench = sim::ExternalBench(sim::SimExtType::Ite, false);
    if (name == "external-nuvoton") bench = sim::ExternalBench(sim::SimExtType::Nuvoton, false);
    if (name == "nothing") bench.attached = sim::SimBench::Attached::Nothing;
    return bench;
}
}  // namespace

std::unique_ptr<DriverChoice> DriverChoice::Make(const ProgramOptions& options,
                                                 std::string& error) {
    std::unique_ptr<DriverChoice> choice(new DriverChoice);
    if (options.simulate) {
        choice->demo_ = sim::MakeDemo();
        if (options.simulatedFirmware) {
            std::lock_guard lock(choice->demo_->jig->StateMutex());
            choice->demo_->jig->version = *options.simulatedFirmware;
        }
        if (options.simulatedBench) sim::SetBench(*choice->demo_->jig, NamedBench(*options.simulatedBench));
        choice->driver_ = &choice->demo_->driver;
        return choice;
    }
    (void)error;
    choice->own_ = std::make_unique<TtyDriver>(options.port);
    choice->driver_ = choice->own_.get();
    return choice;
}

}  // namespace zjig
