// The driver backend for real JIGs on Linux: FTDI USB-serial bridges through
// the kernel's ftdi_sio driver, as /dev/ttyUSB* devices.
//
// A device is opened non-blocking and exclusive, in raw mode (every byte
// value passes untouched both ways, no flow control, 8N1). Reads and writes
// wait with poll() up to the time-outs set with SetTimeouts. A device that is
// gone (unplugged: the kernel hangs the tty up; a pseudo-terminal whose other
// side closed) makes Read, Write, GetStatus and WaitForQueue fail with IoError.
//
// WaitForQueue blocks in poll() while nothing is queued. Once some bytes are
// queued but fewer than asked, poll() would report "readable" at once again
// and again, so it sleeps instead, in steps sized by the time the missing
// bytes need on the wire at the port's baud rate (at least 200 us, at most
// 10 ms), checking the queue after each step; the sleep is a poll() for
// hang-up only, so an unplugged device still ends the wait at once.
//
// Thread safety: the handle table is under a mutex; the calls on one handle
// must come from one caller at a time. A handle closed while another thread
// still uses it keeps its file open until that call returns.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
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
    TtyDriver(const TtyDriver&) = delete;
    TtyDriver& operator=(const TtyDriver&) = delete;

    // The device paths of the last device list.
    std::vector<std::string> ListedPaths() const;

    FtStatus CreateDeviceInfoList(uint32_t& count) override;
    FtStatus Open(int index, FtHandle& handle) override;
    FtStatus Close(FtHandle handle) override;
    FtStatus ResetDevice(FtHandle handle) override;
    // Standard rates use their Bxxx constant; any other rate is set as a
    // custom rate (the tty driver may round it). 0 is refused (InvalidBaudRate).
    FtStatus SetBaudRate(FtHandle handle, uint32_t baud) override;
    // bits 7 or 8; stopBits 0 (one) or 2 (two); parity 0 none, 1 odd, 2 even,
    // 3 mark, 4 space. Anything else: InvalidParameter.
    FtStatus SetDataCharacteristics(FtHandle handle, uint8_t bits, uint8_t stopBits,
                                    uint8_t parity) override;
    FtStatus SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) override;
    // Writes ttyUSBn's latency_timer in sysfs; where that is missing or
    // refused, asks for (ms < 16) or drops the tty's low-latency mode. Fails
    // (OtherError) when neither works, as for a pseudo-terminal.
    FtStatus SetLatencyTimer(FtHandle handle, uint8_t ms) override;
    // The running kernel's version, packed 0x00MMmmpp.
    FtStatus GetDriverVersion(FtHandle handle, uint32_t& version) override;
    // Writes everything, waiting up to the write time-out for room. On the
    // time-out: OtherError with written < len.
    FtStatus Write(FtHandle handle, const uint8_t* data, uint32_t len, uint32_t& written) override;
    FtStatus Read(FtHandle handle, uint8_t* data, uint32_t len, uint32_t& got) override;
    // events is always 0.
    FtStatus GetStatus(FtHandle handle, uint32_t& rxQueue, uint32_t& txQueue,
                       uint32_t& events) override;
    FtStatus Purge(FtHandle handle, uint32_t mask) override;
    FtStatus WaitForQueue(FtHandle handle, uint32_t n, uint32_t timeoutMs,
                          uint32_t& rxQueue) override;

private:
    struct Port {
        ~Port();
        int fd = -1;
        std::string path;      // as listed
        std::string realPath;  // symlinks resolved: the identity of the device
        std::atomic<uint32_t> readTimeoutMs{200};
        std::atomic<uint32_t> writeTimeoutMs{200};
        // Line settings, re-applied by ResetDevice.
        uint32_t baud = 9600;
        uint8_t bits = 8, stopBits = 0, parity = 0;
    };
    std::shared_ptr<Port> Find(FtHandle handle);
    std::vector<std::string> Enumerate() const;

    std::optional<std::string> explicitPath_;
    std::string sysfsRoot_, devRoot_;
    mutable std::mutex m_;
    std::vector<std::string> list_;
    std::map<FtHandle, std::shared_ptr<Port>> ports_;
    FtHandle next_ = 1;
};

}  // namespace zjig
