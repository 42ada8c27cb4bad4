#include "sim/edid/sim_edid.h"

#include <chrono>
#include <mutex>
#include <vector>

#include "sim/sim_jig.h"

namespace zjig::sim {

namespace {

using std::chrono::microseconds;

// Bus time of the firmware's EEPROM transfers at 100 kHz: a sequential read
// of 256 bytes, and a write of 32 pages of 8 bytes, each page followed by the
// EEPROM's 5 ms write cycle.
constexpr microseconds kReadTime{24000};
constexpr microseconds kWriteTime{32 * (1000 + 5000)};

}  // namespace

std::array<uint8_t, 256> DefaultPanelEdid() {
    // clang-format off
    static constexpr uint8_t kBase[127] = {
        0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00,  // header
        0x30, 0xE4,              // manufacturer "LGD"
        0x69, 0x04,              // product code 0x0469
        0x00, 0x00, 0x00, 0x00,  // serial number: none
        0x0C, 0x16,              // week 12 of 2012
        0x01, 0x03,              // EDID 1.3
        0x80,                    // digital input
        0x22, 0x13,              // 34 x 19 cm
        0x78,                    // gamma 2.2
        0x0A,                    // RGB colour, preferred timing in the first descriptor
        0x2A, 0xA0, 0x91, 0x59, 0x53, 0x8C, 0x27, 0x25, 0x50, 0x54,  // chromaticity
        0x00, 0x00, 0x00,        // no established timings
        0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,  // no standard timings
        0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
        // Detailed timing: 76.00 MHz, 1366 + 226 x 768 + 28 (59.97 Hz),
        // sync 48/32 and 3/6, image 344 x 194 mm.
        0xB0, 0x1D, 0x56, 0xE2, 0x50, 0x00, 0x1C, 0x30, 0x30, 0x20, 0x36, 0x00,
        0x58, 0xC2, 0x10, 0x00, 0x00, 0x18,
        // Text descriptor: "LG Display"
        0x00, 0x00, 0x00, 0xFE, 0x00,
        'L', 'G', ' ', 'D', 'i', 's', 'p', 'l', 'a', 'y', 0x0A, 0x20, 0x20,
        // Monitor name: "LP156WH4-TLN2" (13 characters, no line feed)
        0x00, 0x00, 0x00, 0xFC, 0x00,
        'L', 'P', '1', '5', '6', 'W', 'H', '4', '-', 'T', 'L', 'N', '2',
        // Dummy descriptor
        0x00, 0x00, 0x00, 0x10, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00,                    // no extension blocks
    };
    // clang-format on
    std::array<uint8_t, 256> bytes;
    bytes.fill(0xFF);
    unsigned sum = 0;
    for (size_t i = 0; i < sizeof kBase; ++i) sum += bytes[i] = kBase[i];
    bytes[127] = static_cast<uint8_t>(-sum & 0xFF);
    return bytes;
}

SimEdidPanel::SimEdidPanel() : bytes(DefaultPanelEdid()) {}

void InstallSimEdid(SimJig& jig) {
    jig.OnCommand('E', [](SimJig& j) {
        const uint8_t sub = j.Get();
        auto& panel = j.Part<SimEdidPanel>();
        if (sub == 'r') {
            std::vector<uint8_t> answer;
            {
                std::lock_guard lock(j.StateMutex());
                if (panel.connected) {
                    answer.assign(panel.bytes.begin(), panel.bytes.end());
                    answer.push_back('O');
                    answer.push_back('K');
                } else {
                    answer.assign(256, 0xFF);
                    answer.insert(answer.end(), std::begin(kSimEdidError), std::end(kSimEdidError));
                }
                for (uint32_t i = 0; i < panel.extraAnswerBytes; ++i)
                    answer.push_back(static_cast<uint8_t>(i));
            }
            j.Serial()->DeviceDelay(kReadTime);
            j.Send(answer);
        } else if (sub == 'w') {
            j.Ack();
            std::array<uint8_t, 256> data;
            for (auto& b : data) b = j.Get();
            j.Serial()->DeviceDelay(kWriteTime);
            bool stored = false;
            {
                std::lock_guard lock(j.StateMutex());
                if (panel.connected && !panel.writeProtect) {
                    panel.bytes = data;
                    stored = true;
                }
            }
            if (stored)
                j.Send({'O', 'K'});
            else
                j.Send({kSimEdidError[0], kSimEdidError[1]});
        }
        // Other sub-commands are ignored, as the firmware does.
    });
}

}  // namespace zjig::sim
