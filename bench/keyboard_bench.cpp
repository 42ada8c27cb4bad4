// Measures the keyboard test on the simulated JIG with wire timing: the scan
// rate on an idle keyboard and the processor time it costs, the processor
// time while the JIG is silent, and how long "Exit", an unplugged JIG and a
// silent JIG take to end the test.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "bench/bench_ui.h"
#include "app/main_form.h"
#include "app/program.h"
#include "app/subsystems.h"
#include "keyboard/keyboard_test.h"
#include "sim/bench.h"
#include "sim/keyboard/sim_keyboard.h"
#include "sim/sim_driver.h"
#include "sim/sim_jig.h"

using namespace zjig;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

using QuietUi = bench::BenchUi;

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Bench {
    Bench() {
        jig = std::make_unique<sim::SimJig>();
        sim::InstallSimModules(*jig);
        jig->Serial()->SetTiming(sim::WireTiming{.enabled = true});
        jig->PowerOn();
        driver.Plug(jig->Serial());
        program = std::make_unique<Program>(ui, driver, std::filesystem::temp_directory_path());
        RegisterSubsystems(*program);
        FormCreate(*program);
        kb().Reset();
    }
    ~Bench() {
        for (int i = 0; i < 100 && !program->jobs.WaitIdle(100ms); ++i) BitBtn_EXITClick(*program);
        program.reset();
        jig.reset();
    }
    sim::SimKeyboard& kb() { return jig->Part<sim::SimKeyboard>(); }
    void Start() {
        const auto before = kb().Scans();
        SelectMode(*program, "Keyboard test");
        kb().WaitForScans(before + 1, 2s);
    }
    // Time from `act` to the end of the job.
    template <class F>
    double TimeToEnd(F act) {
        const auto t0 = Clock::now();
        act();
        program->jobs.WaitIdle(10s);
        return Ms(Clock::now() - t0);
    }

    QuietUi ui;
    sim::SimDriver driver;
    std::unique_ptr<sim::SimJig> jig;
    std::unique_ptr<Program> program;
};

}  // namespace

int main() {
    {
        Bench b;
        b.Start();
        const auto scans0 = b.kb().Scans();
        const double cpu0 = CpuSeconds();
        const auto t0 = Clock::now();
        std::this_thread::sleep_for(2s);
        const double wall = Ms(Clock::now() - t0) / 1000;
        const double cpu = CpuSeconds() - cpu0;
        const auto scans = b.kb().Scans() - scans0;
        std::printf("idle keyboard: %.0f scan reports/s, process CPU %.1f%% of one core\n",
                    scans / wall, 100 * cpu / wall);
        std::printf("Exit on an idle keyboard ends the test in %.1f ms\n",
                    b.TimeToEnd([&] { BitBtn_EXITClick(*b.program); }));
    }
    {
        Bench b;
        b.kb().SetScanTime(std::chrono::microseconds(0));
        b.kb().ClosePermanently(3, 9);
        b.Start();
        b.program->form.SetChecked("Buzzer_box", true);
        std::this_thread::sleep_for(200ms);
        const auto scans0 = b.kb().Scans();
        std::this_thread::sleep_for(2s);
        std::printf("key held, buzzer off: %.1f reports/s (one 100 ms pause per change)\n",
                    (b.kb().Scans() - scans0) / 2.0);
    }
    {
        Bench b;
        b.kb().SetAnswering(false);
        b.Start();
        std::this_thread::sleep_for(100ms);
        const double cpu0 = CpuSeconds();
        std::this_thread::sleep_for(500ms);
        std::printf("silent JIG: process CPU %.1f%% of one core while waiting\n",
                    100 * (CpuSeconds() - cpu0) / 0.5);
        std::printf("Exit while no report comes ends the test in %.1f ms\n",
                    b.TimeToEnd([&] { BitBtn_EXITClick(*b.program); }));
    }
    {
        Bench b;
        b.Start();
        std::this_thread::sleep_for(200ms);
        std::printf("unplugged JIG ends the test in %.1f ms\n",
                    b.TimeToEnd([&] { b.jig->Serial()->Unplug(); }));
    }
    {
        Bench b;
        b.Start();
        std::this_thread::sleep_for(200ms);
        std::printf("silent JIG ends the test in %.1f ms (watchdog %u ms)\n",
                    b.TimeToEnd([&] { b.kb().SetAnswering(false); }), kKeyboardWatchdogMs);
    }
    return 0;
}
