// The external adapter board's supply, as the chip families switch it around
// their operations.
#pragma once

#include <cstdint>
#include <string>

namespace zjig {

struct Program;

// External mode: the mode selector's text contains "External".
bool IsExternalMode(Program& p);
// Switches the supply through the CPLD supply mask: "ON" or "OFF".
void ExtBoardPower(Program& p, const std::string& onOff);
// Switches the supply through the JIG firmware; returns the JIG's answer byte.
uint8_t ExtBoardPowerIte(Program& p, const std::string& onOff);

}  // namespace zjig
