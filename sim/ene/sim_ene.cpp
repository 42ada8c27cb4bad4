#include "sim/ene/sim_ene.h"

#include <algorithm>
#include <cstring>

#include "sim/reach.h"
#include "sim/sim_jig.h"

namespace zjig::sim {

namespace {

constexpr uint32_t kBlock = 256;
constexpr int kBlocks = 512;

// The next byte of a stream; a byte that is no stream command ends the
// stream and is run as a command of its own (nullopt).
std::optional<uint8_t> StreamByte(SimJig& jig, std::initializer_list<uint8_t> known) {
    const uint8_t c = jig.Get();
    if (std::find(known.begin(), known.end(), c) != known.end()) return c;
    jig.RunCommand(c);
    return std::nullopt;
}

void ReadStream(SimJig& jig, SimEneChip& chip) {
    SimEneFaults f;
    std::vector<uint8_t> flash;
    {
        std::lock_guard lock(chip.m);
        ++chip.readStreams;
        f = chip.faults;
        flash = chip.flash;
    }
    const bool reachable = jig.Part<SimReach>().ene(jig);
    std::vector<uint8_t> block(kBlock);
    for (int n = 0; n < kBlocks; ++n) {
        if (reachable)
            std::memcpy(block.data(), flash.data() + static_cast<size_t>(n) * kBlock, kBlock);
        else
            std::fill(block.begin(), block.end(), uint8_t{0xFF});
        if (f.unplugInReadBlock == n) {
            jig.Send(block.data(), kBlock / 2);
            chip.MarkFault();
            jig.Serial()->Unplug();
            jig.Get();  // ends the firmware
        }
        if (f.extraByteAt == n) {
            block.push_back(0x00);
            chip.MarkFault();
        }
        jig.Send(block);
        block.resize(kBlock);
        // Commands for this block until the host asks for the next one.
        for (;;) {
            auto c = StreamByte(jig, {'?', 'N', 'R', 'X'});
            if (!c || *c == 'X') return;
            if (*c == '?') {
                if (f.silentQuestionAt == n) {
                    chip.MarkFault();
                    continue;
                }
                if (f.badQuestionAt == n) chip.MarkFault();
                jig.Send({f.badQuestionAt == n ? f.questionAnswer : uint8_t{'G'}});
                continue;
            }
            break;  // 'N' or 'R': the next block
        }
    }
}

void WriteStream(SimJig& jig, SimEneChip& chip) {
    SimEneFaults f;
    {
        std::lock_guard lock(chip.m);
        ++chip.writeStreams;
        f = chip.faults;
    }
    const bool reachable = jig.Part<SimReach>().ene(jig);
    if (reachable) {
        // The firmware erases the chip before it programs the first block.
        std::lock_guard lock(chip.m);
        std::fill(chip.flash.begin(), chip.flash.end(), uint8_t{0xFF});
    }
    std::vector<uint8_t> block(kBlock);
    for (int n = 0; n < kBlocks; ++n) {
        jig.Send({kSimEneReadyByte});
        const uint32_t take = f.unplugInWriteBlock == n ? kBlock / 2 : kBlock;
        for (uint32_t i = 0; i < take; ++i) block[i] = jig.Get();
        if (take < kBlock) {
            chip.MarkFault();
            jig.Serial()->Unplug();
            jig.Get();  // ends the firmware
        }
        if (f.errorStatusAt == n) {
            chip.MarkFault();
            jig.Send({'E'});
        } else {
            if (reachable) {
                std::lock_guard lock(chip.m);
                const size_t base = static_cast<size_t>(n) * kBlock;
                for (uint32_t i = 0; i < kBlock; ++i) {
                    uint8_t v = block[i];
                    if (f.corruptOffset == base + i) v ^= 0x01;
                    chip.flash[base + i] &= v;  // programming only clears bits
                }
            }
            jig.Send({kSimEneTakenByte});
        }
        auto c = StreamByte(jig, {'N', 'X'});
        if (!c || *c == 'X') return;
    }
}

}  // namespace

SimEneChip::SimEneChip() : flash(DefaultEneFlash()) {}

std::vector<uint8_t> SimEneChip::Flash() const {
    std::lock_guard lock(m);
    return flash;
}

void SimEneChip::SetFlash(const std::vector<uint8_t>& contents) {
    std::lock_guard lock(m);
    flash.assign(kSimEneFlashSize, 0xFF);
    std::copy_n(contents.begin(), std::min<size_t>(contents.size(), kSimEneFlashSize), flash.begin());
}

uint8_t SimEneChip::VersionId() const {
    std::lock_guard lock(m);
    return versionId;
}

void SimEneChip::SetVersionId(uint8_t id) {
    std::lock_guard lock(m);
    versionId = id;
}

SimEneFaults SimEneChip::Faults() const {
    std::lock_guard lock(m);
    return faults;
}

void SimEneChip::SetFaults(const SimEneFaults& f) {
    std::lock_guard lock(m);
    faults = f;
}

int SimEneChip::ReadStreams() const {
    std::lock_guard lock(m);
    return readStreams;
}

int SimEneChip::WriteStreams() const {
    std::lock_guard lock(m);
    return writeStreams;
}

std::optional<std::chrono::steady_clock::time_point> SimEneChip::FaultFiredAt() const {
    std::lock_guard lock(m);
    return faultFiredAt;
}

void SimEneChip::MarkFault() {
    std::lock_guard lock(m);
    if (!faultFiredAt) faultFiredAt = std::chrono::steady_clock::now();
}

std::vector<uint8_t> DefaultEneFlash() {
    std::vector<uint8_t> flash(kSimEneFlashSize);
    uint32_t x = 0x2468ACE1u;
    for (auto& b : flash) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = static_cast<uint8_t>(x >> 24);
    }
    const char tag[] = "KB9012 simulated EC firmware";
    std::memcpy(flash.data() + 0x100, tag, sizeof tag - 1);
    // An erased area at the end, as real images have.
    std::fill(flash.end() - 4096, flash.end(), uint8_t{0xFF});
    return flash;
}

void InstallEneSim(SimJig& jig) {
    jig.Part<SimEneChip>();
    jig.OnCommand('K', [](SimJig& j) {
        auto& chip = j.Part<SimEneChip>();
        const uint8_t sub = j.Get();
        if (sub == 'V') {
            const bool reachable = j.Part<SimReach>().ene(j);
            j.Send({reachable ? chip.VersionId() : uint8_t{0xFF}});
        } else if (sub == 'R') {
            ReadStream(j, chip);
        } else if (sub == 'W') {
            WriteStream(j, chip);
        }
    });
}

}  // namespace zjig::sim
