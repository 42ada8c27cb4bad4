// CPLD routing: signal codes, mirroring, the register write orders as bytes
// on the wire, the external-board probe and supply.
#include "wiring/routing.h"

#include <gtest/gtest.h>

#include "link/protocol.h"
#include "tests/wiring_support.h"
#include "wiring/ext_board.h"

namespace zjig::test {
namespace {

using Mask = std::array<uint8_t, 4>;

TEST(RouteSignal, ZeroOnOneAndClockOnThirtyTwo) {
    CpldRouting r;
    RouteSignal(r, "ZERO", 1);
    RouteSignal(r, "CLK_ENE", 32);
    EXPECT_EQ(r.driveMask, (Mask{0x01, 0, 0, 0x80}));
    EXPECT_EQ(r.selHighMask, (Mask{0x01, 0, 0, 0}));
    EXPECT_EQ(r.selLowMask, (Mask{0x01, 0, 0, 0}));
}

TEST(RouteSignal, SignalCodesAndReadBack) {
    struct Case {
        const char* signal;
        bool high, low;
    };
    for (const Case& c :
         {Case{"CLK_ENE", false, false}, Case{"TMS", false, false}, Case{"D_TO_ENE", false, true},
          Case{"TCK", false, true}, Case{"CS_ENE", true, false}, Case{"TDI_to_NUV", true, false},
          Case{"ZERO", true, true}}) {
        CpldRouting r;
        RouteSignal(r, c.signal, 10);  // byte 1, bit 1
        EXPECT_EQ(r.driveMask, (Mask{0, 0x02, 0, 0})) << c.signal;
        EXPECT_EQ(r.selHighMask[1], c.high ? 0x02 : 0) << c.signal;
        EXPECT_EQ(r.selLowMask[1], c.low ? 0x02 : 0) << c.signal;
        EXPECT_EQ(r.inputSelect, 0) << c.signal;
    }
    CpldRouting r;
    RouteSignal(r, "D_FROM_ENE", 7);
    EXPECT_EQ(r.inputSelect, 0x86);
    RouteSignal(r, "TDO_from_NUV", 32);
    EXPECT_EQ(r.inputSelect, 0x9F);
    EXPECT_EQ(r.driveMask, (Mask{}));
    RouteSignal(r, "NOT_A_SIGNAL", 3);
    EXPECT_EQ(r.driveMask, (Mask{}));
}

TEST(RouteSignal, LaterCallOverridesSelectBitsButZeroOnlySets) {
    CpldRouting r;
    RouteSignal(r, "CS_ENE", 3);
    RouteSignal(r, "D_TO_ENE", 3);
    EXPECT_EQ(r.selHighMask[0], 0);
    EXPECT_EQ(r.selLowMask[0], 0x04);
    RouteSignal(r, "ZERO", 3);
    EXPECT_EQ(r.selHighMask[0], 0x04);
    EXPECT_EQ(r.selLowMask[0], 0x04);
}

TEST(ClearRouting, ZeroesTheMasksAndKeepsTheReadBack) {
    CpldRouting r;
    RouteSignal(r, "ZERO", 5);
    RouteSignal(r, "D_FROM_ENE", 9);
    ClearRouting(r);
    EXPECT_EQ(r.driveMask, (Mask{}));
    EXPECT_EQ(r.selHighMask, (Mask{}));
    EXPECT_EQ(r.selLowMask, (Mask{}));
    EXPECT_EQ(r.inputSelect, 0x88);
}

TEST(MirrorContact, NMinusCPlusOneInEightBits) {
    EXPECT_EQ(MirrorContact(7, 30), 24);
    EXPECT_EQ(MirrorContact(30, 30), 1);
    EXPECT_EQ(MirrorContact(1, 24), 24);
    // A contact beyond a 24-contact cable lands on 0: no bit, and for the
    // read-back contact 32.
    EXPECT_EQ(MirrorContact(25, 24), 0);
    CpldRouting r;
    RouteSignal(r, "CLK_ENE", MirrorContact(25, 24));
    EXPECT_EQ(r.driveMask, (Mask{}));
    RouteSignal(r, "D_FROM_ENE", MirrorContact(25, 24));
    EXPECT_EQ(r.inputSelect, 0x9F);
}

std::vector<uint8_t> RegisterFrames(std::initializer_list<std::pair<int, int>> regs) {
    std::vector<uint8_t> out;
    for (auto [reg, value] : regs) {
        out.insert(out.end(), {'S', 'W', static_cast<uint8_t>(reg), static_cast<uint8_t>(value)});
    }
    return out;
}

TEST(WriteRouting, OrdersAAndBOnTheWire) {
    CpldRouting r;
    r.driveMask = {0x11, 0x12, 0x13, 0x14};
    r.selLowMask = {0x21, 0x22, 0x23, 0x24};
    r.selHighMask = {0x31, 0x32, 0x33, 0x34};
    r.inputSelect = 0x85;
    {
        ScriptedProgram s;
        WriteRouting(s.p.link, r, WriteOrder::A);
        EXPECT_EQ(s.driver.written, RegisterFrames({{36, 0x31},
                                                    {32, 0x21},
                                                    {37, 0x32},
                                                    {33, 0x22},
                                                    {38, 0x33},
                                                    {34, 0x23},
                                                    {39, 0x34},
                                                    {35, 0x24},
                                                    {16, 0x11},
                                                    {17, 0x12},
                                                    {18, 0x13},
                                                    {19, 0x14},
                                                    {64, 0x85}}));
        // Every write waited for its acknowledgement.
        EXPECT_TRUE(s.driver.rx.empty());
    }
    {
        ScriptedProgram s;
        WriteRouting(s.p.link, r, WriteOrder::B);
        EXPECT_EQ(s.driver.written, RegisterFrames({{64, 0x85},
                                                    {36, 0x31},
                                                    {32, 0x21},
                                                    {37, 0x32},
                                                    {33, 0x22},
                                                    {38, 0x33},
                                                    {34, 0x23},
                                                    {39, 0x34},
                                                    {35, 0x24},
                                                    {16, 0x11},
                                                    {17, 0x12},
                                                    {18, 0x13},
                                                    {19, 0x14}}));
    }
}

TEST(WriteRouting, AMissingAcknowledgementEndsTheWait) {
    ScriptedProgram s;
    int frames = 0;
    s.driver.onWrite = [&](ScriptDriver& d, const std::vector<uint8_t>&) {
        if (++frames < 5) d.rx.push_back('A');
    };
    CpldRouting r;
    EXPECT_THROW(WriteRouting(s.p.link, r, WriteOrder::A), JigNoAnswer);
    EXPECT_EQ(frames, 5);
}

const std::vector<uint8_t> kProbe = {'S',  'R', 'S', 'W', 16,   0x01, 'S', 'W', 19,
                                     0x80, 'S', 'W', 64,  0xA0, 'S',  'r', 'S', 'R'};

TEST(SendExtBoardSettings, ProbeAnswersGiveTheOrientation) {
    struct Case {
        uint8_t byte0, byte3;
        uint8_t orientation;
        const char* message;  // red, nullptr when found
    };
    const Case cases[] = {
        {0xFC, 0xFF, kExtStraight, nullptr},
        {0xFF, 0x3F, kExtMirrored, nullptr},
        {0xFC, 0x3F, kExtFault, "\n External board fault (jmp 1-2 and 31-32)!\n\n"},
        {0xFF, 0xFF, kExtNotFound, "\n External board not found/connected!\n\n"},
        {0xFE, 0x7F, kExtNotFound,
         "\n External board not found/connected!\n\n"},  // one contact of each pair
    };
    for (const Case& c : cases) {
        ScriptedProgram s;
        s.levels = {c.byte0, 0x00, 0x00, c.byte3};
        const bool ok = SendExtBoardSettings(s.p, kExtBoardEne);
        EXPECT_EQ(s.p.State<ExtBoardState>().orientation.load(), c.orientation);
        EXPECT_EQ(ok, c.message == nullptr);
        if (c.message) {
            EXPECT_EQ(s.ui.LogText(colors::Red), c.message);
            // Nothing routed: the CPLD is left reset after the probe.
            EXPECT_EQ(s.driver.written, kProbe);
        }
    }
}

TEST(SendExtBoardSettings, EneBoardMirroredRouting) {
    ScriptedProgram s;
    s.levels = {0xFF, 0xFF, 0xFF, 0x3F};
    ASSERT_TRUE(SendExtBoardSettings(s.p, kExtBoardEne));
    CpldRouting expected;
    RouteSignal(expected, "ZERO", 22);
    RouteSignal(expected, "ZERO", 13);
    RouteSignal(expected, "CS_ENE", 20);
    RouteSignal(expected, "D_FROM_ENE", 19);
    RouteSignal(expected, "D_TO_ENE", 16);
    RouteSignal(expected, "CLK_ENE", 21);
    std::vector<uint8_t> frames = kProbe;
    for (auto [reg, value] : RoutingRegisters(expected, WriteOrder::A))
        frames.insert(frames.end(), {'S', 'W', reg, value});
    EXPECT_EQ(s.driver.written, frames);
    std::array<uint8_t, 256> regs{};
    for (auto [reg, value] : RoutingRegisters(s.p.State<CpldRouting>(), WriteOrder::A))
        regs[reg] = value;
    EXPECT_EQ(Picture(regs), (CpldPicture{{{22, 3}, {13, 3}, {20, 2}, {16, 1}, {21, 0}}, 19}));
}

TEST(SendExtBoardSettings, NuvotonBoardStraightRoutingAndUnknownType) {
    ScriptedProgram s;
    s.levels = {0xFC, 0xFF, 0xFF, 0xFF};
    ASSERT_TRUE(SendExtBoardSettings(s.p, kExtBoardNuvoton));
    std::array<uint8_t, 256> regs{};
    for (auto [reg, value] : RoutingRegisters(s.p.State<CpldRouting>(), WriteOrder::A))
        regs[reg] = value;
    EXPECT_EQ(Picture(regs), (CpldPicture{{{11, 3}, {20, 3}, {7, 2}, {10, 1}, {8, 0}}, 18}));

    ScriptedProgram none;
    none.levels = {0xFC, 0xFF, 0xFF, 0xFF};
    EXPECT_FALSE(SendExtBoardSettings(none.p, -1));
    EXPECT_EQ(none.driver.written, kProbe);
    EXPECT_TRUE(none.ui.Entries().empty());
}

TEST(SendExtBoardSettings, IteBoardFramesSupplyOffAndAnswer) {
    for (bool mirrored : {false, true}) {
        ScriptedProgram s;
        s.levels = mirrored ? std::array<uint8_t, 4>{0xFF, 0xFF, 0xFF, 0x3F}
                            : std::array<uint8_t, 4>{0xFC, 0xFF, 0xFF, 0xFF};
        s.tAnswer = '*';
        s.p.State<ItePinMap>().KSI4 = 13;
        std::vector<std::vector<uint8_t>> frames;
        s.driver.onWrite = [&](ScriptDriver& d, const std::vector<uint8_t>& f) {
            frames.push_back(f);
            if (f[0] == 'S' && f[1] == 'r')
                d.rx.insert(d.rx.end(), s.levels.begin(), s.levels.end());
            else if (f == std::vector<uint8_t>{'T', '0'})
                d.rx.push_back('&');
            else if (f.size() == 3 && f[0] != 'S')
                d.rx.push_back('+');
            else
                d.rx.push_back(f[0] == 'T' ? '*' : 'A');
        };
        ASSERT_TRUE(SendExtBoardSettings(s.p, kExtBoardIte)) << mirrored;
        auto m = [&](int c) { return static_cast<uint8_t>(mirrored ? 33 - c : c); };
        const std::vector<std::vector<uint8_t>> expected = {
            {'T', 'S'},        {'I', 'N', m(4)},  {'D', 'S', m(5)},  {'A', 'S', m(3)},
            {'W', 'R', m(6)},  {'B', 'L', m(22)}, {'d', '0', m(32)}, {'d', '1', m(31)},
            {'d', '2', m(30)}, {'d', '3', m(29)}, {'d', '4', m(28)}, {'d', '5', m(27)},
            {'d', '6', m(26)}, {'d', '7', m(25)}, {'P', 'W', m(20)}, {'R', 'S', m(11)},
            {'Q', 'Q', 0x51},  {'T', '0'}};
        ASSERT_GE(frames.size(), expected.size());
        EXPECT_EQ(std::vector<std::vector<uint8_t>>(
                      frames.end() - static_cast<long>(expected.size()), frames.end()),
                  expected);
        EXPECT_EQ(s.p.State<ItePinMap>().KSI4, 13);  // left as it was
        EXPECT_EQ(s.p.State<ItePinMap>().INIT, m(4));
    }
}

TEST(SendExtBoardSettings, IteBoardSupplyAnswerOtherThanAmpersandFails) {
    ScriptedProgram s;
    s.levels = {0xFC, 0xFF, 0xFF, 0xFF};
    s.driver.onWrite = [&](ScriptDriver& d, const std::vector<uint8_t>& f) {
        if (f[0] == 'S' && f[1] == 'r')
            d.rx.insert(d.rx.end(), s.levels.begin(), s.levels.end());
        else if (f == std::vector<uint8_t>{'T', 'S'})
            d.rx.push_back('*');
        else if (f == std::vector<uint8_t>{'T', '0'})
            d.rx.push_back('e');
        else
            d.rx.push_back(f.size() == 3 && f[0] != 'S' ? '+' : 'A');
    };
    EXPECT_FALSE(SendExtBoardSettings(s.p, kExtBoardIte));
    EXPECT_TRUE(s.ui.Entries().empty());
}

TEST(ExtBoardPower, SupplyRegistersByOrientation) {
    struct Case {
        uint8_t orientation;
        std::vector<uint8_t> on;
    };
    for (const Case& c : {Case{kExtStraight, RegisterFrames({{10, 0x08}, {9, 0x04}})},
                          Case{kExtMirrored, RegisterFrames({{9, 0x10}, {10, 0x20}})},
                          Case{kExtNotFound, RegisterFrames({{10, 0x08}, {9, 0x04}})}}) {
        ScriptedProgram s;
        s.p.State<ExtBoardState>().orientation = c.orientation;
        ExtBoardPower(s.p, "ON");
        EXPECT_EQ(s.driver.written, c.on) << int(c.orientation);
        s.driver.written.clear();
        ExtBoardPower(s.p, "OFF");
        EXPECT_EQ(s.driver.written, RegisterFrames({{8, 0}, {9, 0}, {10, 0}, {11, 0}}));
    }
}

TEST(ExtBoardPowerIte, FirmwareFramesAndAnswers) {
    ScriptedProgram s;
    std::vector<uint8_t> answers = {'x', 'y', 'z'};
    size_t n = 0;
    s.driver.onWrite = [&](ScriptDriver& d, const std::vector<uint8_t>&) {
        d.rx.push_back(answers[n++]);
    };
    EXPECT_EQ(ExtBoardPowerIte(s.p, "ON"), 'y');  // the answer to 'T' '2'
    EXPECT_EQ(ExtBoardPowerIte(s.p, "OFF"), 'z');
    EXPECT_EQ(s.driver.written, (std::vector<uint8_t>{'T', '1', 'T', '2', 'T', '0'}));
}

TEST(IsExternalMode, ByTheSelectorText) {
    ScriptedProgram s;
    EXPECT_FALSE(IsExternalMode(s.p));
    s.p.form.SetItemIndex("CBox_Selector", 8);
    EXPECT_TRUE(IsExternalMode(s.p));
}

}  // namespace
}  // namespace zjig::test
