// The ENE KB90xx family: connection check, read into a file, write with
// verification, gauge phases and the external board's supply around them.
#include <gtest/gtest.h>

#include "chips/ene/ene.h"
#include "tests/support/ene_helpers.h"

namespace zjig::test {
namespace {

struct CheckCase {
  const char *name;
  bool external;
  bool reachable;
  uint8_t versionId;
  bool ok;
  std::string red; // the whole red text, or empty
  std::string idLine;
};

class EneCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(EneCheck, ReportsTheControllerAndSendsTheMark) {
  const CheckCase &c = GetParam();
  EneRig r;
  c.external ? r.ExternalMode() : r.MotherboardMode();
  if (!c.reachable)
    r.Unreachable();
  r.chip().SetVersionId(c.versionId);

  BitBtn_CheckConnClick(r.p());

  EXPECT_EQ(r.s.ui.LogText(colors::Red), c.red);
  if (c.ok) {
    EXPECT_TRUE(r.s.ui.HasEntry("Communication with KB90XX installed.\n",
                                colors::Black));
    EXPECT_TRUE(r.s.ui.HasEntry(c.idLine, colors::Blue));
  }
  EXPECT_EQ(r.p().op.outcome, c.ok ? Outcome::Succeeded : Outcome::Failed);
  const auto cmds = FoldSupply(Commands(r.Wire()));
  const std::vector<std::string> expected =
      c.external
          ? std::vector<std::string>{"B", "ON", "KV", c.ok ? "I" : "O", "OFF"}
          : std::vector<std::string>{"B", "KV", c.ok ? "I" : "O"};
  EXPECT_EQ(cmds, expected);
  r.ExpectIdleWindow();
}

const std::string kNoConnMb =
    "\n No connection to the KB90XX!\n Check the settings !\n Motherboard is "
    "connected / powered ?\n\n";
const std::string kNoConnExt = "\n No connection to the KB90XX!\n Check the "
                               "ground !\n External board is powered ?\n\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, EneCheck,
    ::testing::Values(
        CheckCase{"Motherboard", false, true, 11, true, "",
                  "Embedded Debug Version ID = 11\n"},
        CheckCase{"IdZeroIsValid", false, true, 0, true, "",
                  "Embedded Debug Version ID = 0\n"},
        CheckCase{"Id254", false, true, 254, true, "",
                  "Embedded Debug Version ID = 254\n"},
        CheckCase{"External", true, true, 7, true, "",
                  "Embedded Debug Version ID = 7\n"},
        CheckCase{"MotherboardNoChip", false, false, 11, false, kNoConnMb, ""},
        CheckCase{"ExternalNoChip", true, false, 11, false, kNoConnExt, ""}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(EneCheck, SilentJigIsNoConnectionAndDoesNotHang) {
  EneRig r;
  r.MotherboardMode();
  // The JIG answers the version request, then nothing more.
  r.s.jig->Serial()->StopAnsweringAfterDeviceBytes(
      r.s.jig->Serial()->DeviceBytesSent() + 15);
  BitBtn_CheckConnClick(r.p());
  EXPECT_TRUE(r.s.ui.LogText(colors::Red).starts_with(kNoConnMb));
  EXPECT_TRUE(r.s.ui.Contains("no answer: answer to 'K' 'V'"));
  EXPECT_EQ(r.p().op.outcome, Outcome::Failed);
  r.ExpectIdleWindow();
}

TEST(EneCheck, ReadAndWriteStopAtAFailedCheck) {
  EneRig r;
  r.MotherboardMode();
  r.Unreachable();
  r.s.ui.AnswerSave((r.s.dir / "x.bin").string());
  BitBtn_READClick(r.p());
  r.s.ui.AnswerOpen((r.s.dir / "x.bin").string());
  BitBtn_WRITEClick(r.p());
  EXPECT_TRUE(r.s.ui.Dialogs().empty());
  EXPECT_EQ(r.p().jobs.ThreadsStarted(), 0);
  EXPECT_EQ(Commands(r.Wire()),
            (std::vector<std::string>{"B", "KV", "O", "B", "KV", "O"}));
  r.ExpectIdleWindow();
}

TEST(EneRead, FileHoldsTheChipAndTheWireFollowsTheProtocol) {
  EneRig r;
  r.MotherboardMode();
  r.Read("chip.bin");

  EXPECT_EQ(r.s.dir.Read("chip.bin"), r.chip().Flash());
  const auto dialogs = r.s.ui.Dialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].title, "Save file");
  EXPECT_EQ(dialogs[0].initialName, "ENE_");
  EXPECT_EQ(dialogs[0].defaultExt, ".bin");
  EXPECT_EQ(dialogs[0].filter, "BIN file ENE (*.bin)|*.bin|other|*.*");
  EXPECT_TRUE(r.s.ui.HasEntry(
      "Save the file: " + (r.s.dir / "chip.bin").string() + "\n",
      colors::Black));
  EXPECT_TRUE(r.s.ui.HasEntry("Reading KB90XX ...\n", colors::Blue));
  EXPECT_TRUE(
      r.s.ui.HasEntry("Reading completed successfully.\n", colors::Blue));
  EXPECT_EQ(r.s.ui.LogText(colors::Red), "");

  const auto cmds = Commands(r.Wire());
  EXPECT_EQ(WithoutBlockSteps(cmds),
            (std::vector<std::string>{"B", "KV", "I", "KR", "X", "I"}));
  EXPECT_EQ(CountOf(cmds, "?"), 512u);
  EXPECT_EQ(CountOf(cmds, "N"), 511u);
  EXPECT_EQ(r.p().op.outcome, Outcome::Succeeded);
  r.ExpectIdleWindow();
}

// The progress values a gauge colour went through, without repeats.
std::vector<int> ProgressIn(const std::vector<GaugeState> &history, Rgb color,
                            int maximum) {
  std::vector<int> out;
  for (const auto &g : history)
    if (g.color == color && g.maximum == maximum &&
        (out.empty() || out.back() != g.progress))
      out.push_back(g.progress);
  return out;
}

std::vector<int> ZeroTo512() {
  std::vector<int> v;
  for (int i = 0; i <= 512; ++i)
    v.push_back(i);
  return v;
}

TEST(EneRead, GaugeRunsLimeTo512) {
  EneRig r;
  r.MotherboardMode();
  r.Read("chip.bin");
  EXPECT_EQ(ProgressIn(r.s.ui.GaugeHistory(), colors::Lime, 512), ZeroTo512());
  EXPECT_EQ(r.p().gauge.Get().progress, 512);
}

struct WriteCase {
  const char *name;
  size_t fileSize;
};

class EneWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(EneWrite, ChipHoldsTheFilePaddedOrCutAndVerificationPasses) {
  EneRig r;
  r.MotherboardMode();
  std::vector<uint8_t> file(GetParam().fileSize);
  for (size_t i = 0; i < file.size(); ++i)
    file[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
  r.s.dir.Write("image.bin", file);
  r.Write("image.bin");

  std::vector<uint8_t> expected(131072, 0xFF);
  std::copy_n(file.begin(), std::min<size_t>(file.size(), expected.size()),
              expected.begin());
  EXPECT_EQ(r.chip().Flash(), expected);
  EXPECT_TRUE(r.s.ui.HasEntry(
      "Write in KB90XX file: " + (r.s.dir / "image.bin").string() + "\n",
      colors::Black));
  for (const char *line :
       {"There is a writing KB90XX...\n", "Writing is completed ...\n",
        "Verification ...\n", "Writing and verify is OK !\n"})
    EXPECT_TRUE(r.s.ui.HasEntry(line, colors::Blue)) << line;
  EXPECT_EQ(r.s.ui.LogText(colors::Red), "");
  EXPECT_EQ(r.p().op.outcome, Outcome::Succeeded);
  EXPECT_EQ(r.s.ui.Dialogs().at(0).title, "Read file");
  EXPECT_EQ(r.s.ui.Dialogs().at(0).initialName, "");

  const auto wire = r.Wire();
  // 'K' 'W', 512 blocks and 511 'N', 'X', then 'K' 'R', 511 'R', 'X', 'I'.
  const std::vector<uint8_t> kw = {'K', 'W'};
  auto at = std::search(wire.begin(), wire.end(), kw.begin(), kw.end());
  ASSERT_NE(at, wire.end());
  const size_t start = static_cast<size_t>(at - wire.begin()) + 2;
  for (int n = 0; n < 512; ++n) {
    const size_t pos = start + static_cast<size_t>(n) * 257;
    ASSERT_TRUE(std::equal(expected.begin() + n * 256,
                           expected.begin() + n * 256 + 256,
                           wire.begin() + static_cast<long>(pos)))
        << "block " << n;
    ASSERT_EQ(wire[pos + 256], n < 511 ? 'N' : 'X') << "after block " << n;
  }
  const std::vector<uint8_t> tail(
      wire.begin() + static_cast<long>(start + 512 * 257), wire.end());
  EXPECT_EQ(WithoutBlockSteps(Commands(tail)),
            (std::vector<std::string>{"KR", "X", "I"}));
  EXPECT_EQ(CountOf(Commands(tail), "R"), 511u);
  r.ExpectIdleWindow();
}

INSTANTIATE_TEST_SUITE_P(Cases, EneWrite,
                         ::testing::Values(WriteCase{"Half", 65536},
                                           WriteCase{"Exact", 131072},
                                           WriteCase{"Longer", 131072 + 5000},
                                           WriteCase{"Empty", 0}),
                         [](const auto &info) {
                           return std::string(info.param.name);
                         });

TEST(EneWrite, GaugeRunsRedThenYellow) {
  EneRig r;
  r.MotherboardMode();
  r.s.dir.Write("image.bin", std::vector<uint8_t>(1000, 0x5A));
  r.Write("image.bin");
  const auto history = r.s.ui.GaugeHistory();
  std::vector<int> red = ZeroTo512();
  red.push_back(
      0); // the verification resets the progress before it turns yellow
  EXPECT_EQ(ProgressIn(history, colors::Red, 512), red);
  EXPECT_EQ(ProgressIn(history, colors::Yellow, 512), ZeroTo512());
}

TEST(EneExternal, SupplyIsOnAroundTheCheckAndAgainAroundTheTransfer) {
  EneRig r;
  r.ExternalMode();
  r.Read("chip.bin");
  EXPECT_EQ(r.s.dir.Read("chip.bin"), r.chip().Flash());
  EXPECT_EQ(WithoutBlockSteps(FoldSupply(Commands(r.Wire()))),
            (std::vector<std::string>{"B", "ON", "KV", "I", "OFF", "ON", "KR",
                                      "X", "OFF", "I"}));
  for (uint8_t reg : {8, 9, 10, 11})
    EXPECT_EQ(r.s.jig->CpldRegister(reg), 0) << int(reg);
  r.ExpectIdleWindow();
}

TEST(EneExternal, SupplyIsSwitchedOffWhenTheReadFails) {
  EneRig r;
  r.ExternalMode();
  sim::SimEneFaults f;
  f.silentQuestionAt = 3;
  r.chip().SetFaults(f);
  r.Read("chip.bin");
  EXPECT_EQ(WithoutBlockSteps(FoldSupply(Commands(r.Wire()))),
            (std::vector<std::string>{"B", "ON", "KV", "I", "OFF", "ON", "KR",
                                      "OFF", "O"}));
  for (uint8_t reg : {8, 9, 10, 11})
    EXPECT_EQ(r.s.jig->CpldRegister(reg), 0) << int(reg);
  r.ExpectIdleWindow();
}

TEST(EneExternal, WriteSwitchesTheSupplyOffAtTheEnd) {
  EneRig r;
  r.ExternalMode();
  r.s.dir.Write("image.bin", std::vector<uint8_t>(131072, 0x11));
  r.Write("image.bin");
  EXPECT_EQ(r.chip().Flash(), std::vector<uint8_t>(131072, 0x11));
  const auto cmds = FoldSupply(Commands(r.Wire()));
  // The data blocks cut the traffic into noise; the frame around it is exact.
  const std::vector<std::string> head(cmds.begin(), cmds.begin() + 7);
  EXPECT_EQ(head, (std::vector<std::string>{"B", "ON", "KV", "I", "OFF", "ON",
                                            "KW"}));
  const std::vector<std::string> end(cmds.end() - 3, cmds.end());
  EXPECT_EQ(end, (std::vector<std::string>{"X", "OFF", "I"}));
  r.ExpectIdleWindow();
}

TEST(EneWrite, UnreachableChipIsCaughtByTheVerification) {
  EneRig r;
  r.MotherboardMode();
  r.s.dir.Write("image.bin", std::vector<uint8_t>(131072, 0x00));
  r.chip().SetVersionId(11);
  r.Write("image.bin"); // check passes: the chip is reachable for 'K' 'V'
  EXPECT_EQ(r.p().op.outcome, Outcome::Succeeded);

  // The same write with the chip's data lines lost after the check.
  EneRig lost;
  lost.MotherboardMode();
  lost.s.dir.Write("image.bin", std::vector<uint8_t>(131072, 0x00));
  int calls = 0;
  lost.s.jig->Part<sim::SimReach>().ene = [&calls](const sim::SimJig &) {
    return calls++ == 0;
  };
  lost.Write("image.bin");
  EXPECT_TRUE(lost.s.ui.HasEntry("!!! Data is written incorrectly !!! \n",
                                 colors::Red));
  EXPECT_EQ(lost.p().op.outcome, Outcome::Failed);
  lost.ExpectIdleWindow();
}

TEST(EneJobs, SecondClickWhileAJobRunsDoesNothing) {
  EneRig r(1000);
  r.MotherboardMode();
  sim::SimEneFaults f;
  f.silentQuestionAt = 100; // holds the job until the limit
  r.chip().SetFaults(f);
  r.s.ui.AnswerSave((r.s.dir / "a.bin").string());
  BitBtn_READClick(r.p());
  EXPECT_TRUE(r.p().CurrentJob.Is("READ_ENE"));
  EXPECT_FALSE(r.p().form.Enabled("CBox_Selector"));
  EXPECT_FALSE(FormCloseQuery(r.p()));
  BitBtn_READClick(r.p());
  BitBtn_WRITEClick(r.p());
  BitBtn_CheckConnClick(r.p());
  EXPECT_EQ(r.s.ui.Dialogs().size(), 1u);
  EXPECT_TRUE(r.s.WaitIdle());
  EXPECT_EQ(r.p().jobs.ThreadsStarted(), 1);
  EXPECT_TRUE(FormCloseQuery(r.p()));
  r.ExpectIdleWindow();
}

} // namespace
} // namespace zjig::test
