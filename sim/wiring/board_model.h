// The simulated board model: what the JIG's connector meets (the bench of
// bench_setup.h) and how the CPLD routing and the firmware's ITE pins reach
// it. Installs the contact levels read by 'S' 'r', the chip reachability tests
// of SimReach, and the firmware's 'T' frames of the board wiring:
//
//   'T' 'S'          enter the setup mode, answered '*'. The firmware then
//                    stays in a sub-loop of the 'T' handler reading three-byte
//                    pin frames (IN, DS, AS, WR, K4, K5, BL, d0..d7, PW, RS
//                    and a contact number), each answered '+', until the end
//                    frame QQ 0x51 ('+' too), which makes the pins the held
//                    ones. Only in that sub-loop are pin frames read: their
//                    first bytes ('I', 'D', 'A', 'W', 'K', 'B', 'd', 'P', 'R',
//                    'Q') are other commands in the main loop. An unknown
//                    frame is answered '-' and a frame a test made fail 'e';
//                    either ends the setup mode with no pins held. The
//                    firmware does not check the contact numbers.
//   'T' '0'          external ITE board supply off, answered '&'.
//   'T' '1', 'T' '2' the two steps of switching it on, each answered '&'.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "sim/wiring/bench_setup.h"

namespace zjig::sim {

class SimJig;

// Installs the board model on a JIG with the default bench.
void InstallWiringSim(SimJig& jig);

// The firmware's ITE pin state.
struct SimIteFirmware {
    // The pins of the last completed setup, by frame name ("IN", "d0", "PW").
    std::map<std::string, uint8_t> heldPins;
    bool pinsHeld = false;
    // Every pin frame taken since the JIG started, in order ("IN=29").
    std::vector<std::string> framesSeen;
    // The external ITE board's supply, switched by 'T' '1' and 'T' '2'.
    bool supplyStep1 = false;
    bool supplyOn = false;
    // Faults a test injects: the pin frame of this name is answered 'e';
    // 'T' 'S' is refused with 'e'.
    std::string failFrame;
    bool refuseSetup = false;
};
SimIteFirmware IteFirmwareState(SimJig& jig);
void FailItePinFrame(SimJig& jig, const std::string& frameName);
void RefuseIteSetup(SimJig& jig, bool refuse);

// Whether each chip of the bench can be reached now (the same tests as
// SimReach; the ITE controller has its own).
bool EneReachable(const SimJig& jig);
bool NuvotonJtagReachable(const SimJig& jig);
bool NuvotonSpiReachable(const SimJig& jig);
bool IteReachable(const SimJig& jig);
// The external board's supply through the CPLD supply mask.
bool ExternalSupplyOn(const SimJig& jig);

}  // namespace zjig::sim
