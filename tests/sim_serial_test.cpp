// The simulated device's byte streams: wire timing, its floor accounting
// and the injectable faults.
#include <gtest/gtest.h>

#include <chrono>

#include "sim/sim_driver.h"
#include "sim/sim_jig.h"

namespace zjig::sim {
namespace {

using namespace std::chrono_literals;

// A device whose firmware answers every byte with the byte plus one, n times.
std::shared_ptr<SimSerial> Echo(int answerLength = 1) {
    auto dev = std::make_shared<SimSerial>("echo");
    dev->Start([answerLength](SimSerial& s) {
        for (;;) {
            uint8_t b = s.DeviceGet();
            std::vector<uint8_t> out(static_cast<size_t>(answerLength), static_cast<uint8_t>(b + 1));
            s.DeviceSend(out);
        }
    });
    return dev;
}

TEST(SimSerial, AnswersArriveAfterTheirWireTime) {
    auto dev = Echo(256);
    WireTiming t;
    t.enabled = true;
    t.usbLatency = 1000us;
    dev->SetTiming(t);
    const uint8_t b = 7;
    auto start = Clock::now();
    ASSERT_TRUE(dev->HostWrite(&b, 1));
    EXPECT_EQ(*dev->HostWait(256, 0), 0u);  // nothing has arrived yet
    auto got = dev->HostWait(256, 1000);
    auto took = Clock::now() - start;
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, 256u);
    // 1 byte out, 256 back, each at 10 bits per byte at 921600 baud, plus two latencies.
    const double floor = 2 * 0.001 + 257 * 10.0 / 921600;
    EXPECT_NEAR(dev->FloorSeconds(), floor, 1e-5);
    EXPECT_GE(std::chrono::duration<double>(took).count(), floor - 1e-4);
}

TEST(SimSerial, ReadReturnsWhatCameWithinItsTimeOut) {
    auto dev = Echo(3);
    const uint8_t b = 1;
    dev->HostWrite(&b, 1);
    uint8_t buf[8] = {};
    auto start = Clock::now();
    auto n = dev->HostRead(buf, 8, 100);
    EXPECT_GE(Clock::now() - start, 100ms);
    ASSERT_TRUE(n);
    EXPECT_EQ(*n, 3u);
    EXPECT_EQ(buf[0], 2);
}

TEST(SimSerial, FaultsAsTheHostSeesThem) {
    {
        auto dev = Echo(4);
        dev->UnplugAfterDeviceBytes(6);
        const uint8_t b[2] = {1, 2};
        dev->HostWrite(b, 1);
        dev->HostWrite(b + 1, 1);
        EXPECT_FALSE(dev->HostWait(8, 500));  // gone once 6 bytes were sent
        EXPECT_TRUE(dev->Gone());
        EXPECT_FALSE(dev->HostWrite(b, 1));
    }
    {
        auto dev = Echo(1);
        dev->UnplugAfterHostBytes(2);
        const uint8_t b[3] = {1, 2, 3};
        EXPECT_TRUE(dev->HostWrite(b, 3));
        EXPECT_TRUE(dev->Gone());
        EXPECT_EQ(dev->HostBytesWritten(), 2u);
    }
    {
        auto dev = Echo(1);
        dev->StopAnsweringAfterDeviceBytes(1);
        const uint8_t b[2] = {1, 2};
        dev->HostWrite(b, 2);
        auto got = dev->HostWait(2, 100);
        ASSERT_TRUE(got);
        EXPECT_EQ(*got, 1u);  // still plugged in, just silent
        dev->InjectToHost({0xEE, 0xEF});
        EXPECT_EQ(dev->Available(), 3u);
        dev->HostPurge(true, true);
        EXPECT_EQ(dev->Available(), 0u);
    }
}

TEST(SimDriver, ListsOnlyPluggedDevicesAndOpensEachOnce) {
    SimDriver d;
    auto a = Echo(), b = Echo();
    d.Plug(a);
    d.Plug(b);
    uint32_t count = 0;
    ASSERT_EQ(d.CreateDeviceInfoList(count), FtStatus::Ok);
    EXPECT_EQ(count, 2u);
    FtHandle h1, h2;
    ASSERT_EQ(d.Open(1, h1), FtStatus::Ok);
    EXPECT_EQ(d.Open(1, h2), FtStatus::DeviceNotOpened);
    b->Unplug();
    uint32_t rx, tx, ev;
    EXPECT_EQ(d.GetStatus(h1, rx, tx, ev), FtStatus::IoError);
    EXPECT_EQ(d.WaitForQueue(h1, 1, 1000, rx), FtStatus::IoError);
    ASSERT_EQ(d.CreateDeviceInfoList(count), FtStatus::Ok);
    EXPECT_EQ(count, 1u);
}

TEST(SimJig, CpldRegistersAndVersion) {
    SimJig jig("M328_EPM240_v20");
    jig.PowerOn();
    auto s = jig.Serial();
    const uint8_t frames[] = {'S', 'W', 16, 0x81, 'S', 'W', 64, 0x86, 'B'};
    s->HostWrite(frames, sizeof frames);
    auto n = s->HostWait(2 + 15, 1000);
    ASSERT_TRUE(n);
    EXPECT_EQ(*n, 17u);
    EXPECT_EQ(jig.CpldRegister(16), 0x81);
    EXPECT_EQ(jig.CpldRegister(64), 0x86);
    const uint8_t reset[] = {'S', 'R'};
    s->HostWrite(reset, 2);
    s->HostWait(18, 1000);
    EXPECT_EQ(jig.CpldRegister(16), 0);
}

}  // namespace
}  // namespace zjig::sim
