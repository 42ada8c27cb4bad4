#include "sim/demo.h"

#include "sim/bench.h"

namespace zjig::sim {

Demo::~Demo() { driver.UnplugAll(); }

std::unique_ptr<Demo> MakeDemo() {
    auto demo = std::make_unique<Demo>();
    demo->jig = std::make_unique<SimJig>();
    InstallSimModules(*demo->jig);
    demo->jig->PowerOn();
    demo->driver.Plug(demo->jig->Serial());
    return demo;
}

}  // namespace zjig::sim
