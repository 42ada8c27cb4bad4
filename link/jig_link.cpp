#include "link/jig_link.h"

#include <chrono>
#include <cstdio>
#include <fstream>

#include "app/jobs.h"
#include "app/log.h"
#include "app/program.h"

namespace zjig {

const char* FtStatusText(FtStatus s) {
    switch (s) {
        case FtStatus::Ok: return "FT_OK";
        case FtStatus::InvalidHandle: return "invalid handle";
        case FtStatus::DeviceNotFound: return "device not found";
        case FtStatus::DeviceNotOpened: return "device not opened";
        case FtStatus::IoError: return "I/O error";
        case FtStatus::InsufficientResources: return "insufficient resources";
        case FtStatus::InvalidParameter: return "invalid parameter";
        case FtStatus::InvalidBaudRate: return "invalid baud rate";
        case FtStatus::OtherError: return "other error";
    }
    return "unknown";
}

namespace {
using Clock = std::chrono::steady_clock;

std::string Describe(const JigLink& link, const std::string& what) {
    return link.context.empty() ? what : what + " (" + link.context + ")";
}
}  // namespace

void JigLink::WriteBytes(const uint8_t* data, uint32_t n) {
    lastWritten = 0;
    if (!isOpen) return;
    // A write is taken as complete; a gone device shows at the next wait.
    driver->Write(handle, data, n, lastWritten);
}

void JigLink::WriteBuffer(uint32_t n) { WriteBytes(buffer.data(), n); }

uint32_t JigLink::QueueLength(const std::string& what) {
    if (!isOpen) throw JigNoAnswer(Describe(*this, what), true, 0, 0);
    if (driver->GetStatus(handle, rxQueue, txQueue, eventStatus) != FtStatus::Ok)
        throw JigNoAnswer(Describe(*this, what), true, 0, 0);
    return rxQueue;
}

uint32_t JigLink::WaitQueue(uint32_t n, const std::string& what, uint32_t limitMs) {
    if (!isOpen) throw JigNoAnswer(Describe(*this, what), true, 0, n);
    const uint32_t limit = limitMs ? limitMs : limits->idleMs.load();
    auto deadline = Clock::now() + std::chrono::milliseconds(limit);
    uint32_t last = 0;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        uint32_t waitMs = left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0;
        uint32_t rx = 0;
        if (driver->WaitForQueue(handle, n, waitMs, rx) != FtStatus::Ok)
            throw JigNoAnswer(Describe(*this, what), true, rx, n);
        rxQueue = rx;
        if (rx >= n) return rx;
        if (rx > last) {
            // A new byte came: the JIG is alive, the limit starts again.
            last = rx;
            deadline = Clock::now() + std::chrono::milliseconds(limit);
            continue;
        }
        if (Clock::now() >= deadline) throw JigNoAnswer(Describe(*this, what), false, rx, n);
    }
}

void JigLink::ReadExactly(uint32_t n, const std::string& what, uint32_t limitMs) {
    WaitQueue(n, what, limitMs);
    uint32_t got = 0;
    if (driver->Read(handle, buffer.data(), n, got) != FtStatus::Ok || got != n) {
        lastRead = got;
        throw JigNoAnswer(Describe(*this, what), true, got, n);
    }
    lastRead = got;
}

uint8_t JigLink::ReadAck(const std::string& what, uint32_t limitMs) {
    ReadExactly(1, what, limitMs);
    return buffer[0];
}

uint32_t JigLink::ReadQueued(uint8_t* dest, uint32_t max) {
    if (!isOpen) return 0;
    uint32_t rx = 0, tx = 0, ev = 0;
    if (driver->GetStatus(handle, rx, tx, ev) != FtStatus::Ok) return 0;
    uint32_t n = rx < max ? rx : max;
    uint32_t got = 0;
    if (n) driver->Read(handle, dest, n, got);
    lastRead = got;
    return got;
}

char SanitizeVersionChar(uint8_t c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' ||
        c == '_')
        return static_cast<char>(c);
    return ' ';
}

bool OpenJigLink(Program& p, bool verbose) {
    JigLink& link = p.link;
    if (link.isOpen) CloseJigLink(p);
    link.context.clear();
    p.JigVersion.Set("NONE");

    uint32_t count = 0;
    if (p.driver.CreateDeviceInfoList(count) != FtStatus::Ok) {
        if (verbose) AppendLog(p, "FT_CreateDeviceInfoList not FT_OK\n", colors::Red);
        return false;
    }
    if (count == 0) {
        if (verbose) AppendLog(p, "Not found FTDI device \n", colors::Red);
        return false;
    }
    for (int index = static_cast<int>(count) - 1; index >= 0; --index) {
        FtHandle h = kNoHandle;
        if (p.driver.Open(index, h) != FtStatus::Ok) {
            AppendLog(p, "FT_Open не FT_OK \n", colors::Red);
            continue;
        }
        bool settingsOk = p.driver.ResetDevice(h) == FtStatus::Ok;
        settingsOk = p.driver.SetBaudRate(h, 921600) == FtStatus::Ok && settingsOk;
        settingsOk = p.driver.SetDataCharacteristics(h, kBits8, kStopBits1, kParityNone) ==
                         FtStatus::Ok &&
                     settingsOk;
        settingsOk = p.driver.SetTimeouts(h, 200, 200) == FtStatus::Ok && settingsOk;
        if (!settingsOk) AppendLog(p, "FTDI port settings not FT_OK!", colors::Red);

        link.driver = &p.driver;
        link.limits = &p.limits;
        link.handle = h;
        link.isOpen = true;
        p.JigVersion.Set("");

        link.buffer[0] = 'B';
        link.WriteBuffer(1);
        uint32_t got = 0;
        p.driver.Read(h, link.buffer.data(), 32, got);
        link.lastRead = got;
        if (got == 0) {
            CloseJigLink(p);
            continue;
        }
        std::string version;
        for (uint32_t i = 0; i < got; ++i) version += SanitizeVersionChar(link.buffer[i]);
        p.JigVersion.Set(version);

        p.driver.GetDriverVersion(h, link.driverVersion);
        if (verbose) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "%04X", link.driverVersion);
            AppendLog(p, "FTDI driver version ", colors::Blue);
            AppendLog(p, std::string(hex) + "\n", colors::Blue);
            AppendLog(p, "Version FW JIG ", colors::Blue);
            AppendLog(p, version + "\n", colors::Fuchsia);
        }
        if (version.find("EPM240") != std::string::npos) {
            p.driver.SetLatencyTimer(h, 2);
            return true;
        }
        CloseJigLink(p);
    }
    if (verbose) AppendLog(p, "FTDI found, programmer not respond !\n", colors::Red);
    return false;
}

bool OpenJigLinkChecked(Program& p) {
    const bool opened = OpenJigLink(p, true);
    const std::string version = p.JigVersion.Get();
    if (opened && version == kExpectedFirmwareVersion) return true;
    if (opened) {
        CloseJigLink(p);
        StartJob(p, "FWUPDATE");
        return false;
    }
    if (version == "NONE") return false;
    std::ifstream marker(p.DataFile("UPDATE.txt"));
    if (marker.is_open()) {
        marker.close();
        StartJob(p, "FWUPDATE");
    }
    return false;
}

void CloseJigLink(Program& p) {
    JigLink& link = p.link;
    if (link.isOpen) p.driver.Close(link.handle);
    link.isOpen = false;
    link.handle = kNoHandle;
}

}  // namespace zjig
