// The driver interface through which the link reaches FTDI USB-serial bridges.
//
// It offers the operations of FTDI's D2XX library that the program relies on,
// with the same arguments and results, plus one addition: WaitForQueue, which
// blocks until the receive queue holds enough bytes (or a time limit passes)
// without spinning a processor. Backends: the Linux tty backend (real JIGs
// through the kernel's ftdi_sio driver) and the simulated JIG.
#pragma once

#include <cstdint>
#include <string>

namespace zjig {

// Result codes of the driver calls; Ok is the one success code.
enum class FtStatus : int {
    Ok = 0,
    InvalidHandle,
    DeviceNotFound,
    DeviceNotOpened,
    IoError,
    InsufficientResources,
    InvalidParameter,
    InvalidBaudRate,
    OtherError,
};

const char* FtStatusText(FtStatus s);

using FtHandle = int;
constexpr FtHandle kNoHandle = -1;

// Purge mask bits.
constexpr uint32_t kPurgeRx = 1;
constexpr uint32_t kPurgeTx = 2;

// Data characteristics as the library encodes them.
constexpr uint8_t kBits8 = 8;
constexpr uint8_t kStopBits1 = 0;
constexpr uint8_t kParityNone = 0;

class FtDriver {
public:
    virtual ~FtDriver() = default;

    // Builds the list of attached devices; count receives their number.
    virtual FtStatus CreateDeviceInfoList(uint32_t& count) = 0;
    // Opens the device at a list index (0 .. count-1).
    virtual FtStatus Open(int index, FtHandle& handle) = 0;
    virtual FtStatus Close(FtHandle handle) = 0;
    virtual FtStatus ResetDevice(FtHandle handle) = 0;
    virtual FtStatus SetBaudRate(FtHandle handle, uint32_t baud) = 0;
    virtual FtStatus SetDataCharacteristics(FtHandle handle, uint8_t bits, uint8_t stopBits,
                                            uint8_t parity) = 0;
    virtual FtStatus SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) = 0;
    virtual FtStatus SetLatencyTimer(FtHandle handle, uint8_t ms) = 0;
    virtual FtStatus GetDriverVersion(FtHandle handle, uint32_t& version) = 0;
    // Writes len bytes; written receives the count taken.
    virtual FtStatus Write(FtHandle handle, const uint8_t* data, uint32_t len,
                           uint32_t& written) = 0;
    // Reads up to len bytes; returns when len bytes have come or the read
    // time-out has passed. got receives the count read (0 on time-out).
    virtual FtStatus Read(FtHandle handle, uint8_t* data, uint32_t len, uint32_t& got) = 0;
    // Receive-queue length, transmit-queue length and event status.
    // A failure means the device is gone.
    virtual FtStatus GetStatus(FtHandle handle, uint32_t& rxQueue, uint32_t& txQueue,
                               uint32_t& events) = 0;
    virtual FtStatus Purge(FtHandle handle, uint32_t mask) = 0;

    // Blocks until the receive queue holds at least n bytes or timeoutMs has
    // passed, without spinning. rxQueue receives the queue length at return.
    // Returns Ok in both cases; a failure means the device is gone.
    virtual FtStatus WaitForQueue(FtHandle handle, uint32_t n, uint32_t timeoutMs,
                                  uint32_t& rxQueue) = 0;
};

}  // namespace zjig
