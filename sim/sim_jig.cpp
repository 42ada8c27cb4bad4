#include "sim/sim_jig.h"

namespace zjig::sim {

SimJig::SimJig(std::string v)
    : version(std::move(v)), serial_(std::make_shared<SimSerial>("simulated JIG")) {
    contactLevels = [](const SimJig&) { return std::array<uint8_t, 4>{0xFF, 0xFF, 0xFF, 0xFF}; };
    InstallBase();
}

SimJig::~SimJig() { serial_->Stop(); }

void SimJig::PowerOn() {
    if (powered_) return;
    powered_ = true;
    serial_->Start([this](SimSerial&) { Run(); });
}

void SimJig::OnCommand(uint8_t first, Handler handler) { handlers_[first] = std::move(handler); }

uint8_t SimJig::CpldRegister(uint8_t reg) const {
    std::lock_guard lock(state_);
    return cpld_[reg];
}

void SimJig::SetCpldRegister(uint8_t reg, uint8_t value) {
    std::lock_guard lock(state_);
    cpld_[reg] = value;
}

std::array<uint8_t, 256> SimJig::CpldRegisters() const {
    std::lock_guard lock(state_);
    return cpld_;
}

std::vector<uint8_t> SimJig::CommandLog() const {
    std::lock_guard lock(logMutex_);
    return commandLog_;
}

void SimJig::Run() {
    for (;;) RunCommand(Get());
}

void SimJig::RunCommand(uint8_t c) {
    {
        std::lock_guard lock(logMutex_);
        commandLog_.push_back(c);
    }
    auto it = handlers_.find(c);
    if (it != handlers_.end()) it->second(*this);
    // Unknown command bytes are ignored, as the firmware does.
}

void SimJig::InstallBase() {
    OnCommand('B', [](SimJig& j) {
        std::string v;
        {
            std::lock_guard lock(j.state_);
            v = j.version;
        }
        j.Send(reinterpret_cast<const uint8_t*>(v.data()), v.size());
    });
    OnCommand('S', [](SimJig& j) {
        uint8_t sub = j.Get();
        if (sub == 'R') {
            {
                std::lock_guard lock(j.state_);
                j.cpld_.fill(0);
            }
            for (auto& f : j.onCpldChange) f(j);
            j.Ack();
        } else if (sub == 'W') {
            uint8_t reg = j.Get();
            uint8_t value = j.Get();
            j.SetCpldRegister(reg, value);
            for (auto& f : j.onCpldChange) f(j);
            j.Ack();
        } else if (sub == 'r') {
            auto levels = j.contactLevels(j);
            j.Send(levels.data(), levels.size());
        }
    });
    OnCommand('J', [](SimJig& j) {
        uint8_t sub = j.Get();
        if (sub == 'X' || sub == 'S' || sub == '1') j.Ack();
    });
    // End marks: 'I' beeps (success) and answers when the beep is over; 'O'
    // answers at once.
    OnCommand('I', [](SimJig& j) {
        j.Serial()->DeviceDelay(std::chrono::duration_cast<std::chrono::microseconds>(j.beepDuration));
        j.Send({'I'});
    });
    OnCommand('O', [](SimJig& j) { j.Send({'O'}); });
}

std::shared_ptr<SimSerial> MakeSilentDevice(const std::string& description) {
    auto dev = std::make_shared<SimSerial>(description);
    dev->Start([](SimSerial& s) {
        for (;;) s.DeviceGet();
    });
    return dev;
}

std::shared_ptr<SimSerial> MakeOtherDevice(const std::string& answer) {
    auto dev = std::make_shared<SimSerial>("other FTDI device");
    dev->Start([answer](SimSerial& s) {
        for (;;) {
            if (s.DeviceGet() == 'B')
                s.DeviceSend(reinterpret_cast<const uint8_t*>(answer.data()), answer.size());
        }
    });
    return dev;
}

}  // namespace zjig::sim
