// The simulated board model on its own: contact levels under the probe, the
// firmware's setup mode for the ITE pins, and the cable arithmetic.
#include <gtest/gtest.h>

#include "link/protocol.h"
#include "sim/wiring/board_model.h"
#include "tests/wiring_support.h"

namespace zjig::test {
namespace {

using sim::SimBench;
using sim::SimExtType;
using Levels = std::array<uint8_t, 4>;

Levels ReadLevels(JigLink& link) {
    SendJigCommand(link, "RD_ALTERA_REG");
    return {link.buffer[0], link.buffer[1], link.buffer[2], link.buffer[3]};
}

TEST(SimBoard, JumperPairsReadLowOnlyUnderTheProbesTestDrive) {
    SimBench faulty = sim::ExternalBench(SimExtType::Ene, false);
    faulty.external.faultyJumpers = true;
    struct Case {
        SimBench bench;
        Levels probed;
    };
    const Case cases[] = {
        {SimBench{}, {0xFE, 0xFF, 0xFF, 0x7F}},  // only the driven contacts 1 and 32
        {sim::ExternalBench(SimExtType::Ene, false), {0xFC, 0xFF, 0xFF, 0x7F}},
        {sim::ExternalBench(SimExtType::Ite, true), {0xFE, 0xFF, 0xFF, 0x3F}},
        {faulty, {0xFC, 0xFF, 0xFF, 0x3F}},
    };
    for (const Case& c : cases) {
        SimProgram s;
        sim::SetBench(*s.jig, c.bench);
        ASSERT_TRUE(OpenJigLink(s.p(), false));
        JigLink& link = s.p().link;
        SendJigCommand(link, "RESET_ALTERA");
        EXPECT_EQ(ReadLevels(link), (Levels{0xFF, 0xFF, 0xFF, 0xFF}));  // nothing driven
        SendJigCommand(link, "WR_ALTERA_REG", 16, 0x01);
        SendJigCommand(link, "WR_ALTERA_REG", 19, 0x80);
        EXPECT_EQ(ReadLevels(link), (Levels{0xFF, 0xFF, 0xFF, 0xFF}));  // no test drive yet
        SendJigCommand(link, "WR_ALTERA_REG", 64, 0xA0);
        EXPECT_EQ(ReadLevels(link), c.probed);
        CloseJigLink(s.p());
    }
}

TEST(SimBoard, SetupModeReadsPinFramesUntilTheEndFrame) {
    SimProgram s;
    ASSERT_TRUE(OpenJigLink(s.p(), false));
    JigLink& link = s.p().link;
    EXPECT_EQ(TCommand(link, 5), '*');
    // 'I' 'N' and 'K' '4' are pin frames here, not the end mark or an ENE command.
    EXPECT_TRUE(SendFrame3(link, 'I', 'N', 29));
    EXPECT_TRUE(SendFrame3(link, 'K', '4', 13));
    EXPECT_TRUE(SendFrame3(link, 'Q', 'Q', 0x51));
    auto fw = sim::IteFirmwareState(*s.jig);
    EXPECT_TRUE(fw.pinsHeld);
    EXPECT_EQ(fw.heldPins, (std::map<std::string, uint8_t>{{"IN", 29}, {"K4", 13}}));
    // Back in the main loop: 'I' is the end mark again.
    SendJigCommand(link, "OneByteSend", 'I');
    EXPECT_EQ(link.buffer[0], 'I');

    // An unknown frame ends the setup mode with no pins held.
    EXPECT_EQ(TCommand(link, 5), '*');
    EXPECT_TRUE(SendFrame3(link, 'I', 'N', 4));
    EXPECT_FALSE(SendFrame3(link, 'X', 'Y', 1));
    EXPECT_FALSE(sim::IteFirmwareState(*s.jig).pinsHeld);
    SendJigCommand(link, "OneByteSend", 'O');
    EXPECT_EQ(link.buffer[0], 'O');
    CloseJigLink(s.p());
}

TEST(SimBoard, SupplyOfTheIteBoardNeedsBothSteps) {
    SimProgram s;
    ASSERT_TRUE(OpenJigLink(s.p(), false));
    JigLink& link = s.p().link;
    EXPECT_EQ(TCommand(link, 6, '2'), '&');
    EXPECT_FALSE(sim::IteFirmwareState(*s.jig).supplyOn);
    EXPECT_EQ(TCommand(link, 6, '1'), '&');
    EXPECT_EQ(TCommand(link, 6, '2'), '&');
    EXPECT_TRUE(sim::IteFirmwareState(*s.jig).supplyOn);
    EXPECT_EQ(TCommand(link, 6, '0'), '&');
    EXPECT_FALSE(sim::IteFirmwareState(*s.jig).supplyOn);
    CloseJigLink(s.p());
}

TEST(SimBoard, CableBringsKeyboardContactsToJigContacts) {
    SimBench b = sim::DefaultBench();
    EXPECT_EQ(sim::JigContactOf(b, 7), 7);
    EXPECT_EQ(sim::JigContactOf(b, 31), 0);  // beyond the 30-contact cable
    b.cableMirrored = true;
    EXPECT_EQ(sim::JigContactOf(b, 7), 24);
    EXPECT_EQ(sim::JigContactOf(b, 30), 1);
    b.cableContacts = 24;
    EXPECT_EQ(sim::JigContactOf(b, 25), 0);
    EXPECT_EQ(sim::JigContactOf(b, 0), 0);
}

TEST(SimBoard, NothingAnswersOnAFreshBenchWithoutSettings) {
    SimProgram s;
    // Fresh CPLD (reset state): only the SPI wires of the default bench reach.
    EXPECT_FALSE(sim::EneReachable(*s.jig));
    EXPECT_FALSE(sim::NuvotonJtagReachable(*s.jig));
    EXPECT_FALSE(sim::IteReachable(*s.jig));
    EXPECT_TRUE(sim::NuvotonSpiReachable(*s.jig));
    sim::SetBench(*s.jig, SimBench{});
    EXPECT_FALSE(sim::NuvotonSpiReachable(*s.jig));
}

}  // namespace
}  // namespace zjig::test
