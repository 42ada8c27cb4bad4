// The driver backend for real JIGs on Linux: FTDI USB-serial bridges through
// the kernel's ftdi_sio driver, as /dev/ttyUSB* devices.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/ft_driver.h"

namespace zjig {

class TtyDriver : public FtDriver {
public:
    // Without a path: the device list is every /dev/ttyUSB* whose USB vendor
    // is FTDI (0x0403), found through sysfs under sysfsRoot, in a stable
    // order. With a path (/dev/ttyUSB0, a pseudo-terminal): a list of that one device.
    explicit TtyDriver(std::optional<std::string> explicitPath = std::nullopt,
                       std::string sysfsRoot = "/sys", std::string devRoot = "/dev");
    ~TtyDriver() override;

    // The device paths of the last device list.
    std::vector<std::string> ListedPaths() const;

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
    struct Port {
        int fd = -1;
        std::string path;
        uint32_t readTimeoutMs = 200;
        uint32_t writeTimeoutMs = 200;
    };
    Port* Find(FtHandle handle);

    std::optional<std::string> explicitPath_;
    std::string sysfsRoot_, devRoot_;
    mutable std::mutex m_;
    std::vector<std::string> list_;
    std::map<FtHandle, Port> ports_;
    FtHandle next_ = 1;
};

}  // namespace zjig
