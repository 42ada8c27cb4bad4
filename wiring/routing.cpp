#include "wiring/routing.h"

#include "app/log.h"
#include "app/program.h"
#include "link/protocol.h"
#include "wiring/ext_board.h"
#include "wiring/pin_map.h"

namespace zjig {

bool ContactBit(uint8_t contact, int& byteIndex, uint8_t& bit) {
    if (contact < 1 || contact > 32) return false;
    byteIndex = (contact - 1) / 8;
    bit = static_cast<uint8_t>(1u << ((contact - 1) % 8));
    return true;
}

uint8_t MirrorContact(uint8_t contact, uint8_t n) { return static_cast<uint8_t>(n - contact + 1); }

void ClearRouting(CpldRouting& r) {
    r.driveMask.fill(0);
    r.selHighMask.fill(0);
    r.selLowMask.fill(0);
}

void RouteSignal(CpldRouting& r, const std::string& signal, uint8_t contact) {
    if (signal == "D_FROM_ENE" || signal == "TDO_from_NUV") {
        r.inputSelect = static_cast<uint8_t>(0x80 | ((contact - 1) & 0x1F));
        return;
    }
    int i = 0;
    uint8_t b = 0;
    const bool inRange = ContactBit(contact, i, b);
    auto drive = [&](bool high, bool low) {
        if (!inRange) return;
        r.driveMask[i] |= b;
        r.selHighMask[i] = high ? (r.selHighMask[i] | b) : (r.selHighMask[i] & ~b);
        r.selLowMask[i] = low ? (r.selLowMask[i] | b) : (r.selLowMask[i] & ~b);
    };
    if (signal == "ZERO") {
        if (!inRange) return;
        r.driveMask[i] |= b;
        r.selHighMask[i] |= b;
        r.selLowMask[i] |= b;
    } else if (signal == "CLK_ENE" || signal == "TMS") {
        drive(false, false);
    } else if (signal == "D_TO_ENE" || signal == "TCK") {
        drive(false, true);
    } else if (signal == "CS_ENE" || signal == "TDI_to_NUV") {
        drive(true, false);
    }
}

std::array<std::array<uint8_t, 2>, 13> RoutingRegisters(const CpldRouting& r, WriteOrder order) {
    std::array<std::array<uint8_t, 2>, 13> regs{};
    size_t n = 0;
    auto put = [&](uint8_t reg, uint8_t value) { regs[n++] = {reg, value}; };
    if (order == WriteOrder::B) put(64, r.inputSelect);
    for (int i = 0; i < 4; ++i) {
        put(static_cast<uint8_t>(36 + i), r.selHighMask[i]);
        put(static_cast<uint8_t>(32 + i), r.selLowMask[i]);
    }
    for (int i = 0; i < 4; ++i) put(static_cast<uint8_t>(16 + i), r.driveMask[i]);
    if (order == WriteOrder::A) put(64, r.inputSelect);
    return regs;
}

void WriteRouting(JigLink& link, const CpldRouting& r, WriteOrder order) {
    for (const auto& [reg, value] : RoutingRegisters(r, order))
        SendJigCommand(link, "WR_ALTERA_REG", reg, value);
}

void RouteEne(Program& p) {
    auto& r = p.State<CpldRouting>();
    const auto& pins = p.State<EnePinMap>();
    RouteSignal(r, "ZERO", pins.KSO3);
    RouteSignal(r, "CS_ENE", pins.KSI4);
    RouteSignal(r, "D_FROM_ENE", pins.KSI7);
    RouteSignal(r, "D_TO_ENE", pins.KSI6);
    RouteSignal(r, "CLK_ENE", pins.KSI5);
}

void RouteNuvotonJtag(Program& p) {
    auto& r = p.State<CpldRouting>();
    const auto& pins = p.State<NuvotonPinMap>();
    const bool straight = p.form.Checked("CheckBox_OneToOne");
    auto at = [&](uint8_t c) { return straight ? c : MirrorContact(c, pins.FFC_PINS); };
    RouteSignal(r, "ZERO", at(pins.JENK));
    RouteSignal(r, "TCK", at(pins.TCK));
    RouteSignal(r, "TMS", at(pins.TMS));
    RouteSignal(r, "TDI_to_NUV", at(pins.TDI));
    RouteSignal(r, "TDO_from_NUV", at(pins.TDO));
    AppendLog(p,
              "Selected " + std::to_string(pins.FFC_PINS) +
                  (straight ? " pin FFC (TYPE B)\n" : " pin FFC (TYPE A)\n"),
              colors::Blue);
}

uint8_t OrientationFromLevels(const std::array<uint8_t, 4>& levels) {
    uint8_t o = kExtNotFound;
    if ((levels[3] & 0xC0) == 0) o = kExtMirrored;                            // contacts 31, 32 low
    if ((levels[0] & 0x03) == 0) o = static_cast<uint8_t>(o + kExtStraight);  // contacts 1, 2 low
    return o;
}

std::vector<PinFrame> ItePinFrames(Program& p, bool externalBoard, uint8_t pw, uint8_t rs) {
    const auto& pins = p.State<ItePinMap>();
    std::vector<PinFrame> frames = {
        {'I', 'N', pins.INIT}, {'D', 'S', pins.AFD}, {'A', 'S', pins.SLIN}, {'W', 'R', pins.STB}};
    if (!externalBoard) {
        frames.push_back({'K', '4', pins.KSI4});
        frames.push_back({'K', '5', pins.KSI5});
    }
    frames.push_back({'B', 'L', pins.BUSY});
    for (int i = 0; i < 8; ++i)
        frames.push_back({'d', static_cast<uint8_t>('0' + i), pins.PD[static_cast<size_t>(i)]});
    if (externalBoard) {
        frames.push_back({'P', 'W', pw});
        frames.push_back({'R', 'S', rs});
    }
    return frames;
}

int SendItePinFrames(Program& p, const std::vector<PinFrame>& frames) {
    if (TCommand(p.link, 5) != '*') {
        AppendLog(p, "Error when entering the setup mode.\n", colors::Red);
        return 1;
    }
    auto failed = [&] {
        AppendLog(p, "Protocol error when setting pins.\n", colors::Red);
        return 2;
    };
    for (const auto& f : frames)
        if (!SendFrame3(p.link, f.a, f.b, f.contact)) return failed();
    if (!SendFrame3(p.link, 'Q', 'Q', 0x51)) return failed();
    return 0;
}

bool SendExtBoardSettings(Program& p, int boardType) {
    JigLink& link = p.link;
    // Probe: drive contacts 1 and 32 and read the contact levels; the board's
    // jumpers pull 1-2 (straight) or 31-32 (mirrored) low.
    SendJigCommand(link, "RESET_ALTERA");
    SendJigCommand(link, "WR_ALTERA_REG", 16, 0x01);
    SendJigCommand(link, "WR_ALTERA_REG", 19, 0x80);
    SendJigCommand(link, "WR_ALTERA_REG", 64, 0xA0);
    SendJigCommand(link, "RD_ALTERA_REG");
    const std::array<uint8_t, 4> levels = {link.buffer[0], link.buffer[1], link.buffer[2],
                                           link.buffer[3]};
    SendJigCommand(link, "RESET_ALTERA");

    const uint8_t o = OrientationFromLevels(levels);
    p.State<ExtBoardState>().orientation = o;
    if (o == kExtNotFound) {
        AppendLog(p, "\n External board not found/connected!\n\n", colors::Red);
        return false;
    }
    if (o == kExtFault) {
        AppendLog(p, "\n External board fault (jmp 1-2 and 31-32)!\n\n", colors::Red);
        return false;
    }
    auto at = [&](uint8_t c) { return o == kExtMirrored ? static_cast<uint8_t>(33 - c) : c; };

    if (boardType == kExtBoardEne || boardType == kExtBoardNuvoton) {
        const ExtEneContacts& c = boardType == kExtBoardEne ? kExtEneBoard : kExtNuvotonBoard;
        auto& r = p.State<CpldRouting>();
        ClearRouting(r);
        RouteSignal(r, "ZERO", at(c.zero1));
        RouteSignal(r, "ZERO", at(c.zero2));
        RouteSignal(r, "CS_ENE", at(c.cs));
        RouteSignal(r, "D_FROM_ENE", at(c.dFrom));
        RouteSignal(r, "D_TO_ENE", at(c.dTo));
        RouteSignal(r, "CLK_ENE", at(c.clk));
        WriteRouting(link, r, WriteOrder::A);
        return true;
    }
    if (boardType == kExtBoardIte) {
        auto& pins = p.State<ItePinMap>();
        const ExtIteContacts& c = kExtIteBoard;
        pins.INIT = at(c.init);
        pins.AFD = at(c.afd);
        pins.SLIN = at(c.slin);
        pins.STB = at(c.stb);
        pins.BUSY = at(c.busy);
        for (size_t i = 0; i < 8; ++i) pins.PD[i] = at(c.pd[i]);
        if (SendItePinFrames(p, ItePinFrames(p, true, at(c.pw), at(c.rs))) != 0) return false;
        return ExtBoardPowerIte(p, "OFF") == '&';
    }
    return false;
}

}  // namespace zjig
