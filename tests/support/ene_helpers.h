// Helpers for the ENE tests: a program on a simulated JIG with the ENE chip,
// set to the ENE mode or the external board, and readers of the wire traffic.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "sim/ene/sim_ene.h"
#include "sim/reach.h"
#include "sim/wiring/bench_setup.h"
#include "tests/support/fixture.h"

namespace zjig::test {

inline int ItemIndexOf(const std::vector<std::string>& items, const std::string& item) {
    auto it = std::find(items.begin(), items.end(), item);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

struct EneRig {
    explicit EneRig(uint32_t idleMs = 300) : s("M328_EPM240_v20", idleMs) {}

    SimProgram s;
    Program& p() { return s.p(); }
    sim::SimEneChip& chip() { return s.jig->Part<sim::SimEneChip>(); }
    std::vector<uint8_t> Wire() const { return s.jig->Serial()->HostWrittenLog(); }

    // The window in the ENE mode with the settings sent for the bench's
    // board (the example list's first line, a 30-contact straight cable), as
    // a technician does it; the wire log and the log start empty afterwards.
    void MotherboardMode() {
        CopyExampleList("MB connection ENE.txt");
        SelectMode(p(), "ENE  (KB90XX)");
        p().form.SetItemIndex("ComboBox_MB", 1);
        Fire(p(), "ComboBox_MBClick");
        p().form.SetItemIndex("ComboBox_FFC", ItemIndexOf(kCableItems, "30 pin"));
        Fire(p(), "ComboBox_FFCClick");
        SendSettings();
    }
    // "External board" with the ENE board type chosen and its settings sent
    // to the external ENE board plugged in straight.
    void ExternalMode() {
        sim::SetBench(*s.jig, sim::ExternalBench(sim::SimExtType::Ene, false));
        SelectMode(p(), "External board");
        p().form.SetItemIndex("RadioGroup_EXT_BOARD", 0);
        Fire(p(), "RadioGroup_EXT_BOARDClick");
        SendSettings();
    }
    void SendSettings() {
        ASSERT_TRUE(Fire(p(), "BitBtn_SendSettingsClick"));
        ASSERT_EQ(p().op.outcome, Outcome::Succeeded) << s.ui.LogText();
        s.jig->Serial()->ClearHostWrittenLog();
        s.ui.ClearRecords();
    }
    void CopyExampleList(const std::string& name) {
        std::filesystem::copy_file(std::filesystem::path(ZJIG_SOURCE_DIR) / "data" / name,
                                   s.dir / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    void Unreachable() {
        s.jig->Part<sim::SimReach>().ene = [](const sim::SimJig&) { return false; };
    }

    void Read(const std::string& fileName) {
        s.ui.AnswerSave((s.dir / fileName).string());
        BitBtn_READClick(p());
        EXPECT_TRUE(s.WaitIdle());
    }
    void Write(const std::string& fileName) {
        s.ui.AnswerOpen((s.dir / fileName).string());
        BitBtn_WRITEClick(p());
        EXPECT_TRUE(s.WaitIdle());
    }

    // The state every ENE operation leaves, whatever its outcome.
    void ExpectIdleWindow() {
        EXPECT_TRUE(p().CurrentJob.Is("NONE"));
        EXPECT_TRUE(p().form.Enabled("CBox_Selector"));
        EXPECT_FALSE(p().link.isOpen);
        EXPECT_EQ(s.driver.OpenCount(), 0);
        EXPECT_LT(p().files.ImageFile, 0);
    }
};

// The host's traffic cut into commands, for streams without data from the
// host (reads and checks): "SW 10 8" for a CPLD register write, "KV", "KR",
// "B", and single command bytes as themselves ("?", "N", "X", "I", "O").
inline std::vector<std::string> Commands(const std::vector<uint8_t>& wire) {
    std::vector<std::string> out;
    for (size_t i = 0; i < wire.size(); ++i) {
        const uint8_t c = wire[i];
        if (c == 'S' && i + 3 < wire.size() && wire[i + 1] == 'W') {
            out.push_back("SW " + std::to_string(wire[i + 2]) + " " + std::to_string(wire[i + 3]));
            i += 3;
        } else if ((c == 'K' || c == 'S' || c == 'J') && i + 1 < wire.size()) {
            out.push_back(std::string{static_cast<char>(c), static_cast<char>(wire[i + 1])});
            i += 1;
        } else {
            out.push_back(std::string(1, static_cast<char>(c)));
        }
    }
    return out;
}

// The supply switching of the external board folded into "ON" and "OFF".
inline std::vector<std::string> FoldSupply(const std::vector<std::string>& cmds) {
    std::vector<std::string> out;
    for (size_t i = 0; i < cmds.size(); ++i) {
        if (i + 1 < cmds.size() && cmds[i] == "SW 10 8" && cmds[i + 1] == "SW 9 4") {
            out.push_back("ON");
            ++i;
        } else if (i + 3 < cmds.size() && cmds[i] == "SW 8 0" && cmds[i + 1] == "SW 9 0" &&
                   cmds[i + 2] == "SW 10 0" && cmds[i + 3] == "SW 11 0") {
            out.push_back("OFF");
            i += 3;
        } else {
            out.push_back(cmds[i]);
        }
    }
    return out;
}

// The commands other than the per-block '?', 'N' and 'R' of a stream.
inline std::vector<std::string> WithoutBlockSteps(const std::vector<std::string>& cmds) {
    std::vector<std::string> out;
    for (const auto& c : cmds)
        if (c != "?" && c != "N" && c != "R") out.push_back(c);
    return out;
}

inline size_t CountOf(const std::vector<std::string>& cmds, const std::string& c) {
    return static_cast<size_t>(std::count(cmds.begin(), cmds.end(), c));
}

}  // namespace zjig::test
