#include "sim/wiring/board_model.h"

#include <mutex>

#include "sim/reach.h"
#include "sim/sim_jig.h"
#include "sim/wiring/t_commands.h"

namespace zjig::sim {

namespace {

struct SimWiring {
    std::mutex m;
    SimBench bench;
    SimIteFirmware ite;
};

SimWiring& Wiring(const SimJig& jig) { return const_cast<SimJig&>(jig).Part<SimWiring>(); }

// The board's own facts, as the adapter boards are built (straight
// orientation; a mirrored board puts contact c at 33 - c).
struct ExtSpiBoard {
    uint8_t ground1, ground2, cs, dFromChip, dToChip, clk;
};
constexpr ExtSpiBoard kEneBoard{11, 20, 13, 14, 17, 12};
constexpr ExtSpiBoard kNuvotonBoard{11, 20, 7, 18, 10, 8};
constexpr uint8_t kSupplyA = 20, kSupplyB = 11;
struct ExtIteBoard {
    uint8_t init, afd, slin, stb, busy;
    std::array<uint8_t, 8> pd;
};
constexpr ExtIteBoard kIteBoard{4, 5, 3, 6, 22, {32, 31, 30, 29, 28, 27, 26, 25}};

uint8_t ExtContact(const SimExternalBoard& b, uint8_t c) {
    return b.mirrored ? static_cast<uint8_t>(33 - c) : c;
}

// The CPLD as the connector sees it.
class Cpld {
public:
    explicit Cpld(const SimJig& jig) : r_(jig.CpldRegisters()) {}

    bool Bit(uint8_t firstReg, uint8_t contact) const {
        if (contact < 1 || contact > 32) return false;
        return (r_[firstReg + (contact - 1) / 8] >> ((contact - 1) % 8)) & 1;
    }
    // Driven with signal code 0..3 (3: held at logic 0).
    bool Drives(uint8_t contact, int code) const {
        return Bit(16, contact) && Bit(36, contact) == ((code >> 1) & 1) &&
               Bit(32, contact) == (code & 1);
    }
    // Reads the contact back as the data from the chip, and leaves it undriven.
    bool ReadsBack(uint8_t contact) const {
        if (contact < 1 || contact > 32) return false;
        return r_[64] == (0x80 | (contact - 1)) && !Bit(16, contact);
    }
    // No contact driven or selected: the soldering cable passes straight through.
    bool InResetState() const {
        for (uint8_t reg : {16, 17, 18, 19, 32, 33, 34, 35, 36, 37, 38, 39, 64})
            if (r_[reg]) return false;
        return true;
    }
    bool Supplies(uint8_t contact) const { return Bit(8, contact); }
    uint8_t Register(uint8_t reg) const { return r_[reg]; }
    bool NoSupply() const { return !r_[8] && !r_[9] && !r_[10] && !r_[11]; }

private:
    std::array<uint8_t, 256> r_;
};

// Signal codes of the CPLD's outputs.
constexpr int kOut0 = 0, kOut1 = 1, kOut2 = 2, kZero = 3;

bool SpiBoardReachable(const SimExternalBoard& b, const ExtSpiBoard& c, const Cpld& cpld) {
    if (b.faultyJumpers) return false;
    auto at = [&](uint8_t x) { return ExtContact(b, x); };
    return cpld.Supplies(at(kSupplyA)) && cpld.Supplies(at(kSupplyB)) &&
           cpld.Drives(at(c.ground1), kZero) && cpld.Drives(at(c.ground2), kZero) &&
           cpld.Drives(at(c.cs), kOut2) && cpld.ReadsBack(at(c.dFromChip)) &&
           cpld.Drives(at(c.dToChip), kOut1) && cpld.Drives(at(c.clk), kOut0);
}

bool EneReachableIn(const SimBench& bench, const Cpld& cpld) {
    if (bench.attached == SimBench::Attached::ExternalBoard)
        return bench.external.type == SimExtType::Ene &&
               SpiBoardReachable(bench.external, kEneBoard, cpld);
    if (bench.attached != SimBench::Attached::Motherboard || !bench.board.ene) return false;
    if (bench.join == SimJoin::SolderedWires) return cpld.InResetState();
    const SimEneWiring& w = *bench.board.ene;
    auto at = [&](uint8_t c) { return JigContactOf(bench, c); };
    return cpld.Drives(at(w.kso3), kZero) && cpld.Drives(at(w.ksi4), kOut2) &&
           cpld.ReadsBack(at(w.ksi7)) && cpld.Drives(at(w.ksi6), kOut1) &&
           cpld.Drives(at(w.ksi5), kOut0);
}

bool NuvotonJtagReachableIn(const SimBench& bench, const Cpld& cpld) {
    if (bench.attached != SimBench::Attached::Motherboard || !bench.board.nuvotonJtag ||
        bench.join != SimJoin::KeyboardCable)
        return false;
    const SimNuvotonJtagWiring& w = *bench.board.nuvotonJtag;
    auto at = [&](uint8_t c) { return JigContactOf(bench, c); };
    return cpld.Drives(at(w.jenk), kZero) && cpld.Drives(at(w.tck), kOut1) &&
           cpld.Drives(at(w.tms), kOut0) && cpld.Drives(at(w.tdi), kOut2) &&
           cpld.ReadsBack(at(w.tdo));
}

bool NuvotonSpiReachableIn(const SimBench& bench, const Cpld& cpld) {
    if (bench.attached == SimBench::Attached::ExternalBoard)
        return bench.external.type == SimExtType::Nuvoton &&
               SpiBoardReachable(bench.external, kNuvotonBoard, cpld);
    return bench.attached == SimBench::Attached::Motherboard && bench.board.nuvotonSpiWired &&
           cpld.InResetState() && cpld.NoSupply();
}

bool IteReachableIn(const SimBench& bench, const SimIteFirmware& fw) {
    if (!fw.pinsHeld) return false;
    auto held = [&](const std::string& name, uint8_t contact) {
        auto it = fw.heldPins.find(name);
        return contact != 0 && it != fw.heldPins.end() && it->second == contact;
    };
    auto dataPins = [&](const std::array<uint8_t, 8>& pd, auto at) {
        for (int i = 0; i < 8; ++i)
            if (!held("d" + std::to_string(i), at(pd[static_cast<size_t>(i)]))) return false;
        return true;
    };
    if (bench.attached == SimBench::Attached::ExternalBoard) {
        const SimExternalBoard& b = bench.external;
        if (b.type != SimExtType::Ite || b.faultyJumpers || !fw.supplyOn) return false;
        auto at = [&](uint8_t c) { return ExtContact(b, c); };
        const ExtIteBoard& c = kIteBoard;
        return held("IN", at(c.init)) && held("DS", at(c.afd)) && held("AS", at(c.slin)) &&
               held("WR", at(c.stb)) && held("BL", at(c.busy)) && dataPins(c.pd, at) &&
               held("PW", at(kSupplyA)) && held("RS", at(kSupplyB));
    }
    if (bench.attached != SimBench::Attached::Motherboard || !bench.board.ite ||
        bench.join != SimJoin::KeyboardCable)
        return false;
    const SimIteWiring& w = *bench.board.ite;
    auto at = [&](uint8_t c) { return JigContactOf(bench, c); };
    return held("IN", at(w.init)) && held("DS", at(w.afd)) && held("AS", at(w.slin)) &&
           held("WR", at(w.stb)) && held("K4", at(w.ksi4)) && held("K5", at(w.ksi5)) &&
           held("BL", at(w.busy)) && dataPins(w.pd, at);
}

// Contact levels as 'S' 'r' reads them. Every contact is pulled high. A
// driven contact is low when it is driven ZERO, or whatever its signal while
// register 64 has bit 5 set (the probe's test drive). An external board's
// jumper joins 1-2 (straight) or 31-32 (mirrored): a contact whose jumper
// partner is low reads low too.
std::array<uint8_t, 4> ContactLevels(const SimBench& bench, const Cpld& cpld) {
    const bool testDrive = cpld.Register(64) & 0x20;
    std::array<bool, 33> low{};
    for (uint8_t c = 1; c <= 32; ++c)
        low[c] = cpld.Drives(c, kZero) || (testDrive && cpld.Bit(16, c));
    if (bench.attached == SimBench::Attached::ExternalBoard) {
        const SimExternalBoard& b = bench.external;
        auto jumper = [&](uint8_t x, uint8_t y) {
            const bool l = low[x] || low[y];
            low[x] = low[y] = l;
        };
        if (!b.mirrored || b.faultyJumpers) jumper(1, 2);
        if (b.mirrored || b.faultyJumpers) jumper(31, 32);
    }
    std::array<uint8_t, 4> levels{};
    for (uint8_t c = 1; c <= 32; ++c)
        if (!low[c]) levels[(c - 1) / 8] |= static_cast<uint8_t>(1u << ((c - 1) % 8));
    return levels;
}

bool IsPinFrame(uint8_t a, uint8_t b) {
    switch (a) {
        case 'I': return b == 'N';
        case 'D': return b == 'S';
        case 'A': return b == 'S';
        case 'W': return b == 'R';
        case 'K': return b == '4' || b == '5';
        case 'B': return b == 'L';
        case 'd': return b >= '0' && b <= '7';
        case 'P': return b == 'W';
        case 'R': return b == 'S';
        default: return false;
    }
}

// 'T' 'S': the setup mode and its sub-loop of pin frames.
void SetupMode(SimJig& j, SimWiring& w) {
    {
        std::lock_guard lock(w.m);
        if (w.ite.refuseSetup) {
            j.Send({'e'});
            return;
        }
        w.ite.pinsHeld = false;
        w.ite.heldPins.clear();
    }
    j.Send({'*'});
    std::map<std::string, uint8_t> pending;
    for (;;) {
        const uint8_t a = j.Get(), b = j.Get(), c = j.Get();
        const std::string name{static_cast<char>(a), static_cast<char>(b)};
        std::lock_guard lock(w.m);
        if (a == 'Q' && b == 'Q') {
            if (c == 0x51) {
                w.ite.heldPins = pending;
                w.ite.pinsHeld = true;
                j.Send({'+'});
            } else {
                j.Send({'-'});
            }
            return;
        }
        if (!IsPinFrame(a, b)) {
            j.Send({'-'});
            return;
        }
        w.ite.framesSeen.push_back(name + "=" + std::to_string(c));
        if (name == w.ite.failFrame) {
            j.Send({'e'});
            return;
        }
        pending[name] = c;
        j.Send({'+'});
    }
}

}  // namespace

SimBench DefaultBench() {
    SimBench b;
    b.attached = SimBench::Attached::Motherboard;
    b.board.name = "LA-8681P (JKB1)";
    b.board.ene = SimEneWiring{18, 5, 6, 3, 2};  // KSO3, KSI4, KSI5, KSI6, KSI7
    b.board.nuvotonJtag = SimNuvotonJtagWiring{7, 19, 20, 21, 10};
    SimIteWiring ite;
    ite.init = 29, ite.afd = 28, ite.slin = 30, ite.stb = 27;
    ite.ksi4 = 13, ite.ksi5 = 14, ite.busy = 11;
    ite.pd = {1, 2, 3, 4, 5, 6, 7, 8};
    b.board.ite = ite;
    b.board.nuvotonSpiWired = true;
    b.join = SimJoin::KeyboardCable;
    b.cableContacts = 30;
    b.cableMirrored = false;
    return b;
}

SimBench ExternalBench(SimExtType type, bool mirrored) {
    SimBench b;
    b.attached = SimBench::Attached::ExternalBoard;
    b.external.type = type;
    b.external.mirrored = mirrored;
    return b;
}

void SetBench(SimJig& jig, const SimBench& bench) {
    auto& w = Wiring(jig);
    std::lock_guard lock(w.m);
    w.bench = bench;
}

SimBench GetBench(SimJig& jig) {
    auto& w = Wiring(jig);
    std::lock_guard lock(w.m);
    return w.bench;
}

uint8_t JigContactOf(const SimBench& bench, uint8_t c) {
    const uint8_t n = bench.cableContacts;
    if (c < 1 || c > n || n > 32) return 0;
    return bench.cableMirrored ? static_cast<uint8_t>(n - c + 1) : c;
}

SimIteFirmware IteFirmwareState(SimJig& jig) {
    auto& w = Wiring(jig);
    std::lock_guard lock(w.m);
    return w.ite;
}

void FailItePinFrame(SimJig& jig, const std::string& frameName) {
    auto& w = Wiring(jig);
    std::lock_guard lock(w.m);
    w.ite.failFrame = frameName;
}

void RefuseIteSetup(SimJig& jig, bool refuse) {
    auto& w = Wiring(jig);
    std::lock_guard lock(w.m);
    w.ite.refuseSetup = refuse;
}

bool EneReachable(const SimJig& jig) {
    const Cpld cpld(jig);
    auto& w = Wiring(jig);
    std::lock_guard lock(w.m);
    return EneReachableIn(w.bench, cpld);
}

bool NuvotonJtagReachable(const SimJig& jig) {
    const Cpld cpld(jig);
    auto& w = Wiring(jig);
    std::lock_guard lock(w.m);
    return NuvotonJtagReachableIn(w.bench, cpld);
}

bool NuvotonSpiReachable(const SimJig& jig) {
    const Cpld cpld(jig);
    auto& w = Wiring(jig);
    std::lock_guard lock(w.m);
    return NuvotonSpiReachableIn(w.bench, cpld);
}

bool IteReachable(const SimJig& jig) {
    auto& w = Wiring(jig);
    std::lock_guard lock(w.m);
    return IteReachableIn(w.bench, w.ite);
}

bool ExternalSupplyOn(const SimJig& jig) {
    const Cpld cpld(jig);
    auto& w = Wiring(jig);
    std::lock_guard lock(w.m);
    if (w.bench.attached != SimBench::Attached::ExternalBoard) return false;
    return cpld.Supplies(ExtContact(w.bench.external, kSupplyA)) &&
           cpld.Supplies(ExtContact(w.bench.external, kSupplyB));
}

void InstallWiringSim(SimJig& jig) {
    SimWiring& w = Wiring(jig);
    {
        std::lock_guard lock(w.m);
        w.bench = DefaultBench();
    }
    jig.contactLevels = [&w](const SimJig& j) {
        const Cpld cpld(j);
        std::lock_guard lock(w.m);
        return ContactLevels(w.bench, cpld);
    };
    auto& reach = jig.Part<SimReach>();
    reach.ene = [](const SimJig& j) { return EneReachable(j); };
    reach.nuvotonJtag = [](const SimJig& j) { return NuvotonJtagReachable(j); };
    reach.nuvotonSpi = [](const SimJig& j) { return NuvotonSpiReachable(j); };

    OnTCommand(jig, 'S', [&w](SimJig& j) { SetupMode(j, w); });
    OnTCommand(jig, '0', [&w](SimJig& j) {
        {
            std::lock_guard lock(w.m);
            w.ite.supplyStep1 = false;
            w.ite.supplyOn = false;
        }
        j.Send({'&'});
    });
    OnTCommand(jig, '1', [&w](SimJig& j) {
        {
            std::lock_guard lock(w.m);
            w.ite.supplyStep1 = true;
        }
        j.Send({'&'});
    });
    OnTCommand(jig, '2', [&w](SimJig& j) {
        {
            std::lock_guard lock(w.m);
            w.ite.supplyOn = w.ite.supplyStep1;
        }
        j.Send({'&'});
    });
}

}  // namespace zjig::sim
