// "Send settings to the programmer": turns the mode, the motherboard line,
// the cable and the 1-to-1 box (or the external board's type) into the JIG's
// pin routing, reports every outcome and leaves the window's controls in the
// matching state. Also the registration of the whole board-wiring subsystem.
#pragma once

namespace zjig {

struct Program;

// The button's handler (window thread). Does nothing while a job runs.
void BitBtn_SendSettingsClick(Program& p);
// The Nuvoton JTAG settings sequence, with the link open.
void SendNuvotonJtagSettings(Program& p);
// A board type was picked: the send button becomes usable.
void RadioGroup_EXT_BOARDClick(Program& p);

// Attaches the board-wiring subsystem: the motherboard list hook, the named
// handlers of the list boxes, the send button and the radio group, and the
// labels of the ENE soldering window.
void RegisterWiring(Program& p);

}  // namespace zjig
