// Processor time of the tty backend's waits, on a pseudo-terminal: a wait
// must sleep in the kernel, not spin, both while nothing comes and while the
// awaited bytes trickle in; and the pseudo-terminal bridge of the simulated
// JIG must not spin when idle.
//
// Run: ./build/bin/tty_wait_cpu
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "bench/bench_ui.h"
#include "app/program.h"
#include "app/ui_port.h"
#include "link/jig_link.h"
#include "link/protocol.h"
#include "link/tty_driver.h"
#include "sim/bench.h"
#include "sim/pty_bridge.h"
#include "sim/sim_jig.h"

using namespace zjig;
using Clock = std::chrono::steady_clock;

namespace {

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void Report(const char* what, double wall, double cpu, const char* extra = "") {
    std::printf("%-58s wall %7.3f s  cpu %7.4f s  (%5.2f %% of a core)%s\n", what, wall, cpu,
                wall > 0 ? 100.0 * cpu / wall : 0.0, extra);
}

struct Port {
    sim::PtyPair pty;
    TtyDriver driver{pty.SlavePath()};
    FtHandle h = kNoHandle;
    Port() {
        uint32_t n = 0;
        driver.CreateDeviceInfoList(n);
        if (driver.Open(0, h) != FtStatus::Ok) {
            std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
            std::exit(1);
        }
        driver.SetBaudRate(h, 921600);
        driver.SetDataCharacteristics(h, 8, 0, 0);
        driver.SetTimeouts(h, 200, 200);
    }
    ~Port() { driver.Close(h); }
};

// Waits for n bytes while a writer sends `chunk` bytes every `period`.
void Trickle(const char* what, uint32_t n, uint32_t chunk, std::chrono::microseconds period) {
    Port port;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        std::vector<uint8_t> bytes(chunk, 0x5A);
        auto next = Clock::now();
        while (!stop) {
            next += period;
            std::this_thread::sleep_until(next);
            if (write(port.pty.Master(), bytes.data(), bytes.size()) < 0) break;
        }
    });
    const double cpu0 = ThreadCpuSeconds();
    const auto t0 = Clock::now();
    uint32_t rx = 0;
    FtStatus st = port.driver.WaitForQueue(port.h, n, 10000, rx);
    const double wall = Seconds(Clock::now() - t0);
    const double cpu = ThreadCpuSeconds() - cpu0;
    stop = true;
    writer.join();
    char extra[64];
    std::snprintf(extra, sizeof extra, "  queued %u of %u%s", rx, n, st == FtStatus::Ok ? "" : " FAILED");
    Report(what, wall, cpu, extra);
}

using NullUi = bench::BenchUi;

}  // namespace

int main() {
    std::printf("tty backend waits on a pseudo-terminal (processor time of the waiting thread)\n");
    {
        Port port;
        const double cpu0 = ThreadCpuSeconds();
        const auto t0 = Clock::now();
        uint32_t rx = 0;
        port.driver.WaitForQueue(port.h, 1, 1000, rx);
        Report("WaitForQueue(1), nothing comes, 1 s limit", Seconds(Clock::now() - t0),
               ThreadCpuSeconds() - cpu0);
    }
    {
        Port port;
        uint8_t buf[32];
        uint32_t got = 0;
        port.driver.SetTimeouts(port.h, 1000, 1000);
        const double cpu0 = ThreadCpuSeconds();
        const auto t0 = Clock::now();
        port.driver.Read(port.h, buf, sizeof buf, got);
        Report("Read(32), nothing comes, 1 s read time-out", Seconds(Clock::now() - t0),
               ThreadCpuSeconds() - cpu0);
    }
    Trickle("WaitForQueue(400), 1 byte every 2 ms", 400, 1, std::chrono::microseconds(2000));
    Trickle("WaitForQueue(4000), 64 bytes every 0.7 ms (921600 baud)", 4000, 64,
            std::chrono::microseconds(700));
    Trickle("WaitForQueue(300), 1 byte every 20 ms", 300, 1, std::chrono::microseconds(20000));

    std::printf("\nsimulated JIG behind a pseudo-terminal (processor time of the whole process)\n");
    {
        sim::SimJig jig;
        sim::InstallSimModules(jig);
        jig.PowerOn();
        auto bridge = std::make_unique<sim::PtyBridge>(jig.Serial());
        TtyDriver driver(bridge->SlavePath());
        NullUi ui;
        auto dir = std::filesystem::temp_directory_path();
        Program p(ui, driver, dir);

        double cpu0 = ProcessCpuSeconds();
        auto t0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        Report("bridge idle, 1 s", Seconds(Clock::now() - t0), ProcessCpuSeconds() - cpu0);

        if (!OpenJigLinkChecked(p)) {
            std::fprintf(stderr, "the JIG did not identify\n");
            return 1;
        }
        const int frames = 2000;
        cpu0 = ProcessCpuSeconds();
        t0 = Clock::now();
        for (int i = 0; i < frames; ++i)
            SendJigCommand(p.link, "WR_ALTERA_REG", static_cast<uint8_t>(i), static_cast<uint8_t>(i * 7));
        const double wall = Seconds(Clock::now() - t0);
        char extra[64];
        std::snprintf(extra, sizeof extra, "  %.1f us per frame", 1e6 * wall / frames);
        Report("2000 WR_ALTERA_REG frames with answers", wall, ProcessCpuSeconds() - cpu0, extra);
        CloseJigLink(p);
        t0 = Clock::now();
        bridge.reset();
        std::printf("bridge stopped in %.1f ms\n", 1e3 * Seconds(Clock::now() - t0));
    }
    return 0;
}
