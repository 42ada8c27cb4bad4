// One simulated FTDI device: the two byte streams between the host and the
// device's firmware, with optional wire timing and injectable faults.
//
// The firmware runs in its own thread and takes the host's bytes one by one
// (DeviceGet), answering with DeviceSend. It works in virtual time: a byte it
// takes is "now" at the moment that byte arrived over the wire, so an answer
// is stamped with the time it would reach the host over a 921600 baud line
// plus the USB turnaround, however fast the simulator itself runs. The host
// sees a byte only once its arrival time has passed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zjig::sim {

using Clock = std::chrono::steady_clock;

struct WireTiming {
    bool enabled = false;
    uint32_t baud = 921600;
    uint32_t bitsPerByte = 10;  // 8N1: start bit, 8 data bits, stop bit
    std::chrono::microseconds usbLatency{1000};  // per burst, each direction

    std::chrono::nanoseconds ByteTime() const {
        return std::chrono::nanoseconds(1'000'000'000ull * bitsPerByte / baud);
    }
};

// Thrown inside the firmware thread when the device is stopped or unplugged.
struct SimStopped {};

class SimSerial {
public:
    explicit SimSerial(std::string description);
    ~SimSerial();
    SimSerial(const SimSerial&) = delete;
    SimSerial& operator=(const SimSerial&) = delete;

    const std::string& Description() const { return description_; }

    // Runs the firmware in its own thread until the device stops.
    void Start(std::function<void(SimSerial&)> firmware);
    void Stop();

    // ---- host side (the driver) ----
    bool Gone() const;
    uint32_t Available() const;
    // false when the device is gone.
    bool HostWrite(const uint8_t* data, uint32_t n);
    // Reads up to n bytes, waiting at most timeoutMs for all of them.
    // nullopt when the device is gone.
    std::optional<uint32_t> HostRead(uint8_t* data, uint32_t n, uint32_t timeoutMs);
    // Waits until n bytes are available or timeoutMs passes; nullopt when gone.
    std::optional<uint32_t> HostWait(uint32_t n, uint32_t timeoutMs);
    void HostPurge(bool rx, bool tx);

    // ---- device side (the firmware thread) ----
    // Next byte from the host; blocks. Throws SimStopped when stopping.
    uint8_t DeviceGet();
    // Like DeviceGet, but gives up after a real-time limit (nullopt).
    std::optional<uint8_t> DeviceGetFor(std::chrono::milliseconds limit);
    void DeviceSend(const uint8_t* data, size_t n);
    void DeviceSend(std::initializer_list<uint8_t> bytes);
    void DeviceSend(const std::vector<uint8_t>& bytes) { DeviceSend(bytes.data(), bytes.size()); }
    // Lets virtual time pass on the device (a beep, an erase).
    void DeviceDelay(std::chrono::microseconds d);
    // The host's bytes waiting for the firmware.
    size_t DevicePending() const;

    // ---- faults ----
    void Unplug();
    // The device vanishes once it has sent n bytes in all (the n+1st never comes).
    void UnplugAfterDeviceBytes(uint64_t n);
    // The device vanishes once the host has written n bytes in all.
    void UnplugAfterHostBytes(uint64_t n);
    // The firmware keeps running but nothing more it sends reaches the host.
    void StopAnswering();
    void StopAnsweringAfterDeviceBytes(uint64_t n);
    // Bytes the host receives although the firmware never sent them.
    void InjectToHost(const std::vector<uint8_t>& bytes);

    // ---- timing and counters ----
    void SetTiming(const WireTiming& t);
    WireTiming Timing() const;
    // The least time the traffic so far needs on the wire: for every burst in
    // either direction, the USB latency plus 10 bit times per byte.
    double FloorSeconds() const;
    void ResetFloor();
    uint64_t DeviceBytesSent() const;
    uint64_t HostBytesWritten() const;
    // Everything the host has written, in order (for tests).
    std::vector<uint8_t> HostWrittenLog() const;
    void ClearHostWrittenLog();

private:
    struct Timed {
        Clock::time_point at;
        uint8_t byte;
    };
    bool GoneLocked(Clock::time_point now) const;
    uint32_t AvailableLocked(Clock::time_point now) const;
    void MakeGoneLocked(Clock::time_point at);

    std::string description_;
    mutable std::mutex m_;
    std::condition_variable hostCv_;    // wakes the host: bytes, gone, purge
    std::condition_variable deviceCv_;  // wakes the firmware: bytes, stop
    std::deque<Timed> toHost_;
    std::deque<Timed> toDevice_;
    std::optional<Clock::time_point> goneAt_;
    bool stopping_ = false;
    bool dropOutput_ = false;
    std::optional<uint64_t> unplugAfterDevice_, unplugAfterHost_, stopAfterDevice_;
    uint64_t deviceSent_ = 0, hostWritten_ = 0;
    std::vector<uint8_t> hostLog_;
    WireTiming timing_;
    Clock::time_point deviceNow_{};     // virtual time of the firmware
    Clock::time_point toHostEnd_{};     // when the device→host line is free again
    Clock::time_point toDeviceEnd_{};   // when the host→device line is free again
    std::chrono::nanoseconds floor_{0};
    std::thread thread_;
};

}  // namespace zjig::sim
