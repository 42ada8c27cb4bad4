// What is attached to the simulated JIG's connector: a motherboard joined
// through its keyboard connector (a flat cable of some size, straight or
// mirrored) or through soldered wires, an external adapter board plugged in
// straight or mirrored, or nothing. Tests and the demonstration configure it;
// the board model (board_model.h) answers from it.
//
// The model of the connection:
// - Keyboard cable of N contacts: motherboard contact c arrives at JIG contact
//   c (straight) or N - c + 1 (mirrored); a contact beyond N is not connected.
//   A chip answers only when the CPLD drives each of its input signals with
//   the right signal code at the JIG contact its wiring implies, reads back
//   (register 64) the contact of its data output, and does not drive that
//   contact.
// - Soldered wires: the JIG's soldering cable is soldered to the chip's
//   signals, and the CPLD in its reset state (no contact driven, no read-back
//   selected) passes the soldering cable straight through; any routing
//   written to the CPLD cuts it off. The ENE on the board is reached so.
// - The SPI wires of a Nuvoton controller ("nuvotonSpiWired") are reached the
//   same way, whatever joins the keyboard connector.
// - Contact levels ('S' 'r'): every contact is pulled high; a contact the
//   CPLD drives ZERO reads low, and so does every driven contact while
//   register 64 has bit 5 set (the external-board probe's test drive).
// - External board: a jumper joins its contacts 1-2 (straight) or 31-32
//   (mirrored), so the probe, which drives contacts 1 and 32 low, reads the
//   pair low; a faulty board has both jumpers. Its chip is reached only
//   with its supply on (CPLD supply mask at the two supply contacts, or the
//   firmware's 'T' '1' then 'T' '2' for the ITE board) and its signals routed
//   at the board's contacts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace zjig::sim {

class SimJig;

// Keyboard-connector contacts of each chip's programming signals.
struct SimEneWiring {
    uint8_t kso3 = 0, ksi4 = 0, ksi5 = 0, ksi6 = 0, ksi7 = 0;
};
struct SimNuvotonJtagWiring {
    uint8_t jenk = 0, tck = 0, tms = 0, tdi = 0, tdo = 0;
};
struct SimIteWiring {
    uint8_t init = 0, afd = 0, slin = 0, stb = 0, ksi4 = 0, ksi5 = 0, busy = 0;
    std::array<uint8_t, 8> pd{};
};

struct SimMotherboard {
    std::string name;
    std::optional<SimEneWiring> ene;
    std::optional<SimNuvotonJtagWiring> nuvotonJtag;
    std::optional<SimIteWiring> ite;
    // A Nuvoton controller's SPI flash wired to the JIG's soldering cable.
    bool nuvotonSpiWired = false;
};

enum class SimJoin { KeyboardCable, SolderedWires };
enum class SimExtType { Ene, Ite, Nuvoton };

struct SimExternalBoard {
    SimExtType type = SimExtType::Ene;
    bool mirrored = false;
    // Both jumper pairs fitted: a faulty board whose chip never answers.
    bool faultyJumpers = false;
};

struct SimBench {
    enum class Attached { Nothing, Motherboard, ExternalBoard };
    Attached attached = Attached::Nothing;
    SimMotherboard board;
    SimJoin join = SimJoin::KeyboardCable;
    uint8_t cableContacts = 30;
    bool cableMirrored = false;
    SimExternalBoard external;
};

// The demonstration bench: the ENE motherboard "LA-8681P (JKB1)" with KSO3 at
// 18, KSI4 at 5, KSI7 at 2, KSI6 at 3 and KSI5 at 6, on a 30-contact straight
// cable; on the same board the Nuvoton JTAG signals at the default contacts
// (JENK 7, TCK 19, TMS 20, TDI 21, TDO 10), the ITE signals of the first line
// of the example ITE list, and a Nuvoton SPI flash on the soldering cable.
// These match the first lines of the example lists in data/.
SimBench DefaultBench();
// An external board of a type, plugged in straight or mirrored.
SimBench ExternalBench(SimExtType type, bool mirrored);

// Replaces what is attached to the JIG (any thread).
void SetBench(SimJig& jig, const SimBench& bench);
SimBench GetBench(SimJig& jig);

// The JIG contact a keyboard-connector contact arrives at through the bench's
// cable; 0 when it arrives nowhere.
uint8_t JigContactOf(const SimBench& bench, uint8_t keyboardContact);

}  // namespace zjig::sim
