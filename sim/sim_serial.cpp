#include "sim/sim_serial.h"

#include <algorithm>

namespace zjig::sim {

SimSerial::SimSerial(std::string description) : description_(std::move(description)) {}

SimSerial::~SimSerial() { Stop(); }

void SimSerial::Start(std::function<void(SimSerial&)> firmware) {
    thread_ = std::thread([this, fw = std::move(firmware)] {
        try {
            fw(*this);
        } catch (const SimStopped&) {
        }
    });
}

void SimSerial::Stop() {
    {
        std::lock_guard lock(m_);
        stopping_ = true;
    }
    deviceCv_.notify_all();
    hostCv_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool SimSerial::GoneLocked(Clock::time_point now) const { return goneAt_ && now >= *goneAt_; }

uint32_t SimSerial::AvailableLocked(Clock::time_point now) const {
    // Arrival times only grow, so the arrived bytes are a prefix.
    auto it = std::upper_bound(toHost_.begin(), toHost_.end(), now,
                               [](Clock::time_point t, const Timed& b) { return t < b.at; });
    return static_cast<uint32_t>(it - toHost_.begin());
}

void SimSerial::MakeGoneLocked(Clock::time_point at) {
    if (!goneAt_ || at < *goneAt_) goneAt_ = at;
    hostCv_.notify_all();
    deviceCv_.notify_all();
}

bool SimSerial::Gone() const {
    std::lock_guard lock(m_);
    return GoneLocked(Clock::now());
}

uint32_t SimSerial::Available() const {
    std::lock_guard lock(m_);
    return AvailableLocked(Clock::now());
}

bool SimSerial::HostWrite(const uint8_t* data, uint32_t n) {
    std::unique_lock lock(m_);
    auto now = Clock::now();
    if (GoneLocked(now)) return false;
    auto start = now;
    auto bt = timing_.enabled ? timing_.ByteTime() : std::chrono::nanoseconds(0);
    if (timing_.enabled) {
        if (now + timing_.usbLatency >= toDeviceEnd_) {
            start = now + timing_.usbLatency;
            floor_ += timing_.usbLatency;
        } else {
            start = toDeviceEnd_;
        }
        floor_ += bt * n;
    }
    for (uint32_t i = 0; i < n; ++i) {
        toDevice_.push_back({start + bt * (i + 1), data[i]});
        hostLog_.push_back(data[i]);
        ++hostWritten_;
        if (unplugAfterHost_ && hostWritten_ >= *unplugAfterHost_) {
            MakeGoneLocked(now);
            break;
        }
    }
    toDeviceEnd_ = start + bt * n;
    lock.unlock();
    deviceCv_.notify_all();
    return true;
}

std::optional<uint32_t> SimSerial::HostWait(uint32_t n, uint32_t timeoutMs) {
    std::unique_lock lock(m_);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto now = Clock::now();
        if (GoneLocked(now)) return std::nullopt;
        uint32_t avail = AvailableLocked(now);
        if (avail >= n || now >= deadline) return avail;
        auto wake = deadline;
        if (toHost_.size() >= n) wake = std::min(wake, toHost_[n - 1].at);
        else if (avail < toHost_.size()) wake = std::min(wake, toHost_[avail].at);
        if (goneAt_) wake = std::min(wake, *goneAt_);
        hostCv_.wait_until(lock, wake);
    }
}

std::optional<uint32_t> SimSerial::HostRead(uint8_t* data, uint32_t n, uint32_t timeoutMs) {
    auto avail = HostWait(n, timeoutMs);
    if (!avail) return std::nullopt;
    std::lock_guard lock(m_);
    uint32_t take = std::min<uint32_t>(n, AvailableLocked(Clock::now()));
    for (uint32_t i = 0; i < take; ++i) {
        data[i] = toHost_.front().byte;
        toHost_.pop_front();
    }
    return take;
}

void SimSerial::HostPurge(bool rx, bool tx) {
    std::lock_guard lock(m_);
    if (rx) toHost_.clear();
    if (tx) toDevice_.clear();
}

uint8_t SimSerial::DeviceGet() {
    std::unique_lock lock(m_);
    deviceCv_.wait(lock, [&] { return stopping_ || goneAt_ || !toDevice_.empty(); });
    if (stopping_ || goneAt_) throw SimStopped{};
    Timed t = toDevice_.front();
    toDevice_.pop_front();
    deviceNow_ = std::max(deviceNow_, t.at);
    return t.byte;
}

std::optional<uint8_t> SimSerial::DeviceGetFor(std::chrono::milliseconds limit) {
    std::unique_lock lock(m_);
    bool ready = deviceCv_.wait_for(lock, limit,
                                    [&] { return stopping_ || goneAt_ || !toDevice_.empty(); });
    if (stopping_ || goneAt_) throw SimStopped{};
    if (!ready) return std::nullopt;
    Timed t = toDevice_.front();
    toDevice_.pop_front();
    deviceNow_ = std::max(deviceNow_, t.at);
    return t.byte;
}

size_t SimSerial::DevicePending() const {
    std::lock_guard lock(m_);
    return toDevice_.size();
}

void SimSerial::DeviceSend(const uint8_t* data, size_t n) {
    std::unique_lock lock(m_);
    if (stopping_ || goneAt_) throw SimStopped{};
    if (n == 0) return;
    // Instant answers are stamped with the real time; timed ones with the
    // firmware's virtual time.
    auto now = timing_.enabled ? std::max(deviceNow_, Clock::time_point{}) : Clock::now();
    if (!timing_.enabled) deviceNow_ = now;
    auto bt = timing_.enabled ? timing_.ByteTime() : std::chrono::nanoseconds(0);
    auto start = now;
    if (timing_.enabled) {
        if (now + timing_.usbLatency >= toHostEnd_) {
            start = now + timing_.usbLatency;
            floor_ += timing_.usbLatency;
        } else {
            start = toHostEnd_;
        }
    }
    if (!toHost_.empty()) start = std::max(start, toHost_.back().at);
    size_t i = 0;
    for (; i < n; ++i) {
        if (unplugAfterDevice_ && deviceSent_ >= *unplugAfterDevice_) {
            MakeGoneLocked(i ? toHost_.back().at : start);
            break;
        }
        if (stopAfterDevice_ && deviceSent_ >= *stopAfterDevice_) dropOutput_ = true;
        ++deviceSent_;
        if (dropOutput_) continue;
        toHost_.push_back({start + bt * (i + 1), data[i]});
    }
    if (timing_.enabled) floor_ += bt * i;
    toHostEnd_ = start + bt * i;
    bool gone = goneAt_.has_value();
    lock.unlock();
    hostCv_.notify_all();
    if (gone) throw SimStopped{};
}

void SimSerial::DeviceSend(std::initializer_list<uint8_t> bytes) {
    DeviceSend(bytes.begin(), bytes.size());
}

void SimSerial::DeviceDelay(std::chrono::microseconds d) {
    std::unique_lock lock(m_);
    if (!timing_.enabled) {
        // Instant mode still lets real time pass for waits that are part of
        // the behaviour (a beep); the firmware thread sleeps.
        lock.unlock();
        std::this_thread::sleep_for(d);
        return;
    }
    deviceNow_ += d;
}

void SimSerial::Unplug() {
    std::lock_guard lock(m_);
    MakeGoneLocked(Clock::now());
}

void SimSerial::UnplugAfterDeviceBytes(uint64_t n) {
    std::lock_guard lock(m_);
    unplugAfterDevice_ = n;
}

void SimSerial::UnplugAfterHostBytes(uint64_t n) {
    std::lock_guard lock(m_);
    unplugAfterHost_ = n;
}

void SimSerial::StopAnswering() {
    std::lock_guard lock(m_);
    dropOutput_ = true;
}

void SimSerial::StopAnsweringAfterDeviceBytes(uint64_t n) {
    std::lock_guard lock(m_);
    stopAfterDevice_ = n;
}

void SimSerial::InjectToHost(const std::vector<uint8_t>& bytes) {
    {
        std::lock_guard lock(m_);
        auto at = std::max(Clock::now(), toHost_.empty() ? Clock::time_point{} : toHost_.back().at);
        for (uint8_t b : bytes) toHost_.push_back({at, b});
        toHostEnd_ = std::max(toHostEnd_, at);
    }
    hostCv_.notify_all();
}

void SimSerial::SetTiming(const WireTiming& t) {
    std::lock_guard lock(m_);
    timing_ = t;
}

WireTiming SimSerial::Timing() const {
    std::lock_guard lock(m_);
    return timing_;
}

double SimSerial::FloorSeconds() const {
    std::lock_guard lock(m_);
    return std::chrono::duration<double>(floor_).count();
}

void SimSerial::ResetFloor() {
    std::lock_guard lock(m_);
    floor_ = std::chrono::nanoseconds(0);
}

uint64_t SimSerial::DeviceBytesSent() const {
    std::lock_guard lock(m_);
    return deviceSent_;
}

uint64_t SimSerial::HostBytesWritten() const {
    std::lock_guard lock(m_);
    return hostWritten_;
}

std::vector<uint8_t> SimSerial::HostWrittenLog() const {
    std::lock_guard lock(m_);
    return hostLog_;
}

void SimSerial::ClearHostWrittenLog() {
    std::lock_guard lock(m_);
    hostLog_.clear();
}

}  // namespace zjig::sim
