// The JIG wire protocol: the host's command frames, byte for byte.
//
// Frames are raw bytes built at the start of the link's transfer buffer and
// written in one call; answers are read into the start of the same buffer.
// Waits block on the driver and end with JigNoAnswer at the time limit.
#pragma once

#include <cstdint>
#include <string>

#include "link/jig_link.h"

namespace zjig {

// Named frames: "RESET_ALTERA", "WR_ALTERA_REG", "RD_ALTERA_REG",
// "OneByteSend", "TwoBytesSend", "ByteSendNoReadByte",
// "TwoBytesSendNoReadByte", "ITEadressZerro", "SPI_OFF", "SPI_ON",
// "Test-Logic-Reset". The answer byte (four for "RD_ALTERA_REG") is left at
// the start of the buffer. An unknown name throws std::invalid_argument.
void SendJigCommand(JigLink& link, const std::string& name, uint8_t a = 0, uint8_t b = 0);

// "IR_SHIFT", "DR_SHIFT" (8-bit value) or "DR_SHIFT_32" (32-bit value,
// answer of 4 bytes, least significant first, left in the buffer).
void JtagShift(JigLink& link, const std::string& name, uint32_t value);

uint32_t MecReadJtagId(JigLink& link);
// Eight upper-case hex digits of the first four answer bytes in the order received.
std::string MecReadWord(JigLink& link, uint32_t address);
// True when the JIG did not confirm the write (answer other than 0x01).
bool MecWriteWord(JigLink& link, uint32_t address, uint32_t value);

// 'T' frames by type 1..7; returns the answer byte.
uint8_t TCommand(JigLink& link, int type, uint8_t value = 0);
// True when both the register and the value frame were answered 'o'.
bool TWriteReg(JigLink& link, uint8_t reg, uint8_t value);
// True when the JIG answered '+'.
bool SendFrame3(JigLink& link, uint8_t a, uint8_t b, uint8_t c);

}  // namespace zjig
