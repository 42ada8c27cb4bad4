// Times EDID READ and WRITE from the main window on the simulated JIG with
// wire timing (921600 baud, USB turnaround) and the panel's bus times, and
// compares them with the least time their traffic needs on the wire.
//
//   ./build/bin/edid_bench [rounds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench_ui.h"
#include "app/main_form.h"
#include "app/program.h"
#include "app/subsystems.h"
#include "chips/edid/edid.h"
#include "sim/bench.h"
#include "sim/sim_driver.h"
#include "sim/sim_jig.h"

namespace {

using namespace zjig;

using QuietUi = bench::BenchUi;

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    const auto dir = std::filesystem::temp_directory_path() / "zjig-edid-bench";
    std::filesystem::create_directories(dir);

    sim::SimJig jig;
    sim::InstallSimModules(jig);
    sim::WireTiming timing;
    timing.enabled = true;
    jig.Serial()->SetTiming(timing);
    jig.PowerOn();
    sim::SimDriver driver;
    driver.Plug(jig.Serial());
    QuietUi ui;
    ui.savePath = ui.openPath = (dir / "edid.bin").string();
    Program p(ui, driver, dir);
    RegisterSubsystems(p);
    FormCreate(p);
    SelectMode(p, kEdidModeText);

    int failures = 0;
    for (bool write : {false, true}) {
        double total = 0, floor = 0;
        for (int i = 0; i < rounds; ++i) {
            jig.Serial()->ResetFloor();
            const auto start = std::chrono::steady_clock::now();
            if (write)
                BitBtn_WRITEClick(p);
            else
                BitBtn_READClick(p);
            total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            floor += jig.Serial()->FloorSeconds();
            failures += p.op.outcome != Outcome::Succeeded;
        }
        std::printf("%-5s  %d rounds  mean %.3f s  wire floor %.3f s\n", write ? "WRITE" : "READ",
                    rounds, total / rounds, floor / rounds);
    }
    std::printf("failed operations: %d, red lines: %d\n", failures, ui.RedLines());
    std::filesystem::remove_all(dir);
    return failures == 0 ? 0 : 1;
}
