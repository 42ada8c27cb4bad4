#include "keyboard/keyboard_test.h"

#include <algorithm>
#include <cstdio>

#include "app/log.h"
#include "app/main_form.h"
#include "app/operation.h"
#include "link/jig_link.h"
#include "link/protocol.h"

namespace zjig {

// ---- scan reports -------------------------------------------------------

std::vector<ReportPair> ParseScanReport(const std::vector<uint8_t>& report) {
    std::vector<ReportPair> pairs;
    int f = 0;
    for (uint8_t byte : report) {
        if (byte == kReportGroup || byte == kReportEnd) {
            f = 0;
        } else if (f == 0) {
            f = byte;
        } else {
            pairs.push_back({f, byte});
        }
    }
    return pairs;
}

bool ReportHasContent(const std::vector<uint8_t>& report) {
    return std::any_of(report.begin(), report.end(), [](uint8_t b) { return b != kReportEnd; });
}

void ReportBuffer::Append(const uint8_t* data, size_t n) {
    if (n == 0) return;
    endsWithMark_ = data[n - 1] == kReportEnd;
    if (overflow_) return;
    if (bytes_.size() + n > kMaxReportBytes) {
        // Longer than any report: keep nothing of it, never grow past the bound.
        overflow_ = true;
        bytes_.clear();
        return;
    }
    bytes_.insert(bytes_.end(), data, data + n);
}

ReportBuffer::State ReportBuffer::Check() const {
    if (!endsWithMark_) return State::Incomplete;
    return overflow_ ? State::Dropped : State::Complete;
}

void ReportBuffer::Clear() {
    bytes_.clear();
    overflow_ = false;
    endsWithMark_ = false;
}

// ---- Timer_KEYB ---------------------------------------------------------

void KeyboardTimer::SetInterval(uint32_t ms) {
    std::lock_guard lock(m_);
    intervalMs_ = ms;
}

uint32_t KeyboardTimer::Interval() const {
    std::lock_guard lock(m_);
    return intervalMs_;
}

void KeyboardTimer::Enable() {
    {
        std::lock_guard lock(m_);
        enabled_ = true;
        due_ = Clock::now() + std::chrono::milliseconds(intervalMs_);
    }
    cv_.notify_all();
}

void KeyboardTimer::Disable() {
    {
        std::lock_guard lock(m_);
        enabled_ = false;
    }
    cv_.notify_all();
}

bool KeyboardTimer::Enabled() const {
    std::lock_guard lock(m_);
    return enabled_;
}

std::optional<std::chrono::milliseconds> KeyboardTimer::Left() const {
    std::lock_guard lock(m_);
    if (!enabled_) return std::nullopt;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(due_ - Clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

bool KeyboardTimer::TickIfDue(Program& p) {
    {
        std::lock_guard lock(m_);
        const auto now = Clock::now();
        if (!enabled_ || now < due_) return false;
        due_ = now + std::chrono::milliseconds(intervalMs_);
    }
    Timer_KEYBTimer(p);
    return true;
}

void KeyboardTimer::Notify() {
    { std::lock_guard lock(m_); }
    cv_.notify_all();
}

void KeyboardTimer::WaitForTick(Program& p) {
    for (;;) {
        if (p.TimeoutFlag.Is("ERROR")) return;
        if (TickIfDue(p)) continue;
        std::unique_lock lock(m_);
        // A disabled timer never ticks: nothing to wait for.
        if (!enabled_) return;
        // Checked under the timer's lock, so a tick from elsewhere
        // (Timer_KEYBTimer notifies under it) cannot be missed.
        if (p.TimeoutFlag.Is("ERROR")) return;
        cv_.wait_until(lock, due_);
    }
}

// ---- state --------------------------------------------------------------

std::string KeyboardState::HideState() const {
    std::lock_guard lock(m);
    return hideState;
}

std::string KeyboardState::ReportChanged() const {
    std::lock_guard lock(m);
    return reportChanged;
}

std::vector<int> KeyboardState::HiddenPairs() const {
    std::lock_guard lock(m);
    return hiddenPairs;
}

// ---- window side ----------------------------------------------------------

namespace {

ControlState Control(std::string text, bool visible = true) {
    ControlState c;
    c.text = std::move(text);
    c.visible = visible;
    return c;
}

}  // namespace

void DefineKeyboardControls(Program& p) {
    auto& f = p.form;
    for (int i = 1; i < kKeyboardContacts; ++i) {
        for (int j = i + 1; j <= kKeyboardContacts; ++j) {
            ControlState shape;
            shape.color = colors::SkyBlue;
            f.Define(KeyboardShapeName(i, j), shape);
        }
    }
    f.Define("Buzzer_box", Control("Buzzer off"));
    f.Define("CheckBox_hide", Control("Hide current"));
    f.Define("Clear", Control("Clear"));
    f.Define("BitBtn_EXIT", Control("Exit"));
    f.Define("CheckBox_clear", Control("", false));
    f.Define("CheckBox_exit", Control("", false));
}

void RegisterKeyboard(Program& p) {
    DefineKeyboardControls(p);
    p.modes.startKeyboardTest = StartKeyboardTest;
    p.jobs.Register(job_order::kKeyboard, "Keyboard", false, KeyboardJob);
    p.handlers["ClearClick"] = ClearClick;
    p.handlers["BitBtn_EXITClick"] = BitBtn_EXITClick;
    p.handlers["Timer_KEYBTimer"] = Timer_KEYBTimer;
}

void PaintAllPairs(Program& p, Rgb color) {
    for (int i = 1; i < kKeyboardContacts; ++i)
        for (int j = i + 1; j <= kKeyboardContacts; ++j)
            p.form.SetColor(KeyboardShapeName(i, j), color);
}

void StartKeyboardTest(Program& p) {
    if (!p.CurrentJob.Is("NONE")) return;
    ShowLog(p);
    BeginOperation(p);
    RunGuarded(p, [&] {
        if (!OpenJigLinkChecked(p)) return;
        DisableForOperation(p, "CBox_Selector");
        p.op.afterFailure.push_back([](Program& q) {
            q.form.SetVisible("TForm_KEYB", false);
            q.form.SetItemIndex("CBox_Selector", 0);
        });
        p.form.SetVisible("TForm_KEYB", true);
        p.CurrentJob.Set("Keyboard");
        PaintAllPairs(p, colors::SkyBlue);
        p.jobs.StartThread(p);
    });
}

void ClearClick(Program& p) { p.form.SetChecked("CheckBox_clear", true); }

void BitBtn_EXITClick(Program& p) { p.form.SetChecked("CheckBox_exit", true); }

void Timer_KEYBTimer(Program& p) {
    p.TimeoutFlag.Set("ERROR");
    p.State<KeyboardState>().timer.Notify();
}

void KeyboardPause(Program& p, uint32_t ms) {
    auto& timer = p.State<KeyboardState>().timer;
    p.TimeoutFlag.Set("OK");
    timer.SetInterval(ms);
    timer.Enable();
    timer.WaitForTick(p);
    timer.Disable();
    timer.SetInterval(kKeyboardWatchdogMs);
    p.TimeoutFlag.Set("OK");
}

// ---- the job ----------------------------------------------------------------

namespace {

std::string Seconds(uint32_t ms) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", ms / 1000.0);
    return buf;
}

// One run of the keyboard test on the worker thread.
class KeyboardRun {
public:
    explicit KeyboardRun(Program& p) : p_(p), k_(p.State<KeyboardState>()), link_(p.link) {}

    void Run() {
        Start();
        if (failure_.empty()) Loop();
        Stop();
    }

private:
    void Start() {
        {
            std::lock_guard lock(k_.m);
            k_.reportChanged = "YES";
        }
        AppendLog(p_, "Keyboard testing start.\n", colors::Blue);
        p_.form.SetChecked("CheckBox_clear", false);
        p_.form.SetChecked("CheckBox_exit", false);
        p_.form.SetChecked("CheckBox_hide", false);
        p_.form.SetChecked("Buzzer_box", false);
        link_.context = "keyboard test";
        try {
            SendJigCommand(link_, "RESET_ALTERA");
            lastRequest_ = std::chrono::steady_clock::now();
            SendJigCommand(link_, "ByteSendNoReadByte", 'U');
        } catch (const JigNoAnswer& e) {
            failure_ = e.DeviceGone()
                           ? "The JIG was disconnected while waiting for " + std::string(e.what()) +
                                 ".\n"
                           : "The JIG did not answer: no " + std::string(e.what()) + " within " +
                                 Seconds(p_.limits.idleMs.load()) + " s.\n";
            return;
        }
        p_.TimeoutFlag.Set("OK");
        {
            std::lock_guard lock(k_.m);
            k_.hideState = "NONE";
        }
        k_.timer.SetInterval(kKeyboardWatchdogMs);
        k_.timer.Enable();
    }

    void Loop() {
        for (;;) {
            uint32_t rx = 0;
            if (!QueueLength(rx)) break;
            if (rx == 0 && !WaitForBytes(rx)) break;
            if (rx > 0) {
                if (!ReadQueued(rx)) break;
                const auto state = buffer_.Check();
                if (state == ReportBuffer::State::Complete) {
                    if (!HandleReport()) break;
                } else if (state == ReportBuffer::State::Dropped) {
                    HandleDropped();
                }
            }
            // A stream that never completes a report must not keep the
            // watchdog from firing.
            k_.timer.TickIfDue(p_);
            if (p_.TimeoutFlag.Is("ERROR")) break;
            if (p_.form.Checked("CheckBox_exit")) break;
            if (p_.form.Checked("CheckBox_clear")) {
                p_.form.SetChecked("CheckBox_clear", false);
                p_.form.SetChecked("CheckBox_hide", false);
                PaintAllPairs(p_, colors::SkyBlue);
                Notify(KeyboardEvent{KeyboardEvent::Kind::Cleared, {}});
            }
        }
    }

    void Stop() {
        k_.timer.Disable();
        const bool failed = !failure_.empty() || p_.TimeoutFlag.Is("ERROR");
        if (failed) {
            if (failure_.empty())
                failure_ = "The JIG did not answer: no " + waitingFor_ + " within " +
                           Seconds(k_.timer.Interval()) + " s.\n";
            AppendLog(p_, failure_, colors::Red);
        }
        AppendLog(p_, "Keyboard testing stop.\n", colors::Blue);
        if (!lost_) Drain();
        // The link is closed and the window put back before the job lets go
        // of CurrentJob: once it is "NONE" a new operation may open the link.
        CloseJigLink(p_);
        p_.form.SetVisible("TForm_KEYB", false);
        p_.form.SetItemIndex("CBox_Selector", 0);
        p_.form.SetEnabled("CBox_Selector", true);
        RecordOutcome(p_, !failed);
        p_.CurrentJob.Set("NONE");
    }

    // The JIG is gone: the test stops.
    bool Lost() {
        lost_ = true;
        p_.TimeoutFlag.Set("ERROR");
        if (failure_.empty())
            failure_ = "The JIG was disconnected during the keyboard test.\n";
        return false;
    }

    bool QueueLength(uint32_t& rx) {
        uint32_t tx = 0, events = 0;
        if (!link_.isOpen || p_.driver.GetStatus(link_.handle, rx, tx, events) != FtStatus::Ok)
            return Lost();
        return true;
    }

    // Blocks until a byte is queued, the poll interval has passed (to look at
    // "Exit" and "Clear") or Timer_KEYB is due; ticks it when due.
    bool WaitForBytes(uint32_t& rx) {
        uint32_t waitMs = kKeyboardPollMs;
        if (auto left = k_.timer.Left())
            waitMs = std::min<uint32_t>(waitMs, static_cast<uint32_t>(left->count()));
        rx = 0;
        if (!link_.isOpen || p_.driver.WaitForQueue(link_.handle, 1, waitMs, rx) != FtStatus::Ok)
            return Lost();
        k_.timer.TickIfDue(p_);
        return true;
    }

    // Reads every queued byte into the report buffer.
    bool ReadQueued(uint32_t rx) {
        uint8_t chunk[512];
        while (rx > 0) {
            const uint32_t n = std::min<uint32_t>(rx, sizeof chunk);
            uint32_t got = 0;
            if (p_.driver.Read(link_.handle, chunk, n, got) != FtStatus::Ok) return Lost();
            buffer_.Append(chunk, got);
            if (got < n) break;
            rx -= got;
        }
        return true;
    }

    void Notify(const KeyboardEvent& event) {
        std::function<void(const KeyboardEvent&)> observer;
        {
            std::lock_guard lock(k_.m);
            observer = k_.observer;
        }
        if (observer) observer(event);
    }

    // A complete report: colour the pairs, beep or pause, ask for the next.
    // False when the test must stop.
    bool HandleReport() {
        k_.timer.Disable();
        const auto& bytes = buffer_.Bytes();
        if (ReportHasContent(bytes)) {
            std::string hideState;
            {
                std::lock_guard lock(k_.m);
                k_.reportChanged = "NO";
                hideState = k_.hideState;
            }
            bool changed = false;
            KeyboardEvent event;
            for (const ReportPair& pair : ParseScanReport(bytes)) {
                if (!KeyboardPairValid(pair.f, pair.b)) continue;
                const std::string name = KeyboardShapeName(pair.f, pair.b);
                if (!p_.form.Has(name)) continue;
                Rgb color = colors::Black;
                if (hideState == "START") {
                    std::lock_guard lock(k_.m);
                    if (k_.hiddenPairs.size() < kMaxHiddenPairs)
                        k_.hiddenPairs.push_back(KeyboardShapeNumber(pair.f, pair.b));
                } else {
                    if (hideState == "END") {
                        std::lock_guard lock(k_.m);
                        const int n = KeyboardShapeNumber(pair.f, pair.b);
                        if (std::find(k_.hiddenPairs.begin(), k_.hiddenPairs.end(), n) !=
                            k_.hiddenPairs.end())
                            continue;
                    }
                    color = p_.form.Color(name) == colors::Red ? colors::Yellow : colors::Red;
                }
                p_.form.SetColor(name, color);
                event.changes.push_back({pair.f, pair.b, color});
                changed = true;
            }
            {
                std::lock_guard lock(k_.m);
                if (changed) k_.reportChanged = "YES";
                if (k_.hideState == "START") k_.hideState = "END";
            }
            if (changed) {
                Notify(event);
                if (p_.form.Checked("Buzzer_box")) {
                    KeyboardPause(p_, kBuzzerOffPauseMs);
                } else if (!Beep()) {
                    return false;
                }
            }
        }
        buffer_.Clear();
        {
            std::lock_guard lock(k_.m);
            if (p_.form.Checked("CheckBox_hide")) {
                if (k_.hideState != "END") {
                    k_.hideState = "START";
                    k_.hiddenPairs.clear();
                }
            } else {
                k_.hideState = "NONE";
            }
        }
        RequestScan();
        return true;
    }

    // Sends 'I' and waits for the one byte the JIG sends when the beep is over.
    bool Beep() {
        SendJigCommand(link_, "ByteSendNoReadByte", 'I');
        k_.timer.Enable();
        waitingFor_ = "end of the beep";
        for (;;) {
            uint32_t rx = 0;
            if (!WaitForBytes(rx)) return false;
            if (rx > 0) {
                uint8_t byte = 0;
                uint32_t got = 0;
                if (p_.driver.Read(link_.handle, &byte, 1, got) != FtStatus::Ok) return Lost();
                if (got == 1) break;
            }
            if (p_.TimeoutFlag.Is("ERROR")) return false;
        }
        waitingFor_ = "keyboard scan report";
        return !p_.TimeoutFlag.Is("ERROR");
    }

    // A stream longer than any report ended: nothing of it is shown.
    void HandleDropped() {
        k_.timer.Disable();
        AppendLog(p_,
                  "Keyboard scan report longer than " + std::to_string(kMaxReportBytes) +
                      " bytes: dropped.\n",
                  colors::Red);
        buffer_.Clear();
        RequestScan();
    }

    // One scan request is always outstanding when the loop ends. Its report
    // is let through (until kDrainMs after the request) and everything left is
    // purged, so that the next operation on this JIG does not read it as its
    // answer.
    void Drain() {
        if (!link_.isOpen) return;
        const auto until = lastRequest_ + std::chrono::milliseconds(kDrainMs);
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            if (left.count() <= 0 || buffer_.Check() != ReportBuffer::State::Incomplete) break;
            uint32_t rx = 0;
            if (p_.driver.WaitForQueue(link_.handle, 1, static_cast<uint32_t>(left.count()), rx) !=
                FtStatus::Ok)
                return;
            uint8_t chunk[512];
            while (rx > 0) {
                uint32_t got = 0;
                const uint32_t n = std::min<uint32_t>(rx, sizeof chunk);
                if (p_.driver.Read(link_.handle, chunk, n, got) != FtStatus::Ok) return;
                buffer_.Append(chunk, got);
                if (got < n) break;
                rx -= got;
            }
        }
        p_.driver.Purge(link_.handle, kPurgeRx | kPurgeTx);
    }

    void RequestScan() {
        lastRequest_ = std::chrono::steady_clock::now();
        SendJigCommand(link_, "ByteSendNoReadByte", 'U');
        k_.timer.Enable();
    }

    Program& p_;
    KeyboardState& k_;
    JigLink& link_;
    ReportBuffer buffer_;
    std::string waitingFor_ = "keyboard scan report";
    std::string failure_;  // the red line when the test ends by a failure
    bool lost_ = false;    // the device is gone
    std::chrono::steady_clock::time_point lastRequest_{};
    static constexpr uint32_t kDrainMs = 200;
};

}  // namespace

void KeyboardJob(Program& p) { KeyboardRun(p).Run(); }

}  // namespace zjig
