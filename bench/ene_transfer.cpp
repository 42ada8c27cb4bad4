// ENE transfer benchmark: an ENE read and an ENE write-with-verify against
// the simulated JIG, with instant answers and with the wire timing on
// (921600 baud, 8N1, the simulator's USB latency per burst).
//
// For each run it prints:
//   transfer   the job, from the worker's start (with 'K' 'R' / 'K' 'W') to the
//              end mark: wall time, the simulator's floor for the same traffic
//              (USB latency per burst plus 10 bit times per byte, both ways),
//              wall/floor, and the processor time of the worker thread;
//   operation  the whole button press, from the click to the end of the job
//              (opening the link with its 200 ms version read, the 'K' 'V'
//              check, the dialog, the job): wall time and the processor time of
//              the program's two threads (window thread + worker thread).
// Processor times are per thread (CLOCK_THREAD_CPUTIME_ID): the window thread
// measured around the click and the wait for the end, the worker thread
// measured inside the job body. The simulator's firmware thread runs in the
// same process and is not counted; the process total (getrusage, which
// includes it) is printed for comparison.
//
// The JIG's beep after the success mark 'I' (50 ms) is set to 0 in every run:
// it is a real delay of the firmware, not traffic, and would otherwise stand
// beside the floor as a constant.
//
// The simulator hands a timed byte to the host when the byte's arrival time
// has passed, through a timed wait; Linux lets such a wait oversleep by the
// thread's timer slack (50 us by default), about a tenth of the shortest
// exchange. A real driver wakes on the USB transfer's completion instead, so
// the program's two threads run with a timer slack of 1 ns here
// (--default-slack keeps the default).
//
// Usage: ene_transfer [--repeat N] [--default-slack]
#include <sys/prctl.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_ui.h"
#include "app/subsystems.h"
#include "app/main_form.h"
#include "app/program.h"
#include "chips/ene/ene.h"
#include "sim/bench.h"
#include "sim/ene/sim_ene.h"
#include "sim/sim_driver.h"
#include "sim/sim_jig.h"

using namespace zjig;
using Clock = std::chrono::steady_clock;

namespace {

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double ProcessCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

bool gFineSlack = true;

void FineTimerSlack() {
    if (gFineSlack) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

using BenchUi = bench::BenchUi;

struct Figures {
    double transferWall = 0, transferFloor = 0, workerCpu = 0;
    double opWall = 0, programCpu = 0, processCpu = 0;
    bool ok = false;
    std::string red;
};

// What the worker measures about itself.
struct WorkerClock {
    Clock::time_point start, end;
    double cpuStart = 0, cpuEnd = 0, floorStart = 0;
};

Figures RunOnce(bool timed, bool write, const std::filesystem::path& dir) {
    sim::SimJig jig;
    sim::InstallSimModules(jig);
    jig.beepDuration = std::chrono::milliseconds(0);
    if (timed) {
        sim::WireTiming t;
        t.enabled = true;
        jig.Serial()->SetTiming(t);
    }
    jig.PowerOn();
    sim::SimDriver driver;
    driver.Plug(jig.Serial());

    BenchUi ui;
    ui.savePath = (dir / "read.bin").string();
    ui.openPath = (dir / "image.bin").string();
    Program p(ui, driver, dir);
    RegisterSubsystems(p);
    WorkerClock wc;
    auto measured = [&](void (*body)(Program&)) {
        return [&wc, &jig, body](Program& q) {
            struct Stop {
                WorkerClock& wc;
                ~Stop() {
                    wc.cpuEnd = ThreadCpuSeconds();
                    wc.end = Clock::now();
                }
            } stop{wc};
            FineTimerSlack();
            wc.start = Clock::now();
            wc.cpuStart = ThreadCpuSeconds();
            wc.floorStart = jig.Serial()->FloorSeconds();
            body(q);
        };
    };
    p.jobs.Register(job_order::kReadEne, "READ_ENE", false, measured(EneReadJob));
    p.jobs.Register(job_order::kWriteEne, "WRITE_ENE", false, measured(EneWriteJob));
    FormCreate(p);
    // The technician's steps before a transfer: the ENE mode, the board of
    // the simulated bench (the example list's first line), a 30-contact
    // cable, and the settings sent to the JIG.
    std::filesystem::copy_file(std::filesystem::path(ZJIG_SOURCE_DIR) / "data" / "MB connection ENE.txt",
                               dir / "MB connection ENE.txt",
                               std::filesystem::copy_options::overwrite_existing);
    SelectMode(p, "ENE  (KB90XX)");
    p.form.SetItemIndex("ComboBox_MB", 1);
    Fire(p, "ComboBox_MBClick");
    p.form.SetItemIndex("ComboBox_FFC", 6);  // "30 pin"
    Fire(p, "ComboBox_FFCClick");
    Fire(p, "BitBtn_SendSettingsClick");
    if (!p.SettingsSent) {
        std::fprintf(stderr, "the settings were not accepted:\n%s", ui.Red().c_str());
        return {};
    }

    jig.Serial()->ResetFloor();
    const double process0 = ProcessCpuSeconds();
    const double window0 = ThreadCpuSeconds();
    const auto t0 = Clock::now();
    write ? BitBtn_WRITEClick(p) : BitBtn_READClick(p);
    p.jobs.WaitIdle(std::chrono::minutes(5));
    const auto t1 = Clock::now();
    const double window1 = ThreadCpuSeconds();
    const double process1 = ProcessCpuSeconds();

    Figures f;
    f.opWall = Seconds(t1 - t0);
    f.transferWall = Seconds(wc.end - wc.start);
    f.transferFloor = jig.Serial()->FloorSeconds() - wc.floorStart;
    f.workerCpu = wc.cpuEnd - wc.cpuStart;
    f.programCpu = (window1 - window0) + f.workerCpu;
    f.processCpu = process1 - process0;
    f.ok = p.op.outcome == Outcome::Succeeded;
    f.red = ui.Red();
    if (!write) {
        std::ifstream in(dir / "read.bin", std::ios::binary);
        std::vector<uint8_t> got((std::istreambuf_iterator<char>(in)), {});
        f.ok = f.ok && got == jig.Part<sim::SimEneChip>().Flash();
    } else {
        std::ifstream in(dir / "image.bin", std::ios::binary);
        std::vector<uint8_t> want((std::istreambuf_iterator<char>(in)), {});
        f.ok = f.ok && want == jig.Part<sim::SimEneChip>().Flash();
    }
    driver.UnplugAll();
    return f;
}

// How late a 1 ms timed wait of this thread wakes on this machine (the
// simulator hands each timed answer to the host through such a wait; a read
// has two per block, a write-with-verify three per block in all).
void PrintTimerOversleep() {
    std::mutex m;
    std::condition_variable cv;
    std::vector<double> late;
    for (int i = 0; i < 500; ++i) {
        std::unique_lock lock(m);
        const auto at = Clock::now() + std::chrono::milliseconds(1);
        cv.wait_until(lock, at);
        late.push_back(std::chrono::duration<double, std::micro>(Clock::now() - at).count());
    }
    std::sort(late.begin(), late.end());
    double sum = 0;
    for (double x : late) sum += x;
    std::printf("timer oversleep of a 1 ms wait here: median %.1f us, mean %.1f us, p90 %.1f us\n",
                late[late.size() / 2], sum / static_cast<double>(late.size()),
                late[late.size() * 9 / 10]);
}

std::string Ratio(double a, double b) {
    if (b <= 0) return "     n/a";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%8.4f", a / b);
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    int repeat = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) repeat = std::atoi(argv[++i]);
        if (std::strcmp(argv[i], "--default-slack") == 0) gFineSlack = false;
    }
    FineTimerSlack();
    char tmpl[] = "/tmp/zjig-ene-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path dir = tmpl;
    {
        std::vector<uint8_t> image(131072);
        uint32_t x = 12345;
        for (auto& b : image) b = static_cast<uint8_t>((x = x * 1103515245u + 12345u) >> 24);
        std::ofstream out(dir / "image.bin", std::ios::binary);
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    }

    std::printf("ENE transfer benchmark: 131072 bytes (512 blocks of 256), simulated JIG, beep 0 ms, "
                "timer slack %s\n",
                gFineSlack ? "1 ns" : "default");
    PrintTimerOversleep();
    std::printf("%-8s %-13s | %-40s | %-28s | %s\n", "answers", "operation",
                "transfer: wall_ms floor_ms wall/floor", "worker cpu_ms cpu/wall",
                "whole press: wall_ms prog_cpu_ms cpu/wall (process cpu_ms)");
    bool allOk = true;
    for (bool timed : {false, true}) {
        for (bool write : {false, true}) {
            for (int r = 0; r < repeat; ++r) {
                Figures f = RunOnce(timed, write, dir);
                allOk = allOk && f.ok;
                std::printf("%-8s %-13s | %9.1f %8.1f %s           | %9.2f %8.4f       | %9.1f %8.2f %8.4f (%8.1f)%s\n",
                            timed ? "wire" : "instant", write ? "write+verify" : "read",
                            f.transferWall * 1e3, f.transferFloor * 1e3,
                            Ratio(f.transferWall, f.transferFloor).c_str(), f.workerCpu * 1e3,
                            f.transferWall > 0 ? f.workerCpu / f.transferWall : 0.0,
                            f.opWall * 1e3, f.programCpu * 1e3,
                            f.opWall > 0 ? f.programCpu / f.opWall : 0.0, f.processCpu * 1e3,
                            f.ok ? "" : ("  FAILED " + f.red).c_str());
                std::fflush(stdout);
            }
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return allOk ? 0 : 1;
}
