// "Send settings to the programmer" end to end on the simulated JIG: the
// chosen line, cable and 1-to-1 box become CPLD registers, ITE pin frames or
// external-board settings, every outcome is reported, and the simulated board
// answers only when the routing brings each signal to where it expects it.
#include "wiring/send_settings.h"

#include <gtest/gtest.h>

#include "link/protocol.h"
#include "sim/wiring/board_model.h"
#include "tests/wiring_support.h"
#include "wiring/ext_board.h"
#include "wiring/routing.h"

namespace zjig::test {
namespace {

using sim::SimBench;
using sim::SimExtType;

const char* kEneLine = "LA-8681P (JKB1) KSO3=18 KSI4=5 KSI7=2 KSI6=3 KSI5=6 (example)";

class SendSettings : public ::testing::Test {
protected:
    Program& p() { return s.p(); }
    sim::SimJig& jig() { return *s.jig; }
    // Writes a one-line list for a family (besides the example lists).
    void List(const std::string& family, const std::string& text) {
        s.dir.Write(MbListFileName(family), text);
    }
    void Send() {
        jig().Serial()->ClearHostWrittenLog();
        Fire(p(), "BitBtn_SendSettingsClick");
    }
    std::vector<uint8_t> Wire() { return jig().Serial()->HostWrittenLog(); }
    CpldPicture Cpld() { return Picture(jig().CpldRegisters()); }
    void Bench(const SimBench& b) { sim::SetBench(jig(), b); }
    SimBench Default() { return sim::DefaultBench(); }
    bool LinkClosed() { return s.driver.OpenCount() == 0 && !p().link.isOpen; }
    Outcome Result() { return p().op.outcome; }

    SimProgram s;
};

// ---- ENE ----

TEST_F(SendSettings, EneStraightThirtyPinRoutesTheLineAndTheBoardAnswers) {
    CopyExampleList(s, "ENE");
    Choose(p(), "ENE  (KB90XX)", 1, "30 pin", true);
    ASSERT_EQ(p().form.Text("ComboBox_MB"), kEneLine);
    ASSERT_TRUE(p().form.Enabled("BitBtn_SendSettings"));
    ASSERT_FALSE(p().form.Enabled("BitBtn_READ"));
    Send();

    EXPECT_EQ(Cpld(), (CpldPicture{{{18, 3}, {5, 2}, {3, 1}, {6, 0}}, 2}));
    EXPECT_TRUE(sim::EneReachable(jig()));
    // 'B', 'S' 'R', thirteen registers in order A, 'I'.
    std::vector<uint8_t> wire = {'B', 'S', 'R'};
    for (auto [reg, value] : RoutingRegisters(p().State<CpldRouting>(), WriteOrder::A))
        wire.insert(wire.end(), {'S', 'W', reg, value});
    wire.push_back('I');
    EXPECT_EQ(Wire(), wire);

    EXPECT_TRUE(s.ui.HasEntry("User select   --> ", colors::Black));
    EXPECT_TRUE(s.ui.HasEntry("1 to 1 (30 pin FFC)\n", colors::Blue));
    EXPECT_TRUE(s.ui.HasEntry(std::string(kEneLine) + "\n", colors::Blue));
    EXPECT_TRUE(s.ui.HasEntry("Settings sent successfully!\n", colors::Black));
    EXPECT_TRUE(s.ui.HasEntry(
        "\n Check GND.\n Connect the motherboard power adapter.\n We are ready for reading or "
        "writing.\n\n",
        colors::Blue));
    EXPECT_TRUE(p().SettingsSent);
    EXPECT_TRUE(p().form.Enabled("BitBtn_READ"));
    EXPECT_TRUE(p().form.Enabled("BitBtn_WRITE"));
    EXPECT_TRUE(p().form.Visible("RichEdit"));
    EXPECT_TRUE(LinkClosed());
    EXPECT_EQ(Result(), Outcome::Succeeded);
}

TEST_F(SendSettings, EneMirroredRoutesTheMirroredContacts) {
    CopyExampleList(s, "ENE");
    Choose(p(), "ENE  (KB90XX)", 1, "30 pin", false);
    Send();
    EXPECT_TRUE(s.ui.HasEntry("mirrored (30 pin FFC)\n", colors::Blue));
    EXPECT_EQ(Cpld(), (CpldPicture{{{13, 3}, {26, 2}, {28, 1}, {25, 0}}, 29}));
    const auto& pins = p().State<EnePinMap>();  // mirrored in place
    EXPECT_EQ((std::array<int, 5>{pins.KSO3, pins.KSI4, pins.KSI5, pins.KSI6, pins.KSI7}),
              (std::array<int, 5>{13, 26, 25, 28, 29}));
    // The bench's cable is straight: the chip does not answer ...
    EXPECT_FALSE(sim::EneReachable(jig()));
    // ... until the cable is a mirrored one.
    SimBench b = Default();
    b.cableMirrored = true;
    Bench(b);
    EXPECT_TRUE(sim::EneReachable(jig()));
}

struct CableCase {
    const char* cable;
    bool oneToOne;
    uint8_t benchCable;
    bool benchMirrored;
    bool reachable;
};

class EneCable : public SendSettings, public ::testing::WithParamInterface<CableCase> {};

TEST_P(EneCable, OnlyTheRightCableAndBoxReachTheChip) {
    const CableCase& c = GetParam();
    CopyExampleList(s, "ENE");
    SimBench b = Default();
    b.cableContacts = c.benchCable;
    b.cableMirrored = c.benchMirrored;
    Bench(b);
    Choose(p(), "ENE  (KB90XX)", 1, c.cable, c.oneToOne);
    Send();
    EXPECT_TRUE(p().SettingsSent);
    EXPECT_EQ(sim::EneReachable(jig()), c.reachable);
}

INSTANTIATE_TEST_SUITE_P(
    Cables, EneCable,
    ::testing::Values(CableCase{"30 pin", true, 30, false, true},
                      CableCase{"30 pin", false, 30, true, true},
                      CableCase{"24 pin", true, 30, false, true},    // straight: any size fits
                      CableCase{"24 pin", false, 30, true, false},   // mirrored, wrong size
                      CableCase{"30 pin", true, 30, true, false},    // box ticked, cable mirrored
                      CableCase{"30 pin", false, 30, false, false},  // box unticked, cable straight
                      CableCase{"24 pin", false, 24, true, true},
                      CableCase{"32 pin", false, 32, true, true}));

TEST_F(SendSettings, EneSolderedWiresOnlyResetTheCpld) {
    CopyExampleList(s, "ENE");
    SimBench b = Default();
    b.join = sim::SimJoin::SolderedWires;
    Bench(b);
    // A routing left from an earlier transfer cuts the soldering cable off.
    Choose(p(), "ENE  (KB90XX)", 1, "30 pin", true);
    Send();
    EXPECT_FALSE(sim::EneReachable(jig()));

    Choose(p(), "ENE  (KB90XX)", 1, "Use soldering wires", true);
    EXPECT_TRUE(p().form.Visible("TENE_for_solder"));
    s.ui.ClearRecords();
    Send();
    EXPECT_EQ(Wire(), (std::vector<uint8_t>{'B', 'S', 'R', 'I'}));
    EXPECT_TRUE(s.ui.HasEntry("The user chose programming with wire soldering!\n", colors::Red));
    EXPECT_TRUE(s.ui.HasEntry("Settings sent successfully!\n", colors::Black));
    EXPECT_FALSE(s.ui.HasEntry("User select   --> ", colors::Black));
    EXPECT_TRUE(p().SettingsSent);
    EXPECT_TRUE(p().form.Enabled("BitBtn_READ"));
    EXPECT_TRUE(sim::EneReachable(jig()));
    // The keyboard cable is not reached with the CPLD reset.
    Bench(Default());
    EXPECT_FALSE(sim::EneReachable(jig()));
}

TEST_F(SendSettings, EneContactBeyondTheCableIsRefusedAfterOpeningTheLink) {
    List("ENE",
         "Big KSO3=25 KSI4=5 KSI7=2 KSI6=3 KSI5=6\nSmall KSO3=24 KSI4=5 KSI7=2 KSI6=3 KSI5=6\n");
    Choose(p(), "ENE  (KB90XX)", 1, "24 pin", true);
    Send();
    EXPECT_TRUE(s.ui.HasEntry("Please select big pins FFC!\n", colors::Red));
    EXPECT_EQ(Wire(), (std::vector<uint8_t>{'B'}));
    EXPECT_FALSE(p().SettingsSent);
    EXPECT_FALSE(p().form.Enabled("BitBtn_READ"));
    EXPECT_TRUE(LinkClosed());
    EXPECT_EQ(Result(), Outcome::Failed);

    Choose(p(), "ENE  (KB90XX)", 2, "24 pin", true);
    Send();
    EXPECT_TRUE(p().SettingsSent);
}

TEST_F(SendSettings, EneLineWithoutKeysOrWithAMissingKey) {
    List("ENE", "Just a name\nNo KSI7 KSO3=18 KSI4=5 KSI6=3 KSI5=6\n");
    Choose(p(), "ENE  (KB90XX)", 1, "30 pin", true);
    Send();
    EXPECT_EQ(s.ui.LogText(colors::Red), "Please select the correct settings MB!\n");
    EXPECT_EQ(Wire(), (std::vector<uint8_t>{'B'}));
    EXPECT_EQ(Result(), Outcome::Failed);

    s.ui.ClearRecords();
    Choose(p(), "ENE  (KB90XX)", 2, "30 pin", true);
    Send();
    EXPECT_EQ(s.ui.LogText(colors::Red), "Error. Not found settings for KSO or KSI\n");
    EXPECT_EQ(Wire(), (std::vector<uint8_t>{'B'}));
    EXPECT_FALSE(p().SettingsSent);
    EXPECT_TRUE(LinkClosed());
}

TEST_F(SendSettings, MalformedValueShowsAnErrorBoxAndSendsNothingMore) {
    struct Case {
        const char* family;
        const char* mode;
        const char* line;
        const char* key;
        std::vector<uint8_t> wire;  // what reaches the JIG
    };
    const Case cases[] = {
        {"ENE", "ENE  (KB90XX)", "Bad KSO3=18 KSI4=x5 KSI7=2 KSI6=3 KSI5=6", "KSI4=", {'B'}},
        {"ENE", "ENE  (KB90XX)", "Bad KSO3=18 KSI4=5 KSI7=2 KSI6=3 KSI5=", "KSI5=", {'B'}},
        {"ITE",
         "ITE  (IT8XXX)",
         "Bad PD0=1 PD1=2 PD2=3 PD3=4 PD4=5 PD5=6 PD6=7 PD7=8 BUSY=1, STB=27 AFD=28 INIT=29 "
         "SLIN=30 KSI4=13 KSI5=14",
         "BUSY=",
         {'B'}},
        // The Nuvoton sequence resets the CPLD before it parses the line.
        {"NUVOTON",
         "Nuvoton JTAG",
         "Bad FFC_PINS=30 JENK=7 TCK=1x TMS=20 TDI=21 TDO=10",
         "TCK=",
         {'B', 'S', 'R', 'J', 'S'}},
    };
    for (const Case& c : cases) {
        s.ui.ClearRecords();
        List(c.family, std::string(c.line) + "\n");
        Choose(p(), c.mode, 1, "30 pin", true);
        const size_t boxesBefore = s.ui.ErrorBoxes().size();
        Send();
        const auto boxes = s.ui.ErrorBoxes();
        ASSERT_EQ(boxes.size(), boxesBefore + 1) << c.line;
        EXPECT_NE(boxes.back().find(c.line), std::string::npos) << boxes.back();
        EXPECT_NE(boxes.back().find(std::string("\"") + c.key + "\""), std::string::npos)
            << boxes.back();
        EXPECT_EQ(Wire(), c.wire) << c.line;
        EXPECT_TRUE(LinkClosed()) << c.line;
        EXPECT_FALSE(p().SettingsSent) << c.line;
        EXPECT_EQ(Result(), Outcome::Failed) << c.line;
        EXPECT_FALSE(s.ui.Contains("Settings sent successfully!")) << c.line;
    }
}

// ---- Nuvoton JTAG ----

TEST_F(SendSettings, NuvotonJtagDefaultPinoutStraightAndMirrored) {
    CopyExampleList(s, "NUVOTON");
    SelectMode(p(), "Nuvoton JTAG");
    ASSERT_TRUE(p().form.Enabled("BitBtn_SendSettings"));
    ASSERT_EQ(p().form.ItemIndex("ComboBox_MB"), 0);  // the first item uses the defaults
    Send();
    EXPECT_EQ(Cpld(), (CpldPicture{{{7, 3}, {19, 1}, {20, 0}, {21, 2}}, 10}));
    EXPECT_TRUE(sim::NuvotonJtagReachable(jig()));
    EXPECT_TRUE(s.ui.HasEntry("Selected default pinout MB for NUVOTON JTAG\n", colors::Blue));
    EXPECT_TRUE(s.ui.HasEntry("Selected 30 pin FFC (TYPE B)\n", colors::Blue));
    // 'B', reset, SPI on, register 64 first (order B), 'I'.
    const auto wire = Wire();
    ASSERT_EQ(wire.size(), 1u + 2 + 2 + 13 * 4 + 1);
    EXPECT_EQ(std::vector<uint8_t>(wire.begin(), wire.begin() + 9),
              (std::vector<uint8_t>{'B', 'S', 'R', 'J', 'S', 'S', 'W', 64, 0x89}));
    EXPECT_EQ(wire.back(), 'I');
    const std::string plus = " " + std::string(31, '+') + "\n";
    EXPECT_TRUE(s.ui.HasEntry("Settings for NUVOTON send\n\n", colors::Blue));
    EXPECT_TRUE(s.ui.HasEntry(plus, colors::Red));
    EXPECT_TRUE(s.ui.HasEntry(
        " Now \n Please connect the power supply\n to the motherboard, then click\n", colors::Red));
    EXPECT_TRUE(s.ui.HasEntry(" *Check connection*\n", colors::Blue));
    EXPECT_TRUE(s.ui.HasEntry(plus + "\n", colors::Red));
    EXPECT_TRUE(p().SettingsSent);
    EXPECT_FALSE(p().form.Enabled("BitBtn_READ"));  // left as it was
    EXPECT_EQ(Result(), Outcome::Succeeded);
    EXPECT_TRUE(LinkClosed());

    p().form.SetItemIndex("ComboBox_MB", 1);  // the example line naming the default
    p().form.SetChecked("CheckBox_OneToOne", false);
    Send();
    EXPECT_TRUE(s.ui.HasEntry("Selected 30 pin FFC (TYPE A)\n", colors::Blue));
    EXPECT_EQ(Cpld(), (CpldPicture{{{24, 3}, {12, 1}, {11, 0}, {10, 2}}, 21}));
    EXPECT_FALSE(sim::NuvotonJtagReachable(jig()));
    SimBench b = Default();
    b.cableMirrored = true;
    Bench(b);
    EXPECT_TRUE(sim::NuvotonJtagReachable(jig()));
}

TEST_F(SendSettings, NuvotonJtagOwnPinoutAndFormatError) {
    List("NUVOTON",
         "Board FFC_PINS=26 JENK=5 TCK=14 TMS=15 TDI=16 TDO=8\n"
         "No TDO FFC_PINS=30 JENK=7 TCK=19 TMS=20 TDI=21\n");
    SelectMode(p(), "Nuvoton JTAG");
    p().form.SetItemIndex("ComboBox_MB", 1);
    Send();
    EXPECT_TRUE(
        s.ui.HasEntry("Board FFC_PINS=26 JENK=5 TCK=14 TMS=15 TDI=16 TDO=8\n", colors::Black));
    EXPECT_TRUE(s.ui.HasEntry("Selected 26 pin FFC (TYPE B)\n", colors::Blue));
    EXPECT_EQ(Cpld(), (CpldPicture{{{5, 3}, {14, 1}, {15, 0}, {16, 2}}, 8}));
    EXPECT_FALSE(sim::NuvotonJtagReachable(jig()));  // not this bench's wiring

    s.ui.ClearRecords();
    p().form.SetItemIndex("ComboBox_MB", 2);
    Send();
    EXPECT_TRUE(s.ui.HasEntry("No TDO FFC_PINS=30 JENK=7 TCK=19 TMS=20 TDI=21\n", colors::Black));
    EXPECT_TRUE(
        s.ui.HasEntry("Error settings format -> No TDO FFC_PINS=30 JENK=7 TCK=19 TMS=20 TDI=21\n\n",
                      colors::Red));
    EXPECT_EQ(Wire(), (std::vector<uint8_t>{'B', 'S', 'R', 'J', 'S', 'O'}));
    EXPECT_FALSE(p().SettingsSent);
    EXPECT_EQ(Result(), Outcome::Failed);
    EXPECT_TRUE(LinkClosed());
}

// ---- ITE ----

TEST_F(SendSettings, IteStraightHandsTheContactsToTheFirmware) {
    CopyExampleList(s, "ITE");
    Choose(p(), "ITE  (IT8XXX)", 1, "30 pin", true);
    ASSERT_TRUE(p().form.Enabled("BitBtn_SendSettings"));
    Send();
    const auto fw = sim::IteFirmwareState(jig());
    EXPECT_EQ(fw.framesSeen, (std::vector<std::string>{"IN=29", "DS=28", "AS=30", "WR=27", "K4=13",
                                                       "K5=14", "BL=11", "d0=1", "d1=2", "d2=3",
                                                       "d3=4", "d4=5", "d5=6", "d6=7", "d7=8"}));
    EXPECT_TRUE(sim::IteReachable(jig()));
    EXPECT_TRUE(s.ui.HasEntry("Settings sent successfully!\n", colors::Black));
    EXPECT_TRUE(s.ui.HasEntry(
        "Check GND. Connect the motherboard power adapter.\nWe are ready for reading or writing.\n",
        colors::Blue));
    EXPECT_TRUE(p().SettingsSent);
    EXPECT_TRUE(p().form.Enabled("BitBtn_READ"));
    EXPECT_EQ(p().State<ItePinMap>().flashKb, 128);
    EXPECT_EQ(Wire().back(), 'I');
    EXPECT_EQ(Result(), Outcome::Succeeded);
    EXPECT_TRUE(LinkClosed());

    // The second example line asks for the 192-kilobyte flash; it is wired
    // elsewhere, so the controller no longer answers.
    Choose(p(), "ITE  (IT8XXX)", 2, "30 pin", true);
    Send();
    EXPECT_TRUE(s.ui.HasEntry("Warning! Selected FLASH ITE size 192KB\n", colors::Red));
    EXPECT_TRUE(p().State<ItePinMap>().flash192);
    EXPECT_FALSE(sim::IteReachable(jig()));
}

TEST_F(SendSettings, IteMirroredNeedsAMirroredCableOfTheRightSize) {
    CopyExampleList(s, "ITE");
    SimBench b = Default();
    b.cableMirrored = true;
    Bench(b);
    Choose(p(), "ITE  (IT8XXX)", 1, "30 pin", false);
    Send();
    EXPECT_TRUE(s.ui.HasEntry("mirrored (30 pin FFC)\n", colors::Blue));
    EXPECT_EQ(p().State<ItePinMap>().INIT, 2);  // 30 - 29 + 1
    EXPECT_TRUE(sim::IteReachable(jig()));
    Choose(p(), "ITE  (IT8XXX)", 1, "32 pin", false);
    Send();
    EXPECT_TRUE(p().SettingsSent);
    EXPECT_FALSE(sim::IteReachable(jig()));
}

TEST_F(SendSettings, IteMirroredContactBeyondTheCableIsRefused) {
    CopyExampleList(s, "ITE");  // its first line uses contacts up to 30
    Choose(p(), "ITE  (IT8XXX)", 1, "28 pin", false);
    Send();
    EXPECT_TRUE(s.ui.HasEntry("Please select big pins FFC!\n", colors::Red));
    EXPECT_EQ(Wire(), (std::vector<uint8_t>{'B'}));
    EXPECT_TRUE(sim::IteFirmwareState(jig()).framesSeen.empty());
    EXPECT_FALSE(p().SettingsSent);
    EXPECT_EQ(Result(), Outcome::Failed);
    EXPECT_TRUE(LinkClosed());
    // Straight, the same cable is taken as it is.
    Choose(p(), "ITE  (IT8XXX)", 1, "28 pin", true);
    Send();
    EXPECT_TRUE(p().SettingsSent);
}

TEST_F(SendSettings, IteFailedPinFrameOrRefusedSetup) {
    CopyExampleList(s, "ITE");
    Choose(p(), "ITE  (IT8XXX)", 1, "30 pin", true);
    Send();
    ASSERT_TRUE(p().form.Enabled("BitBtn_READ"));

    sim::FailItePinFrame(jig(), "BL");
    s.ui.ClearRecords();
    Send();
    EXPECT_EQ(s.ui.LogText(colors::Red), "Protocol error when setting pins.\n");
    EXPECT_FALSE(p().form.Enabled("BitBtn_READ"));
    EXPECT_FALSE(p().form.Enabled("BitBtn_WRITE"));
    EXPECT_FALSE(p().SettingsSent);
    EXPECT_FALSE(sim::IteReachable(jig()));
    // Stopped at the failed frame: neither the data frames nor an end mark.
    const auto wire = Wire();
    EXPECT_EQ(std::vector<uint8_t>(wire.end() - 3, wire.end()),
              (std::vector<uint8_t>{'B', 'L', 11}));
    EXPECT_EQ(Result(), Outcome::Failed);
    EXPECT_TRUE(LinkClosed());

    sim::FailItePinFrame(jig(), "");
    sim::RefuseIteSetup(jig(), true);
    s.ui.ClearRecords();
    Send();
    EXPECT_EQ(s.ui.LogText(colors::Red), "Error when entering the setup mode.\n");
    EXPECT_EQ(Wire(), (std::vector<uint8_t>{'B', 'S', 'R', 'T', 'S'}));
    EXPECT_FALSE(p().SettingsSent);
    EXPECT_EQ(Result(), Outcome::Failed);
}

// ---- external board ----

struct ExtCase {
    int radio;
    SimExtType type;
    bool mirrored;
};

class ExternalBoardSettings : public SendSettings, public ::testing::WithParamInterface<ExtCase> {};

TEST_P(ExternalBoardSettings, BoardAnswersOnlyWithItsSupplyOn) {
    const ExtCase& c = GetParam();
    Bench(sim::ExternalBench(c.type, c.mirrored));
    SelectMode(p(), "External board");
    EXPECT_FALSE(p().form.Enabled("BitBtn_SendSettings"));
    p().form.SetItemIndex("RadioGroup_EXT_BOARD", c.radio);
    Fire(p(), "RadioGroup_EXT_BOARDClick");
    EXPECT_TRUE(p().form.Enabled("BitBtn_SendSettings"));
    Send();
    EXPECT_TRUE(s.ui.HasEntry("Settings for external board sent successfully!\n", colors::Black));
    EXPECT_EQ(p().State<ExtBoardState>().orientation.load(),
              c.mirrored ? kExtMirrored : kExtStraight);
    for (const char* b : {"BitBtn_Settings", "BitBtn_CheckConn", "BitBtn_READ", "BitBtn_WRITE"})
        EXPECT_TRUE(p().form.Enabled(b)) << b;
    EXPECT_FALSE(p().SettingsSent);
    EXPECT_EQ(Wire().back(), 'I');
    EXPECT_EQ(Result(), Outcome::Succeeded);
    EXPECT_TRUE(LinkClosed());

    auto reachable = [&] {
        return c.type == SimExtType::Ene ? sim::EneReachable(jig())
                                         : sim::NuvotonSpiReachable(jig());
    };
    EXPECT_FALSE(reachable());  // unpowered
    ASSERT_TRUE(OpenJigLink(p(), false));
    ExtBoardPower(p(), "ON");
    EXPECT_TRUE(sim::ExternalSupplyOn(jig()));
    EXPECT_TRUE(reachable());
    // The other family's chip is not on this board.
    EXPECT_FALSE(c.type == SimExtType::Ene ? sim::NuvotonSpiReachable(jig())
                                           : sim::EneReachable(jig()));
    ExtBoardPower(p(), "OFF");
    EXPECT_FALSE(reachable());
    CloseJigLink(p());
}

INSTANTIATE_TEST_SUITE_P(EneAndNuvoton, ExternalBoardSettings,
                         ::testing::Values(ExtCase{0, SimExtType::Ene, false},
                                           ExtCase{0, SimExtType::Ene, true},
                                           ExtCase{2, SimExtType::Nuvoton, false},
                                           ExtCase{2, SimExtType::Nuvoton, true}));

TEST_F(SendSettings, ExternalWrongBoardTypeDoesNotReachTheChip) {
    Bench(sim::ExternalBench(SimExtType::Ene, false));
    SelectMode(p(), "External board");
    p().form.SetItemIndex("RadioGroup_EXT_BOARD", 2);  // Nuvoton chosen, ENE plugged in
    Fire(p(), "RadioGroup_EXT_BOARDClick");
    Send();
    ASSERT_TRUE(OpenJigLink(p(), false));
    ExtBoardPower(p(), "ON");
    EXPECT_FALSE(sim::EneReachable(jig()));
    ExtBoardPower(p(), "OFF");
    CloseJigLink(p());
}

TEST_F(SendSettings, ExternalBoardMissingOrFaulty) {
    struct Case {
        SimBench bench;
        const char* message;
    };
    SimBench faulty = sim::ExternalBench(SimExtType::Ene, false);
    faulty.external.faultyJumpers = true;
    SimBench nothing;
    for (const Case& c : {Case{nothing, "\n External board not found/connected!\n\n"},
                          Case{Default(), "\n External board not found/connected!\n\n"},
                          Case{faulty, "\n External board fault (jmp 1-2 and 31-32)!\n\n"}}) {
        Bench(c.bench);
        SelectMode(p(), "External board");
        p().form.SetEnabled("BitBtn_READ", true);
        p().form.SetItemIndex("RadioGroup_EXT_BOARD", 0);
        Fire(p(), "RadioGroup_EXT_BOARDClick");
        s.ui.ClearRecords();
        Send();
        EXPECT_EQ(s.ui.LogText(colors::Red), c.message);
        EXPECT_EQ(Wire().back(), 'O');
        EXPECT_FALSE(p().form.Enabled("BitBtn_Settings"));
        EXPECT_FALSE(p().form.Enabled("BitBtn_READ"));
        EXPECT_FALSE(p().form.Enabled("BitBtn_WRITE"));
        EXPECT_FALSE(sim::EneReachable(jig()));
        EXPECT_EQ(Result(), Outcome::Failed);
        EXPECT_TRUE(LinkClosed());
    }
}

TEST_F(SendSettings, ExternalIteBoardThroughTheFirmware) {
    for (bool mirrored : {false, true}) {
        Bench(sim::ExternalBench(SimExtType::Ite, mirrored));
        SelectMode(p(), "External board");
        p().form.SetItemIndex("RadioGroup_EXT_BOARD", 1);
        Fire(p(), "RadioGroup_EXT_BOARDClick");
        p().State<ItePinMap>().flash192 = true;
        Send();
        EXPECT_TRUE(
            s.ui.HasEntry("Settings for external board sent successfully!\n", colors::Black));
        EXPECT_FALSE(p().State<ItePinMap>().flash192);
        EXPECT_TRUE(sim::IteFirmwareState(jig()).pinsHeld);
        EXPECT_FALSE(sim::IteReachable(jig()));  // the settings leave the supply off
        ASSERT_TRUE(OpenJigLink(p(), false));
        EXPECT_EQ(ExtBoardPowerIte(p(), "ON"), '&');
        EXPECT_TRUE(sim::IteReachable(jig())) << mirrored;
        EXPECT_EQ(ExtBoardPowerIte(p(), "OFF"), '&');
        EXPECT_FALSE(sim::IteReachable(jig()));
        CloseJigLink(p());
    }
}

// ---- the button's surroundings ----

TEST_F(SendSettings, DoesNothingWhileAJobRuns) {
    CopyExampleList(s, "ENE");
    Choose(p(), "ENE  (KB90XX)", 1, "30 pin", true);
    p().CurrentJob.Set("READ_ENE");
    Send();
    p().CurrentJob.Set("NONE");
    EXPECT_TRUE(Wire().empty());
    EXPECT_FALSE(p().SettingsSent);
}

TEST_F(SendSettings, LostJigEndsTheTransferWithAUsableWindow) {
    CopyExampleList(s, "ITE");
    Choose(p(), "ITE  (IT8XXX)", 1, "30 pin", true);
    Send();
    ASSERT_TRUE(p().form.Enabled("BitBtn_READ"));
    s.ui.ClearRecords();
    // The JIG vanishes after the version request and the CPLD reset.
    jig().Serial()->UnplugAfterHostBytes(jig().Serial()->HostBytesWritten() + 3);
    Send();
    EXPECT_NE(s.ui.LogText(colors::Red).find("disconnected"), std::string::npos) << s.ui.LogText();
    EXPECT_FALSE(p().SettingsSent);
    EXPECT_FALSE(p().form.Enabled("BitBtn_READ"));
    EXPECT_TRUE(p().CurrentJob.Is("NONE"));
    EXPECT_FALSE(p().link.isOpen);
    EXPECT_EQ(Result(), Outcome::Failed);
}

TEST_F(SendSettings, RegistersTheListHookAndTheNamedHandlers) {
    for (const char* h : {"ComboBox_MBClick", "ComboBox_FFCClick", "BitBtn_SendSettingsClick",
                          "RadioGroup_EXT_BOARDClick"})
        EXPECT_TRUE(p().handlers.count(h)) << h;
    ASSERT_TRUE(p().modes.loadMbList);
    for (const char* label : {"KSO3", "KSI4", "KSI5", "KSI6", "KSI7"})
        EXPECT_EQ(p().form.Text(label), label);
    EXPECT_EQ(p().form.Text("Label_MB_NAME"),
              "LA-8681P (JKB1) KSO3=18 KSI4=5 KSI7=2 KSI6=3 KSI5=6");
}

}  // namespace
}  // namespace zjig::test
