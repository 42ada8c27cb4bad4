// CPLD pin routing: which JIG contact the CPLD drives with which signal,
// which contact it reads back as the data from the chip, the cable mirroring
// rule, the external board's probe and configuration, and the ITE pin frames.
//
// Contacts count 1..32 on the JIG side. In every 32-contact mask contact k is
// bit (k-1) mod 8 of byte (k-1) div 8; a contact outside 1..32 sets no bit.
//
// CPLD registers ("WR_ALTERA_REG" register, value):
//   8..11   supply mask (external board only), contacts 1-8 .. 25-32
//   16..19  driveMask bytes 0..3: the contact is driven
//   32..35  selLowMask bytes 0..3: low bit of the driven contact's signal code
//   36..39  selHighMask bytes 0..3: high bit of the signal code
//   64      inputSelect: bit 7 a read-back contact is selected, bits 0..4 its
//           number minus 1; the external-board probe writes 0xA0
// Signal codes: 0 "CLK_ENE"/"TMS", 1 "D_TO_ENE"/"TCK", 2 "CS_ENE"/"TDI_to_NUV",
// 3 "ZERO" (held at logic 0); "D_FROM_ENE"/"TDO_from_NUV" is the read-back.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace zjig {

struct Program;
struct JigLink;

struct CpldRouting {
    std::array<uint8_t, 4> driveMask{};
    std::array<uint8_t, 4> selHighMask{};
    std::array<uint8_t, 4> selLowMask{};
    // Survives ClearRouting: keeps its last value until a read-back signal is
    // routed again.
    uint8_t inputSelect = 0;
};

// External-board orientation from the last probe.
enum ExtOrientation : uint8_t {
    kExtNotFound = 0,
    kExtMirrored = 1,
    kExtStraight = 2,
    kExtFault = 3,
};

struct ExtBoardState {
    std::atomic<uint8_t> orientation{kExtNotFound};
};

// Board types, the item index of RadioGroup_EXT_BOARD.
inline constexpr int kExtBoardEne = 0;
inline constexpr int kExtBoardIte = 1;
inline constexpr int kExtBoardNuvoton = 2;

// Byte and bit of a contact in a 32-contact mask; false outside 1..32.
bool ContactBit(uint8_t contact, int& byteIndex, uint8_t& bit);
// A mirrored cable of n contacts brings contact c to n - c + 1 (8-bit).
uint8_t MirrorContact(uint8_t contact, uint8_t n);

// Zeroes the three masks; inputSelect is left as it is.
void ClearRouting(CpldRouting& r);
// Routes a named signal to a contact; any other name changes nothing.
void RouteSignal(CpldRouting& r, const std::string& signal, uint8_t contact);

enum class WriteOrder {
    A,  // 36, 32, 37, 33, 38, 34, 39, 35, 16, 17, 18, 19, 64 (ENE, external board)
    B,  // 64, 36, 32, 37, 33, 38, 34, 39, 35, 16, 17, 18, 19 (Nuvoton JTAG)
};
// The thirteen (register, value) pairs in the order given.
std::array<std::array<uint8_t, 2>, 13> RoutingRegisters(const CpldRouting& r, WriteOrder order);
// Writes the thirteen routing registers, each waiting for its acknowledgement.
void WriteRouting(JigLink& link, const CpldRouting& r, WriteOrder order);

// Routes the ENE pin map (already mirrored) after ClearRouting: "ZERO" to
// KSO3, "CS_ENE" to KSI4, "D_FROM_ENE" to KSI7, "D_TO_ENE" to KSI6,
// "CLK_ENE" to KSI5.
void RouteEne(Program& p);
// Routes the Nuvoton JTAG pins after ClearRouting, each contact mirrored with
// FFC_PINS when the 1-to-1 box is unticked; logs the "Selected ... pin FFC"
// line.
void RouteNuvotonJtag(Program& p);

// External-board contacts for the straight orientation (mirrored: 33 - c).
struct ExtEneContacts {
    uint8_t zero1, zero2, cs, dFrom, dTo, clk;
};
inline constexpr ExtEneContacts kExtEneBoard{11, 20, 13, 14, 17, 12};
inline constexpr ExtEneContacts kExtNuvotonBoard{11, 20, 7, 18, 10, 8};
struct ExtIteContacts {
    uint8_t init, afd, slin, stb, busy;
    std::array<uint8_t, 8> pd;
    uint8_t pw, rs;
};
inline constexpr ExtIteContacts kExtIteBoard{4,  5, 3, 6, 22, {32, 31, 30, 29, 28, 27, 26, 25},
                                             20, 11};

// Orientation from the four contact-level bytes of the probe.
uint8_t OrientationFromLevels(const std::array<uint8_t, 4>& levels);
// Probes and configures the external board of a type; true on success.
// Logs its own failure messages.
bool SendExtBoardSettings(Program& p, int boardType);

// The ITE pin frames for the current ITE pin map: IN, DS, AS, WR, K4, K5, BL,
// d0..d7 (motherboard), or IN, DS, AS, WR, BL, d0..d7, PW, RS (external
// board, with its two supply contacts); the end frame QQ 0x51 is not listed.
struct PinFrame {
    uint8_t a, b, contact;
};
std::vector<PinFrame> ItePinFrames(Program& p, bool externalBoard, uint8_t pw = 0, uint8_t rs = 0);
// Puts the JIG into its setup mode ('T' 'S' answered '*'), sends the frames
// and the end frame, stopping at the first frame not answered '+'. Logs
// "Error when entering the setup mode.\n" or "Protocol error when setting
// pins.\n" in red. Returns 0 on success, 1 setup refused, 2 frame failed.
int SendItePinFrames(Program& p, const std::vector<PinFrame>& frames);

}  // namespace zjig
