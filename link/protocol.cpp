#include "link/protocol.h"

#include <cstdio>
#include <stdexcept>

namespace zjig {

namespace {

std::string ByteText(uint8_t b) {
    char buf[16];
    if (b >= 0x20 && b < 0x7F)
        std::snprintf(buf, sizeof buf, "'%c'", b);
    else
        std::snprintf(buf, sizeof buf, "0x%02X", b);
    return buf;
}

// Sends the first n buffer bytes, then waits for a one-byte acknowledgement.
void SendAndAck(JigLink& link, uint32_t n, const std::string& name) {
    link.WriteBuffer(n);
    link.ReadAck("answer to " + name);
}

}  // namespace

void SendJigCommand(JigLink& link, const std::string& name, uint8_t a, uint8_t b) {
    auto& buf = link.buffer;
    if (name == "RESET_ALTERA") {
        buf[0] = 'S', buf[1] = 'R';
        SendAndAck(link, 2, "'S' 'R' (CPLD reset)");
    } else if (name == "WR_ALTERA_REG") {
        buf[0] = 'S', buf[1] = 'W', buf[2] = a, buf[3] = b;
        SendAndAck(link, 4, "'S' 'W' (CPLD register " + std::to_string(a) + ")");
    } else if (name == "RD_ALTERA_REG") {
        buf[0] = 'S', buf[1] = 'r';
        link.WriteBuffer(2);
        link.ReadExactly(4, "answer to 'S' 'r' (CPLD contact levels)");
    } else if (name == "OneByteSend") {
        buf[0] = a;
        SendAndAck(link, 1, ByteText(a));
    } else if (name == "TwoBytesSend") {
        buf[0] = a, buf[1] = b;
        SendAndAck(link, 2, ByteText(a) + " " + ByteText(b));
    } else if (name == "ByteSendNoReadByte") {
        buf[0] = a;
        link.WriteBuffer(1);
    } else if (name == "TwoBytesSendNoReadByte") {
        buf[0] = a, buf[1] = b;
        link.WriteBuffer(2);
    } else if (name == "ITEadressZerro") {
        buf[0] = 'T', buf[1] = 'Y', buf[2] = 0, buf[3] = 0, buf[4] = 0;
        SendAndAck(link, 5, "'T' 'Y' (ITE address zero)");
    } else if (name == "SPI_OFF") {
        buf[0] = 'J', buf[1] = 'X';
        SendAndAck(link, 2, "'J' 'X' (SPI off)");
    } else if (name == "SPI_ON") {
        buf[0] = 'J', buf[1] = 'S';
        SendAndAck(link, 2, "'J' 'S' (SPI on)");
    } else if (name == "Test-Logic-Reset") {
        buf[0] = 'J', buf[1] = '1';
        SendAndAck(link, 2, "'J' '1' (JTAG Test-Logic-Reset)");
    } else {
        throw std::invalid_argument("unknown JIG command " + name);
    }
}

void JtagShift(JigLink& link, const std::string& name, uint32_t value) {
    auto& buf = link.buffer;
    if (name == "IR_SHIFT" || name == "DR_SHIFT") {
        buf[0] = 'J';
        buf[1] = name == "IR_SHIFT" ? 'i' : 'd';
        buf[2] = static_cast<uint8_t>(value);
        SendAndAck(link, 3, name == "IR_SHIFT" ? "'J' 'i' (IR shift)" : "'J' 'd' (DR shift)");
    } else if (name == "DR_SHIFT_32") {
        buf[0] = 'J', buf[1] = 'D';
        for (int i = 0; i < 4; ++i) buf[2 + i] = static_cast<uint8_t>(value >> (8 * i));
        link.WriteBuffer(6);
        // The answer is read by a read of up to four bytes once any has come
        // (the read itself waits up to the link's read time-out for the rest).
        link.WaitQueue(1, "answer to 'J' 'D' (32-bit DR shift)");
        uint32_t got = 0;
        link.driver->Read(link.handle, buf.data(), 4, got);
        link.lastRead = got;
    } else {
        throw std::invalid_argument("unknown JTAG shift " + name);
    }
}

uint32_t MecReadJtagId(JigLink& link) {
    SendJigCommand(link, "RESET_ALTERA");
    SendJigCommand(link, "TwoBytesSend", 'J', 'X');
    SendJigCommand(link, "TwoBytesSend", 'J', '1');
    SendJigCommand(link, "TwoBytesSendNoReadByte", 'M', 'j');
    link.ReadExactly(4, "answer to 'M' 'j' (MEC JTAG ID)");
    const auto& b = link.buffer;
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

std::string MecReadWord(JigLink& link, uint32_t address) {
    auto& buf = link.buffer;
    buf[0] = 'M', buf[1] = 'r';
    for (int i = 0; i < 4; ++i) buf[2 + i] = static_cast<uint8_t>(address >> (24 - 8 * i));
    link.WriteBuffer(6);
    link.ReadExactly(5, "answer to 'M' 'r' (MEC word read)");
    char text[9];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X", buf[0], buf[1], buf[2], buf[3]);
    return text;
}

bool MecWriteWord(JigLink& link, uint32_t address, uint32_t value) {
    auto& buf = link.buffer;
    buf[0] = 'M', buf[1] = 'w';
    for (int i = 0; i < 4; ++i) buf[2 + i] = static_cast<uint8_t>(address >> (24 - 8 * i));
    for (int i = 0; i < 4; ++i) buf[6 + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    link.WriteBuffer(10);
    return link.ReadAck("answer to 'M' 'w' (MEC word write)") != 0x01;
}

uint8_t TCommand(JigLink& link, int type, uint8_t value) {
    auto& buf = link.buffer;
    buf[0] = 'T';
    uint32_t n = 2;
    switch (type) {
        case 1: buf[1] = 'T'; break;
        case 2: buf[1] = 'A', buf[2] = value, n = 3; break;
        case 3: buf[1] = 'D', buf[2] = value, n = 3; break;
        case 4: buf[1] = 'R'; break;
        case 5: buf[1] = 'S'; break;
        case 6: buf[1] = value; break;
        case 7: buf[1] = '9'; break;
        default: throw std::invalid_argument("unknown T command type " + std::to_string(type));
    }
    const std::string what = "answer to 'T' " + ByteText(buf[1]);
    link.WriteBuffer(n);
    return link.ReadAck(what);
}

bool TWriteReg(JigLink& link, uint8_t reg, uint8_t value) {
    if (TCommand(link, 2, reg) != 'o') return false;
    return TCommand(link, 3, value) == 'o';
}

bool SendFrame3(JigLink& link, uint8_t a, uint8_t b, uint8_t c) {
    auto& buf = link.buffer;
    buf[0] = a, buf[1] = b, buf[2] = c;
    link.WriteBuffer(3);
    return link.ReadAck("answer to " + ByteText(a) + " " + ByteText(b) + " " + ByteText(c)) ==
           '+';
}

}  // namespace zjig
