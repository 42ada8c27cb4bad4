// The keyboard matrix test: the job "Keyboard" asks the JIG for scan reports
// ('U'), colours the square of every pair of connector contacts a report
// names (red, then yellow on the next report, and so on), sounds the JIG's
// buzzer on every change (or pauses 100 ms with "Buzzer off" ticked), can hide
// the pairs closed at a chosen moment ("Hide current"), clears on "Clear" and
// stops on "Exit", on a lost JIG, or when the JIG stays silent for a second.
//
// The window (or the command-line front end) only ticks the hidden check
// boxes "CheckBox_clear" and "CheckBox_exit" and mirrors the squares' colours
// from the form model; the worker does everything else.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "keyboard/keyboard_layout.h"

namespace zjig {

// ---- scan reports -------------------------------------------------------

inline constexpr uint8_t kReportGroup = '>';  // starts a group: '>' f, contacts closed with f
inline constexpr uint8_t kReportEnd = '&';    // ends a report
// The longest report the JIG can send: 32 groups of '>', f and 31 contacts,
// and the '&'.
inline constexpr size_t kMaxReportBytes = 32 * 33 + 1;

// One pair a report names, as received: (f, b). It names a square only when
// 1 <= f < b <= 32.
struct ReportPair {
    int f = 0, b = 0;
    friend bool operator==(const ReportPair&, const ReportPair&) = default;
};

// Walks report bytes: '>' sets the first contact f to 0; a byte while f is 0
// becomes f; any other byte b names the pair (f, b). An '&' ends a report (f
// returns to 0), so a buffer holding several reports yields all their pairs.
std::vector<ReportPair> ParseScanReport(const std::vector<uint8_t>& report);
// True when the report holds anything besides its end mark(s).
bool ReportHasContent(const std::vector<uint8_t>& report);

// The bytes received since the last complete report, bounded by
// kMaxReportBytes. A report is complete when the last byte received is '&'.
// A stream longer than any report is dropped as a whole: its bytes are
// discarded up to the next read that ends with '&'.
class ReportBuffer {
public:
    enum class State { Incomplete, Complete, Dropped };

    // Adds bytes just read.
    void Append(const uint8_t* data, size_t n);
    // After the bytes of one read: whether a report (or a dropped stream) ended.
    State Check() const;
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    // Starts the next report.
    void Clear();

private:
    std::vector<uint8_t> bytes_;
    bool overflow_ = false;
    bool endsWithMark_ = false;
};

// ---- the job's state ----------------------------------------------------

// What one report (or a clear) changed, for front ends that print it.
struct PairChange {
    int i = 0, j = 0;
    Rgb color{};
};
struct KeyboardEvent {
    enum class Kind { Report, Cleared } kind = Kind::Report;
    std::vector<PairChange> changes;  // for Report: every square the report painted
};

// Timer_KEYB: the 1000 ms watchdog of the keyboard test and the timer of
// KeyboardPause. It lives on the worker's side: the worker's own waits never
// pass its deadline, and when the deadline passes the tick fires
// (Timer_KEYBTimer: TimeoutFlag := "ERROR").
class KeyboardTimer {
public:
    using Clock = std::chrono::steady_clock;

    void SetInterval(uint32_t ms);
    uint32_t Interval() const;
    // Enabling (re)starts the interval.
    void Enable();
    void Disable();
    bool Enabled() const;
    // Time left to the next tick; nullopt while disabled.
    std::optional<std::chrono::milliseconds> Left() const;
    // Runs the tick when its time has come; true when it did.
    bool TickIfDue(Program& p);
    // Wakes a worker waiting in KeyboardPause (after TimeoutFlag changed).
    void Notify();
    // KeyboardPause's wait: until TimeoutFlag is "ERROR", ticking when due.
    void WaitForTick(Program& p);

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool enabled_ = false;
    uint32_t intervalMs_ = 1000;
    Clock::time_point due_{};
};

struct KeyboardState {
    KeyboardTimer timer;

    // Accessors for the texts shared with the window thread and the tests.
    std::string HideState() const;
    std::string ReportChanged() const;
    std::vector<int> HiddenPairs() const;  // stored shape numbers, at most 1000

    // Called by the worker after each report that coloured a square and after
    // each clear. Set it before the test starts (the command-line front end).
    std::function<void(const KeyboardEvent&)> observer;

    // ---- worker side ----
    mutable std::mutex m;
    std::string hideState = "NONE";       // "NONE", "START", "END"
    std::string reportChanged = "YES";    // "YES", "NO"
    std::vector<int> hiddenPairs;
};

inline constexpr size_t kMaxHiddenPairs = 1000;
inline constexpr uint32_t kKeyboardWatchdogMs = 1000;
inline constexpr uint32_t kBuzzerOffPauseMs = 100;
// How often the worker looks at "Exit" and "Clear" while it waits for the JIG.
inline constexpr uint32_t kKeyboardPollMs = 20;

// ---- operations -----------------------------------------------------------

// Attaches the keyboard test: the mode hook, the job "Keyboard", the click
// handlers and the keyboard window's controls in the form model.
void RegisterKeyboard(Program& p);
// Defines the controls of TForm_KEYB that the test reads and writes.
void DefineKeyboardControls(Program& p);

// The "Keyboard test" branch of the mode selection (window thread).
void StartKeyboardTest(Program& p);
// Sets all 496 squares to a colour, i from 1 to 31 and j from i + 1 to 32.
void PaintAllPairs(Program& p, Rgb color);
// The job body "Keyboard" (worker thread).
void KeyboardJob(Program& p);
// Arms Timer_KEYB for ms and waits for its tick; then 1000 ms again.
void KeyboardPause(Program& p, uint32_t ms);

// Click handlers of "Clear" and "Exit": each only ticks its hidden check box.
void ClearClick(Program& p);
void BitBtn_EXITClick(Program& p);
// The tick of Timer_KEYB: TimeoutFlag := "ERROR".
void Timer_KEYBTimer(Program& p);

}  // namespace zjig
