// The simulated backend of the driver interface: a set of simulated FTDI
// devices plugged in, in order, as the device list shows them.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "link/ft_driver.h"
#include "sim/sim_serial.h"

namespace zjig::sim {

class SimDriver : public FtDriver {
public:
    SimDriver() = default;
    ~SimDriver() override;

    // Plugs a device in; it takes the next index of the device list.
    void Plug(std::shared_ptr<SimSerial> device);
    // Removes every device.
    void UnplugAll();
    std::vector<std::shared_ptr<SimSerial>> Devices() const;
    // Makes CreateDeviceInfoList fail (a broken driver).
    void FailDeviceList(bool fail);
    // Makes Open fail for a device index of the list.
    void FailOpen(int index, bool fail);
    // Makes the serial settings calls fail (they report, opening goes on).
    void FailSettings(bool fail);
    uint32_t driverVersion = 0x00021800;

    // Settings last applied through each open handle (for tests).
    struct HandleInfo {
        std::shared_ptr<SimSerial> device;
        uint32_t baud = 0;
        uint8_t bits = 0, stopBits = 0, parity = 0;
        uint32_t readTimeoutMs = 0, writeTimeoutMs = 0;
        uint8_t latencyMs = 16;
    };
    std::vector<HandleInfo> OpenHandles() const;
    int OpenCount() const;
    int TotalOpens() const;

    FtStatus CreateDeviceInfoList(uint32_t& count) override;
    FtStatus Open(int index, FtHandle& handle) override;
    FtStatus Close(FtHandle handle) override;
    FtStatus ResetDevice(FtHandle handle) override;
    FtStatus SetBaudRate(FtHandle handle, uint32_t baud) override;
    FtStatus SetDataCharacteristics(FtHandle handle, uint8_t bits, uint8_t stopBits,
                                    uint8_t parity) override;
    FtStatus SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) override;
    FtStatus SetLatencyTimer(FtHandle handle, uint8_t ms) override;
    FtStatus GetDriverVersion(FtHandle handle, uint32_t& version) override;
    FtStatus Write(FtHandle handle, const uint8_t* data, uint32_t len, uint32_t& written) override;
    FtStatus Read(FtHandle handle, uint8_t* data, uint32_t len, uint32_t& got) override;
    FtStatus GetStatus(FtHandle handle, uint32_t& rxQueue, uint32_t& txQueue,
                       uint32_t& events) override;
    FtStatus Purge(FtHandle handle, uint32_t mask) override;
    FtStatus WaitForQueue(FtHandle handle, uint32_t n, uint32_t timeoutMs,
                          uint32_t& rxQueue) override;

private:
    HandleInfo* Find(FtHandle handle);
    FtStatus Settings(FtHandle handle, const std::function<void(HandleInfo&)>& f);

    mutable std::mutex m_;
    std::vector<std::shared_ptr<SimSerial>> devices_;
    std::vector<std::shared_ptr<SimSerial>> list_;  // the last device list
    std::map<FtHandle, HandleInfo> handles_;
    FtHandle nextHandle_ = 1;
    bool failList_ = false, failSettings_ = false;
    std::map<int, bool> failOpen_;
    int totalOpens_ = 0;
};

}  // namespace zjig::sim
