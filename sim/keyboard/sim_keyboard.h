// The simulated keyboard on the JIG's 32-contact connector, and the JIG
// firmware's keyboard scan: 'U' answers one report of the contacts that are
// connected at the time of the request.
//
// The keyboard is a matrix without diodes: a closed key joins two contacts,
// and contacts joined through several closed keys are all connected to each
// other (ghosting). The firmware drives each contact f in turn and reports
// every other contact it sees: for each such f a group '>' f followed by
// those contacts in ascending order, then '&' ends the report ('&' alone:
// nothing closed). Each closed pair therefore appears in both directions.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "sim/sim_serial.h"

namespace zjig::sim {

class SimJig;

// A pair of contacts (1..32), kept with the lower contact first.
using ContactPair = std::pair<int, int>;
ContactPair MakePair(int a, int b);

// A key closing (closed = true) or opening at a time after the script's start.
struct KeyEvent {
    std::chrono::milliseconds at;
    ContactPair pair;
    bool closed;
};

// Events of a key pressed at `at` and released after `hold`.
std::vector<KeyEvent> KeyPress(int a, int b, std::chrono::milliseconds at,
                               std::chrono::milliseconds hold);

// The report the firmware sends when these pairs are closed.
std::vector<uint8_t> EncodeScanReport(const std::set<ContactPair>& closed);

class SimKeyboard {
public:
    // ---- the bench ----
    // Replaces the script of presses and releases; times count from `start`.
    // With a period the script repeats (times taken modulo the period).
    void Script(std::vector<KeyEvent> events,
                std::chrono::milliseconds period = std::chrono::milliseconds(0),
                Clock::time_point start = Clock::now());
    // A pair closed for good (a stuck key, a short in the cable).
    void ClosePermanently(int a, int b);
    void OpenPermanent(int a, int b);
    // The closed pairs of the next scans, one set per 'U', used instead of
    // the script (permanently closed pairs still add to them).
    void QueueScans(const std::vector<std::set<ContactPair>>& scans);
    // Bytes that answer the next 'U' requests instead of a scan, one entry
    // per request (a faulty firmware or a noisy cable).
    void QueueRawAnswers(const std::vector<std::vector<uint8_t>>& answers);
    // Sends every report in two parts: its first `at` bytes, then after
    // `delay` the rest.
    void SplitReports(size_t at, std::chrono::milliseconds delay);
    void NoSplit();
    // false: the firmware takes 'U' and never answers it.
    void SetAnswering(bool on);
    // How long one scan of the 32 contacts takes before the report is sent.
    void SetScanTime(std::chrono::microseconds t);
    // Back to an idle keyboard: no script, nothing closed or queued, whole
    // reports, answering.
    void Reset();

    // ---- what the firmware sees ----
    std::set<ContactPair> ClosedAt(Clock::time_point t) const;
    // Number of 'U' requests taken so far.
    uint64_t Scans() const;
    // Waits until at least n requests were taken; false after the limit.
    bool WaitForScans(uint64_t n, std::chrono::milliseconds limit) const;

    // The firmware's answer to one 'U' taken at `now`.
    struct Answer {
        bool send = true;
        std::vector<uint8_t> bytes;
        std::optional<size_t> splitAt;
        std::chrono::milliseconds splitDelay{0};
        std::chrono::microseconds scanTime{0};
    };
    Answer TakeScan(Clock::time_point now);

private:
    std::set<ContactPair> ClosedAtLocked(Clock::time_point t) const;

    mutable std::mutex m_;
    mutable std::condition_variable scanned_;
    std::vector<KeyEvent> events_;
    std::chrono::milliseconds period_{0};
    Clock::time_point start_ = Clock::now();
    std::set<ContactPair> permanent_;
    std::deque<std::set<ContactPair>> scans_;
    std::deque<std::vector<uint8_t>> raw_;
    std::optional<size_t> splitAt_;
    std::chrono::milliseconds splitDelay_{0};
    bool answering_ = true;
    std::chrono::microseconds scanTime_{2000};
    uint64_t scanCount_ = 0;
};

// Installs the 'U' handler and the demonstration's keyboard: a few keys
// pressed in turn, over and over.
void InstallKeyboardSim(SimJig& jig);

}  // namespace zjig::sim
