// The worker thread: table order, chaining, the handler guard, and the one
// mechanism that ends an operation whose JIG stopped answering.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "app/image_files.h"
#include "app/jobs.h"
#include "app/log.h"
#include "app/operation.h"
#include "link/protocol.h"
#include "tests/support/fixture.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;

struct JobBench {
    TempDir dir;
    RecordingUi ui;
    sim::SimDriver driver;
    std::unique_ptr<sim::SimJig> jig = std::make_unique<sim::SimJig>();
    Program p{ui, driver, dir.Path()};
    std::mutex m;
    std::vector<std::string> ran;

    JobBench() {
        jig->PowerOn();
        driver.Plug(jig->Serial());
        p.limits.idleMs = 300;
        p.limits.failureMarkMs = 100;
    }
    void Record(const std::string& what) {
        std::lock_guard lock(m);
        ran.push_back(what);
    }
    std::vector<std::string> Ran() {
        std::lock_guard lock(m);
        return ran;
    }
};

TEST(ReadThread, RunsTheBodyOfTheNamedJobAndEnds) {
    JobBench b;
    for (auto [order, name] : {std::pair{2, "READ_ENE"}, {4, "WRITE_ENE"}, {1, "FWUPDATE"}})
        b.p.jobs.Register(order, name, false, [&b, n = std::string(name)](Program& p) {
            b.Record(n);
            p.CurrentJob.Set("NONE");
        });
    StartJob(b.p, "WRITE_ENE");
    ASSERT_TRUE(b.p.jobs.WaitIdle(5s));
    EXPECT_EQ(b.Ran(), std::vector<std::string>{"WRITE_ENE"});
    EXPECT_TRUE(b.p.CurrentJob.Is("NONE"));
    // A second job gets a fresh thread.
    StartJob(b.p, "READ_ENE");
    ASSERT_TRUE(b.p.jobs.WaitIdle(5s));
    EXPECT_EQ(b.Ran(), (std::vector<std::string>{"WRITE_ENE", "READ_ENE"}));
    EXPECT_EQ(b.p.jobs.ThreadsStarted(), 2);
}

TEST(ReadThread, ChainsForwardWithinOnePassAndMatchesBySubstring) {
    JobBench b;
    auto chain = [&b](const char* me, const char* next) {
        return [&b, me, next](Program& p) {
            b.Record(me);
            p.CurrentJob.Set(next);
        };
    };
    b.p.jobs.Register(job_order::kCheckConToIte, "CheckConToITE", true,
                      [&b](Program& p) {
                          b.Record("check:" + p.CurrentJob.Get());
                          if (p.CurrentJob.Is("CheckConToITE_READ"))
                              p.CurrentJob.Set("ITE_INIT");
                          else
                              p.CurrentJob.Set("NONE");
                      });
    b.p.jobs.Register(job_order::kIteInit, "ITE_INIT", false, chain("init", "ITE_READ"));
    b.p.jobs.Register(job_order::kIteRead, "ITE_READ", false, chain("read", "NONE"));
    // Registered out of order on purpose: the table order counts, not the registration order.
    b.p.jobs.Register(job_order::kIteWrite, "ITE_WRITE", false, chain("write", "NONE"));

    StartJob(b.p, "CheckConToITE_READ");
    ASSERT_TRUE(b.p.jobs.WaitIdle(5s));
    EXPECT_EQ(b.Ran(), (std::vector<std::string>{"check:CheckConToITE_READ", "init", "read"}));
    EXPECT_EQ(b.p.jobs.ThreadsStarted(), 1);

    b.ran.clear();
    StartJob(b.p, "CheckConToITE_only");
    ASSERT_TRUE(b.p.jobs.WaitIdle(5s));
    EXPECT_EQ(b.Ran(), std::vector<std::string>{"check:CheckConToITE_only"});
}

TEST(ReadThread, AJobWithoutABodyEndsWithAReportInsteadOfSpinning) {
    JobBench b;
    StartJob(b.p, "MEC_READ");
    ASSERT_TRUE(b.p.jobs.WaitIdle(5s));
    EXPECT_TRUE(b.p.CurrentJob.Is("NONE"));
    EXPECT_TRUE(b.ui.HasEntry("No job named MEC_READ.\n", colors::Red));
}

TEST(ReadThread, AFaultInABodyEndsTheJobInsteadOfTheProgram) {
    JobBench b;
    b.p.jobs.Register(2, "READ_ENE", false,
                      [](Program&) -> void { throw std::out_of_range("block index 600"); });
    ASSERT_TRUE(OpenJigLink(b.p, false));
    BeginOperation(b.p);
    DisableForOperation(b.p, "CBox_Selector");
    StartJob(b.p, "READ_ENE");
    ASSERT_TRUE(b.p.jobs.WaitIdle(5s));
    EXPECT_TRUE(b.ui.HasEntry("Internal error: block index 600. The operation was stopped.\n",
                              colors::Red));
    EXPECT_TRUE(b.p.CurrentJob.Is("NONE"));
    EXPECT_FALSE(b.p.link.isOpen);
    EXPECT_TRUE(b.p.form.Enabled("CBox_Selector"));
}

TEST(ReadThread, ABodyThatForgetsToFinishIsStopped) {
    JobBench b;
    b.p.jobs.Register(2, "READ_ENE", false, [&b](Program&) { b.Record("once"); });
    StartJob(b.p, "READ_ENE");
    ASSERT_TRUE(b.p.jobs.WaitIdle(5s));
    EXPECT_EQ(b.Ran(), std::vector<std::string>{"once"});
    EXPECT_TRUE(b.p.CurrentJob.Is("NONE"));
}

// A job that waits for blocks from the JIG, as the transfer jobs do.
void RegisterWaitingJob(JobBench& b, std::atomic<int>& blocks) {
    b.p.jobs.Register(2, "READ_ENE", false, [&blocks](Program& p) {
        for (int n = 0;; ++n) {
            p.link.context = "block " + std::to_string(n);
            SendJigCommand(p.link, "OneByteSend", '?');
            ++blocks;
        }
    });
}

TEST(FailOperation, AnUnpluggedJigEndsTheJobWithinTheLimit) {
    JobBench b;
    b.jig->OnCommand('?', [](sim::SimJig& j) { j.Send({'G'}); });
    std::atomic<int> blocks{0};
    RegisterWaitingJob(b, blocks);
    b.p.limits.idleMs = 5000;  // a gone device must not wait for the limit at all

    ASSERT_TRUE(OpenJigLink(b.p, false));
    b.dir.Write("partial.bin", "");
    b.ui.AnswerSave((b.dir / "out.bin").string());
    ASSERT_TRUE(ChooseSaveFile(b.p, "ENE_", ".bin", kEneFilter));
    BeginOperation(b.p);
    DisableForOperation(b.p, "CBox_Selector");
    b.p.op.lostMessage = "Lost Communication with ENE or timeout! \n";

    b.jig->Serial()->UnplugAfterDeviceBytes(b.jig->Serial()->DeviceBytesSent() + 10);
    auto start = std::chrono::steady_clock::now();
    StartJob(b.p, "READ_ENE");
    ASSERT_TRUE(b.p.jobs.WaitIdle(10s));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, 1s);  // a limit, not a speed target: the worker must not wait for a gone JIG

    EXPECT_EQ(blocks, 10);
    EXPECT_TRUE(b.p.CurrentJob.Is("NONE"));
    EXPECT_FALSE(b.p.link.isOpen);
    EXPECT_EQ(b.driver.OpenCount(), 0);
    EXPECT_EQ(b.p.files.ImageFile, -1);
    EXPECT_TRUE(b.p.form.Enabled("CBox_Selector"));
    EXPECT_EQ(b.p.op.outcome, Outcome::Failed);
    auto red = b.ui.LogText(colors::Red);
    EXPECT_EQ(red, "Lost Communication with ENE or timeout! \n");
    EXPECT_TRUE(b.ui.Contains("JIG disconnected"));
    EXPECT_TRUE(b.ui.Contains("block 10"));
}

TEST(FailOperation, ASilentJigEndsTheJobAfterTheIdleLimitAndGetsTheFailureMark) {
    JobBench b;
    int answered = 0;
    b.jig->OnCommand('?', [&answered](sim::SimJig& j) {
        if (answered++ < 3) j.Send({'G'});  // then silence, the JIG stays plugged in
    });
    std::atomic<int> blocks{0};
    RegisterWaitingJob(b, blocks);
    ASSERT_TRUE(OpenJigLink(b.p, false));
    BeginOperation(b.p);
    std::atomic<int> supplyOff{0};
    b.p.op.beforeFailureMark.push_back([&](Program&) { ++supplyOff; });

    auto start = std::chrono::steady_clock::now();
    StartJob(b.p, "READ_ENE");
    ASSERT_TRUE(b.p.jobs.WaitIdle(10s));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 300ms);
    EXPECT_LT(took, 300ms + 1s);

    EXPECT_EQ(blocks, 3);
    EXPECT_EQ(supplyOff, 1);
    EXPECT_EQ(b.ui.LogText(colors::Red),
              "The JIG did not answer: no answer to '?' (block 3) within 0.3 s.\n");
    // The last thing the host sent is the failure mark.
    auto sent = b.jig->Serial()->HostWrittenLog();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), 'O');
    EXPECT_TRUE(b.p.CurrentJob.Is("NONE"));
    EXPECT_FALSE(b.p.link.isOpen);
}

TEST(FailOperation, GuardsWindowHandlersToo) {
    JobBench b;
    b.jig->OnCommand('?', [](sim::SimJig&) {});  // never answers
    ASSERT_TRUE(OpenJigLink(b.p, false));
    BeginOperation(b.p);
    DisableForOperation(b.p, "BitBtn_READ");
    bool returned = RunGuarded(b.p, [&] { SendJigCommand(b.p.link, "OneByteSend", '?'); });
    EXPECT_FALSE(returned);
    EXPECT_TRUE(b.p.form.Enabled("BitBtn_READ"));
    EXPECT_FALSE(b.p.link.isOpen);
    EXPECT_TRUE(b.p.CurrentJob.Is("NONE"));
}

TEST(Outcome, AFailureSticks) {
    JobBench b;
    BeginOperation(b.p);
    EXPECT_EQ(b.p.op.outcome, Outcome::Unknown);
    RecordOutcome(b.p, true);
    EXPECT_EQ(b.p.op.outcome, Outcome::Succeeded);
    RecordOutcome(b.p, false);
    RecordOutcome(b.p, true);
    EXPECT_EQ(b.p.op.outcome, Outcome::Failed);
}

TEST(Log, EachThreadKeepsItsOrderAndColours) {
    JobBench b;
    b.p.jobs.Register(2, "READ_ENE", false, [](Program& p) {
        for (int i = 0; i < 500; ++i) AppendLog(p, "w" + std::to_string(i) + "\n", colors::Blue);
        p.CurrentJob.Set("NONE");
    });
    StartJob(b.p, "READ_ENE");
    for (int i = 0; i < 500; ++i) AppendLog(b.p, "g" + std::to_string(i) + "\n", colors::Red);
    ASSERT_TRUE(b.p.jobs.WaitIdle(5s));
    int nextW = 0, nextG = 0;
    for (const auto& e : b.ui.Entries()) {
        if (e.text[0] == 'w') {
            EXPECT_EQ(e.text, "w" + std::to_string(nextW++) + "\n");
            EXPECT_EQ(e.color, colors::Blue);
        } else {
            EXPECT_EQ(e.text, "g" + std::to_string(nextG++) + "\n");
            EXPECT_EQ(e.color, colors::Red);
        }
    }
    EXPECT_EQ(nextW, 500);
    EXPECT_EQ(nextG, 500);
}

TEST(Gauge, ClampsItsPercentage) {
    struct Case {
        int maximum, progress, percent;
    };
    for (auto c : {Case{512, 0, 0}, Case{512, 256, 50}, Case{512, 511, 99}, Case{512, 600, 100},
                   Case{512, -3, 0}, Case{0, 0, 0}, Case{0, 1, 100}}) {
        GaugeState g;
        g.maximum = c.maximum;
        g.progress = c.progress;
        EXPECT_EQ(g.Percent(), c.percent) << c.maximum << " " << c.progress;
    }
    JobBench b;
    b.p.gauge.SetMaximum(0);
    b.p.gauge.SetProgress(0);
    b.p.gauge.AddOne();
    EXPECT_EQ(b.p.gauge.Get().progress, 1);
    EXPECT_EQ(b.p.gauge.Get().Percent(), 100);
}

TEST(Log, TimestampLineIsBlackAndEndsTheLine) {
    JobBench b;
    AppendTimestampLine(b.p);
    auto entries = b.ui.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].color, colors::Black);
    ASSERT_GE(entries[0].text.size(), 3u);
    EXPECT_EQ(entries[0].text.back(), '\n');
    EXPECT_NE(entries[0].text.find(' '), std::string::npos);
    EXPECT_EQ(TimestampText(0).empty(), false);
}

}  // namespace
}  // namespace zjig::test
