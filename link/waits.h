// Time limits of every wait for the JIG, kept in one place.
//
// Every wait blocks on the driver (no spinning) and ends with JigNoAnswer when
// no new byte has come for the limit, or at once when the device reports
// itself gone. The operation that waited then ends through FailOperation
// (app/operation.h): red line, failure mark, link and file closed, "NONE".
#pragma once

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace zjig {

struct WaitLimits {
    // No new byte for this long: the JIG did not answer.
    std::atomic<uint32_t> idleMs{5000};
    // Operations that legitimately take long (chip erases) pass their own
    // limit; this is the one they use.
    std::atomic<uint32_t> longOperationMs{120000};
    // The best-effort failure mark sent after a failed wait.
    std::atomic<uint32_t> failureMarkMs{500};
};

// A wait for the JIG that ended without the awaited bytes.
class JigNoAnswer : public std::runtime_error {
public:
    JigNoAnswer(std::string what, bool deviceGone, uint32_t received, uint32_t expected)
        : std::runtime_error(std::move(what)),
          deviceGone_(deviceGone),
          received_(received),
          expected_(expected) {}
    // The device reported itself gone (unplugged), rather than falling silent.
    bool DeviceGone() const { return deviceGone_; }
    uint32_t Received() const { return received_; }
    uint32_t Expected() const { return expected_; }

private:
    bool deviceGone_;
    uint32_t received_;
    uint32_t expected_;
};

// The JIG answered, but not in the form the protocol allows (for example more
// bytes than a block). Ends the operation like JigNoAnswer.
class JigProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace zjig
