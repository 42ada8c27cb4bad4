// Stand-in for the external board's supply switching, replaced by the board
// wiring work (which also keeps the orientation found by the board probe).
//
// Until the probe exists the orientation is taken as "not probed" (0), which
// switches the supply contacts 20 then 11, like a straight board.
#include "wiring/ext_board.h"

#include <chrono>
#include <thread>

#include "app/program.h"
#include "link/protocol.h"

namespace zjig {

namespace {

// The external board's orientation from the last probe: 0 not found,
// 1 mirrored, 2 straight, 3 fault.
struct ExtBoardOrientationStandIn {
    uint8_t orientation = 0;
};

void Pause100ms() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }

}  // namespace

bool IsExternalMode(Program& p) { return p.form.Text("CBox_Selector").find("External") != std::string::npos; }

void ExtBoardPower(Program& p, const std::string& onOff) {
    if (onOff == "OFF") {
        for (uint8_t reg : {8, 9, 10, 11}) SendJigCommand(p.link, "WR_ALTERA_REG", reg, 0);
        return;
    }
    const bool mirrored = p.State<ExtBoardOrientationStandIn>().orientation == 1;
    const int first = mirrored ? 13 : 20;
    const int second = mirrored ? 22 : 11;
    auto reg = [](int contact) { return static_cast<uint8_t>(8 + (contact - 1) / 8); };
    auto bit = [](int contact) { return static_cast<uint8_t>(1u << ((contact - 1) % 8)); };
    SendJigCommand(p.link, "WR_ALTERA_REG", reg(first), bit(first));
    Pause100ms();
    uint8_t value = bit(second);
    if (reg(second) == reg(first)) value |= bit(first);
    SendJigCommand(p.link, "WR_ALTERA_REG", reg(second), value);
    Pause100ms();
}

uint8_t ExtBoardPowerIte(Program& p, const std::string& onOff) {
    if (onOff == "OFF") return TCommand(p.link, 6, '0');
    TCommand(p.link, 6, '1');
    Pause100ms();
    const uint8_t answer = TCommand(p.link, 6, '2');
    Pause100ms();
    return answer;
}

}  // namespace zjig
