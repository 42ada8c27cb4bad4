// The simulated ENE KB90xx behind the JIG firmware's 'K' commands: the chip's
// 128 KiB flash and Embedded Debug Version ID, the read stream ('K' 'R', then
// '?' / 'N' / 'R' / 'X' from the host) and the write stream ('K' 'W': a ready
// byte before each block, a status byte after it), with injectable faults.
//
// When the board model says the chip cannot be reached (wrong routing, no
// supply on the external board), 'K' 'V' answers 0xFF, a read streams blocks
// of 0xFF (the data line idles high) and a write is taken block by block as
// usual but changes nothing in the flash, so only its verification shows it.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace zjig::sim {

class SimJig;

inline constexpr uint32_t kSimEneFlashSize = 131072;
inline constexpr uint8_t kSimEneReadyByte = 'r';
inline constexpr uint8_t kSimEneTakenByte = 'G';

// Faults, by block index (0..511) of a stream. A read-stream fault acts on
// every 'K' 'R' stream (the read, or the verification of a write).
struct SimEneFaults {
    // Half of this block is sent, then the JIG vanishes from the USB.
    std::optional<int> unplugInReadBlock;
    // Half of this block is taken from the host, then the JIG vanishes.
    std::optional<int> unplugInWriteBlock;
    // The '?' after this block is not answered.
    std::optional<int> silentQuestionAt;
    // The '?' after this block is answered with questionAnswer instead of 'G'.
    std::optional<int> badQuestionAt;
    uint8_t questionAnswer = 'E';
    // The write status after this block is 'E'; the block is not programmed.
    std::optional<int> errorStatusAt;
    // This flash byte is programmed with its bit 0 flipped (a weak cell).
    std::optional<uint32_t> corruptOffset;
    // This read block comes with one byte too many.
    std::optional<int> extraByteAt;
};

struct SimEneChip {
    SimEneChip();
    std::vector<uint8_t> Flash() const;
    void SetFlash(const std::vector<uint8_t>& contents);  // padded with 0xFF / cut to the size
    uint8_t VersionId() const;
    void SetVersionId(uint8_t id);
    SimEneFaults Faults() const;
    void SetFaults(const SimEneFaults& f);
    int ReadStreams() const;
    int WriteStreams() const;
    // When the first injected fault acted (for tests that bound the time the
    // program takes to notice it).
    std::optional<std::chrono::steady_clock::time_point> FaultFiredAt() const;

    // Firmware side.
    mutable std::mutex m;
    std::vector<uint8_t> flash;
    uint8_t versionId = 11;
    SimEneFaults faults;
    int readStreams = 0, writeStreams = 0;
    std::optional<std::chrono::steady_clock::time_point> faultFiredAt;
    void MarkFault();
};

// The demonstration chip's contents: a recognisable, non-repeating image.
std::vector<uint8_t> DefaultEneFlash();

// Installs the 'K' handler on the JIG.
void InstallEneSim(SimJig& jig);

}  // namespace zjig::sim
