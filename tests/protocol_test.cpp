// The wire protocol's frames, byte for byte, and its two waiting rules.
#include <gtest/gtest.h>

#include "app/program.h"
#include "link/protocol.h"
#include "tests/support/script_driver.h"

namespace zjig::test {
namespace {

// A link opened on a scripted driver.
struct ScriptLink {
    ScriptDriver driver;
    WaitLimits limits;
    JigLink link;
    ScriptLink() {
        link.driver = &driver;
        link.limits = &limits;
        link.handle = 1;
        link.isOpen = true;
        limits.idleMs = 50;
    }
};

struct FrameCase {
    const char* name;
    uint8_t a, b;
    std::vector<uint8_t> sent;
    uint32_t answerBytes;  // bytes the frame waits for
};

TEST(SendJigCommand, SendsEveryNamedFrameByteForByte) {
    const std::vector<FrameCase> cases = {
        {"RESET_ALTERA", 0, 0, {0x53, 0x52}, 1},
        {"WR_ALTERA_REG", 64, 0xA0, {0x53, 0x57, 64, 0xA0}, 1},
        {"RD_ALTERA_REG", 0, 0, {0x53, 0x72}, 4},
        {"OneByteSend", 'I', 0, {0x49}, 1},
        {"TwoBytesSend", 'K', 'V', {0x4B, 0x56}, 1},
        {"ByteSendNoReadByte", 'N', 0, {0x4E}, 0},
        {"TwoBytesSendNoReadByte", 'K', 'R', {0x4B, 0x52}, 0},
        {"ITEadressZerro", 0, 0, {0x54, 0x59, 0, 0, 0}, 1},
        {"SPI_OFF", 0, 0, {0x4A, 0x58}, 1},
        {"SPI_ON", 0, 0, {0x4A, 0x53}, 1},
        {"Test-Logic-Reset", 0, 0, {0x4A, 0x31}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptLink s;
        // Two more answer bytes than awaited: a frame must take exactly its own.
        for (uint32_t i = 0; i < c.answerBytes + 2; ++i) s.driver.rx.push_back(0x10 + i);
        SendJigCommand(s.link, c.name, c.a, c.b);
        EXPECT_EQ(s.driver.written, c.sent);
        EXPECT_EQ(s.driver.rx.size(), 2u);
        for (uint32_t i = 0; i < c.answerBytes; ++i) EXPECT_EQ(s.link.buffer[i], 0x10 + i);
    }
}

TEST(SendJigCommand, NoReadFramesReturnAtOnceLeavingTheAnswerQueued) {
    ScriptLink s;
    s.driver.Queue({'G'});
    SendJigCommand(s.link, "ByteSendNoReadByte", 'N');
    SendJigCommand(s.link, "TwoBytesSendNoReadByte", 'K', 'W');
    EXPECT_TRUE(s.driver.readSizes.empty());
    EXPECT_EQ(s.driver.rx.size(), 1u);
}

TEST(SendJigCommand, QueueWaitNeverConsumesAPartialAnswer) {
    ScriptLink s;
    s.driver.Queue({1, 2});
    int starved = 0;
    s.driver.onStarve = [&](ScriptDriver& d) {
        if (++starved == 3) d.Queue({3, 4});
    };
    SendJigCommand(s.link, "RD_ALTERA_REG");
    EXPECT_EQ(s.driver.readSizes, (std::vector<uint32_t>{4}));
    EXPECT_EQ(std::vector<uint8_t>(s.link.buffer.begin(), s.link.buffer.begin() + 4),
              (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST(SendJigCommand, AnUnknownNameIsRefused) {
    ScriptLink s;
    EXPECT_THROW(SendJigCommand(s.link, "NO_SUCH_FRAME"), std::invalid_argument);
    EXPECT_TRUE(s.driver.written.empty());
}

TEST(JtagShift, Frames) {
    {
        ScriptLink s;
        s.driver.Queue({0x78, 0x56, 0x34, 0x12});
        JtagShift(s.link, "DR_SHIFT_32", 0x12345678);
        EXPECT_EQ(s.driver.written, (std::vector<uint8_t>{0x4A, 0x44, 0x78, 0x56, 0x34, 0x12}));
        EXPECT_EQ(s.link.lastRead, 4u);
    }
    {
        ScriptLink s;
        s.driver.Queue({1, 2});
        JtagShift(s.link, "IR_SHIFT", 0x1FE);
        JtagShift(s.link, "DR_SHIFT", 0x07);
        EXPECT_EQ(s.driver.written, (std::vector<uint8_t>{0x4A, 0x69, 0xFE, 0x4A, 0x64, 0x07}));
    }
}

TEST(MecFrames, ReadJtagIdWordAndWrite) {
    {
        ScriptLink s;
        s.driver.Queue({'A', 'A', 'A', 0x12, 0x34, 0x56, 0x78});
        EXPECT_EQ(MecReadJtagId(s.link), 0x12345678u);
        EXPECT_EQ(s.driver.written,
                  (std::vector<uint8_t>{'S', 'R', 'J', 'X', 'J', '1', 'M', 'j'}));
    }
    {
        ScriptLink s;
        s.driver.Queue({0xAB, 0x01, 0xC2, 0x0F, 0x99});
        EXPECT_EQ(MecReadWord(s.link, 0xFF390C), "AB01C20F");
        EXPECT_EQ(s.driver.written, (std::vector<uint8_t>{0x4D, 0x72, 0x00, 0xFF, 0x39, 0x0C}));
        EXPECT_EQ(s.link.buffer[3], 0x0F);  // callers test bits of the fourth byte
    }
    struct WriteCase {
        uint8_t answer;
        bool failed;
    };
    for (auto c : {WriteCase{0x01, false}, WriteCase{0x00, true}, WriteCase{0xFF, true}}) {
        ScriptLink s;
        s.driver.Queue({c.answer});
        EXPECT_EQ(MecWriteWord(s.link, 0x00FF3904, 0xCAFEBABE), c.failed);
        EXPECT_EQ(s.driver.written, (std::vector<uint8_t>{0x4D, 0x77, 0x00, 0xFF, 0x39, 0x04, 0xCA,
                                                          0xFE, 0xBA, 0xBE}));
    }
}

TEST(TFrames, CommandsByType) {
    const std::vector<std::pair<int, std::vector<uint8_t>>> cases = {
        {1, {0x54, 0x54}}, {2, {0x54, 0x41, 0x33}}, {3, {0x54, 0x44, 0x33}}, {4, {0x54, 0x52}},
        {5, {0x54, 0x53}}, {6, {0x54, 0x33}},       {7, {0x54, 0x39}},
    };
    for (const auto& [type, bytes] : cases) {
        SCOPED_TRACE(type);
        ScriptLink s;
        s.driver.Queue({'o'});
        EXPECT_EQ(TCommand(s.link, type, 0x33), 'o');
        EXPECT_EQ(s.driver.written, bytes);
    }
}

TEST(TFrames, WriteRegSendsNoValueAfterARefusedRegister) {
    for (uint8_t refusal : {uint8_t{'e'}, uint8_t{'x'}}) {
        ScriptLink s;
        s.driver.Queue({refusal, 'o'});
        EXPECT_FALSE(TWriteReg(s.link, 0x2F, 0x80));
        EXPECT_EQ(s.driver.written, (std::vector<uint8_t>{'T', 'A', 0x2F}));
    }
    ScriptLink s;
    s.driver.Queue({'o', 'o'});
    EXPECT_TRUE(TWriteReg(s.link, 0x2F, 0x80));
    EXPECT_EQ(s.driver.written, (std::vector<uint8_t>{'T', 'A', 0x2F, 'T', 'D', 0x80}));
    ScriptLink t;
    t.driver.Queue({'o', 'e'});
    EXPECT_FALSE(TWriteReg(t.link, 1, 2));
}

TEST(SendFrame3, AcceptedOnlyWithPlus) {
    for (auto [answer, ok] : {std::pair<uint8_t, bool>{'+', true}, {'-', false}, {'*', false}}) {
        ScriptLink s;
        s.driver.Queue({answer});
        EXPECT_EQ(SendFrame3(s.link, 'I', 'N', 29), ok);
        EXPECT_EQ(s.driver.written, (std::vector<uint8_t>{'I', 'N', 29}));
    }
}

TEST(Waits, SilenceEndsWithNoAnswerNamingTheWait) {
    ScriptLink s;
    s.link.context = "block 17 of 512";
    try {
        SendJigCommand(s.link, "WR_ALTERA_REG", 16, 1);
        FAIL() << "no answer was awaited";
    } catch (const JigNoAnswer& e) {
        EXPECT_FALSE(e.DeviceGone());
        EXPECT_NE(std::string(e.what()).find("'S' 'W'"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("block 17 of 512"), std::string::npos);
    }
}

TEST(Waits, AGoneDeviceEndsTheWaitAtOnce) {
    ScriptLink s;
    s.limits.idleMs = 60000;
    s.driver.onStarve = [](ScriptDriver& d) { d.gone = true; };
    try {
        SendJigCommand(s.link, "RESET_ALTERA");
        FAIL();
    } catch (const JigNoAnswer& e) {
        EXPECT_TRUE(e.DeviceGone());
    }
}

TEST(Waits, ALinkThatIsNotOpenCannotBeWaitedOn) {
    ScriptLink s;
    s.link.isOpen = false;
    EXPECT_THROW(s.link.ReadAck("anything"), JigNoAnswer);
    SendJigCommand(s.link, "ByteSendNoReadByte", 'X');  // writes on a closed link are dropped
    EXPECT_TRUE(s.driver.written.empty());
}

}  // namespace
}  // namespace zjig::test
