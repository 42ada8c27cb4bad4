// The command-line front end in process: the order of its steps through the
// window's handlers, its exit statuses and its terminal output, on a
// simulated JIG with small stand-ins for the subsystems it drives.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <mutex>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "app/main_form.h"
#include "app/operation.h"
#include "cli/command.h"
#include "cli/runner.h"
#include "cli/terminal_ui.h"
#include "link/jig_link.h"
#include "sim/bench.h"
#include "tests/support/fixture.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;
using cli::TerminalUi;

std::string ReadAll(FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    return text;
}

struct CliBench {
    explicit CliBench(TerminalUi::Streams streams = {})
        : out(std::tmpfile()), err(std::tmpfile()), ui(WithFiles(streams)) {
        jig = std::make_unique<sim::SimJig>();
        sim::InstallSimModules(*jig);
        jig->PowerOn();
        driver.Plug(jig->Serial());
        program = std::make_unique<Program>(ui, driver, dir.Path());
        program->limits.idleMs = 1000;
        RegisterSubsystems(*program);
        FormCreate(*program);
        ui.AttachForm(&program->form);
    }
    ~CliBench() {
        program->jobs.WaitIdle(30s);
        ui.AttachForm(nullptr);
        program.reset();
        jig.reset();
        std::fclose(out);
        std::fclose(err);
    }
    TerminalUi::Streams WithFiles(TerminalUi::Streams s) {
        s.out = out;
        s.err = err;
        return s;
    }
    Program& p() { return *program; }

    int Run(const std::vector<std::string>& args) {
        cli::Command command;
        std::string error;
        if (!cli::ParseCommand(args, command, error)) {
            ADD_FAILURE() << "usage error: " << error;
            return -1;
        }
        return cli::RunCommand(p(), ui, command, interrupts);
    }
    std::string Out() { return ReadAll(out); }
    std::string Err() { return ReadAll(err); }
    void Event(const std::string& e) {
        std::lock_guard lock(eventsMutex);
        events.push_back(e);
    }

    // Stand-ins for the board wiring: a motherboard list, the two list
    // handlers keeping the send button's state, and a settings transfer that
    // opens the link and records what it was given.
    void FakeWiring(bool settingsSucceed = true) {
        p().modes.loadMbList = [this](Program& p, const std::string& family) {
            Event("list " + family);
            p.form.SetItems("ComboBox_MB", {"Select MB", "BOARD-A KSO3=1 KSI4=2",
                                            "LA-8681P (JKB1) KSO3=18 KSI4=5 KSI7=2 KSI6=3 KSI5=6"});
            p.form.SetItemIndex("ComboBox_MB", 0);
            return 0;
        };
        auto update = [](Program& p) {
            p.form.SetEnabled("BitBtn_SendSettings", p.form.ItemIndex("ComboBox_MB") > 0 &&
                                                         p.form.ItemIndex("ComboBox_FFC") > 0);
        };
        p().handlers["ComboBox_MBClick"] = [this, update](Program& p) {
            Event("board " + p.form.Text("ComboBox_MB"));
            update(p);
        };
        p().handlers["ComboBox_FFCClick"] = [this, update](Program& p) {
            Event("cable " + p.form.Text("ComboBox_FFC"));
            update(p);
        };
        p().handlers["RadioGroup_EXT_BOARDClick"] = [this](Program& p) {
            Event("radio " + std::to_string(p.form.ItemIndex("RadioGroup_EXT_BOARD")));
            p.form.SetEnabled("BitBtn_SendSettings", true);
        };
        p().handlers["BitBtn_SendSettingsClick"] = [this, settingsSucceed](Program& p) {
            BeginOperation(p);
            p.SettingsSent = false;
            if (!OpenJigLinkChecked(p)) return;
            Event(std::string("settings ") + (p.form.Checked("CheckBox_OneToOne") ? "1to1" : "mirrored"));
            if (settingsSucceed) {
                SendEndMark(p, true);
                p.SettingsSent = true;
                ApplyUiState(p, "RD_WR_ON");
                p.form.SetEnabled("BitBtn_CheckConn", true);
            } else {
                AppendLog(p, "Please select big pins FFC!\n", colors::Red);
            }
            CloseJigLink(p);
        };
    }

    TempDir dir;
    FILE* out;
    FILE* err;
    TerminalUi ui;
    sim::SimDriver driver;
    std::unique_ptr<sim::SimJig> jig;
    std::unique_ptr<Program> program;
    std::atomic<int> interrupts{0};
    std::mutex eventsMutex;
    std::vector<std::string> events;
};

TEST(CliRunner, MissingSubsystemsAreRefusedBeforeTheJigIsTouched) {
    struct Case {
        std::vector<std::string> args;
        const char* missing;
    };
    const std::vector<Case> cases = {
        {{"ene", "settings"}, "the motherboard lists"},
        {{"ite", "check"}, "sending the settings to the programmer"},
        {{"nuvoton-spi", "read", "x.bin"}, "reading in this mode"},
        {{"mec", "check"}, "the MEC chip list"},
        {{"edid", "read", "x.bin"}, "reading in this mode"},
        {{"external-ene", "check"}, "the external board choice"},
        {{"keyboard"}, "the keyboard test"},
    };
    for (const auto& c : cases) {
        CliBench b;
        // As in a program that has none of them built.
        b.p().families.clear();
        b.p().modes = ModeHooks{};
        b.p().handlers.clear();
        EXPECT_EQ(b.Run(c.args), cli::kExitUsage) << c.args[0];
        const std::string err = b.Err();
        EXPECT_NE(err.find("is not built into this program yet"), std::string::npos) << err;
        EXPECT_NE(err.find(c.missing), std::string::npos) << err;
        EXPECT_EQ(b.jig->Serial()->HostBytesWritten(), 0u) << c.args[0];
        EXPECT_EQ(b.Out(), "") << "not even the mode selection ran";
    }
}

TEST(CliRunner, ReadMakesTheChoicesSendsSettingsThenReads) {
    CliBench b;
    b.FakeWiring();
    b.p().families[Family::Ene].checkBeforeTransfer = [](Program&) { return true; };
    b.p().families[Family::Ene].read = [&](Program& p) {
        if (!ChooseSaveFile(p, "ENE_", ".bin", kEneFilter)) return;
        b.Event("read " + p.files.ImageFileName);
        const uint8_t data[] = {1, 2, 3};
        WriteImageFile(p, data, sizeof data);
        CloseImageFile(p);
        SendEndMark(p, true);
        CloseJigLink(p);
    };
    const std::string file = (b.dir / "chip").string();
    EXPECT_EQ(b.Run({"ene", "read", file, "--board", "LA-8681P", "--cable", "30", "--mirrored"}),
              cli::kExitOk)
        << b.Err();
    EXPECT_EQ(b.events,
              (std::vector<std::string>{"list ENE",
                                        "board LA-8681P (JKB1) KSO3=18 KSI4=5 KSI7=2 KSI6=3 KSI5=6",
                                        "cable 30 pin", "settings mirrored",
                                        "read " + file + ".bin"}));
    EXPECT_EQ(b.dir.Read("chip.bin"), Bytes({1, 2, 3}));
    EXPECT_NE(b.Out().find("Mode selected --> ENE  (KB90XX)\n"), std::string::npos);
}

TEST(CliRunner, FailedSettingsStopBeforeTheAction) {
    CliBench b;
    b.FakeWiring(false);
    bool checked = false;
    b.p().families[Family::Ene].check = [&](Program&) { checked = true; };
    EXPECT_EQ(b.Run({"ene", "check", "--board", "BOARD-A", "--cable", "24"}), cli::kExitFailed);
    EXPECT_FALSE(checked);
    EXPECT_NE(b.Err().find("the settings were not sent to the programmer; check did not run"),
              std::string::npos)
        << b.Err();
}

TEST(CliRunner, BoardChoiceErrors) {
    {
        CliBench b;
        b.FakeWiring();
        EXPECT_EQ(b.Run({"ene", "settings", "--board", "NOPE", "--cable", "30"}), cli::kExitUsage);
        const std::string err = b.Err();
        EXPECT_NE(err.find("no motherboard line contains \"NOPE\"; the lines of the list are:\n"
                           "  BOARD-A KSO3=1 KSI4=2\n"
                           "  LA-8681P (JKB1) KSO3=18 KSI4=5 KSI7=2 KSI6=3 KSI5=6\n"),
                  std::string::npos)
            << err;
        EXPECT_EQ(b.jig->Serial()->HostBytesWritten(), 0u);
    }
    {
        // No board chosen: the send button stays disabled, as in the window.
        CliBench b;
        b.FakeWiring();
        EXPECT_EQ(b.Run({"ene", "settings", "--cable", "30"}), cli::kExitUsage);
        EXPECT_NE(b.Err().find("\"Send settings to the programmer\" is disabled in mode ene"),
                  std::string::npos)
            << b.Err();
        EXPECT_EQ(b.jig->Serial()->HostBytesWritten(), 0u);
    }
}

TEST(CliRunner, ExternalModeChoosesTheBoardTypeAndSendsSettings) {
    CliBench b;
    b.FakeWiring();
    b.p().families[Family::Ite].check = [&](Program& p) {
        b.Event("check ITE");
        SendEndMark(p, true);
    };
    EXPECT_EQ(b.Run({"external-ite", "check"}), cli::kExitOk) << b.Err();
    EXPECT_EQ(b.events, (std::vector<std::string>{"radio 1", "settings 1to1", "check ITE"}));
}

TEST(CliRunner, ExitStatusFollowsTheOutcome) {
    struct Case {
        const char* name;
        std::function<void(Program&)> check;
        int status;
    };
    const std::vector<Case> cases = {
        {"end mark I", [](Program& p) { SendEndMark(p, true); }, cli::kExitOk},
        {"end mark O", [](Program& p) { SendEndMark(p, false); }, cli::kExitFailed},
        {"red line, no mark", [](Program& p) { AppendLog(p, "Chip not found\n", colors::Red); },
         cli::kExitFailed},
        {"red warning, then I",
         [](Program& p) {
             AppendLog(p, "Warning!\n", colors::Red);
             SendEndMark(p, true);
         },
         cli::kExitOk},
        {"no mark, no red", [](Program& p) { AppendLog(p, "ID 1234\n", colors::Blue); },
         cli::kExitOk},
        {"the JIG falls silent",
         [](Program& p) {
             p.link.ReadAck("the chip's answer", 100);
         },
         cli::kExitFailed},
    };
    for (const auto& c : cases) {
        CliBench b;
        b.p().families[Family::NuvotonSpi].check = c.check;
        EXPECT_EQ(b.Run({"nuvoton-spi", "check"}), c.status) << c.name;
    }
}

TEST(CliRunner, WaitsForTheJobBeforeItsStatus) {
    CliBench b;
    b.p().jobs.Register(job_order::kReadNuvotonSpi, "READ_NUVOTON_SPI", false, [](Program& p) {
        std::this_thread::sleep_for(100ms);
        AppendLog(p, "Reading completed successfully.\n", colors::Blue);
        SendEndMark(p, false);  // e.g. a verification failure reported last
        CloseJigLink(p);
        p.CurrentJob.Set("NONE");
    });
    b.p().families[Family::NuvotonSpi].read = [](Program& p) { StartJob(p, "READ_NUVOTON_SPI"); };
    EXPECT_EQ(b.Run({"nuvoton-spi", "read", (b.dir / "x.bin").string()}), cli::kExitFailed);
    EXPECT_NE(b.Out().find("Reading completed successfully.\n"), std::string::npos);
    EXPECT_TRUE(b.p().CurrentJob.Is("NONE"));
}

// A stand-in keyboard test painting squares the way the real job does.
void FakeKeyboard(CliBench& b, bool endsByItself) {
    b.p().modes.startKeyboardTest = [](Program& p) {
        if (!OpenJigLinkChecked(p)) return;
        StartJob(p, "Keyboard");
    };
    b.p().jobs.Register(job_order::kKeyboard, "Keyboard", false, [endsByItself](Program& p) {
        AppendLog(p, "Keyboard testing start.\n", colors::Blue);
        p.form.SetChecked("CheckBox_exit", false);
        p.form.SetColor("Shape108", colors::Red);     // (4, 12)
        p.form.SetColor("Shape108", colors::Yellow);
        p.form.SetColor("Shape2", colors::Black);     // (1, 2) hidden
        for (int i = 1; i <= 31; ++i)                   // Clear
            for (int j = i + 1; j <= 32; ++j)
                p.form.SetColor("Shape" + std::to_string((i - 1) * 32 + j), colors::SkyBlue);
        p.form.SetColor("Shape992", colors::Red);     // (31, 32)
        while (!endsByItself && !p.form.Checked("CheckBox_exit"))
            std::this_thread::sleep_for(5ms);
        AppendLog(p, "Keyboard testing stop.\n", colors::Blue);
        CloseJigLink(p);
        p.CurrentJob.Set("NONE");
    });
}

TEST(CliRunner, KeyboardPrintsChangedPairsUntilStopped) {
    CliBench b;
    FakeKeyboard(b, false);
    EXPECT_EQ(b.Run({"keyboard", "--seconds", "0.2"}), cli::kExitOk) << b.Err();
    const std::string out = b.Out();
    EXPECT_NE(out.find("Keyboard testing start.\n"
                       "pair (4, 12): red\n"
                       "pair (4, 12): yellow\n"
                       "pair (1, 2): hidden\n"
                       "all pairs cleared\n"
                       "pair (31, 32): red\n"
                       "Keyboard testing stop.\n"),
              std::string::npos)
        << out;
    EXPECT_TRUE(b.p().form.Checked("CheckBox_exit")) << "stopped by pressing Exit";
}

TEST(CliRunner, KeyboardThatEndsByItselfFails) {
    CliBench b;
    FakeKeyboard(b, true);
    EXPECT_EQ(b.Run({"keyboard", "--seconds", "30"}), cli::kExitFailed);
    EXPECT_NE(b.Err().find("the keyboard test ended before it was stopped"), std::string::npos);
}

TEST(CliRunner, KeyboardStopsOnInterrupt) {
    CliBench b;
    FakeKeyboard(b, false);
    std::thread ctrlC([&] {
        std::this_thread::sleep_for(100ms);
        b.interrupts = 1;
    });
    EXPECT_EQ(b.Run({"keyboard"}), cli::kExitOk) << b.Err();
    ctrlC.join();
    EXPECT_NE(b.Out().find("Keyboard testing stop.\n"), std::string::npos);
}

TEST(TerminalUi, ColoursEndBeforeTheLineFeed) {
    CliBench b({nullptr, nullptr, true, false});
    const std::vector<std::pair<Rgb, std::string>> cases = {
        {colors::Red, "\033[31mError\033[0m\n"},       {colors::Blue, "\033[34mError\033[0m\n"},
        {colors::Green, "\033[32mError\033[0m\n"},     {colors::Purple, "\033[35mError\033[0m\n"},
        {colors::Fuchsia, "\033[95mError\033[0m\n"},  {colors::Black, "Error\n"},
    };
    std::string expected;
    for (const auto& [color, text] : cases) {
        b.ui.AppendLog("Error\n", color);
        expected += text;
    }
    b.ui.AppendLog("Not found file: ", colors::Red);
    b.ui.AppendLog("MB connection ENE.txt\n\n", colors::Black);
    expected += "\033[31mNot found file: \033[0mMB connection ENE.txt\n\n";
    EXPECT_EQ(b.Out(), expected);
    EXPECT_EQ(b.ui.RedEntries(), 2);
}

TEST(TerminalUi, ProgressLineOnlyAfterProgressAndErasedForTheLog) {
    CliBench b({nullptr, nullptr, false, true});
    b.ui.GaugeChanged({colors::Lime, 512, 0});
    EXPECT_EQ(b.Err(), "") << "nothing before the first block";
    b.ui.GaugeChanged({colors::Lime, 10, 4});
    b.ui.GaugeChanged({colors::Lime, 10, 4});  // same percentage: not drawn again
    b.ui.AppendLog("Reading completed successfully.\n", colors::Blue);
    b.ui.GaugeChanged({colors::Lime, 0, 1});
    b.ui.Finish();
    EXPECT_EQ(b.Err(),
              "\r[############..................] 40%"
              "\r\033[K"
              "\r[##############################] 100%\n");
    EXPECT_EQ(b.Out(), "Reading completed successfully.\n");
}

TEST(TerminalUi, DialogsAnswerWithTheDefaultExtension) {
    const std::vector<std::array<std::string, 3>> cases = {
        {"out", ".bin", "out.bin"},
        {"out.img", ".bin", "out.img"},
        {"dir.d/out", ".bin", "dir.d/out.bin"},
        {"out", "bin", "out.bin"},
        {"out", "", "out"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TerminalUi::WithDefaultExtension(c[0], c[1]), c[2]) << c[0] << " " << c[1];

    CliBench b;
    FileDialogRequest request{"Save file", "ENE_", ".bin", kEneFilter};
    EXPECT_EQ(b.ui.ChooseSaveFile(request), std::nullopt) << "no FILE: cancelled";
    b.ui.SetDialogAnswer("/tmp/chip");
    EXPECT_EQ(b.ui.ChooseSaveFile(request), "/tmp/chip.bin");
    EXPECT_EQ(b.ui.ChooseOpenFile(request), "/tmp/chip.bin");
}

}  // namespace
}  // namespace zjig::test
