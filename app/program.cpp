#include "app/program.h"

#include "app/main_form.h"

namespace zjig {

Program::Program(UiPort& ui_, FtDriver& driver_, std::filesystem::path dataDir_)
    : ui(ui_),
      driver(driver_),
      dataDir(std::move(dataDir_)),
      programVersion(BuildProgramVersion()),
      form(ui_),
      gauge(ui_) {
    link.driver = &driver;
    link.limits = &limits;
}

Program::~Program() {
    // A worker still running (tests that end early) must not outlive the state it uses.
    jobs.WaitIdle(std::chrono::seconds(60));
}

}  // namespace zjig
