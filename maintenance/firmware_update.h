// The JIG firmware update: the job "FWUPDATE" that installs the firmware
// image lying beside the program through the bootloader of the JIG's
// microcontroller.
//
// It is started by the checked link opening (OpenJigLinkChecked) when the
// JIG runs another firmware version, or when a device does not answer as a
// JIG while "UPDATE.txt" lies beside the program. The job opens the single
// attached FTDI device itself (not through JigLink), shows the pop-up asking
// for the reset button, probes for the bootloader and sends the image page by
// page.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace zjig {

struct Program;

inline constexpr const char* kFirmwareFileName = "M328_EPM240_v20.vss";
inline constexpr size_t kFirmwareImageSize = 131072;  // 0x20000
inline constexpr size_t kFirmwarePageSize = 128;

struct FirmwareUpdateState {
    // How long the user has to press the reset button, from the start of
    // probing (the interval of Timer_update).
    std::atomic<uint32_t> resetWaitMs{5000};
    // Each '+' probe waits this long for the bootloader's answer before the
    // next one goes out: the probe is continuous, but the worker sleeps in
    // the driver instead of spinning a processor.
    std::atomic<uint32_t> probeSliceMs{2};
    // Read and write time-outs of the update's own link.
    std::atomic<uint32_t> readTimeoutMs{300};
    // Set by the tick of Timer_update; the worker reads it between probes.
    std::atomic<bool> ResetWaitExpired{false};
    // Number of update jobs that have run (the command-line front end tells
    // from it that an operation turned into a firmware update).
    std::atomic<int> runs{0};
};

// Registers the job "FWUPDATE" and the tick handler "Timer_updateTimer".
void RegisterFirmwareUpdate(Program& p);

// The job body (worker thread).
void FirmwareUpdateJob(Program& p);

// The tick of Timer_update: sets ResetWaitExpired.
void Timer_updateTimer(Program& p);

}  // namespace zjig
