// Measures the JIG firmware update against the simulated JIG:
//  1. the bootloader probe while nobody presses the reset button: processor
//     time of the whole process (program and simulator) per second of probing;
//  2. a full 131072-byte image (1025 pages) with instant answers and with the
//     wire timing of a 921600 baud line: wall time, and the floor time the
//     traffic needs on the wire.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "bench/bench_ui.h"
#include "app/main_form.h"
#include "app/program.h"
#include "app/subsystems.h"
#include "maintenance/firmware_update.h"
#include "sim/bench.h"
#include "sim/maintenance/bootloader.h"
#include "sim/sim_driver.h"
#include "sim/sim_jig.h"

using namespace zjig;
using namespace std::chrono_literals;

namespace {

using QuietUi = bench::BenchUi;

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Run {
    double wall = 0, cpu = 0, floor = 0;
    std::string lastLine;
    size_t pages = 0;
};

Run Update(bool timed, std::optional<std::chrono::milliseconds> press, uint32_t resetWaitMs) {
    const auto dir = std::filesystem::temp_directory_path() / "zjig-bench-fwupdate";
    std::filesystem::create_directories(dir);
    {
        std::vector<char> image(kFirmwareImageSize);
        std::mt19937 rng(1);
        for (auto& b : image) b = static_cast<char>(rng());
        std::ofstream(dir / kFirmwareFileName, std::ios::binary).write(image.data(), image.size());
    }
    QuietUi ui;
    sim::SimDriver driver;
    sim::SimJig jig("M328_EPM240_v19");
    sim::InstallSimModules(jig);
    jig.Part<sim::SimBootloader>().pressResetAfter = press;
    jig.PowerOn();
    if (timed) jig.Serial()->SetTiming(sim::WireTiming{true});
    driver.Plug(jig.Serial());
    Run r;
    {
        Program p(ui, driver, dir);
        RegisterSubsystems(p);
        FormCreate(p);
        p.State<FirmwareUpdateState>().resetWaitMs = resetWaitMs;
        jig.Serial()->ResetFloor();
        const double cpu0 = ProcessCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        StartJob(p, "FWUPDATE");
        p.jobs.WaitIdle(600s);
        r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        r.cpu = ProcessCpuSeconds() - cpu0;
        r.floor = jig.Serial()->FloorSeconds();
        r.lastLine = ui.Last();
        r.pages = jig.Part<sim::SimBootloader>().Pages().size();
    }
    std::filesystem::remove_all(dir);
    return r;
}

void Trim(std::string& s) {
    while (!s.empty() && s.back() == '\n') s.pop_back();
}

}  // namespace

int main() {
    Run probe = Update(false, std::nullopt, 3000);
    Trim(probe.lastLine);
    std::printf("probe without reset press: %.2f s of probing, processor %.3f s (%.1f %% of one core)"
                " -> \"%s\"\n",
                probe.wall, probe.cpu, 100.0 * probe.cpu / probe.wall, probe.lastLine.c_str());

    for (bool timed : {false, true}) {
        Run r = Update(timed, 0ms, 5000);
        Trim(r.lastLine);
        std::printf("%-22s %zu pages: wall %.3f s, processor %.3f s", timed ? "wire timing 921600:" : "instant answers:",
                    r.pages, r.wall, r.cpu);
        if (timed) std::printf(", wire floor %.3f s, wall/floor %.3f", r.floor, r.wall / r.floor);
        std::printf(" -> \"%s\"\n", r.lastLine.c_str());
    }
    return 0;
}
