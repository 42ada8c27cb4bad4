// The main window's behaviour without any window toolkit: control states,
// mode selection, the three main buttons and the close request.
#include <gtest/gtest.h>

#include "app/main_form.h"
#include "tests/support/fixture.h"

namespace zjig::test {
namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kStateControls = {
    "BitBtn_Settings",  "BitBtn_READ",       "BitBtn_WRITE",         "ComboBox_MB",
    "ComboBox_FFC",     "BitBtn_SendSettings", "CheckBox_OneToOne",  "BitBtn_CheckConn",
    "RadioGroup_EXT_BOARD", "ComboBox_MEC_CHIP", "ComboBox_MEC_flash_info"};

TEST(ApplyUiState, EveryStateAsTabled) {
    // 1 on, 0 off, - unchanged; starting from all on / all off tells "unchanged" apart.
    struct Row {
        const char* state;
        const char* expect;  // one character per control in kStateControls order
        int richEdit;        // 0 hidden, -1 unchanged
    };
    const std::vector<Row> rows = {
        {"ALL OFF", "00000001000", -1},
        {"ENE_ITE_ON", "1001101----", 0},
        {"NUVOTON_JTAG", "1001011----", 0},
        {"RD_WR_ON", "-11--------", -1},
        {"RD_WR_OFF", "-00--------", -1},
        {"NUVOTON_SPI_ON", "0110000----", -1},
        {"SOMETHING ELSE", "-----------", -1},
    };
    for (const auto& row : rows) {
        for (bool start : {false, true}) {
            SCOPED_TRACE(std::string(row.state) + (start ? " from on" : " from off"));
            SimProgram s;
            for (const auto& c : kStateControls) s.p().form.SetEnabled(c, start);
            s.p().form.SetVisible("RichEdit", true);
            ApplyUiState(s.p(), row.state);
            const std::string expect = row.expect;
            for (size_t i = 0; i < kStateControls.size(); ++i) {
                bool want = expect[i] == '-' ? start : expect[i] == '1';
                EXPECT_EQ(s.p().form.Enabled(kStateControls[i]), want) << kStateControls[i];
            }
            EXPECT_EQ(s.p().form.Visible("RichEdit"), row.richEdit != 0);
        }
    }
}

TEST(FormCreate, StartsInAllOffWithTheLogAndTheCaption) {
    SimProgram s;
    auto& f = s.p().form;
    EXPECT_EQ(f.Text("CBox_Selector"), "    Select mode");
    EXPECT_TRUE(f.Visible("RichEdit"));
    EXPECT_TRUE(f.Enabled("BitBtn_CheckConn"));
    EXPECT_FALSE(f.Enabled("BitBtn_READ"));
    EXPECT_TRUE(f.Checked("CheckBox_OneToOne"));
    EXPECT_EQ(f.Text("ComboBox_FFC"), "FFC pins");
    EXPECT_EQ(f.ItemIndex("RadioGroup_EXT_BOARD"), -1);
    EXPECT_FALSE(f.Visible("TENE_for_solder"));
    EXPECT_EQ(f.Text("TForm_MAIN"),
              "Zoltrav JIG ver. " + s.p().programVersion + "    (only for pcb ver. 3.X)");
}

TEST(ProgramVersion, FourthNumberModulo256) {
    EXPECT_EQ(FormatProgramVersion(5, 4, 6414, 49112), "5.4.6414.216");
    EXPECT_EQ(FormatProgramVersion(1, 0, 0, 1), "1.0.0.1");
}

TEST(ModeSelection, LogsThePurpleBannerAndResetsTheWindow) {
    SimProgram s;
    s.p().SettingsSent = true;
    s.p().form.SetVisible("TENE_for_solder", true);
    s.p().gauge.SetProgress(7);
    s.p().form.SetItemIndex("RadioGroup_EXT_BOARD", 1);
    SelectMode(s.p(), "EDID (LCD)");
    const std::string v = s.p().programVersion;
    EXPECT_EQ(s.ui.LogText(colors::Purple), "================================\nSoft version  --> " +
                                                 v + "\nMode selected --> EDID (LCD)\n");
    EXPECT_FALSE(s.p().SettingsSent);
    EXPECT_FALSE(s.p().form.Visible("TENE_for_solder"));
    EXPECT_EQ(s.p().gauge.Get().progress, 0);
    EXPECT_EQ(s.p().form.ItemIndex("RadioGroup_EXT_BOARD"), -1);
    EXPECT_TRUE(s.p().form.Enabled("BitBtn_READ"));  // EDID: RD_WR_ON
}

TEST(ModeSelection, ExternalBoardOpensTheRadioGroupAndClosesCheckConnection) {
    SimProgram s;
    SelectMode(s.p(), "External board");
    EXPECT_FALSE(s.p().form.Enabled("BitBtn_CheckConn"));
    EXPECT_TRUE(s.p().form.Enabled("RadioGroup_EXT_BOARD"));
    EXPECT_FALSE(s.p().form.Visible("RichEdit"));
}

TEST(FindFamily, FirstMatchingRowWins) {
    struct Case {
        const char* mode;
        int radio;
        bool sent;
        Family forRead, forCheck;
    };
    const std::vector<Case> cases = {
        {"ENE  (KB90XX)", -1, true, Family::Ene, Family::Ene},
        {"ENE  (KB90XX)", -1, false, Family::Ene, Family::None},
        {"ITE  (IT8XXX)", -1, false, Family::Ite, Family::None},
        {"Nuvoton SPI", -1, false, Family::NuvotonSpi, Family::NuvotonSpi},
        {"Nuvoton JTAG", -1, false, Family::NuvotonJtag, Family::None},
        {"Nuvoton JTAG", -1, true, Family::NuvotonJtag, Family::NuvotonJtag},
        {"EDID (LCD)", -1, true, Family::Edid, Family::None},
        {"MEC JTAG", -1, false, Family::Mec, Family::Mec},
        {"External board", 0, false, Family::Ene, Family::Ene},
        {"External board", 1, false, Family::Ite, Family::Ite},
        {"External board", 2, false, Family::NuvotonSpi, Family::NuvotonSpi},
        {"External board", -1, false, Family::None, Family::None},
        {"Keyboard test", -1, true, Family::None, Family::None},
        {"    Select mode", -1, true, Family::None, Family::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " radio " + std::to_string(c.radio));
        SimProgram s;
        int index = 0;
        for (size_t i = 0; i < kModeItems.size(); ++i)
            if (kModeItems[i] == c.mode) index = static_cast<int>(i);
        s.p().form.SetItemIndex("CBox_Selector", index);
        s.p().form.SetItemIndex("RadioGroup_EXT_BOARD", c.radio);
        s.p().SettingsSent = c.sent;
        EXPECT_EQ(FindFamily(s.p(), false), c.forRead);
        EXPECT_EQ(FindFamily(s.p(), true), c.forCheck);
    }
}

TEST(ReadWrite, WithoutAJigTheWindowGoesBackToItsStartState) {
    for (bool write : {false, true}) {
        SimProgram s;
        s.driver.UnplugAll();
        SelectMode(s.p(), "EDID (LCD)");
        s.p().SettingsSent = true;
        s.p().form.SetVisible("TENE_for_solder", true);
        s.ui.ClearRecords();
        write ? BitBtn_WRITEClick(s.p()) : BitBtn_READClick(s.p());
        EXPECT_EQ(s.ui.LogText(), "Error communication to JIG (READ)\n");
        EXPECT_TRUE(s.ui.HasEntry("Error communication to JIG (READ)\n", colors::Red));
        EXPECT_FALSE(s.p().form.Enabled("BitBtn_READ"));
        EXPECT_FALSE(s.p().SettingsSent);
        EXPECT_FALSE(s.p().form.Visible("TENE_for_solder"));
        EXPECT_EQ(s.p().form.ItemIndex("CBox_Selector"), 0);
    }
}

TEST(ReadWrite, WithNoModeTheLinkIsOpenedAndClosedSilently) {
    SimProgram s;
    BitBtn_READClick(s.p());
    EXPECT_TRUE(s.ui.Entries().empty());
    EXPECT_EQ(s.driver.TotalOpens(), 1);
    EXPECT_EQ(s.driver.OpenCount(), 0);
}

TEST(CheckConnection, BeforeTheSettingsOnlyTheLinkMessagesAndAnEmptyLine) {
    SimProgram s;
    s.p().form.SetItemIndex("CBox_Selector", 5);  // "ENE  (KB90XX)", settings not sent
    BitBtn_CheckConnClick(s.p());
    auto entries = s.ui.Entries();
    ASSERT_GE(entries.size(), 2u);
    EXPECT_EQ(entries.back().text, "\n");
    EXPECT_TRUE(s.ui.HasEntry("M328_EPM240_v20\n", colors::Fuchsia));
    EXPECT_EQ(s.driver.OpenCount(), 0);
}

TEST(MainButtons, DoNothingWhileAJobRunsAndCloseIsRefused) {
    SimProgram s;
    s.p().CurrentJob.Set("READ_ENE");  // as if a job ran
    const int opensBefore = s.driver.TotalOpens();
    BitBtn_READClick(s.p());
    BitBtn_WRITEClick(s.p());
    BitBtn_CheckConnClick(s.p());
    SelectMode(s.p(), "EDID (LCD)");
    EXPECT_EQ(s.driver.TotalOpens(), opensBefore);
    EXPECT_TRUE(s.ui.Entries().empty());
    EXPECT_FALSE(FormCloseQuery(s.p()));
    s.p().CurrentJob.Set("NONE");
    EXPECT_TRUE(FormCloseQuery(s.p()));
}

TEST(SmallHandlers, ViewToggleClearAndLinks) {
    SimProgram s;
    BitBtn_SettingsClick(s.p());
    EXPECT_FALSE(s.p().form.Visible("RichEdit"));
    BitBtn_SettingsClick(s.p());
    EXPECT_TRUE(s.p().form.Visible("RichEdit"));
    SelectMode(s.p(), "Nuvoton SPI");
    BitBtn_clearClick(s.p());
    EXPECT_TRUE(s.ui.Entries().empty());
    BitBtn_supClick(s.p());
    BitBtn_sup1Click(s.p());
    BitBtn_ytbClick(s.p());
    auto urls = s.ui.Urls();
    ASSERT_EQ(urls.size(), 3u);
    for (const auto& u : urls) EXPECT_EQ(u.rfind("https://", 0), 0u) << u;
}

}  // namespace
}  // namespace zjig::test
