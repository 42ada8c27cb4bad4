// Opening the link: device order, identification, the version check and
// every message.
#include <gtest/gtest.h>

#include <atomic>

#include "app/jobs.h"
#include "link/jig_link.h"
#include "link/protocol.h"
#include "sim/bench.h"
#include "tests/support/fixture.h"

namespace zjig::test {
namespace {

using sim::MakeOtherDevice;
using sim::MakeSilentDevice;
using sim::SimJig;

// A program on a simulated USB bus to which each test plugs its devices;
// the firmware update job is replaced by one that counts its starts.
struct Bus {
    TempDir dir;
    RecordingUi ui;
    sim::SimDriver driver;
    std::vector<std::unique_ptr<SimJig>> jigs;
    Program p{ui, driver, dir.Path()};
    std::atomic<int> updates{0};

    Bus() {
        p.jobs.Register(job_order::kFwUpdate, "FWUPDATE", false, [this](Program& prog) {
            ++updates;
            prog.CurrentJob.Set("NONE");
        });
    }
    SimJig& PlugJig(const std::string& version) {
        jigs.push_back(std::make_unique<SimJig>(version));
        jigs.back()->PowerOn();
        driver.Plug(jigs.back()->Serial());
        return *jigs.back();
    }
    int Updates() {
        p.jobs.WaitIdle(std::chrono::seconds(5));
        return updates;
    }
};

TEST(OpenJigLink, IdentifiesTheJigAndLogsVersions) {
    Bus b;
    b.PlugJig("M328_EPM240_v20");
    ASSERT_TRUE(OpenJigLinkChecked(b.p));
    EXPECT_EQ(b.p.JigVersion.Get(), "M328_EPM240_v20");
    const std::vector<LogEntry> expected = {
        {"FTDI driver version ", colors::Blue},
        {"21800\n", colors::Blue},
        {"Version FW JIG ", colors::Blue},
        {"M328_EPM240_v20\n", colors::Fuchsia},
    };
    auto entries = b.ui.Entries();
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].text, expected[i].text);
        EXPECT_EQ(entries[i].color, expected[i].color);
    }
    auto handles = b.driver.OpenHandles();
    ASSERT_EQ(handles.size(), 1u);
    EXPECT_EQ(handles[0].baud, 921600u);
    EXPECT_EQ(handles[0].bits, 8);
    EXPECT_EQ(handles[0].stopBits, 0);
    EXPECT_EQ(handles[0].parity, 0);
    EXPECT_EQ(handles[0].readTimeoutMs, 200u);
    EXPECT_EQ(handles[0].writeTimeoutMs, 200u);
    EXPECT_EQ(handles[0].latencyMs, 2);
    CloseJigLink(b.p);
    EXPECT_EQ(b.driver.OpenCount(), 0);
    EXPECT_EQ(b.Updates(), 0);
}

TEST(OpenJigLink, QuietOpeningLogsNothing) {
    Bus b;
    b.PlugJig("M328_EPM240_v20");
    ASSERT_TRUE(OpenJigLink(b.p, false));
    EXPECT_TRUE(b.ui.Entries().empty());
}

TEST(OpenJigLink, TriesTheLastDeviceFirst) {
    {
        Bus b;  // the JIG at the highest index is found first
        auto other = MakeOtherDevice();
        b.driver.Plug(other);
        b.PlugJig("M328_EPM240_v20");
        ASSERT_TRUE(OpenJigLink(b.p, true));
        EXPECT_EQ(other->HostBytesWritten(), 0u);
        EXPECT_EQ(b.driver.TotalOpens(), 1);
    }
    {
        Bus b;  // only the first is a JIG: the other is opened, asked, closed
        b.PlugJig("M328_EPM240_v20");
        auto other = MakeOtherDevice("FT232R USB UART");
        b.driver.Plug(other);
        ASSERT_TRUE(OpenJigLink(b.p, true));
        EXPECT_EQ(other->HostWrittenLog(), Bytes({'B'}));
        EXPECT_EQ(b.driver.TotalOpens(), 2);
        EXPECT_EQ(b.driver.OpenCount(), 1);
        // The other device's answer was logged as a version before it was dropped.
        EXPECT_TRUE(b.ui.HasEntry("FT232R USB UART\n", colors::Fuchsia));
    }
}

TEST(OpenJigLink, VersionBytesAreSanitized) {
    Bus b;
    b.PlugJig("M328_EPM240_v20\r\n");
    ASSERT_TRUE(OpenJigLink(b.p, true));
    EXPECT_EQ(b.p.JigVersion.Get(), "M328_EPM240_v20  ");
    CloseJigLink(b.p);
    // The trailing spaces make the versions differ: the update starts.
    b.ui.ClearRecords();
    EXPECT_FALSE(OpenJigLinkChecked(b.p));
    EXPECT_EQ(b.Updates(), 1);
    EXPECT_FALSE(b.p.link.isOpen);
}

TEST(SanitizeVersionChar, KeepsOnlyTheVersionAlphabet) {
    for (int c = 0; c < 256; ++c) {
        const bool keep = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                          (c >= 'a' && c <= 'z') || c == '.' || c == '_';
        EXPECT_EQ(SanitizeVersionChar(static_cast<uint8_t>(c)), keep ? static_cast<char>(c) : ' ')
            << c;
    }
}

TEST(OpenJigLinkChecked, AnotherVersionStartsTheFirmwareUpdate) {
    Bus b;
    b.PlugJig("M328_EPM240_v19");
    EXPECT_FALSE(OpenJigLinkChecked(b.p));
    EXPECT_TRUE(b.ui.HasEntry("M328_EPM240_v19\n", colors::Fuchsia));
    EXPECT_EQ(b.Updates(), 1);
    EXPECT_EQ(b.driver.OpenCount(), 0);
}

TEST(OpenJigLinkChecked, SilentDeviceUpdatesOnlyWithTheMarkerFile) {
    for (bool marker : {false, true}) {
        SCOPED_TRACE(marker);
        Bus b;
        b.driver.Plug(MakeSilentDevice());
        if (marker) b.dir.Write("UPDATE.txt", "");
        EXPECT_FALSE(OpenJigLinkChecked(b.p));
        EXPECT_EQ(b.p.JigVersion.Get(), "");
        EXPECT_TRUE(b.ui.HasEntry("FTDI found, programmer not respond !\n", colors::Red));
        EXPECT_EQ(b.Updates(), marker ? 1 : 0);
        EXPECT_EQ(b.driver.OpenCount(), 0);
    }
}

TEST(OpenJigLinkChecked, NoDeviceNeverUpdates) {
    Bus b;
    b.dir.Write("UPDATE.txt", "");
    EXPECT_FALSE(OpenJigLinkChecked(b.p));
    EXPECT_EQ(b.p.JigVersion.Get(), "NONE");
    EXPECT_TRUE(b.ui.HasEntry("Not found FTDI device \n", colors::Red));
    EXPECT_EQ(b.Updates(), 0);
}

TEST(OpenJigLink, DriverFailuresAndTheirMessages) {
    struct Case {
        const char* what;
        bool failList, failOpen, failSettings, verbose;
        std::vector<LogEntry> red;  // expected red entries, in order
        bool opens;
    };
    const std::vector<Case> cases = {
        {"list fails", true, false, false, true, {{"FT_CreateDeviceInfoList not FT_OK\n", colors::Red}},
         false},
        {"list fails quietly", true, false, false, false, {}, false},
        {"open fails, always reported", false, true, false, false,
         {{"FT_Open не FT_OK \n", colors::Red}}, false},
        {"settings refused, opening goes on", false, false, true, false,
         {{"FTDI port settings not FT_OK!", colors::Red}}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bus b;
        b.PlugJig("M328_EPM240_v20");
        b.driver.FailDeviceList(c.failList);
        b.driver.FailOpen(0, c.failOpen);
        b.driver.FailSettings(c.failSettings);
        EXPECT_EQ(OpenJigLink(b.p, c.verbose), c.opens);
        std::vector<LogEntry> red;
        for (const auto& e : b.ui.Entries())
            if (e.color == colors::Red) red.push_back(e);
        ASSERT_EQ(red.size(), c.red.size());
        for (size_t i = 0; i < red.size(); ++i) EXPECT_EQ(red[i].text, c.red[i].text);
        EXPECT_EQ(b.p.link.isOpen, c.opens);
    }
}

}  // namespace
}  // namespace zjig::test
