// The simulated LCD panel behind the JIG's EDID connector: a 256-byte
// EEPROM (24C02-like) that the JIG firmware reads with 'E' 'r' and writes
// with 'E' 'w'.
#pragma once

#include <array>
#include <cstdint>

namespace zjig::sim {

class SimJig;

// The panel's state, reached with jig.Part<SimEdidPanel>() under
// jig.StateMutex().
struct SimEdidPanel {
    SimEdidPanel();
    std::array<uint8_t, 256> bytes;
    // No panel on the connector: the EEPROM does not acknowledge, reads give
    // 0xFF and a status other than 'O' 'K', writes store nothing.
    bool connected = true;
    // The write-protect pin is high: writes are refused and store nothing.
    bool writeProtect = false;
    // Fault: the firmware sends this many bytes more after a read answer.
    uint32_t extraAnswerBytes = 0;
};

// The status the firmware sends when the EEPROM did not acknowledge.
inline constexpr uint8_t kSimEdidError[2] = {'E', 'R'};

// The EEPROM of a 15.6" 1366x768 laptop panel: an EDID 1.3 base block
// ("LGD", product 0x0469, made week 12 of 2012, monitor name
// "LP156WH4-TLN2", valid checksum) followed by 128 bytes of 0xFF.
std::array<uint8_t, 256> DefaultPanelEdid();

// Installs the 'E' command handler.
void InstallSimEdid(SimJig& jig);

}  // namespace zjig::sim
