// The ENE fault matrix: every way a read, a write or its verification can go
// wrong ends with its red message, the right end mark, "NONE", the mode
// selector enabled, the link closed and a read file holding exactly the
// blocks received, soon after the fault.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <memory>
#include <optional>

#include "chips/ene/ene.h"
#include "tests/support/ene_helpers.h"

namespace zjig::test {
namespace {

constexpr uint32_t kIdleMs = 300;
const std::string kLost = "Lost Communication with ENE or timeout! \n";
const std::string kWrong = "!!! Data is written incorrectly !!! \n";
constexpr uint8_t kImageByte = 0x5A;

enum class Op { Read, Write };
// What the host sent last: the failure mark, nothing after the JIG vanished,
// "SPI_ON" after a file error, or only the check (its 'I') before a dialog.
enum class Mark { O, None, SpiOn, CheckOnly };

struct FaultCase {
  std::string name;
  Op op;
  // Injects the fault; may script the dialog itself (then scripted is set)
  // and may return a guard that undoes a change of the process.
  std::function<std::shared_ptr<void>(EneRig &)> arrange;
  bool scripted = false;
  std::string red;     // the whole red text of the log
  std::string detail;  // a fragment of the black text ("" for none)
  Mark mark = Mark::O; // what the host sent last
  int fileBlocks = -1; // read: blocks the file holds; -1: no file is left
  int verifyRequests =
      -1; // write: 'R' sent in the verification; -1: not checked
  // Whether the end is bounded by the time limit (false where no wait is
  // involved: a difference found by comparing after a whole write).
  bool waits = true;
};

sim::SimEneFaults Faults(std::function<void(sim::SimEneFaults &)> f) {
  sim::SimEneFaults faults;
  f(faults);
  return faults;
}

std::function<std::shared_ptr<void>(EneRig &)>
Inject(std::function<void(sim::SimEneFaults &)> f) {
  return [f](EneRig &r) {
    r.chip().SetFaults(Faults(f));
    return std::shared_ptr<void>();
  };
}

std::vector<FaultCase> Cases() {
  std::vector<FaultCase> cases;
  for (int k : {0, 1, 255, 511}) {
    const std::string n = std::to_string(k + 1) + " of 512";
    cases.push_back(
        {"ReadUnpluggedAtBlock" + std::to_string(k), Op::Read,
         Inject([k](auto &f) { f.unplugInReadBlock = k; }), false, kLost,
         " (JIG disconnected: data block (block " + n + "))\n", Mark::None, k});
    cases.push_back(
        {"WriteUnpluggedAtBlock" + std::to_string(k), Op::Write,
         Inject([k](auto &f) { f.unplugInWriteBlock = k; }), false, kLost,
         " (JIG disconnected: status byte (after block " + n + "))\n",
         Mark::None});
    cases.push_back(
        {"VerifyUnpluggedAtBlock" + std::to_string(k), Op::Write,
         Inject([k](auto &f) { f.unplugInReadBlock = k; }), false, kLost,
         " (JIG disconnected: data block (verification block " + n + "))\n",
         Mark::None});
  }
  cases.push_back(
      {"ReadNoAnswerToQuestion", Op::Read,
       Inject([](auto &f) { f.silentQuestionAt = 5; }), false, kLost,
       " (no answer: answer to '?' (after block 6 of 512))\n", Mark::O, 6});
  cases.push_back(
      {"ReadQuestionAnsweredE", Op::Read,
       Inject([](auto &f) { f.badQuestionAt = 3; }), false, kLost,
       " (answer to '?' after block 4 of 512 was 'E' (0x45) instead of 'G')\n",
       Mark::O, 4});
  cases.push_back({"ReadTwoBlocksQueued", Op::Read,
                   Inject([](auto &f) { f.extraByteAt = 2; }), false, kLost,
                   " (protocol error: 257 bytes queued where one 256-byte "
                   "block was expected, "
                   "block 3 of 512)\n",
                   Mark::O, 2});
  cases.push_back({"ReadJigFallsSilentInABlock", Op::Read,
                   [](EneRig &r) {
                     // Version text (15), 'K' 'V' answer, 'I' answer, two
                     // blocks with their 'G', then 100 bytes of the third
                     // block.
                     r.s.jig->Serial()->StopAnsweringAfterDeviceBytes(
                         r.s.jig->Serial()->DeviceBytesSent() + 15 + 2 +
                         2 * 257 + 100);
                     return std::shared_ptr<void>();
                   },
                   false, kLost, " (no answer: data block (block 3 of 512))\n",
                   Mark::O, 2});
  cases.push_back(
      {"ReadJigUnpluggedDuringTheCheck", Op::Read,
       [](EneRig &r) {
         r.s.jig->Serial()->UnplugAfterDeviceBytes(
             r.s.jig->Serial()->DeviceBytesSent() + 15);
         return std::shared_ptr<void>();
       },
       false, kLost,
       " (JIG disconnected: answer to 'K' 'V' (connection check))\n",
       Mark::None});
  for (int k : {0, 300})
    cases.push_back(
        {"WriteErrorAfterBlock" + std::to_string(k), Op::Write,
         Inject([k](auto &f) { f.errorStatusAt = k; }), false, kLost,
         " (the JIG reported 'E' for block " + std::to_string(k + 1) +
             " of 512; the chip holds a partial image)\n",
         Mark::O});
  cases.push_back({"VerifyDiffersInTheFirstBlock", Op::Write,
                   Inject([](auto &f) { f.corruptOffset = 0; }), false, kWrong,
                   " (first difference at offset 0x00000, block 1 of 512: "
                   "written 0x5A, read 0x5B)\n",
                   Mark::O, -1, 0, false});
  cases.push_back({"VerifyDiffersInTheLastBlock", Op::Write,
                   Inject([](auto &f) { f.corruptOffset = 131071; }), false,
                   kWrong,
                   " (first difference at offset 0x1FFFF, block 512 of 512: "
                   "written 0x5A, read "
                   "0x5B)\n",
                   Mark::O, -1, 511, false});
  cases.push_back({"VerifyTwoBlocksQueued", Op::Write,
                   Inject([](auto &f) { f.extraByteAt = 9; }), false, kLost,
                   " (protocol error: 257 bytes queued where one 256-byte "
                   "block was expected, "
                   "verification block 10 of 512)\n",
                   Mark::O, -1, 9});
  cases.push_back({"ReadFileCannotBeCreated", Op::Read,
                   [](EneRig &r) {
                     r.s.ui.AnswerSave(
                         (r.s.dir / "no such folder" / "chip.bin").string());
                     return std::shared_ptr<void>();
                   },
                   true, "Error create file.\n", "", Mark::SpiOn});
  cases.push_back(
      {"ReadDiskFull", Op::Read,
       [](EneRig &r) {
         // The file may grow to three blocks and no further.
         rlimit old{};
         getrlimit(RLIMIT_FSIZE, &old);
         rlimit small = old;
         small.rlim_cur = 3 * 256;
         auto previous = std::signal(SIGXFSZ, SIG_IGN);
         setrlimit(RLIMIT_FSIZE, &small);
         return std::shared_ptr<void>(nullptr, [old, previous](void *) {
           setrlimit(RLIMIT_FSIZE, &old);
           std::signal(SIGXFSZ, previous);
         });
       },
       false, "Error write file.\n", "block 4 of 512 not saved)\n", Mark::O,
       3});
  cases.push_back({"ReadSaveDialogCancelled", Op::Read,
                   [](EneRig &) { return std::shared_ptr<void>(); }, true,
                   "Write to file is interrupted.\n", "", Mark::CheckOnly});
  cases.push_back({"WriteOpenDialogCancelled", Op::Write,
                   [](EneRig &) { return std::shared_ptr<void>(); }, true,
                   "Write operation is interrupted.\n", "", Mark::CheckOnly});
  cases.push_back({"WriteFileCannotBeOpened", Op::Write,
                   [](EneRig &r) {
                     r.s.ui.AnswerOpen((r.s.dir / "missing.bin").string());
                     return std::shared_ptr<void>();
                   },
                   true, "Error open file!\n", "", Mark::SpiOn});
  return cases;
}

class EneFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(EneFaults, EndsCleanlyWithItsMessage) {
  const FaultCase &c = GetParam();
  EneRig r(kIdleMs);
  r.MotherboardMode();
  r.s.dir.Write("image.bin", std::vector<uint8_t>(131072, kImageByte));
  const auto original = r.chip().Flash();
  const auto outPath = r.s.dir / "out.bin";

  auto guard = c.arrange(r);
  if (!c.scripted) {
    if (c.op == Op::Read)
      r.s.ui.AnswerSave(outPath.string());
    else
      r.s.ui.AnswerOpen((r.s.dir / "image.bin").string());
  }
  const auto clicked = std::chrono::steady_clock::now();
  c.op == Op::Read ? BitBtn_READClick(r.p()) : BitBtn_WRITEClick(r.p());
  ASSERT_TRUE(r.s.WaitIdle(std::chrono::seconds(20)));
  const auto ended = std::chrono::steady_clock::now();
  guard.reset();

  EXPECT_EQ(r.s.ui.LogText(colors::Red), c.red);
  if (!c.detail.empty())
    EXPECT_NE(r.s.ui.LogText(colors::Black).find(c.detail), std::string::npos)
        << r.s.ui.LogText(colors::Black);
  EXPECT_EQ(r.p().op.outcome, Outcome::Failed);
  r.ExpectIdleWindow();

  const auto wire = r.Wire();
  ASSERT_FALSE(wire.empty());
  switch (c.mark) {
  case Mark::O:
    EXPECT_EQ(wire.back(), 'O');
    break;
  case Mark::SpiOn:
    EXPECT_EQ(Commands(wire).back(), "JS");
    break;
  case Mark::CheckOnly:
    EXPECT_EQ(Commands(wire), (std::vector<std::string>{"B", "KV", "I"}));
    break;
  case Mark::None:
    EXPECT_NE(wire.back(), 'O');
    EXPECT_NE(wire.back(), 'I');
    break;
  }
  if (c.op == Op::Read) {
    if (c.fileBlocks < 0) {
      EXPECT_TRUE(!std::filesystem::exists(outPath) ||
                  std::filesystem::file_size(outPath) == 0);
    } else {
      const auto file = r.s.dir.Read("out.bin");
      EXPECT_EQ(file,
                std::vector<uint8_t>(original.begin(),
                                     original.begin() + c.fileBlocks * 256));
    }
  }
  if (c.verifyRequests >= 0) {
    const std::vector<uint8_t> kr = {'K', 'R'};
    auto at = std::find_end(wire.begin(), wire.end(), kr.begin(), kr.end());
    ASSERT_NE(at, wire.end());
    EXPECT_EQ(std::count(at + 2, wire.end(), 'R'), c.verifyRequests);
  }
  // Noticed within the time limit plus a second: from the injected fault,
  // or from the click (which includes the 200 ms version read) otherwise.
  if (auto fired = r.chip().FaultFiredAt())
    EXPECT_LT(ended - *fired, std::chrono::milliseconds(kIdleMs + 1000));
  else if (c.waits)
    EXPECT_LT(ended - clicked, std::chrono::milliseconds(200 + kIdleMs + 1000));
  // Nothing was started that could still run.
  EXPECT_LE(r.p().jobs.ThreadsStarted(), 1);
}

INSTANTIATE_TEST_SUITE_P(Matrix, EneFaults, ::testing::ValuesIn(Cases()),
                         [](const auto &info) { return info.param.name; });

} // namespace
} // namespace zjig::test
