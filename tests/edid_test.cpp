// The EDID EEPROM family: dump lines, the base-block summary, READ and WRITE
// from the main window on the simulated panel, chunked and oversized answers
// on a scripted driver, and a JIG that stops answering.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <mutex>

#include "app/main_form.h"
#include "app/program.h"
#include "app/subsystems.h"
#include "chips/edid/edid.h"
#include "sim/edid/sim_edid.h"
#include "tests/support/fixture.h"
#include "tests/support/script_driver.h"

namespace zjig::test {
namespace {

using sim::SimEdidPanel;
using Line = std::pair<std::string, std::string>;  // text, colour name

std::vector<Line> Lines(const RecordingUi& ui, size_t from = 0) {
    std::vector<Line> out;
    auto entries = ui.Entries();
    for (size_t i = from; i < entries.size(); ++i)
        out.emplace_back(entries[i].text, ColorName(entries[i].color));
    return out;
}

std::vector<Line> DumpLines(const std::vector<uint8_t>& bytes) {
    std::vector<Line> out;
    for (size_t i = 0; i < 256; i += 16) out.emplace_back(EdidDumpLine(bytes.data() + i), "green");
    return out;
}

std::vector<Line> Concat(std::initializer_list<std::vector<Line>> parts) {
    std::vector<Line> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string Hex(uint8_t b) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", b);
    return buf;
}

// ---- base blocks composed from the E-EDID layout, byte by byte ----

// 18-byte display descriptor with a text: tag, 13 text bytes, a line feed
// after a shorter text and spaces after that.
std::vector<uint8_t> TextDescriptor(uint8_t tag, const std::string& text) {
    std::vector<uint8_t> d = {0x00, 0x00, 0x00, tag, 0x00};
    for (char c : text) d.push_back(static_cast<uint8_t>(c));
    if (d.size() < 18) d.push_back(0x0A);
    while (d.size() < 18) d.push_back(0x20);
    return d;
}

// Joins the parts of a base block (127 bytes) and appends the checksum.
std::vector<uint8_t> Block(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> b;
    for (const auto& p : parts) b.insert(b.end(), p.begin(), p.end());
    EXPECT_EQ(b.size(), 127u) << "a base block is 127 bytes before its checksum";
    b.resize(127);
    unsigned sum = 0;
    for (uint8_t x : b) sum += x;
    b.push_back(static_cast<uint8_t>((256 - sum % 256) % 256));
    return b;
}

const std::vector<uint8_t> kHeader = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
const std::vector<uint8_t> kChroma = {0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54};
const std::vector<uint8_t> kNoStandardTimings(16, 0x01);
// 1920x1080 at 60 Hz, 148.5 MHz (CEA-861 timing), 527 x 296 mm.
const std::vector<uint8_t> kDtd1080p = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                                        0x2C, 0x45, 0x00, 0x0F, 0x28, 0x21, 0x00, 0x00, 0x1E};
// 1366x768, 76.0 MHz, 344 x 194 mm.
const std::vector<uint8_t> kDtd768 = {0xB0, 0x1D, 0x56, 0xE2, 0x50, 0x00, 0x1C, 0x30, 0x30,
                                      0x20, 0x36, 0x00, 0x58, 0xC2, 0x10, 0x00, 0x00, 0x18};
// Range limits 56-76 Hz, 30-83 kHz, 170 MHz.
const std::vector<uint8_t> kRangeLimits = {0x00, 0x00, 0x00, 0xFD, 0x00, 0x38, 0x4C, 0x1E, 0x53,
                                           0x11, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20};
const std::vector<uint8_t> kDummy = {0x00, 0x00, 0x00, 0x10, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// A 24" desktop monitor, EDID 1.3, one extension block.
std::vector<uint8_t> DellMonitor() {
    return Block({kHeader,
                  {0x10, 0xAC},              // "DEL"
                  {0xA4, 0xA0},              // product 0xA0A4
                  {0x4C, 0x34, 0x50, 0x30},  // serial 0x3050344C
                  {0x14, 0x19},              // week 20 of 2015
                  {0x01, 0x03},              // EDID 1.3
                  {0x80, 0x35, 0x1E, 0x78, 0xEA},
                  kChroma,
                  {0xA5, 0x4B, 0x00},
                  {0x71, 0x4F, 0x81, 0x80, 0xA9, 0xC0, 0xD1, 0xC0, 0x01, 0x01, 0x01, 0x01,
                   0x01, 0x01, 0x01, 0x01},
                  kDtd1080p,
                  TextDescriptor(0xFF, "VJ1T45AL4P0L"),
                  TextDescriptor(0xFC, "DELL U2414H"),
                  kRangeLimits,
                  {0x01}});
}

// A 22" monitor, EDID 1.3, name in the last descriptor.
std::vector<uint8_t> SamsungMonitor() {
    return Block({kHeader,
                  {0x4C, 0x2D},              // "SAM"
                  {0xFE, 0x02},              // product 0x02FE
                  {0x33, 0x32, 0x56, 0x4D},  // serial 0x4D563233
                  {0x2F, 0x12},              // week 47 of 2008
                  {0x01, 0x03},
                  {0x80, 0x2F, 0x1E, 0x78, 0x2A},
                  kChroma,
                  {0xBF, 0xEF, 0x80},
                  kNoStandardTimings,
                  kDtd1080p,
                  kRangeLimits,
                  TextDescriptor(0xFF, "HS3Q900123"),
                  TextDescriptor(0xFC, "SyncMaster"),
                  {0x00}});
}

// A laptop panel, EDID 1.4: the part number only as text descriptors, no name.
std::vector<uint8_t> AuoPanel() {
    return Block({kHeader,
                  {0x06, 0xAF},              // "AUO"
                  {0xEC, 0x21},              // product 0x21EC
                  {0x00, 0x00, 0x00, 0x00},  // no serial
                  {0x00, 0x18},              // no week, 2014
                  {0x01, 0x04},              // EDID 1.4
                  {0x95, 0x22, 0x13, 0x78, 0x02},
                  kChroma,
                  {0x00, 0x00, 0x00},
                  kNoStandardTimings,
                  kDtd768,
                  kDummy,
                  TextDescriptor(0xFE, "AUO"),
                  TextDescriptor(0xFE, "B156XW02 V2"),
                  {0x00}});
}

// A laptop panel, EDID 1.4 with a model year; a 13-character name without
// line feed.
std::vector<uint8_t> BoePanel() {
    return Block({kHeader,
                  {0x09, 0xE5},              // "BOE"
                  {0x8D, 0x07},              // product 0x078D
                  {0x01, 0x00, 0x00, 0x00},  // serial 1
                  {0xFF, 0x1E},              // model year 2020
                  {0x01, 0x04},
                  {0xA5, 0x22, 0x13, 0x78, 0x03},
                  kChroma,
                  {0x00, 0x00, 0x00},
                  kNoStandardTimings,
                  kDtd768,
                  TextDescriptor(0xFC, "NV156FHM-N48 "),
                  kDummy,
                  kDummy,
                  {0x00}});
}

// Odd fields: letter codes 0 and 27 are not letters, week 60 does not exist,
// the name holds an unprintable byte.
std::vector<uint8_t> OddBlock() {
    auto name = TextDescriptor(0xFC, "PANEL");
    name[7] = 0x07;
    return Block({kHeader,
                  {0x00, 0x1B},  // codes 0, 0, 27
                  {0x34, 0x12},
                  {0xFF, 0xFF, 0xFF, 0xFF},
                  {0x3C, 0x00},  // week 60 of 1990
                  {0x02, 0x00},
                  {0x80, 0x00, 0x00, 0x78, 0x0A},
                  kChroma,
                  {0x00, 0x00, 0x00},
                  kNoStandardTimings,
                  kDtd768,
                  kDummy,
                  name,
                  kDummy,
                  {0x00}});
}

TEST(EdidDumpLine, ShowsHexAndTheCharacterColumn) {
    struct Case {
        std::vector<uint8_t> bytes;
        std::string line;
    };
    const std::vector<Case> cases = {
        {Bytes({0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x41, 0x41, 0x41, 0x41, 0x41, 0x41,
                0x41, 0x41}),
         ":00FFFFFFFFFFFF004141414141414141 ........AAAAAAAA\n"},
        // Only digits, letters, '.' and '_' stand for themselves; the bytes
        // just outside those ranges, space and high bytes become '.'.
        {Bytes({'0', '9', 'A', 'Z', 'a', 'z', '.', '_', ' ', '/', ':', '@', '[', '`', '{', 0x80}),
         ":3039415A617A2E5F202F3A405B607B80 09AZaz._........\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(EdidDumpLine(c.bytes.data()), c.line);
}

TEST(EdidSummary, DecodesBaseBlocks) {
    struct Case {
        const char* what;
        std::vector<uint8_t> block;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"desktop monitor", DellMonitor(),
         "EDID: manufacturer DEL, product 0xA0A4, serial 810562636, week 20 of 2015, version 1.3, "
         "name \"DELL U2414H\", checksum OK\n"},
        {"name in the last descriptor", SamsungMonitor(),
         "EDID: manufacturer SAM, product 0x02FE, serial 1297494579, week 47 of 2008, version "
         "1.3, name \"SyncMaster\", checksum OK\n"},
        {"laptop panel without name", AuoPanel(),
         "EDID: manufacturer AUO, product 0x21EC, serial 0, year 2014, version 1.4, checksum OK\n"},
        {"model year, 13-character name", BoePanel(),
         "EDID: manufacturer BOE, product 0x078D, serial 1, model year 2020, version 1.4, name "
         "\"NV156FHM-N48\", checksum OK\n"},
        {"odd fields", OddBlock(),
         "EDID: manufacturer ???, product 0x1234, serial 4294967295, week 60 (invalid) of 1990, "
         "version 2.0, name \"PA?EL\", checksum OK\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(c.block.size(), 128u);
        auto info = DecodeEdidBase(c.block);
        ASSERT_TRUE(info);
        EXPECT_EQ(EdidSummaryLine(*info), c.line);
        EXPECT_EQ(EdidWriteWarning(c.block), "");
    }
}

TEST(EdidSummary, CorruptedChecksumNamesTheRightByte) {
    auto block = DellMonitor();
    const uint8_t good = block[127];
    block[10] ^= 0x01;  // product code 0xA0A5: the stored checksum no longer fits
    const uint8_t correct = static_cast<uint8_t>(good - 1);
    auto info = DecodeEdidBase(block);
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->checksumOk);
    const std::string detail = "byte 127 is " + Hex(good) + ", should be " + Hex(correct);
    EXPECT_EQ(EdidSummaryLine(*info),
              "EDID: manufacturer DEL, product 0xA0A5, serial 810562636, week 20 of 2015, version "
              "1.3, name \"DELL U2414H\", checksum WRONG (" + detail + ")\n");
    EXPECT_EQ(EdidWriteWarning(block),
              "Warning: the EDID checksum of the file is wrong (" + detail +
                  "); it is written as it is.\n");
    block[127] = correct;
    EXPECT_TRUE(DecodeEdidBase(block)->checksumOk);
}

TEST(EdidSummary, NeedsTheHeaderAndAWholeBaseBlock) {
    auto block = DellMonitor();
    EXPECT_FALSE(DecodeEdidBase(std::span<const uint8_t>(block.data(), 127)));
    block[7] = 0x01;
    EXPECT_FALSE(DecodeEdidBase(block));
    EXPECT_EQ(EdidWriteWarning(block),
              "Warning: the file has no EDID header (00 FF FF FF FF FF FF 00); it is written as it "
              "is.\n");
    EXPECT_NE(EdidWriteWarning(std::vector<uint8_t>(256, 0xFF)), "");
}

// ---- READ and WRITE on the simulated panel ----

class EdidSim : public ::testing::Test {
protected:
    void SetUp() override {
        SelectMode(s.p(), kEdidModeText);
        ASSERT_TRUE(s.p().form.Enabled("BitBtn_READ"));
        s.ui.ClearRecords();
        s.jig->Serial()->ClearHostWrittenLog();
    }
    template <class F>
    void Panel(F&& f) {
        std::lock_guard lock(s.jig->StateMutex());
        f(s.jig->Part<SimEdidPanel>());
    }
    std::vector<uint8_t> PanelBytes() {
        std::vector<uint8_t> out;
        Panel([&](SimEdidPanel& panel) { out.assign(panel.bytes.begin(), panel.bytes.end()); });
        return out;
    }
    std::vector<uint8_t> Sent() { return s.jig->Serial()->HostWrittenLog(); }
    // The log without its first entry (the timestamp line, checked to be black).
    std::vector<Line> LogAfterTimestamp() {
        auto entries = s.ui.Entries();
        EXPECT_FALSE(entries.empty());
        if (entries.empty()) return {};
        EXPECT_EQ(entries[0].color, colors::Black);
        return Lines(s.ui, 1);
    }
    void ExpectIdleAndClosed() {
        EXPECT_EQ(s.driver.OpenCount(), 0);
        EXPECT_TRUE(s.p().CurrentJob.Is("NONE"));
        EXPECT_TRUE(s.p().form.Enabled("BitBtn_READ"));
        EXPECT_TRUE(s.p().form.Enabled("BitBtn_WRITE"));
        EXPECT_EQ(s.p().files.ImageFile, -1);
    }
    SimProgram s;
};

TEST_F(EdidSim, ReadSavesThe256BytesAndSummarises) {
    const std::string path = (s.dir / "panel.bin").string();
    s.ui.AnswerSave(path);
    BitBtn_READClick(s.p());

    const auto expected = PanelBytes();
    EXPECT_EQ(s.dir.Read("panel.bin"), expected);
    EXPECT_EQ(LogAfterTimestamp(),
              Concat({{{"Reading EEPROM EDID ...\n", "blue"}},
                      DumpLines(expected),
                      {{"EDID: manufacturer LGD, product 0x0469, serial 0, week 12 of 2012, version "
                        "1.3, name \"LP156WH4-TLN2\", checksum OK\n",
                        "black"},
                       {"Reading from the EEPROM is completed successfully.\n", "blue"},
                       {"Save the file: " + path + "\n", "black"},
                       {"Save completed.\n", "blue"},
                       {"\n", "black"}}}));
    EXPECT_EQ(Sent(), Bytes({'B', 'E', 'r', 'I'}));
    auto dialogs = s.ui.Dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].title, "Save file");
    EXPECT_EQ(dialogs[0].initialName, "Noname");
    EXPECT_EQ(dialogs[0].defaultExt, ".bin");
    EXPECT_EQ(dialogs[0].filter, "BIN file EDID (*.bin)|*.bin|other|*.*");
    EXPECT_EQ(s.p().op.outcome, Outcome::Succeeded);
    ExpectIdleAndClosed();
}

TEST_F(EdidSim, ReadFromAMissingPanelDumpsAndSavesNothing) {
    Panel([](SimEdidPanel& panel) { panel.connected = false; });
    s.ui.AnswerSave((s.dir / "never.bin").string());
    BitBtn_READClick(s.p());

    EXPECT_EQ(LogAfterTimestamp(), Concat({{{"Reading EEPROM EDID ...\n", "blue"}},
                                           DumpLines(std::vector<uint8_t>(256, 0xFF)),
                                           {{kEdidReadFailed, "red"}, {"\n", "black"}}}));
    EXPECT_EQ(Sent(), Bytes({'B', 'E', 'r', 'O'}));
    EXPECT_TRUE(s.ui.Dialogs().empty());
    EXPECT_FALSE(std::filesystem::exists(s.dir / "never.bin"));
    EXPECT_EQ(s.p().op.outcome, Outcome::Failed);
    ExpectIdleAndClosed();
}

TEST_F(EdidSim, CancelledSaveAfterAGoodReadKeepsNothingAndCountsAsFailure) {
    BitBtn_READClick(s.p());  // no answer queued: the dialog is cancelled

    const auto lines = LogAfterTimestamp();
    ASSERT_EQ(lines.size(), 1u + 16 + 1 + 3);
    EXPECT_EQ(std::vector<Line>(lines.begin() + 1, lines.begin() + 17), DumpLines(PanelBytes()));
    EXPECT_EQ(std::vector<Line>(lines.end() - 3, lines.end()),
              (std::vector<Line>{{"Reading from the EEPROM is completed successfully.\n", "blue"},
                                 {"Write to file is interrupted.\n", "red"},
                                 {"\n", "black"}}));
    EXPECT_EQ(Sent(), Bytes({'B', 'E', 'r', 'I'}));
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(s.dir.Path())) files.push_back(e.path());
    EXPECT_TRUE(files.empty());
    EXPECT_EQ(s.p().op.outcome, Outcome::Failed);
    ExpectIdleAndClosed();
}

TEST_F(EdidSim, OversizedAnswerIsAFailedReadAndLeavesTheLinkClean) {
    for (uint32_t extra : {1u, 3u, 900u}) {
        SCOPED_TRACE(extra);
        s.ui.ClearRecords();
        s.jig->Serial()->ClearHostWrittenLog();
        Panel([&](SimEdidPanel& panel) { panel.extraAnswerBytes = extra; });
        BitBtn_READClick(s.p());

        const auto lines = LogAfterTimestamp();
        ASSERT_EQ(lines.size(), 1u + 16 + 1 + 2);
        EXPECT_EQ(std::vector<Line>(lines.begin() + 1, lines.begin() + 17), DumpLines(PanelBytes()));
        EXPECT_EQ(lines[17].second, "black");  // the summary of the dumped block
        EXPECT_EQ(lines[18], Line("\n Answer too long: at least " + std::to_string(258 + extra) +
                                      " bytes instead of 258,\n the read is not valid !!!\n\n",
                                  "red"));
        EXPECT_EQ(lines[19], Line("\n", "black"));
        EXPECT_EQ(Sent(), Bytes({'B', 'E', 'r', 'O'}));
        EXPECT_EQ(s.p().op.outcome, Outcome::Failed);
        EXPECT_TRUE(s.ui.Dialogs().empty());
        ExpectIdleAndClosed();
    }
    // The panel answers properly again: the next read is good.
    Panel([](SimEdidPanel& panel) { panel.extraAnswerBytes = 0; });
    s.ui.ClearRecords();
    s.ui.AnswerSave((s.dir / "good.bin").string());
    BitBtn_READClick(s.p());
    EXPECT_EQ(s.dir.Read("good.bin"), PanelBytes());
    EXPECT_EQ(s.p().op.outcome, Outcome::Succeeded);
}

TEST_F(EdidSim, WriteSendsTheFilePaddedOrCutTo256Bytes) {
    auto padded = [](std::vector<uint8_t> v) {
        v.resize(256, 0xFF);
        return v;
    };
    std::vector<uint8_t> longFile = padded(SamsungMonitor());
    for (int i = 128; i < 256; ++i) longFile[i] = static_cast<uint8_t>(i);
    const std::vector<uint8_t> longTail = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    std::vector<uint8_t> longFileOnDisk = longFile;
    longFileOnDisk.insert(longFileOnDisk.end(), longTail.begin(), longTail.end());
    auto badChecksum = DellMonitor();
    badChecksum[127] ^= 0xFF;

    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        std::vector<uint8_t> stored;
        std::string summary;  // empty: no base block
        std::string warning;  // empty: none
    };
    const std::vector<Case> cases = {
        {"128-byte base block", DellMonitor(), padded(DellMonitor()),
         EdidSummaryLine(*DecodeEdidBase(DellMonitor())), ""},
        {"file longer than 256 bytes", longFileOnDisk, longFile,
         EdidSummaryLine(*DecodeEdidBase(longFile)), ""},
        {"empty file", {}, std::vector<uint8_t>(256, 0xFF), "",
         "Warning: the file has no EDID header (00 FF FF FF FF FF FF 00); it is written as it "
         "is.\n"},
        {"wrong checksum", badChecksum, padded(badChecksum),
         EdidSummaryLine(*DecodeEdidBase(badChecksum)), EdidWriteWarning(badChecksum)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        s.ui.ClearRecords();
        s.jig->Serial()->ClearHostWrittenLog();
        const std::string path = (s.dir / "image.bin").string();
        s.dir.Write("image.bin", c.file);
        s.ui.AnswerOpen(path);
        BitBtn_WRITEClick(s.p());

        EXPECT_EQ(PanelBytes(), c.stored);
        std::vector<Line> expected = {{"Writing EEPROM EDID ...\n", "blue"},
                                      {"Write to EEPROM EDID file: " + path + "\n", "black"}};
        expected = Concat({expected, DumpLines(c.stored)});
        if (!c.summary.empty()) expected.emplace_back(c.summary, "black");
        if (!c.warning.empty()) expected.emplace_back(c.warning, "red");
        expected.emplace_back("Writing data to EEPROM is completed successfully.\n\n", "blue");
        EXPECT_EQ(LogAfterTimestamp(), expected);
        std::vector<uint8_t> sent = Bytes({'B', 'E', 'w'});
        sent.insert(sent.end(), c.stored.begin(), c.stored.end());
        sent.push_back('I');
        EXPECT_EQ(Sent(), sent);
        EXPECT_EQ(s.p().op.outcome, Outcome::Succeeded);
        ExpectIdleAndClosed();
    }
    auto dialogs = s.ui.Dialogs();
    ASSERT_FALSE(dialogs.empty());
    EXPECT_EQ(dialogs.back().title, "Read file");
    EXPECT_EQ(dialogs.back().initialName, "");
    EXPECT_EQ(dialogs.back().defaultExt, ".bin");
    EXPECT_EQ(dialogs.back().filter, "BIN file EDID (*.bin)|*.bin|other|*.*");
}

TEST_F(EdidSim, RefusedWriteStoresNothing) {
    struct Case {
        const char* what;
        bool connected, writeProtect;
    };
    for (const Case& c : {Case{"write-protected", true, true}, Case{"no panel", false, false}}) {
        SCOPED_TRACE(c.what);
        Panel([&](SimEdidPanel& panel) {
            panel.connected = c.connected;
            panel.writeProtect = c.writeProtect;
        });
        const auto before = PanelBytes();
        s.ui.ClearRecords();
        s.jig->Serial()->ClearHostWrittenLog();
        s.dir.Write("image.bin", DellMonitor());
        s.ui.AnswerOpen((s.dir / "image.bin").string());
        BitBtn_WRITEClick(s.p());

        EXPECT_EQ(PanelBytes(), before);
        const auto lines = Lines(s.ui);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), Line(kEdidWriteFailed, "red"));
        EXPECT_EQ(s.ui.LogText(colors::Blue), "Writing EEPROM EDID ...\n");
        EXPECT_EQ(Sent().back(), 'O');
        EXPECT_EQ(s.p().op.outcome, Outcome::Failed);
        ExpectIdleAndClosed();
    }
}

TEST_F(EdidSim, CancelledOpenSendsNothingToTheJig) {
    BitBtn_WRITEClick(s.p());
    EXPECT_EQ(LogAfterTimestamp(), (std::vector<Line>{{"Writing EEPROM EDID ...\n", "blue"},
                                                      {"Write operation is interrupted.\n", "red"}}));
    EXPECT_EQ(Sent(), Bytes({'B'}));
    EXPECT_EQ(s.p().op.outcome, Outcome::Failed);
    ExpectIdleAndClosed();
}

// The version answer "M328_EPM240_v20" is 15 bytes; the host's 'B' is 1.
TEST(EdidLostJig, EndsWithARedLineAndAUsableWindow) {
    struct Case {
        const char* what;
        bool write;
        std::function<void(sim::SimSerial&)> fault;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"read stops after 100 data bytes", false,
         [](sim::SimSerial& d) { d.StopAnsweringAfterDeviceBytes(15 + 100); },
         "The JIG did not answer: no EEPROM data after 'E' 'r' (100 of 258 bytes received) within "
         "0.3 s.\n"},
        {"read: JIG silent", false, [](sim::SimSerial& d) { d.StopAnsweringAfterDeviceBytes(15); },
         "The JIG did not answer: no EEPROM data after 'E' 'r' (0 of 258 bytes received) within "
         "0.3 s.\n"},
        {"write: no status", true,
         [](sim::SimSerial& d) { d.StopAnsweringAfterDeviceBytes(15 + 1); },
         "The JIG did not answer: no status of the EEPROM write within 0.3 s.\n"},
        {"write: unplugged after the data", true,
         [](sim::SimSerial& d) { d.UnplugAfterHostBytes(1 + 2 + 256); },
         "The JIG was disconnected while waiting for status of the EEPROM write.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SimProgram fresh("M328_EPM240_v20", 300);
        SelectMode(fresh.p(), kEdidModeText);
        fresh.ui.ClearRecords();
        c.fault(*fresh.jig->Serial());
        fresh.dir.Write("image.bin", DellMonitor());
        fresh.ui.AnswerOpen((fresh.dir / "image.bin").string());
        fresh.ui.AnswerSave((fresh.dir / "out.bin").string());
        if (c.write)
            BitBtn_WRITEClick(fresh.p());
        else
            BitBtn_READClick(fresh.p());

        EXPECT_TRUE(fresh.ui.HasEntry(c.message, colors::Red)) << fresh.ui.LogText();
        EXPECT_EQ(fresh.ui.LogText(colors::Red), c.message);
        EXPECT_FALSE(std::filesystem::exists(fresh.dir / "out.bin"));
        EXPECT_EQ(fresh.p().op.outcome, Outcome::Failed);
        EXPECT_EQ(fresh.driver.OpenCount(), 0);
        EXPECT_TRUE(fresh.p().CurrentJob.Is("NONE"));
        EXPECT_TRUE(fresh.p().form.Enabled("BitBtn_READ"));
        EXPECT_EQ(fresh.p().files.ImageFile, -1);
    }
}

// ---- the read answer in chunks, on a scripted driver ----

struct ScriptedEdid {
    ScriptedEdid() : program(ui, driver, dir.Path()) {
        program.limits.idleMs = 200;
        program.limits.failureMarkMs = 100;
        RegisterSubsystems(program);
        FormCreate(program);
        SelectMode(program, kEdidModeText);
        driver.onWrite = [this](ScriptDriver& d, const std::vector<uint8_t>& frame) {
            if (frame == Bytes({'B'})) {
                const std::string v = kExpectedFirmwareVersion;
                d.rx.insert(d.rx.end(), v.begin(), v.end());
            } else if (frame == Bytes({'E', 'r'})) {
                Next(d);
            } else if (frame.size() == 1) {
                d.Queue({frame[0]});  // end marks echo
            }
        };
        driver.onStarve = [this](ScriptDriver& d) { Next(d); };
    }
    // Queues the next chunk of the answer.
    void Next(ScriptDriver& d) {
        if (chunk >= chunks.size()) return;
        const size_t n = chunks[chunk++];
        for (size_t i = 0; i < n; ++i, ++sent) d.rx.push_back(sent < answer.size() ? answer[sent] : 0xEE);
    }
    TempDir dir;
    RecordingUi ui;
    ScriptDriver driver;
    Program program;
    std::vector<uint8_t> answer;
    std::vector<size_t> chunks;
    size_t chunk = 0, sent = 0;
};

TEST(EdidChunkedRead, CollectsAtMostTheAnswerAndRejectsMore) {
    auto data = DellMonitor();
    data.resize(256, 0xFF);
    auto withStatus = [&](uint8_t a, uint8_t b) {
        auto v = data;
        v.push_back(a);
        v.push_back(b);
        return v;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> answer;
        std::vector<size_t> chunks;
        std::vector<uint32_t> readSizes;  // every Read after the version request
        std::string verdict;              // the line after the summary
        Rgb color;
    };
    const std::vector<Case> cases = {
        {"in one piece", withStatus('O', 'K'), {258}, {258, 1},
         "Reading from the EEPROM is completed successfully.\n", colors::Blue},
        {"in three pieces", withStatus('O', 'K'), {1, 200, 57}, {1, 200, 57, 1},
         "Reading from the EEPROM is completed successfully.\n", colors::Blue},
        {"too long in the last piece", withStatus('O', 'K'), {100, 100, 61}, {100, 100, 58, 1},
         "\n Answer too long: at least 261 bytes instead of 258,\n the read is not valid !!!\n\n",
         colors::Red},
        {"too long at once", withStatus('O', 'K'), {1000}, {258, 1},
         "\n Answer too long: at least 1000 bytes instead of 258,\n the read is not valid !!!\n\n",
         colors::Red},
        {"bad status", withStatus('N', 'O'), {258}, {258, 1}, kEdidReadFailed, colors::Red},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedEdid s;
        s.answer = c.answer;
        s.chunks = c.chunks;
        s.ui.AnswerSave((s.dir / "out.bin").string());
        s.ui.ClearRecords();
        BitBtn_READClick(s.program);

        ASSERT_GE(s.driver.readSizes.size(), 1u);
        EXPECT_EQ(std::vector<uint32_t>(s.driver.readSizes.begin() + 1, s.driver.readSizes.end()),
                  c.readSizes);
        const auto lines = Lines(s.ui);
        ASSERT_GE(lines.size(), 2u + 16 + 2);
        // The data bytes are dumped whatever the verdict.
        EXPECT_EQ(std::vector<Line>(lines.begin() + 2, lines.begin() + 18), DumpLines(data));
        EXPECT_EQ(lines[18], Line(EdidSummaryLine(*DecodeEdidBase(data)), "black"));
        EXPECT_EQ(lines[19], Line(c.verdict, ColorName(c.color)));
        const bool good = c.color == colors::Blue;
        EXPECT_EQ(s.driver.written.back(), good ? 'I' : 'O');
        EXPECT_EQ(std::filesystem::exists(s.dir / "out.bin"), good);
        if (good) {
            EXPECT_EQ(s.dir.Read("out.bin"), data);
        }
        EXPECT_FALSE(s.program.link.isOpen);
    }
}

}  // namespace
}  // namespace zjig::test
