// Motherboard connection lists: loading, value extraction, the three parsers,
// the send button's enabling and the ENE soldering window.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "tests/wiring_support.h"
#include "wiring/pin_map.h"

namespace zjig::test {
namespace {

struct ExtractCase {
    const char* line;
    const char* key;
    std::optional<int> value;  // nullopt: key missing
    bool formatError = false;
};

class ExtractPinValueTest : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractPinValueTest, FollowsTheOneOrTwoCharacterRule) {
    const ExtractCase& c = GetParam();
    if (c.formatError) {
        try {
            ExtractPinValue(c.line, c.key);
            FAIL() << "no format error for " << c.line;
        } catch (const MbListFormatError& e) {
            EXPECT_EQ(e.Line(), c.line);
            EXPECT_EQ(e.Key(), c.key);
            const std::string what = e.what();
            EXPECT_NE(what.find(c.line), std::string::npos) << what;
            EXPECT_NE(what.find(c.key), std::string::npos) << what;
        }
        return;
    }
    auto v = ExtractPinValue(c.line, c.key);
    ASSERT_EQ(v.has_value(), c.value.has_value()) << c.line;
    if (v) {
        EXPECT_EQ(*v, *c.value) << c.line;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ExtractPinValueTest,
    ::testing::Values(ExtractCase{"MB KSO3=5 KSI4=6", "KSO3=", 5},   // one digit, then a space
                      ExtractCase{"MB KSO3=18 KSI5=6", "KSI5=", 6},  // one digit at the very end
                      ExtractCase{"MB KSO3=18 KSI5=6", "KSO3=", 18},
                      ExtractCase{"MB KSO3=123", "KSO3=", 12},        // a third digit is never read
                      ExtractCase{"KSO3=7", "KSO3=", 7},              // key at the start
                      ExtractCase{"MB KSO3=1 X KSO3=2", "KSO3=", 1},  // the first occurrence counts
                      ExtractCase{"MB kso3=5", "KSO3=", std::nullopt},  // keys are case-sensitive
                      ExtractCase{"MB KSI4=5", "KSO3=", std::nullopt},  // absent
                      ExtractCase{"MB KSO3=", "KSO3=", std::nullopt, true},    // nothing after "="
                      ExtractCase{"MB KSO3=A1", "KSO3=", std::nullopt, true},  // a letter
                      ExtractCase{"MB KSO3=5,KSI4=6", "KSO3=", std::nullopt,
                                  true},  // "5," is no number
                      ExtractCase{"MB KSO3= 5", "KSO3=", std::nullopt, true}));

TEST(ReadPinValue, AcceptsOnlyContactsOneToThirtyTwo) {
    EXPECT_EQ(ReadPinValue("PD0=0 X", "PD0="), 0);
    EXPECT_EQ(ReadPinValue("PD0=1 X", "PD0="), 1);
    EXPECT_EQ(ReadPinValue("PD0=32 X", "PD0="), 32);
    EXPECT_EQ(ReadPinValue("PD0=33 X", "PD0="), 0);
    EXPECT_EQ(ReadPinValue("PD1=3 X", "PD0="), 0);
    EXPECT_THROW(ReadPinValue("PD0=x", "PD0="), MbListFormatError);
}

TEST(CableSize, IsTheNumberOfTheCableItem) {
    EXPECT_EQ(CableSize("24 pin"), 24);
    EXPECT_EQ(CableSize("32 pin"), 32);
    EXPECT_EQ(CableSize("FFC pins"), 0);  // item 0 names no size
    EXPECT_EQ(CableSize("Use soldering wires"), 0);
    EXPECT_EQ(CableSize("9 pin"), 9);
    EXPECT_TRUE(SolderingChosen("Use soldering wires"));
    EXPECT_FALSE(SolderingChosen("30 pin"));
}

// ---- LoadMbList ----

TEST(LoadMbList, SameItemsForCrLfAndLfBlankLinesKeptLastUnterminatedLineDropped) {
    for (const char* text : {"A KSO3=1\r\n\r\nB KSO3=2\r\nC unterminated",
                             "A KSO3=1\n\nB KSO3=2\nC unterminated", "A KSO3=1\n\nB K\rSO3=2\nC"}) {
        ScriptedProgram s;
        s.dir.Write("MB connection ENE.txt", std::string(text));
        ASSERT_EQ(LoadMbList(s.p, "ENE"), 0);
        EXPECT_EQ(s.p.form.Items("ComboBox_MB"),
                  (std::vector<std::string>{"Select MB", "A KSO3=1", "", "B KSO3=2"}))
            << text;
    }
}

TEST(LoadMbList, ResetsTheChoicesAndNamesTheFirstItemPerFamily) {
    ScriptedProgram s;
    s.dir.Write("MB connection NUVOTON.txt", std::string("X default\n"));
    s.p.form.SetItemIndex("ComboBox_FFC", 4);
    s.p.form.SetChecked("CheckBox_OneToOne", false);
    ASSERT_EQ(LoadMbList(s.p, "NUVOTON"), 0);
    EXPECT_EQ(s.p.form.Items("ComboBox_MB"),
              (std::vector<std::string>{"Select a MB here or now the default settings will be used",
                                        "X default"}));
    EXPECT_EQ(s.p.form.ItemIndex("ComboBox_MB"), 0);
    EXPECT_EQ(s.p.form.ItemIndex("ComboBox_FFC"), 0);
    EXPECT_TRUE(s.p.form.Checked("CheckBox_OneToOne"));
}

TEST(LoadMbList, MissingFileLeavesTheListAsItWas) {
    ScriptedProgram s;
    s.p.form.SetItems("ComboBox_MB", {"Select MB", "old line"});
    EXPECT_EQ(LoadMbList(s.p, "ITE"), 1);
    EXPECT_EQ(s.p.form.Items("ComboBox_MB"), (std::vector<std::string>{"Select MB", "old line"}));
}

TEST(LoadMbList, ModeSelectionReportsAMissingList) {
    SimProgram s;
    SelectMode(s.p(), "ITE  (IT8XXX)");
    EXPECT_TRUE(s.ui.HasEntry("Not found file: ", colors::Red));
    EXPECT_TRUE(s.ui.HasEntry("MB connection ITE.txt\n", colors::Black));
    EXPECT_FALSE(s.p().form.Enabled("ComboBox_MB"));
}

TEST(ExampleLists, FirstLinesParseToTheSimulatedDefaultBench) {
    ScriptedProgram s;
    for (const char* family : {"ENE", "ITE", "NUVOTON"}) {
        std::filesystem::copy_file(SourceData(MbListFileName(family)),
                                   s.dir / MbListFileName(family));
    }
    ASSERT_EQ(LoadMbList(s.p, "ENE"), 0);
    const auto ene = s.p.form.Items("ComboBox_MB");
    ASSERT_GE(ene.size(), 2u);
    for (size_t i = 1; i < ene.size(); ++i) EXPECT_NE(ene[i].find("(example)"), std::string::npos);
    s.p.form.SetItemIndex("ComboBox_MB", 1);
    ASSERT_EQ(ParseEnePins(s.p), 0);
    const auto& pins = s.p.State<EnePinMap>();
    EXPECT_EQ((std::array<int, 5>{pins.KSO3, pins.KSI4, pins.KSI5, pins.KSI6, pins.KSI7}),
              (std::array<int, 5>{18, 5, 6, 3, 2}));

    ASSERT_EQ(LoadMbList(s.p, "ITE"), 0);
    const auto ite = s.p.form.Items("ComboBox_MB");
    ASSERT_GE(ite.size(), 2u);
    for (size_t i = 1; i < ite.size(); ++i) {
        EXPECT_NE(ite[i].find("(example)"), std::string::npos);
        EXPECT_TRUE(ParseItePins(s.p, ite[i])) << ite[i];
    }
    ASSERT_EQ(LoadMbList(s.p, "NUVOTON"), 0);
    const auto nuv = s.p.form.Items("ComboBox_MB");
    ASSERT_GE(nuv.size(), 3u);
    EXPECT_EQ(ParseNuvotonPins(s.p, nuv[1]), NuvParse::NuvDefault);
    EXPECT_EQ(ParseNuvotonPins(s.p, nuv[2]), NuvParse::NuvParsed);
}

// ---- parsers ----

TEST(ParseEnePins, StopsAtTheFirstMissingKeyKeepingEarlierValues) {
    ScriptedProgram s;
    s.p.form.SetText("ComboBox_MB", "B KSO3=9 KSI4=8 KSI6=4 KSI7=3");
    s.p.State<EnePinMap>().KSI5 = 77;
    EXPECT_EQ(ParseEnePins(s.p), 1);
    const auto& pins = s.p.State<EnePinMap>();
    EXPECT_EQ(pins.KSO3, 9);
    EXPECT_EQ(pins.KSI4, 8);
    EXPECT_EQ(pins.KSI5, 77);  // missing: left as it was
    EXPECT_TRUE(s.ui.Entries().empty());
}

const char* kIteLine =
    "PD0=1 PD1=2 PD2=3 PD3=4 PD4=5 PD5=6 PD6=7 PD7=8 BUSY=11 STB=27 AFD=28 INIT=29 SLIN=30 "
    "KSI4=13 KSI5=14";

TEST(ParseItePins, StoresTheFifteenContactsAnd128Kilobytes) {
    ScriptedProgram s;
    s.p.State<ItePinMap>().flash192 = true;
    ASSERT_TRUE(ParseItePins(s.p, kIteLine));
    auto& pins = s.p.State<ItePinMap>();
    std::vector<int> got;
    for (uint8_t* c : pins.Contacts()) got.push_back(*c);
    EXPECT_EQ(got, (std::vector<int>{29, 28, 30, 27, 13, 14, 11, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(pins.flashKb, 128);
    EXPECT_FALSE(pins.flash192);
    EXPECT_TRUE(s.ui.Entries().empty());
}

TEST(ParseItePins, Flash192Warns) {
    ScriptedProgram s;
    ASSERT_TRUE(ParseItePins(s.p, std::string(kIteLine) + " FLASH=192"));
    EXPECT_EQ(s.p.State<ItePinMap>().flashKb, 192);
    EXPECT_TRUE(s.p.State<ItePinMap>().flash192);
    EXPECT_EQ(s.ui.LogText(colors::Red), "Warning! Selected FLASH ITE size 192KB\n");
}

TEST(ParseItePins, Pd0OutsideOneToThirtyTwoIsRefused) {
    for (const char* pd0 : {"0", "33"}) {
        ScriptedProgram s;
        std::string line = kIteLine;
        line.replace(line.find("PD0=1"), 5, std::string("PD0=") + pd0);
        EXPECT_FALSE(ParseItePins(s.p, line)) << pd0;
        EXPECT_TRUE(s.ui.HasEntry("Information about the contact number is not found or false! ",
                                  colors::Red));
        EXPECT_TRUE(s.ui.HasEntry("PD0=\n", colors::Black));
    }
    ScriptedProgram s;
    std::string line = kIteLine;
    line.replace(line.find("PD0=1"), 5, "PD0=32");
    EXPECT_TRUE(ParseItePins(s.p, line));
    EXPECT_EQ(s.p.State<ItePinMap>().PD[0], 32);
}

TEST(ParseNuvotonPins, DefaultParsedOrFormatError) {
    ScriptedProgram s;
    auto& pins = s.p.State<NuvotonPinMap>();
    EXPECT_EQ(ParseNuvotonPins(s.p, "FFC_PINS=26 JENK=5 TCK=14 TMS=15 TDI=16 TDO=8"),
              NuvParse::NuvParsed);
    EXPECT_EQ(
        (std::array<int, 6>{pins.FFC_PINS, pins.JENK, pins.TCK, pins.TMS, pins.TDI, pins.TDO}),
        (std::array<int, 6>{26, 5, 14, 15, 16, 8}));
    // "default" anywhere wins over the keys.
    EXPECT_EQ(ParseNuvotonPins(s.p, "X default FFC_PINS=26 JENK=5"), NuvParse::NuvDefault);
    EXPECT_EQ(
        (std::array<int, 6>{pins.FFC_PINS, pins.JENK, pins.TCK, pins.TMS, pins.TDI, pins.TDO}),
        (std::array<int, 6>{30, 7, 19, 20, 21, 10}));
    EXPECT_EQ(ParseNuvotonPins(s.p, "Default FFC_PINS=26 JENK=5 TCK=14 TMS=15 TDI=16"),
              NuvParse::NuvFormatError);
    EXPECT_TRUE(s.ui.Entries().empty());
}

// ---- the send button and the soldering window ----

struct EnableCase {
    const char* mode;
    int cableItem;
    int boardItem;
    bool sendEnabled;
    bool oneToOneEnabled;
};

TEST(UpdateSendSettingsEnable, FollowsModeCableAndBoard) {
    const EnableCase cases[] = {
        {"ITE  (IT8XXX)", 6, 1, true, true},   {"ITE  (IT8XXX)", 1, 1, false, true},
        {"ITE  (IT8XXX)", 0, 1, false, true},  {"ITE  (IT8XXX)", 6, 0, false, true},
        {"ENE  (KB90XX)", 6, 1, true, true},   {"ENE  (KB90XX)", 1, 1, true, false},
        {"ENE  (KB90XX)", 0, 1, false, true},  {"ENE  (KB90XX)", 6, 0, false, true},
        {"ENE  (KB90XX)", 1, 0, false, false}, {"Nuvoton JTAG", 0, 0, true, true},
    };
    for (const auto& c : cases) {
        ScriptedProgram s;
        s.p.form.SetItemIndex(
            "CBox_Selector",
            static_cast<int>(std::find(kModeItems.begin(), kModeItems.end(), std::string(c.mode)) -
                             kModeItems.begin()));
        s.p.form.SetItems("ComboBox_MB", {"Select MB", "B KSO3=1 KSI4=2 KSI5=3 KSI6=4 KSI7=5"});
        s.p.form.SetItemIndex("ComboBox_MB", c.boardItem);
        s.p.form.SetItemIndex("ComboBox_FFC", c.cableItem);
        s.p.form.SetEnabled("CheckBox_OneToOne", true);
        s.p.form.SetEnabled("BitBtn_SendSettings", !c.sendEnabled);
        UpdateSendSettingsEnable(s.p);
        EXPECT_EQ(s.p.form.Enabled("BitBtn_SendSettings"), c.sendEnabled)
            << c.mode << " cable " << c.cableItem << " board " << c.boardItem;
        EXPECT_EQ(s.p.form.Enabled("CheckBox_OneToOne"), c.oneToOneEnabled)
            << c.mode << " cable " << c.cableItem << " board " << c.boardItem;
    }
}

class SolderWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        s.dir.Write("MB connection ENE.txt",
                    std::string("LA-8681P (JKB1) KSO3=5 KSI4=4 KSI7=2 KSI6=3 KSI5=6\n"
                                "Broken KSO3=x KSI4=4 KSI7=2 KSI6=3 KSI5=6\n"
                                "No keys here\n"));
        SelectMode(s.p(), "ENE  (KB90XX)");
    }
    void Cable(int item) {
        s.p().form.SetItemIndex("ComboBox_FFC", item);
        Fire(s.p(), "ComboBox_FFCClick");
    }
    void Board(int item) {
        s.p().form.SetItemIndex("ComboBox_MB", item);
        Fire(s.p(), "ComboBox_MBClick");
    }
    bool Shown() { return s.p().form.Visible("TENE_for_solder"); }
    SimProgram s;
};

TEST_F(SolderWindowTest, OpensOnceBothSolderingAndABoardAreChosen) {
    EXPECT_EQ(s.p().form.Text("KSO3"), "KSO3");  // design-time caption
    Cable(1);                                    // "Use soldering wires" before a board
    EXPECT_FALSE(Shown());
    Board(1);
    ASSERT_TRUE(Shown());
    EXPECT_TRUE(s.p().form.Enabled("BitBtn_SendSettings"));
    EXPECT_FALSE(s.p().form.Enabled("CheckBox_OneToOne"));
    EXPECT_EQ(s.p().form.Text("Label_MB_NAME"),
              "LA-8681P (JKB1) KSO3=5 KSI4=4 KSI7=2 KSI6=3 KSI5=6");
    EXPECT_EQ(s.p().form.Text("KSO3"), "to 5");
    EXPECT_EQ(s.p().form.Text("KSI4"), "to 4");
    EXPECT_EQ(s.p().form.Text("KSI5"), "to 6");
    EXPECT_EQ(s.p().form.Text("KSI6"), "to 3");
    EXPECT_EQ(s.p().form.Text("KSI7"), "to 2");
    Cable(6);  // "30 pin"
    EXPECT_FALSE(Shown());
    EXPECT_TRUE(s.p().form.Enabled("CheckBox_OneToOne"));
    Cable(1);
    EXPECT_TRUE(Shown());
    Board(3);  // a line without the keys
    EXPECT_FALSE(Shown());
    SelectMode(s.p(), "ENE  (KB90XX)");
    EXPECT_FALSE(Shown());
    EXPECT_TRUE(s.ui.ErrorBoxes().empty());
}

TEST_F(SolderWindowTest, MalformedLineShowsAnErrorBoxAndClosesTheWindow) {
    Cable(1);
    Board(1);
    ASSERT_TRUE(Shown());
    Board(2);
    EXPECT_FALSE(Shown());
    const auto boxes = s.ui.ErrorBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("Broken KSO3=x KSI4=4 KSI7=2 KSI6=3 KSI5=6"), std::string::npos);
    EXPECT_NE(boxes[0].find("\"KSO3=\""), std::string::npos);
}

}  // namespace
}  // namespace zjig::test
