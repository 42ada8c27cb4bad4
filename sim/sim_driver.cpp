#include "sim/sim_driver.h"

#include <algorithm>

namespace zjig::sim {

SimDriver::~SimDriver() = default;

void SimDriver::Plug(std::shared_ptr<SimSerial> device) {
    std::lock_guard lock(m_);
    devices_.push_back(std::move(device));
}

void SimDriver::UnplugAll() {
    std::vector<std::shared_ptr<SimSerial>> devices;
    {
        std::lock_guard lock(m_);
        devices.swap(devices_);
    }
    for (auto& d : devices) d->Unplug();
}

std::vector<std::shared_ptr<SimSerial>> SimDriver::Devices() const {
    std::lock_guard lock(m_);
    return devices_;
}

void SimDriver::FailDeviceList(bool fail) {
    std::lock_guard lock(m_);
    failList_ = fail;
}

void SimDriver::FailOpen(int index, bool fail) {
    std::lock_guard lock(m_);
    failOpen_[index] = fail;
}

void SimDriver::FailSettings(bool fail) {
    std::lock_guard lock(m_);
    failSettings_ = fail;
}

std::vector<SimDriver::HandleInfo> SimDriver::OpenHandles() const {
    std::lock_guard lock(m_);
    std::vector<HandleInfo> out;
    for (const auto& [h, info] : handles_) out.push_back(info);
    return out;
}

int SimDriver::OpenCount() const {
    std::lock_guard lock(m_);
    return static_cast<int>(handles_.size());
}

int SimDriver::TotalOpens() const {
    std::lock_guard lock(m_);
    return totalOpens_;
}

SimDriver::HandleInfo* SimDriver::Find(FtHandle handle) {
    auto it = handles_.find(handle);
    return it == handles_.end() ? nullptr : &it->second;
}

FtStatus SimDriver::CreateDeviceInfoList(uint32_t& count) {
    std::lock_guard lock(m_);
    count = 0;
    if (failList_) return FtStatus::OtherError;
    list_.clear();
    for (auto& d : devices_)
        if (!d->Gone()) list_.push_back(d);
    count = static_cast<uint32_t>(list_.size());
    return FtStatus::Ok;
}

FtStatus SimDriver::Open(int index, FtHandle& handle) {
    std::lock_guard lock(m_);
    handle = kNoHandle;
    if (index < 0 || index >= static_cast<int>(list_.size())) return FtStatus::DeviceNotFound;
    if (failOpen_[index]) return FtStatus::DeviceNotOpened;
    auto dev = list_[static_cast<size_t>(index)];
    if (dev->Gone()) return FtStatus::DeviceNotFound;
    for (const auto& [h, info] : handles_)
        if (info.device == dev) return FtStatus::DeviceNotOpened;  // already open
    handle = nextHandle_++;
    handles_[handle] = HandleInfo{dev};
    ++totalOpens_;
    return FtStatus::Ok;
}

FtStatus SimDriver::Close(FtHandle handle) {
    std::lock_guard lock(m_);
    return handles_.erase(handle) ? FtStatus::Ok : FtStatus::InvalidHandle;
}

FtStatus SimDriver::Settings(FtHandle handle, const std::function<void(HandleInfo&)>& f) {
    std::lock_guard lock(m_);
    auto* info = Find(handle);
    if (!info) return FtStatus::InvalidHandle;
    if (info->device->Gone()) return FtStatus::IoError;
    f(*info);
    return failSettings_ ? FtStatus::IoError : FtStatus::Ok;
}

FtStatus SimDriver::ResetDevice(FtHandle handle) {
    // A reset of the bridge drops whatever its buffers held.
    return Settings(handle, [](HandleInfo& i) { i.device->HostPurge(true, true); });
}
FtStatus SimDriver::SetBaudRate(FtHandle handle, uint32_t baud) {
    return Settings(handle, [&](HandleInfo& i) { i.baud = baud; });
}
FtStatus SimDriver::SetDataCharacteristics(FtHandle handle, uint8_t bits, uint8_t stopBits,
                                           uint8_t parity) {
    return Settings(handle, [&](HandleInfo& i) {
        i.bits = bits, i.stopBits = stopBits, i.parity = parity;
    });
}
FtStatus SimDriver::SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) {
    return Settings(handle, [&](HandleInfo& i) {
        i.readTimeoutMs = readMs, i.writeTimeoutMs = writeMs;
    });
}
FtStatus SimDriver::SetLatencyTimer(FtHandle handle, uint8_t ms) {
    return Settings(handle, [&](HandleInfo& i) { i.latencyMs = ms; });
}

FtStatus SimDriver::GetDriverVersion(FtHandle handle, uint32_t& version) {
    std::lock_guard lock(m_);
    if (!Find(handle)) return FtStatus::InvalidHandle;
    version = driverVersion;
    return FtStatus::Ok;
}

FtStatus SimDriver::Write(FtHandle handle, const uint8_t* data, uint32_t len, uint32_t& written) {
    std::shared_ptr<SimSerial> dev;
    {
        std::lock_guard lock(m_);
        auto* info = Find(handle);
        written = 0;
        if (!info) return FtStatus::InvalidHandle;
        dev = info->device;
    }
    if (!dev->HostWrite(data, len)) return FtStatus::IoError;
    written = len;
    return FtStatus::Ok;
}

FtStatus SimDriver::Read(FtHandle handle, uint8_t* data, uint32_t len, uint32_t& got) {
    std::shared_ptr<SimSerial> dev;
    uint32_t timeout;
    {
        std::lock_guard lock(m_);
        auto* info = Find(handle);
        got = 0;
        if (!info) return FtStatus::InvalidHandle;
        dev = info->device;
        timeout = info->readTimeoutMs;
    }
    auto n = dev->HostRead(data, len, timeout);
    if (!n) return FtStatus::IoError;
    got = *n;
    return FtStatus::Ok;
}

FtStatus SimDriver::GetStatus(FtHandle handle, uint32_t& rxQueue, uint32_t& txQueue,
                              uint32_t& events) {
    std::shared_ptr<SimSerial> dev;
    {
        std::lock_guard lock(m_);
        auto* info = Find(handle);
        rxQueue = txQueue = events = 0;
        if (!info) return FtStatus::InvalidHandle;
        dev = info->device;
    }
    if (dev->Gone()) return FtStatus::IoError;
    rxQueue = dev->Available();
    return FtStatus::Ok;
}

FtStatus SimDriver::Purge(FtHandle handle, uint32_t mask) {
    std::shared_ptr<SimSerial> dev;
    {
        std::lock_guard lock(m_);
        auto* info = Find(handle);
        if (!info) return FtStatus::InvalidHandle;
        dev = info->device;
    }
    dev->HostPurge(mask & kPurgeRx, mask & kPurgeTx);
    return FtStatus::Ok;
}

FtStatus SimDriver::WaitForQueue(FtHandle handle, uint32_t n, uint32_t timeoutMs,
                                 uint32_t& rxQueue) {
    std::shared_ptr<SimSerial> dev;
    {
        std::lock_guard lock(m_);
        auto* info = Find(handle);
        rxQueue = 0;
        if (!info) return FtStatus::InvalidHandle;
        dev = info->device;
    }
    auto avail = dev->HostWait(n, timeoutMs);
    if (!avail) return FtStatus::IoError;
    rxQueue = *avail;
    return FtStatus::Ok;
}

}  // namespace zjig::sim
