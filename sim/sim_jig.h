// The simulated JIG: a model of the JIG firmware behind one simulated FTDI
// device. The firmware's main loop takes a command byte and runs the handler
// installed for it; each chip family's sim module (sim/<family>/) installs
// its own handlers and keeps its own chip model as a part of the JIG.
#pragma once

#include <any>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <vector>

#include "sim/sim_serial.h"

namespace zjig::sim {

inline constexpr uint8_t kGenericAck = 'A';

class SimJig {
public:
    explicit SimJig(std::string version = "M328_EPM240_v20");
    ~SimJig();
    SimJig(const SimJig&) = delete;
    SimJig& operator=(const SimJig&) = delete;

    std::shared_ptr<SimSerial> Serial() const { return serial_; }
    // Starts the firmware thread; install every handler before this.
    void PowerOn();

    // ---- firmware side, for handlers (run on the firmware thread) ----
    using Handler = std::function<void(SimJig&)>;
    // Installs the handler of a command byte (replacing any earlier one).
    void OnCommand(uint8_t first, Handler handler);
    uint8_t Get() { return serial_->DeviceGet(); }
    void Send(std::initializer_list<uint8_t> bytes) { serial_->DeviceSend(bytes); }
    void Send(const std::vector<uint8_t>& bytes) { serial_->DeviceSend(bytes); }
    void Send(const uint8_t* data, size_t n) { serial_->DeviceSend(data, n); }
    void Ack() { Send({kGenericAck}); }
    // Runs the handler of a command byte as the main loop does (a handler's
    // own loop that meets a byte it does not know hands it back this way).
    void RunCommand(uint8_t command);

    // ---- the JIG's state, shared with tests (lock State() around use) ----
    std::mutex& StateMutex() { return state_; }
    std::string version;
    std::chrono::milliseconds beepDuration{50};

    // CPLD register file ('S' 'W' writes, 'S' 'R' clears).
    uint8_t CpldRegister(uint8_t reg) const;
    void SetCpldRegister(uint8_t reg, uint8_t value);
    std::array<uint8_t, 256> CpldRegisters() const;
    // Answer of 'S' 'r' (contact levels, one bit per JIG contact); the board
    // model installs how it is computed. Default: every contact high.
    std::function<std::array<uint8_t, 4>(const SimJig&)> contactLevels;
    // Called after every CPLD reset or register write (board models follow it).
    std::vector<std::function<void(SimJig&)>> onCpldChange;

    // Per-family sim parts (chip models, boards), created on first use.
    template <class T>
    T& Part() {
        std::lock_guard lock(partsMutex_);
        auto& slot = parts_[std::type_index(typeid(T))];
        if (!slot) slot = std::make_shared<T>();
        return *std::static_pointer_cast<T>(slot);
    }

    // Every command byte the firmware took at the top of its loop (for tests).
    std::vector<uint8_t> CommandLog() const;

private:
    void Run();
    void InstallBase();

    std::shared_ptr<SimSerial> serial_;
    std::map<uint8_t, Handler> handlers_;
    mutable std::mutex state_;
    std::array<uint8_t, 256> cpld_{};
    mutable std::mutex partsMutex_;
    std::map<std::type_index, std::shared_ptr<void>> parts_;
    mutable std::mutex logMutex_;
    std::vector<uint8_t> commandLog_;
    bool powered_ = false;
};

// A device that takes bytes and never answers.
std::shared_ptr<SimSerial> MakeSilentDevice(const std::string& description = "silent FTDI device");
// A device that answers the version request with a text of its own.
std::shared_ptr<SimSerial> MakeOtherDevice(const std::string& answer = "FT232R USB UART\r\n");

}  // namespace zjig::sim
