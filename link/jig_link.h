// The USB link to the JIG: the one open FTDI device and its transfer buffer,
// opening with identification by firmware version, and the blocking waits.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/ft_driver.h"
#include "link/waits.h"

namespace zjig {

struct Program;

inline constexpr const char* kExpectedFirmwareVersion = "M328_EPM240_v20";
inline constexpr size_t kTransferBufferSize = 1100;

struct JigLink {
    FtDriver* driver = nullptr;
    WaitLimits* limits = nullptr;
    FtHandle handle = kNoHandle;
    bool isOpen = false;

    // Shared by frames and answers: frames are built at its start, answers
    // are read into its start.
    std::array<uint8_t, kTransferBufferSize> buffer{};
    uint32_t lastWritten = 0;
    uint32_t lastRead = 0;
    uint32_t rxQueue = 0, txQueue = 0, eventStatus = 0;
    uint32_t driverVersion = 0;

    // What the current operation is doing, named in the report when a wait
    // fails ("block 17 of 512"). Set by the families; cleared on open.
    std::string context;

    // Low-level helpers used by the frames and the families.
    // Writes the first n bytes of the buffer in one write call.
    void WriteBuffer(uint32_t n);
    // Writes bytes from elsewhere in one write call.
    void WriteBytes(const uint8_t* data, uint32_t n);
    // Queue wait: blocks until at least n bytes are queued, then returns the
    // queue length (which may exceed n). Throws JigNoAnswer after limitMs
    // (0: the idle limit) without a new byte, or at once when the device is gone.
    uint32_t WaitQueue(uint32_t n, const std::string& what, uint32_t limitMs = 0);
    // Queue wait for n bytes, then reads exactly n bytes into the buffer's start.
    void ReadExactly(uint32_t n, const std::string& what, uint32_t limitMs = 0);
    // Acknowledgement wait: one byte into buffer[0]; returns it.
    uint8_t ReadAck(const std::string& what, uint32_t limitMs = 0);
    // Reads whatever is queued (at most max bytes) into dest; returns the count.
    uint32_t ReadQueued(uint8_t* dest, uint32_t max);
    // Receive-queue length; throws JigNoAnswer(deviceGone) when the status query fails.
    uint32_t QueueLength(const std::string& what);
};

// Maps a received byte to a version character: '0'-'9', 'A'-'Z', 'a'-'z', '.'
// and '_' stand for themselves, every other byte becomes a space.
char SanitizeVersionChar(uint8_t byte);

// Opens the first device (last index first) that identifies as a JIG.
bool OpenJigLink(Program& p, bool verbose);
// Verbose opening plus the firmware version check; starts the firmware update
// job when the version differs (or a silent device meets "UPDATE.txt").
bool OpenJigLinkChecked(Program& p);
void CloseJigLink(Program& p);

}  // namespace zjig
