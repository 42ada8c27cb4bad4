// The bootloader of the simulated JIG's microcontroller, and the simulated
// technician's press of the JIG's reset button.
//
// The JIG firmware ignores the probe byte '+'. Once the reset button has been
// pressed (pressResetAfter, counted from the first probe), the microcontroller
// restarts into its bootloader, which listens for a probe for a short while
// (listenWindow); a probe in that window starts a bootloader session:
//   '+'            -> the identification (at least 7 bytes, 'V' at 0, 'S' at 2),
//                     once: the probes still on their way once the session has
//                     begun mean nothing to its command loop and are ignored
//   'W'            -> 'G', then 128 data bytes -> '+' (one page, recorded)
//   'X'            -> leaves the bootloader; the firmware of the received image
//                     runs and answers the version request with imageVersion.
// Without a probe in the window the old firmware starts again. The bootloader
// accepts any image and records every page it received; faults make it answer
// out of protocol or fall silent at a chosen page.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zjig::sim {

class SimJig;

class SimBootloader {
public:
    // ---- bench settings (set them before the update starts) ----
    // When the technician presses the reset button, counted from the first
    // '+' probe; nullopt: never.
    std::optional<std::chrono::milliseconds> pressResetAfter{std::chrono::milliseconds(300)};
    // How long the bootloader listens for a probe after the reset.
    std::chrono::milliseconds listenWindow{100};
    // The bootloader's answer to '+'.
    std::string identification = "V1SM328";
    // The firmware version the image carries (reported after 'X').
    std::string imageVersion = "M328_EPM240_v20";
    // Faults, by page number (0 = the first page).
    std::optional<int> wrongRequestAnswerAt;  // answers 'E' instead of 'G' to that page's 'W'
    std::optional<int> wrongPageAnswerAt;     // answers '-' instead of '+' to that page
    std::optional<int> silentAtPage;          // hangs at that page's 'W': nothing answered again

    // ---- what it received (any thread) ----
    // The pages of the last session, in order.
    std::vector<std::vector<uint8_t>> Pages() const;
    // Sessions started (probes answered after a reset).
    int Sessions() const;
    // True once a session ended with 'X'.
    bool Finished() const;
    // Probes the running firmware ignored.
    uint64_t IgnoredProbes() const;

    // Firmware side: the JIG's handler of '+'.
    void OnProbe(SimJig& jig);

private:
    void Session(SimJig& jig);

    mutable std::mutex m_;
    std::optional<std::chrono::steady_clock::time_point> firstProbe_;
    bool pressUsed_ = false;
    std::vector<std::vector<uint8_t>> pages_;
    int sessions_ = 0;
    bool finished_ = false;
    uint64_t ignored_ = 0;
};

// Installs the '+' handler on the JIG.
void InstallBootloader(SimJig& jig);

}  // namespace zjig::sim
