// A driver that plays a script: it records what the host writes and hands
// out answer bytes queued by the test, for byte-exact frame tests.
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "link/ft_driver.h"

namespace zjig::test {

class ScriptDriver : public FtDriver {
public:
    std::vector<uint8_t> written;
    std::deque<uint8_t> rx;
    std::vector<uint32_t> readSizes;  // the length asked by every Read
    bool gone = false;
    // Called when a wait finds too few bytes; may queue more (they "arrive").
    std::function<void(ScriptDriver&)> onStarve;
    // Called after every write; may queue the answer.
    std::function<void(ScriptDriver&, const std::vector<uint8_t>& frame)> onWrite;

    void Queue(std::initializer_list<uint8_t> bytes) { rx.insert(rx.end(), bytes); }

    FtStatus CreateDeviceInfoList(uint32_t& count) override {
        count = 1;
        return FtStatus::Ok;
    }
    FtStatus Open(int, FtHandle& h) override {
        h = 1;
        return FtStatus::Ok;
    }
    FtStatus Close(FtHandle) override { return FtStatus::Ok; }
    FtStatus ResetDevice(FtHandle) override { return FtStatus::Ok; }
    FtStatus SetBaudRate(FtHandle, uint32_t) override { return FtStatus::Ok; }
    FtStatus SetDataCharacteristics(FtHandle, uint8_t, uint8_t, uint8_t) override {
        return FtStatus::Ok;
    }
    FtStatus SetTimeouts(FtHandle, uint32_t, uint32_t) override { return FtStatus::Ok; }
    FtStatus SetLatencyTimer(FtHandle, uint8_t) override { return FtStatus::Ok; }
    FtStatus GetDriverVersion(FtHandle, uint32_t& v) override {
        v = 0x21800;
        return FtStatus::Ok;
    }
    FtStatus Write(FtHandle, const uint8_t* d, uint32_t n, uint32_t& w) override {
        if (gone) return FtStatus::IoError;
        std::vector<uint8_t> frame(d, d + n);
        written.insert(written.end(), d, d + n);
        w = n;
        if (onWrite) onWrite(*this, frame);
        return FtStatus::Ok;
    }
    FtStatus Read(FtHandle, uint8_t* d, uint32_t n, uint32_t& got) override {
        readSizes.push_back(n);
        got = 0;
        if (gone) return FtStatus::IoError;
        while (got < n && !rx.empty()) {
            d[got++] = rx.front();
            rx.pop_front();
        }
        return FtStatus::Ok;
    }
    FtStatus GetStatus(FtHandle, uint32_t& r, uint32_t& t, uint32_t& e) override {
        r = static_cast<uint32_t>(rx.size());
        t = e = 0;
        return gone ? FtStatus::IoError : FtStatus::Ok;
    }
    FtStatus Purge(FtHandle, uint32_t) override {
        rx.clear();
        return FtStatus::Ok;
    }
    FtStatus WaitForQueue(FtHandle, uint32_t n, uint32_t, uint32_t& r) override {
        if (gone) return FtStatus::IoError;
        if (rx.size() < n && onStarve) onStarve(*this);
        r = static_cast<uint32_t>(rx.size());
        return gone ? FtStatus::IoError : FtStatus::Ok;
    }
};

}  // namespace zjig::test
