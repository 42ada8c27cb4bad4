#include "wiring/ext_board.h"

#include <chrono>
#include <thread>

#include "app/program.h"
#include "link/protocol.h"
#include "wiring/routing.h"

namespace zjig {

namespace {
void SupplyStepPause() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }
}  // namespace

bool IsExternalMode(Program& p) {
    return p.form.Text("CBox_Selector").find("External") != std::string::npos;
}

void ExtBoardPower(Program& p, const std::string& onOff) {
    JigLink& link = p.link;
    if (onOff == "OFF") {
        for (uint8_t reg = 8; reg <= 11; ++reg) SendJigCommand(link, "WR_ALTERA_REG", reg, 0);
        return;
    }
    // The supply contacts: 20 then 11, or 13 then 22 on a mirrored board.
    const bool mirrored = p.State<ExtBoardState>().orientation.load() == kExtMirrored;
    const uint8_t first = mirrored ? 13 : 20;
    const uint8_t second = mirrored ? 22 : 11;
    int firstByte = 0, secondByte = 0;
    uint8_t firstBit = 0, secondBit = 0;
    ContactBit(first, firstByte, firstBit);
    ContactBit(second, secondByte, secondBit);
    SendJigCommand(link, "WR_ALTERA_REG", static_cast<uint8_t>(8 + firstByte), firstBit);
    SupplyStepPause();
    const uint8_t secondValue =
        secondByte == firstByte ? static_cast<uint8_t>(firstBit | secondBit) : secondBit;
    SendJigCommand(link, "WR_ALTERA_REG", static_cast<uint8_t>(8 + secondByte), secondValue);
    SupplyStepPause();
}

uint8_t ExtBoardPowerIte(Program& p, const std::string& onOff) {
    JigLink& link = p.link;
    if (onOff == "OFF") return TCommand(link, 6, '0');
    TCommand(link, 6, '1');
    SupplyStepPause();
    const uint8_t answer = TCommand(link, 6, '2');
    SupplyStepPause();
    return answer;
}

}  // namespace zjig
