// ENE KB90xx embedded controllers: the connection check, the read of the
// 128 KiB flash into a file (job "READ_ENE") and the write from a file with
// verification (job "WRITE_ENE"), on a motherboard or on the external board.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/program.h"

namespace zjig {

inline constexpr uint32_t kEneFlashSize = 131072;  // 0x20000
inline constexpr uint32_t kEneBlockSize = 256;
inline constexpr int kEneBlocks = 512;

inline constexpr const char* kEneLostMessage = "Lost Communication with ENE or timeout! \n";

// Shared between the window handler and the job.
struct EneState {
    // The current job's block count, read for the gauge.
    std::atomic<int> blockCounter{0};
    // Set by the write job when the verification finds a difference.
    std::atomic<bool> mismatch{false};
};

// Sends 'K' 'V' and reports the controller's Embedded Debug Version ID; in
// external mode the supply is switched on around it. True when it answered.
bool EneCheckConnection(Program& p);
// READ: save step, then the job "READ_ENE" and 'K' 'R'.
void EneStartRead(Program& p);
// WRITE: open step and loading, then the job "WRITE_ENE" and 'K' 'W'.
void EneStartWrite(Program& p);

// The job bodies.
void EneReadJob(Program& p);
void EneWriteJob(Program& p);

// The family's branches for the three main buttons.
FamilyBranches EneBranches();
// Attaches the branches and the two jobs.
void RegisterEne(Program& p);

}  // namespace zjig
