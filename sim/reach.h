// Whether a simulated chip can be reached: its programming signals must be
// driven and read back at the JIG contacts that the CPLD routing, the cable
// and the board wiring (or the external board and its supply) imply. The
// board model installs these tests; a chip model asks them before it answers.
// Until a board model is installed every chip is reachable.
#pragma once

#include <functional>

namespace zjig::sim {

class SimJig;

struct SimReach {
    // The ENE KB90xx (on the motherboard or on the external board).
    std::function<bool(const SimJig&)> ene = [](const SimJig&) { return true; };
    // The Nuvoton controller over JTAG.
    std::function<bool(const SimJig&)> nuvotonJtag = [](const SimJig&) { return true; };
    // The Nuvoton controller over SPI on the external board.
    std::function<bool(const SimJig&)> nuvotonSpi = [](const SimJig&) { return true; };
};

}  // namespace zjig::sim
