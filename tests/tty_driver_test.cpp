// The Linux tty backend of the driver interface, on pseudo-terminals and a
// fake sysfs tree, and end to end with the simulated JIG behind a
// pseudo-terminal (through the kernel's tty layer).
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/program.h"
#include "link/jig_link.h"
#include "link/protocol.h"
#include "link/tty_driver.h"
#include "sim/bench.h"
#include "sim/pty_bridge.h"
#include "sim/sim_jig.h"
#include "tests/support/fixture.h"
#include "tests/support/recording_ui.h"

namespace zjig::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<milliseconds>(Clock::now() - since).count());
}

void WriteAll(int fd, const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        ASSERT_TRUE(n < 0 && errno == EAGAIN) << "write failed: " << errno;
        pollfd p{fd, POLLOUT, 0};
        ASSERT_EQ(poll(&p, 1, 2000), 1);
    }
}

// Reads from fd until n bytes have come or limitMs has passed.
std::vector<uint8_t> ReadUpTo(int fd, size_t n, int limitMs) {
    std::vector<uint8_t> out;
    const auto end = Clock::now() + milliseconds(limitMs);
    while (out.size() < n) {
        auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
        uint8_t buf[1024];
        ssize_t got = read(fd, buf, std::min(sizeof buf, n - out.size()));
        if (got <= 0) break;
        out.insert(out.end(), buf, buf + got);
    }
    return out;
}

// A pseudo-terminal whose slave the driver has open, set up as the link
// opens a JIG.
struct OpenPty {
    sim::PtyPair pty;
    TtyDriver driver{pty.SlavePath()};
    FtHandle h = kNoHandle;

    explicit OpenPty(uint32_t readMs = 200, uint32_t writeMs = 200) {
        uint32_t count = 0;
        EXPECT_EQ(driver.CreateDeviceInfoList(count), FtStatus::Ok);
        EXPECT_EQ(count, 1u);
        EXPECT_EQ(driver.Open(0, h), FtStatus::Ok);
        EXPECT_EQ(driver.ResetDevice(h), FtStatus::Ok);
        EXPECT_EQ(driver.SetBaudRate(h, 921600), FtStatus::Ok);
        EXPECT_EQ(driver.SetDataCharacteristics(h, kBits8, kStopBits1, kParityNone), FtStatus::Ok);
        EXPECT_EQ(driver.SetTimeouts(h, readMs, writeMs), FtStatus::Ok);
    }
    ~OpenPty() {
        if (h != kNoHandle) driver.Close(h);
    }
    // Lets the kernel hand bytes written to the master over to the slave.
    uint32_t WaitQueued(uint32_t n) {
        uint32_t rx = 0;
        EXPECT_EQ(driver.WaitForQueue(h, n, 2000, rx), FtStatus::Ok);
        return rx;
    }
};

std::vector<uint8_t> AllBytes() {
    std::vector<uint8_t> v;
    for (int b = 0; b < 256; ++b) v.push_back(static_cast<uint8_t>(b));
    return v;
}

// Every byte value, each followed by one of the bytes a cooked tty acts on
// (line feed, carriage return, XON, XOFF, interrupt).
std::vector<uint8_t> AllBytesAmongControls() {
    const uint8_t controls[] = {0x0A, 0x0D, 0x11, 0x13, 0x03};
    std::vector<uint8_t> v;
    for (int b = 0; b < 256; ++b) {
        v.push_back(static_cast<uint8_t>(b));
        v.push_back(controls[b % 5]);
    }
    return v;
}

TEST(TtyDriver, EveryByteValuePassesBothWaysUntouched) {
    const std::vector<std::vector<uint8_t>> payloads = {AllBytes(), AllBytesAmongControls()};
    for (size_t i = 0; i < payloads.size(); ++i) {
        SCOPED_TRACE("payload " + std::to_string(i));
        const auto& sent = payloads[i];
        OpenPty t(2000, 2000);
        ASSERT_NE(t.h, kNoHandle);
        const auto len = static_cast<uint32_t>(sent.size());

        // Device to program.
        WriteAll(t.pty.Master(), sent);
        std::vector<uint8_t> got(len + 16, 0xEE);
        uint32_t n = 0;
        ASSERT_EQ(t.driver.Read(t.h, got.data(), len, n), FtStatus::Ok);
        got.resize(n);
        EXPECT_EQ(got, sent);

        // Program to device, in one write; nothing echoed or added before it.
        uint32_t written = 0;
        ASSERT_EQ(t.driver.Write(t.h, sent.data(), len, written), FtStatus::Ok);
        EXPECT_EQ(written, len);
        EXPECT_EQ(ReadUpTo(t.pty.Master(), sent.size() + 16, 300), sent);

        // And nothing left over on the program's side either.
        uint32_t rx = 1, tx = 0, ev = 0;
        ASSERT_EQ(t.driver.GetStatus(t.h, rx, tx, ev), FtStatus::Ok);
        EXPECT_EQ(rx, 0u);
    }
}

TEST(TtyDriver, ReadReturnsWhatCameWithinTheTimeout) {
    struct Case {
        const char* name;
        size_t before;     // bytes there before the read
        size_t later;      // bytes written 30 ms into the read
        uint32_t asked;
        uint32_t expected;
        bool waitsOutTimeout;
    };
    const Case cases[] = {
        {"nothing comes", 0, 0, 10, 0, true},
        {"fewer than asked", 4, 0, 10, 4, true},
        {"the rest comes during the read", 4, 6, 10, 10, false},
        {"more than asked", 12, 0, 10, 10, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Long where the read must end before it, short where it must be waited out.
        const uint32_t timeoutMs = c.waitsOutTimeout ? 200 : 3000;
        OpenPty t(timeoutMs);
        ASSERT_NE(t.h, kNoHandle);
        std::vector<uint8_t> bytes(c.before + c.later);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(0xA0 + i);
        WriteAll(t.pty.Master(), {bytes.begin(), bytes.begin() + static_cast<long>(c.before)});
        if (c.before) t.WaitQueued(static_cast<uint32_t>(c.before));
        std::thread writer;
        if (c.later)
            writer = std::thread([&] {
                std::this_thread::sleep_for(milliseconds(30));
                WriteAll(t.pty.Master(), {bytes.begin() + static_cast<long>(c.before), bytes.end()});
            });
        std::vector<uint8_t> got(c.asked);
        uint32_t n = 99;
        auto start = Clock::now();
        EXPECT_EQ(t.driver.Read(t.h, got.data(), c.asked, n), FtStatus::Ok);
        long ms = ElapsedMs(start);
        if (writer.joinable()) writer.join();
        ASSERT_EQ(n, c.expected);
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + n, bytes.begin()));
        if (c.waitsOutTimeout)
            EXPECT_GE(ms, static_cast<long>(timeoutMs) - 10);
        else
            EXPECT_LT(ms, static_cast<long>(timeoutMs));
    }
}

TEST(TtyDriver, QueueLengthWaitAndPurge) {
    OpenPty t;
    ASSERT_NE(t.h, kNoHandle);
    // WaitForQueue returns once n bytes are there, not at its time limit,
    // also when they come in pieces.
    std::thread writer([&] {
        WriteAll(t.pty.Master(), {1, 2, 3});
        std::this_thread::sleep_for(milliseconds(40));
        WriteAll(t.pty.Master(), {4, 5, 6, 7});
    });
    uint32_t rx = 0;
    auto start = Clock::now();
    FtStatus st = t.driver.WaitForQueue(t.h, 7, 3000, rx);
    long ms = ElapsedMs(start);
    writer.join();
    ASSERT_EQ(st, FtStatus::Ok);
    EXPECT_EQ(rx, 7u);
    EXPECT_LT(ms, 2500);

    // Fewer than asked: Ok at the time limit with what is there.
    ASSERT_EQ(t.driver.WaitForQueue(t.h, 20, 60, rx), FtStatus::Ok);
    EXPECT_EQ(rx, 7u);

    uint32_t tx = 0, ev = 0;
    ASSERT_EQ(t.driver.GetStatus(t.h, rx, tx, ev), FtStatus::Ok);
    EXPECT_EQ(rx, 7u);
    EXPECT_EQ(tx, 0u);

    uint8_t two[2];
    uint32_t n = 0;
    ASSERT_EQ(t.driver.Read(t.h, two, 2, n), FtStatus::Ok);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(two[0], 1);
    ASSERT_EQ(t.driver.GetStatus(t.h, rx, tx, ev), FtStatus::Ok);
    EXPECT_EQ(rx, 5u);

    ASSERT_EQ(t.driver.Purge(t.h, kPurgeRx | kPurgeTx), FtStatus::Ok);
    ASSERT_EQ(t.driver.GetStatus(t.h, rx, tx, ev), FtStatus::Ok);
    EXPECT_EQ(rx, 0u);
    ASSERT_EQ(t.driver.Read(t.h, two, 2, n), FtStatus::Ok);
    EXPECT_EQ(n, 0u);

    // The link still works after the purge.
    WriteAll(t.pty.Master(), {0x42});
    EXPECT_EQ(t.WaitQueued(1), 1u);
}

TEST(TtyDriver, GoneDeviceFailsEveryCallPromptly) {
    // The peer hangs up before the call, or while the call waits (with
    // nothing queued, or with some of the awaited bytes queued).
    enum class Call { GetStatus, Read, Write, WaitForQueue };
    struct Case {
        const char* name;
        Call call;
        bool hangUpDuring;
        size_t queued;
    };
    const Case cases[] = {
        {"status", Call::GetStatus, false, 0},
        {"status with bytes queued", Call::GetStatus, false, 3},
        {"read", Call::Read, false, 0},
        {"read during", Call::Read, true, 0},
        {"write", Call::Write, false, 0},
        {"wait", Call::WaitForQueue, false, 0},
        {"wait during, nothing queued", Call::WaitForQueue, true, 0},
        {"wait during, some queued", Call::WaitForQueue, true, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenPty t(5000, 5000);
        ASSERT_NE(t.h, kNoHandle);
        if (c.queued) {
            WriteAll(t.pty.Master(), std::vector<uint8_t>(c.queued, 0x55));
            t.WaitQueued(static_cast<uint32_t>(c.queued));
        }
        std::thread hangUp;
        if (c.hangUpDuring)
            hangUp = std::thread([&] {
                std::this_thread::sleep_for(milliseconds(50));
                t.pty.HangUp();
            });
        else
            t.pty.HangUp();
        auto start = Clock::now();
        uint8_t buf[16] = {};
        uint32_t a = 0, b = 0, e = 0;
        FtStatus st = FtStatus::Ok;
        switch (c.call) {
            case Call::GetStatus: st = t.driver.GetStatus(t.h, a, b, e); break;
            case Call::Read: st = t.driver.Read(t.h, buf, 10, a); break;
            case Call::Write: st = t.driver.Write(t.h, buf, 10, a); break;
            case Call::WaitForQueue: st = t.driver.WaitForQueue(t.h, 10, 5000, a); break;
        }
        long ms = ElapsedMs(start);
        if (hangUp.joinable()) hangUp.join();
        EXPECT_EQ(st, FtStatus::IoError);
        EXPECT_LT(ms, 2000) << "waited for the time-out instead of seeing the hang-up";
        // Closing a gone device is fine.
        EXPECT_EQ(t.driver.Close(t.h), FtStatus::Ok);
        t.h = kNoHandle;
    }
}

TEST(TtyDriver, OpenIsExclusiveAndRefusesWhatIsNoTerminal) {
    sim::PtyPair pty;
    TtyDriver a(pty.SlavePath()), b(pty.SlavePath());
    uint32_t count = 0;
    ASSERT_EQ(a.CreateDeviceInfoList(count), FtStatus::Ok);
    ASSERT_EQ(b.CreateDeviceInfoList(count), FtStatus::Ok);
    FtHandle h1 = kNoHandle, h2 = kNoHandle, h3 = kNoHandle;
    ASSERT_EQ(a.Open(0, h1), FtStatus::Ok);
    EXPECT_NE(a.Open(0, h2), FtStatus::Ok) << "opened twice by the same driver";
    EXPECT_NE(b.Open(0, h3), FtStatus::Ok) << "opened while another driver has it";
    EXPECT_EQ(h2, kNoHandle);
    EXPECT_EQ(a.Close(h1), FtStatus::Ok);
    EXPECT_EQ(a.Close(h1), FtStatus::InvalidHandle);
    ASSERT_EQ(b.Open(0, h3), FtStatus::Ok) << "still refused after the close";
    EXPECT_EQ(b.Close(h3), FtStatus::Ok);
    EXPECT_EQ(a.Open(5, h1), FtStatus::DeviceNotFound);

    // A plain file named like a device, and a path that is not there.
    TempDir dir;
    dir.Write("ttyUSB0", std::string("x"));
    TtyDriver file((dir / "ttyUSB0").string());
    ASSERT_EQ(file.CreateDeviceInfoList(count), FtStatus::Ok);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(file.Open(0, h1), FtStatus::DeviceNotOpened);
    TtyDriver missing((dir / "ttyUSB9").string());
    ASSERT_EQ(missing.CreateDeviceInfoList(count), FtStatus::Ok);
    EXPECT_EQ(count, 0u);
}

TEST(TtyDriver, LineSettingsAreCheckedAndKeepTheLinkRaw) {
    OpenPty t;
    ASSERT_NE(t.h, kNoHandle);
    struct Case {
        const char* name;
        FtStatus (*apply)(TtyDriver&, FtHandle);
        FtStatus expected;
    };
    const Case cases[] = {
        {"standard rate", [](TtyDriver& d, FtHandle h) { return d.SetBaudRate(h, 115200); }, FtStatus::Ok},
        {"rate without a constant", [](TtyDriver& d, FtHandle h) { return d.SetBaudRate(h, 250000); }, FtStatus::Ok},
        {"rate 0", [](TtyDriver& d, FtHandle h) { return d.SetBaudRate(h, 0); }, FtStatus::InvalidBaudRate},
        {"2 stop bits", [](TtyDriver& d, FtHandle h) { return d.SetDataCharacteristics(h, 8, 2, 0); }, FtStatus::Ok},
        // A pseudo-terminal keeps 8 bits without parity whatever it is told:
        // settings the tty did not take are reported, not taken as done.
        {"7 bits, even parity", [](TtyDriver& d, FtHandle h) { return d.SetDataCharacteristics(h, 7, 0, 2); }, FtStatus::InvalidParameter},
        {"6 bits", [](TtyDriver& d, FtHandle h) { return d.SetDataCharacteristics(h, 6, 0, 0); }, FtStatus::InvalidParameter},
        {"stop bits 1 coded as 1", [](TtyDriver& d, FtHandle h) { return d.SetDataCharacteristics(h, 8, 1, 0); }, FtStatus::InvalidParameter},
        {"parity 5", [](TtyDriver& d, FtHandle h) { return d.SetDataCharacteristics(h, 8, 0, 5); }, FtStatus::InvalidParameter},
        {"the link's own settings", [](TtyDriver& d, FtHandle h) { return d.SetDataCharacteristics(h, 8, 0, 0); }, FtStatus::Ok},
        {"reset", [](TtyDriver& d, FtHandle h) { return d.ResetDevice(h); }, FtStatus::Ok},
        {"bad handle", [](TtyDriver& d, FtHandle h) { return d.SetBaudRate(h + 100, 921600); }, FtStatus::InvalidHandle},
    };
    for (const auto& c : cases) EXPECT_EQ(c.apply(t.driver, t.h), c.expected) << c.name;

    // A pseudo-terminal has neither a latency timer nor a low-latency mode:
    // an honest failure, which the link ignores.
    EXPECT_NE(t.driver.SetLatencyTimer(t.h, 2), FtStatus::Ok);
    uint32_t version = 0;
    ASSERT_EQ(t.driver.GetDriverVersion(t.h, version), FtStatus::Ok);
    EXPECT_NE(version, 0u);

    // After all that (and the reset) the bytes a cooked tty acts on still pass.
    const auto sent = AllBytesAmongControls();
    WriteAll(t.pty.Master(), sent);
    t.WaitQueued(static_cast<uint32_t>(sent.size()));
    std::vector<uint8_t> got(sent.size());
    uint32_t n = 0;
    ASSERT_EQ(t.driver.Read(t.h, got.data(), static_cast<uint32_t>(got.size()), n), FtStatus::Ok);
    EXPECT_EQ(got, sent);
}

// A sysfs tree as the kernel shows USB-serial adapters, and a /dev folder.
class FakeSysfs {
public:
    fs::path Sys() const { return dir_ / "sys"; }
    fs::path Dev() const { return dir_ / "dev"; }

    // A USB device directory with its idVendor, under parent (a hub or bus).
    fs::path UsbDevice(const fs::path& parent, const std::string& name, const std::string& vendor) {
        fs::path d = parent / name;
        fs::create_directories(d);
        std::ofstream(d / "idVendor") << vendor << "\n";
        return d;
    }
    // ttyN on an interface of usbDevice: the port directory, the class link
    // and the device link, as the kernel makes them.
    void Tty(const fs::path& usbDevice, const std::string& name) {
        fs::path port = usbDevice / (usbDevice.filename().string() + ":1.0") / name;
        fs::create_directories(port / "tty" / name);
        fs::create_symlink("../../../" + name, port / "tty" / name / "device");
        fs::create_directories(Sys() / "class" / "tty");
        fs::create_symlink(port / "tty" / name, Sys() / "class" / "tty" / name);
    }
    void Node(const std::string& name, const std::string& target = "") {
        fs::create_directories(Dev());
        if (target.empty())
            std::ofstream(Dev() / name) << "";
        else
            fs::create_symlink(target, Dev() / name);
    }
    void LatencyTimer(const std::string& name, int ms) {
        fs::path d = Sys() / "bus" / "usb-serial" / "devices" / name;
        fs::create_directories(d);
        std::ofstream(d / "latency_timer") << ms << "\n";
    }
    std::string Latency(const std::string& name) {
        std::ifstream f(Sys() / "bus" / "usb-serial" / "devices" / name / "latency_timer");
        std::string s;
        std::getline(f, s);
        return s;
    }
    fs::path Bus() { return Sys() / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1"; }

private:
    TempDir tmp_;
    fs::path dir_ = tmp_.Path();
};

TEST(TtyDriver, ListsFtdiAdaptersInNumericOrder) {
    FakeSysfs s;
    auto hub = s.UsbDevice(s.Bus(), "1-1", "1d6b");
    s.Tty(s.UsbDevice(s.Bus(), "1-2", "0403"), "ttyUSB10");
    s.Tty(s.UsbDevice(s.Bus(), "1-3", "0403"), "ttyUSB2");
    s.Tty(s.UsbDevice(hub, "1-1.4", "0403"), "ttyUSB7");       // behind a hub
    s.Tty(s.UsbDevice(s.Bus(), "1-4", "067b"), "ttyUSB3");     // another vendor
    s.Tty(s.UsbDevice(s.Bus(), "1-5", "0403"), "ttyUSB1");     // no node in /dev
    auto ftdiHub = s.UsbDevice(s.Bus(), "1-6", "0403");
    s.Tty(s.UsbDevice(ftdiHub, "1-6.1", "1a86"), "ttyUSB4");   // the nearest vendor counts
    s.Tty(s.UsbDevice(s.Bus(), "1-7", "0403"), "ttyACM0");     // not a ttyUSB
    for (auto n : {"ttyUSB10", "ttyUSB2", "ttyUSB7", "ttyUSB3", "ttyUSB4", "ttyACM0"}) s.Node(n);

    TtyDriver driver(std::nullopt, s.Sys().string(), s.Dev().string());
    uint32_t count = 0;
    ASSERT_EQ(driver.CreateDeviceInfoList(count), FtStatus::Ok);
    const std::vector<std::string> expected = {(s.Dev() / "ttyUSB2").string(),
                                               (s.Dev() / "ttyUSB7").string(),
                                               (s.Dev() / "ttyUSB10").string()};
    EXPECT_EQ(driver.ListedPaths(), expected);
    EXPECT_EQ(count, 3u);

    // An explicit path replaces the search.
    TtyDriver one(std::string("/dev/null"), s.Sys().string(), s.Dev().string());
    ASSERT_EQ(one.CreateDeviceInfoList(count), FtStatus::Ok);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(one.ListedPaths(), std::vector<std::string>{"/dev/null"});

    // No sysfs at all: an empty list, not a failure.
    TtyDriver none(std::nullopt, (s.Sys() / "absent").string(), s.Dev().string());
    ASSERT_EQ(none.CreateDeviceInfoList(count), FtStatus::Ok);
    EXPECT_EQ(count, 0u);
}

TEST(TtyDriver, ListedAdapterOpensAndGetsItsLatencyTimer) {
    // The /dev node of the listed adapter leads to a pseudo-terminal.
    sim::PtyPair pty;
    FakeSysfs s;
    s.Tty(s.UsbDevice(s.Bus(), "1-2", "0403"), "ttyUSB0");
    s.Node("ttyUSB0", pty.SlavePath());
    s.LatencyTimer("ttyUSB0", 16);

    TtyDriver driver(std::nullopt, s.Sys().string(), s.Dev().string());
    uint32_t count = 0;
    ASSERT_EQ(driver.CreateDeviceInfoList(count), FtStatus::Ok);
    ASSERT_EQ(count, 1u);
    FtHandle h = kNoHandle;
    ASSERT_EQ(driver.Open(0, h), FtStatus::Ok);
    EXPECT_EQ(driver.SetLatencyTimer(h, 2), FtStatus::Ok);
    EXPECT_EQ(s.Latency("ttyUSB0"), "2");

    WriteAll(pty.Master(), {'o', 'k', 0x0D, 0x0A});
    uint8_t buf[4];
    uint32_t n = 0;
    ASSERT_EQ(driver.Read(h, buf, 4, n), FtStatus::Ok);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + n), Bytes({'o', 'k', 0x0D, 0x0A}));
    EXPECT_EQ(driver.Close(h), FtStatus::Ok);
}

// The simulated JIG behind a pseudo-terminal, reached through the tty backend.
struct JigOnPty {
    sim::SimJig jig;
    std::unique_ptr<sim::PtyBridge> bridge;
    std::unique_ptr<TtyDriver> driver;
    RecordingUi ui;
    TempDir dir;
    std::unique_ptr<Program> program;

    JigOnPty() {
        sim::InstallSimModules(jig);
        jig.PowerOn();
        bridge = std::make_unique<sim::PtyBridge>(jig.Serial());
        driver = std::make_unique<TtyDriver>(bridge->SlavePath());
        program = std::make_unique<Program>(ui, *driver, dir.Path());
        program->limits.idleMs = 1000;
    }
    ~JigOnPty() {
        CloseJigLink(*program);
        program.reset();
        bridge.reset();
    }
};

TEST(TtyDriver, SimulatedJigAnswersThroughTheKernelTtyLayer) {
    JigOnPty j;
    Program& p = *j.program;
    ASSERT_TRUE(OpenJigLinkChecked(p)) << j.ui.LogText();
    EXPECT_EQ(p.JigVersion.Get(), "M328_EPM240_v20");
    EXPECT_TRUE(j.ui.HasEntry("M328_EPM240_v20\n", colors::Fuchsia));

    // Register numbers and values a cooked tty would change or swallow.
    const std::vector<std::pair<uint8_t, uint8_t>> writes = {
        {0x0A, 0x0D}, {0x11, 0x13}, {0x03, 0xFF}, {0x7F, 0x00}, {0x0D, 0x0A}, {0x13, 0x11}};
    SendJigCommand(p.link, "RESET_ALTERA");
    EXPECT_EQ(p.link.buffer[0], 'A');
    for (auto [reg, value] : writes) {
        SendJigCommand(p.link, "WR_ALTERA_REG", reg, value);
        EXPECT_EQ(p.link.buffer[0], 'A');
    }
    for (auto [reg, value] : writes) EXPECT_EQ(j.jig.CpldRegister(reg), value) << int(reg);

    std::vector<uint8_t> expected = {'B', 'S', 'R'};
    for (auto [reg, value] : writes) expected.insert(expected.end(), {'S', 'W', reg, value});
    EXPECT_EQ(j.jig.Serial()->HostWrittenLog(), expected);
    EXPECT_EQ(p.link.QueueLength("queue"), 0u);
}

TEST(TtyDriver, UnpluggedSimulatedJigEndsTheWaitAsGone) {
    JigOnPty j;
    Program& p = *j.program;
    ASSERT_TRUE(OpenJigLinkChecked(p)) << j.ui.LogText();
    p.limits.idleMs = 5000;
    j.jig.Serial()->Unplug();
    auto start = Clock::now();
    try {
        SendJigCommand(p.link, "RESET_ALTERA");
        FAIL() << "no failure after the unplug";
    } catch (const JigNoAnswer& e) {
        EXPECT_TRUE(e.DeviceGone());
    }
    EXPECT_LT(ElapsedMs(start), 2500) << "waited for the idle limit instead of seeing the unplug";
}

}  // namespace
}  // namespace zjig::test
