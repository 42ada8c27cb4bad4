// The JIG firmware update against the simulated JIG's bootloader.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "app/main_form.h"
#include "link/jig_link.h"
#include "maintenance/firmware_update.h"
#include "sim/bench.h"
#include "sim/maintenance/bootloader.h"
#include "tests/support/fixture.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kOldFirmware = "M328_EPM240_v19";

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

// The pages the update must send for a file: its first 131072 bytes, then
// 0xFF up to L div 128 + 1 whole pages.
std::vector<std::vector<uint8_t>> ExpectedPages(const std::vector<uint8_t>& file) {
    const size_t length = std::min(file.size(), kFirmwareImageSize);
    std::vector<uint8_t> image(file.begin(), file.begin() + static_cast<long>(length));
    const size_t pages = length / 128 + 1;
    image.resize(pages * 128, 0xFF);
    std::vector<std::vector<uint8_t>> out;
    for (size_t k = 0; k < pages; ++k)
        out.emplace_back(image.begin() + static_cast<long>(k * 128),
                         image.begin() + static_cast<long>((k + 1) * 128));
    return out;
}

struct UpdateBench : SimProgram {
    explicit UpdateBench(const std::string& version = kOldFirmware) : SimProgram(version) {
        boot().pressResetAfter = 30ms;
    }
    sim::SimBootloader& boot() { return jig->Part<sim::SimBootloader>(); }
    FirmwareUpdateState& state() { return p().State<FirmwareUpdateState>(); }
    void Firmware(const std::vector<uint8_t>& bytes) { dir.Write(kFirmwareFileName, bytes); }
    // "Check connection" finds the old firmware and starts the update.
    void CheckConnectionAndWait() {
        BitBtn_CheckConnClick(p());
        ASSERT_TRUE(WaitIdle());
    }
    std::string JigFirmware() {
        std::lock_guard lock(jig->StateMutex());
        return jig->version;
    }
    // Polls the pop-up's visibility until it has the wanted value.
    bool WaitPopup(bool visible, std::chrono::milliseconds limit = 3s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            if (p().form.Visible("TForm_message") == visible) return true;
            std::this_thread::sleep_for(1ms);
        }
        return false;
    }
    // The log entries from "Please wait, update FW JIG\n" on.
    std::vector<LogEntry> UpdateEntries() {
        auto all = ui.Entries();
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i].text == "Please wait, update FW JIG\n")
                return std::vector<LogEntry>(all.begin() + static_cast<long>(i), all.end());
        return {};
    }
};

void ExpectEntries(const std::vector<LogEntry>& got, const std::vector<LogEntry>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].text, want[i].text) << "entry " << i;
        EXPECT_EQ(ColorName(got[i].color), std::string(ColorName(want[i].color)))
            << "entry " << i << ": " << got[i].text;
    }
}

TEST(FirmwareUpdate, OldFirmwareIsReplacedWithEveryMessage) {
    UpdateBench s;
    s.Firmware(Pattern(300));
    s.p().form.SetItemIndex("CBox_Selector", 5);
    s.p().form.SetEnabled("BitBtn_READ", true);
    s.CheckConnectionAndWait();

    ExpectEntries(s.UpdateEntries(),
                  {{"Please wait, update FW JIG\n", colors::Blue},
                   {"Current FW M328_EPM240_v19\n", colors::Blue},
                   {"New FW     M328_EPM240_v20\n", colors::Blue},
                   {"Loaded to buffer bytes (dec): 300\n", colors::Blue},
                   {"Bootloader answer -> 7 bytes\n", colors::Blue},
                   {"Readed bytes (hex)  -> 563153 4D333238\n", colors::Blue},
                   {"Bootloader M328 answer OK\n", colors::Blue},
                   {"UPDATE completed successfully.\n\n", colors::Blue}});
    EXPECT_EQ(s.p().op.outcome, Outcome::Succeeded);
    EXPECT_TRUE(s.p().CurrentJob.Is("NONE"));
    EXPECT_EQ(s.driver.OpenCount(), 0);
    // "ALL OFF", selector back at "    Select mode", pop-up closed.
    EXPECT_EQ(s.p().form.ItemIndex("CBox_Selector"), 0);
    EXPECT_FALSE(s.p().form.Enabled("BitBtn_READ"));
    EXPECT_TRUE(s.p().form.Enabled("BitBtn_CheckConn"));
    EXPECT_FALSE(s.p().form.Visible("TForm_message"));
    // 'X' ends the session: the JIG now runs the new firmware, and the next
    // "Check connection" finds it without another update.
    // 'X' awaits no answer: the simulated bootloader may take it a moment after the job's end.
    for (int i = 0; i < 2000 && !s.boot().Finished(); ++i) std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(s.boot().Finished());
    EXPECT_EQ(s.jig->Serial()->HostWrittenLog().back(), 'X');
    EXPECT_EQ(s.JigFirmware(), "M328_EPM240_v20");
    s.CheckConnectionAndWait();
    EXPECT_EQ(s.state().runs.load(), 1);
    EXPECT_TRUE(s.ui.HasEntry("M328_EPM240_v20\n", colors::Fuchsia));
}

struct PageCase {
    size_t fileSize;
    size_t pages;
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.fileSize << " bytes"; }

class FirmwarePages : public ::testing::TestWithParam<PageCase> {};

TEST_P(FirmwarePages, SendsLengthDiv128PlusOnePagesWithFill) {
    const PageCase c = GetParam();
    UpdateBench s;
    const auto file = Pattern(c.fileSize);
    s.Firmware(file);
    s.CheckConnectionAndWait();

    const auto pages = s.boot().Pages();
    ASSERT_EQ(pages.size(), c.pages);
    EXPECT_EQ(pages, ExpectedPages(file));
    const size_t length = std::min(c.fileSize, kFirmwareImageSize);
    EXPECT_TRUE(s.ui.HasEntry(
        "Loaded to buffer bytes (dec): " + std::to_string(length) + "\n", colors::Blue));
    // The bar: blue, maximum L div 128, one step per page (so it reaches its
    // maximum one page before the end).
    const GaugeState last = s.ui.GaugeHistory().back();
    EXPECT_EQ(last.color, colors::Blue);
    EXPECT_EQ(last.maximum, static_cast<int>(length / 128));
    EXPECT_EQ(last.progress, static_cast<int>(c.pages));
    EXPECT_EQ(last.Percent(), 100);
    EXPECT_TRUE(s.ui.HasEntry("UPDATE completed successfully.\n\n", colors::Blue));
}

INSTANTIATE_TEST_SUITE_P(
    EdgeSizes, FirmwarePages,
    ::testing::Values(PageCase{300, 3},      // 44 file bytes and 84 of 0xFF in the third
                      PageCase{256, 3},      // the third page all 0xFF
                      PageCase{100, 1},      // bar maximum 0
                      PageCase{128, 2},      //
                      PageCase{131072, 1025},  // the extra page is fill, not past the image
                      PageCase{131100, 1025}));  // only the first 131072 bytes are taken

TEST(FirmwareUpdate, NoResetWithinTheWaitEndsWithTheRedMessage) {
    UpdateBench s;
    s.boot().pressResetAfter.reset();
    s.state().resetWaitMs = 300;
    s.Firmware(Pattern(300));
    BitBtn_CheckConnClick(s.p());
    EXPECT_TRUE(s.WaitPopup(true));
    ASSERT_TRUE(s.WaitIdle());

    EXPECT_FALSE(s.p().form.Visible("TForm_message"));
    auto entries = s.UpdateEntries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().text, "The user did not click the reset button!\n\n");
    EXPECT_EQ(entries.back().color, colors::Red);
    EXPECT_EQ(s.p().op.outcome, Outcome::Failed);
    EXPECT_GT(s.boot().IgnoredProbes(), 0u);
    EXPECT_EQ(s.boot().Sessions(), 0);
    EXPECT_EQ(s.JigFirmware(), kOldFirmware);
    EXPECT_EQ(s.driver.OpenCount(), 0);
    EXPECT_TRUE(s.p().CurrentJob.Is("NONE"));
}

TEST(FirmwareUpdate, TwoFtdiDevicesEndTheUpdateWithoutProbing) {
    UpdateBench s;
    s.driver.Plug(sim::MakeSilentDevice());
    s.Firmware(Pattern(300));
    s.CheckConnectionAndWait();

    EXPECT_EQ(s.state().runs.load(), 1);
    auto entries = s.UpdateEntries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().text, "Loaded to buffer bytes (dec): 300\n");
    EXPECT_EQ(s.boot().IgnoredProbes(), 0u);
    EXPECT_EQ(s.p().op.outcome, Outcome::Failed);
    EXPECT_EQ(s.driver.OpenCount(), 0);
    EXPECT_TRUE(s.p().CurrentJob.Is("NONE"));
}

struct FailureCase {
    const char* name;
    std::function<void(UpdateBench&)> arrange;
    const char* message;
    size_t pagesReceived;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FirmwareFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FirmwareFailures, StopsWithItsMessageAndLeavesTheJig) {
    const FailureCase& c = GetParam();
    UpdateBench s;
    s.Firmware(Pattern(1000));  // 8 pages
    c.arrange(s);
    s.CheckConnectionAndWait();

    auto entries = s.UpdateEntries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.back().text, c.message);
    EXPECT_EQ(entries.back().color, colors::Red);
    EXPECT_FALSE(s.ui.Contains("UPDATE completed successfully."));
    EXPECT_EQ(s.boot().Pages().size(), c.pagesReceived);
    EXPECT_FALSE(s.boot().Finished());
    EXPECT_EQ(s.p().op.outcome, Outcome::Failed);
    EXPECT_FALSE(s.p().form.Visible("TForm_message"));
    EXPECT_EQ(s.driver.OpenCount(), 0);
    EXPECT_TRUE(s.p().CurrentJob.Is("NONE"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirmwareFailures,
    ::testing::Values(
        FailureCase{"RequestNotG", [](UpdateBench& s) { s.boot().wrongRequestAnswerAt = 2; },
                    "ERROR protocol! Update stopped.(G)\n\n", 2},
        FailureCase{"PageNotPlus", [](UpdateBench& s) { s.boot().wrongPageAnswerAt = 2; },
                    "ERROR protocol! Update stopped.(+)\n\n", 3},
        FailureCase{"SilentBootloader", [](UpdateBench& s) { s.boot().silentAtPage = 3; },
                    "ERROR communication! Update stopped.(R)\n\n", 3},
        FailureCase{"UnpluggedWhileProbing",
                    [](UpdateBench& s) {
                        // 'B' of the link opening, then 20 probes.
                        s.boot().pressResetAfter.reset();
                        s.jig->Serial()->UnplugAfterHostBytes(21);
                    },
                    "FTDI removed !\n\n", 0},
        FailureCase{"UnpluggedDuringPages",
                    [](UpdateBench& s) {
                        // Version text (15), identification (7), then 'G' '+' per page.
                        s.jig->Serial()->UnplugAfterDeviceBytes(15 + 7 + 2 * 4 + 1);
                    },
                    "ERROR communication! Update stopped.(R)\n\n", 5}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST(FirmwareUpdate, MissingOrEmptyFileEndsBeforeTheDevice) {
    {
        UpdateBench s;
        s.CheckConnectionAndWait();
        const int opens = s.driver.TotalOpens();
        auto entries = s.ui.Entries();
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries.back().text, "Not found FW update file: M328_EPM240_v20.vss\n");
        EXPECT_EQ(entries.back().color, colors::Red);
        EXPECT_EQ(s.p().op.outcome, Outcome::Failed);
        EXPECT_EQ(s.driver.TotalOpens(), opens);
        EXPECT_EQ(s.boot().IgnoredProbes(), 0u);
        EXPECT_TRUE(s.p().CurrentJob.Is("NONE"));
    }
    {
        UpdateBench s;
        s.Firmware({});
        s.CheckConnectionAndWait();
        EXPECT_EQ(s.state().runs.load(), 1);
        EXPECT_FALSE(s.ui.Contains("Please wait, update FW JIG"));
        auto entries = s.ui.Entries();
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries.back().text, std::string(kOldFirmware) + "\n") << "nothing after the version lines";
        EXPECT_EQ(s.boot().IgnoredProbes(), 0u);
        EXPECT_TRUE(s.p().CurrentJob.Is("NONE"));
    }
}

TEST(FirmwareUpdate, AnAnswerThatIsNotTheBootloaderOnlyClosesThePopup) {
    UpdateBench s;
    s.boot().pressResetAfter = 1500ms;
    s.Firmware(Pattern(200));
    BitBtn_CheckConnClick(s.p());
    ASSERT_TRUE(s.WaitPopup(true));
    s.jig->Serial()->InjectToHost({'n', 'o', 'i', 's', 'e', '!', '!', '!'});
    EXPECT_TRUE(s.WaitPopup(false, 1000ms));
    EXPECT_EQ(s.boot().Sessions(), 0) << "the pop-up closed before the bootloader answered";
    ASSERT_TRUE(s.WaitIdle());
    EXPECT_TRUE(s.ui.HasEntry("Bootloader answer -> 7 bytes\n", colors::Blue));
    EXPECT_TRUE(s.ui.HasEntry("UPDATE completed successfully.\n\n", colors::Blue));
    EXPECT_EQ(s.boot().Pages().size(), 2u);
}

// With the wire's latency the bootloader's answer takes longer than a probe
// slice: more probes are on their way when the session begins.
TEST(FirmwareUpdate, ProbesStillOnTheWireDoNotDisturbTheSession) {
    UpdateBench s;
    s.boot().pressResetAfter = 0ms;
    sim::WireTiming timing;
    timing.enabled = true;
    timing.usbLatency = std::chrono::microseconds(4000);
    s.jig->Serial()->SetTiming(timing);
    const auto file = Pattern(300);
    s.Firmware(file);
    s.CheckConnectionAndWait();
    EXPECT_TRUE(s.ui.HasEntry("UPDATE completed successfully.\n\n", colors::Blue));
    EXPECT_EQ(s.boot().Pages(), ExpectedPages(file));
}

// A JIG whose firmware no longer answers the version request, with
// "UPDATE.txt" beside the program: the update runs with no current version.
TEST(FirmwareUpdate, SilentJigWithMarkerFileIsUpdated) {
    TempDir dir;
    RecordingUi ui;
    sim::SimDriver driver;
    sim::SimJig jig(kOldFirmware);
    sim::InstallSimModules(jig);
    jig.OnCommand('B', [](sim::SimJig&) {});  // broken firmware: no answer
    jig.Part<sim::SimBootloader>().pressResetAfter = 30ms;
    jig.PowerOn();
    driver.Plug(jig.Serial());
    Program p(ui, driver, dir.Path());
    p.limits.idleMs = 1000;
    RegisterSubsystems(p);
    FormCreate(p);
    dir.Write(kFirmwareFileName, Pattern(129));

    BitBtn_CheckConnClick(p);
    ASSERT_TRUE(p.jobs.WaitIdle(10s));
    EXPECT_EQ(p.State<FirmwareUpdateState>().runs.load(), 0) << "no marker file, no update";
    EXPECT_TRUE(ui.HasEntry("FTDI found, programmer not respond !\n", colors::Red));

    dir.Write("UPDATE.txt", std::string("update"));
    ui.ClearRecords();
    BitBtn_CheckConnClick(p);
    ASSERT_TRUE(p.jobs.WaitIdle(10s));
    EXPECT_TRUE(ui.HasEntry("Current FW ", colors::Blue));
    EXPECT_TRUE(ui.HasEntry("NONE\n", colors::Red));
    EXPECT_TRUE(ui.HasEntry("UPDATE completed successfully.\n\n", colors::Blue));
    EXPECT_EQ(jig.Part<sim::SimBootloader>().Pages().size(), 2u);
    p.jobs.WaitIdle(10s);
}

TEST(FirmwareUpdate, ExpectedFirmwareNeverTriggersAnUpdate) {
    UpdateBench s("M328_EPM240_v20");
    s.Firmware(Pattern(300));
    s.dir.Write("UPDATE.txt", std::string("x"));
    s.CheckConnectionAndWait();
    EXPECT_EQ(s.state().runs.load(), 0);
    EXPECT_EQ(s.boot().IgnoredProbes(), 0u);
}

}  // namespace
}  // namespace zjig::test
