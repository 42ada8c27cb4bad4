#include "sim/keyboard/sim_keyboard.h"

#include <algorithm>
#include <array>
#include <map>
#include <numeric>

#include "sim/sim_jig.h"

namespace zjig::sim {

namespace {
constexpr int kContacts = 32;
constexpr uint8_t kGroup = '>';
constexpr uint8_t kEnd = '&';

bool Valid(const ContactPair& p) {
    return p.first >= 1 && p.second <= kContacts && p.first < p.second;
}
}  // namespace

ContactPair MakePair(int a, int b) { return a < b ? ContactPair{a, b} : ContactPair{b, a}; }

std::vector<KeyEvent> KeyPress(int a, int b, std::chrono::milliseconds at,
                               std::chrono::milliseconds hold) {
    return {{at, MakePair(a, b), true}, {at + hold, MakePair(a, b), false}};
}

std::vector<uint8_t> EncodeScanReport(const std::set<ContactPair>& closed) {
    // Contacts joined through closed keys form one net.
    std::array<int, kContacts + 1> parent{};
    std::iota(parent.begin(), parent.end(), 0);
    auto find = [&](int c) {
        while (parent[c] != c) c = parent[c] = parent[parent[c]];
        return c;
    };
    for (const auto& p : closed)
        if (Valid(p)) parent[find(p.first)] = find(p.second);

    std::vector<uint8_t> report;
    for (int f = 1; f <= kContacts; ++f) {
        std::vector<uint8_t> seen;
        for (int c = 1; c <= kContacts; ++c)
            if (c != f && find(c) == find(f)) seen.push_back(static_cast<uint8_t>(c));
        if (seen.empty()) continue;
        report.push_back(kGroup);
        report.push_back(static_cast<uint8_t>(f));
        report.insert(report.end(), seen.begin(), seen.end());
    }
    report.push_back(kEnd);
    return report;
}

void SimKeyboard::Script(std::vector<KeyEvent> events, std::chrono::milliseconds period,
                         Clock::time_point start) {
    std::stable_sort(events.begin(), events.end(),
                     [](const KeyEvent& a, const KeyEvent& b) { return a.at < b.at; });
    std::lock_guard lock(m_);
    events_ = std::move(events);
    period_ = period;
    start_ = start;
}

void SimKeyboard::ClosePermanently(int a, int b) {
    std::lock_guard lock(m_);
    permanent_.insert(MakePair(a, b));
}

void SimKeyboard::OpenPermanent(int a, int b) {
    std::lock_guard lock(m_);
    permanent_.erase(MakePair(a, b));
}

void SimKeyboard::QueueScans(const std::vector<std::set<ContactPair>>& scans) {
    std::lock_guard lock(m_);
    for (const auto& s : scans) {
        std::set<ContactPair> normal;
        for (const auto& p : s) normal.insert(MakePair(p.first, p.second));
        scans_.push_back(std::move(normal));
    }
}

void SimKeyboard::QueueRawAnswers(const std::vector<std::vector<uint8_t>>& answers) {
    std::lock_guard lock(m_);
    raw_.insert(raw_.end(), answers.begin(), answers.end());
}

void SimKeyboard::SplitReports(size_t at, std::chrono::milliseconds delay) {
    std::lock_guard lock(m_);
    splitAt_ = at;
    splitDelay_ = delay;
}

void SimKeyboard::NoSplit() {
    std::lock_guard lock(m_);
    splitAt_.reset();
}

void SimKeyboard::SetAnswering(bool on) {
    std::lock_guard lock(m_);
    answering_ = on;
}

void SimKeyboard::SetScanTime(std::chrono::microseconds t) {
    std::lock_guard lock(m_);
    scanTime_ = t;
}

void SimKeyboard::Reset() {
    std::lock_guard lock(m_);
    events_.clear();
    period_ = std::chrono::milliseconds(0);
    permanent_.clear();
    scans_.clear();
    raw_.clear();
    splitAt_.reset();
    answering_ = true;
}

std::set<ContactPair> SimKeyboard::ClosedAtLocked(Clock::time_point t) const {
    std::set<ContactPair> closed = permanent_;
    if (events_.empty() || t < start_) return closed;
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(t - start_);
    if (period_.count() > 0) elapsed %= period_;
    std::map<ContactPair, bool> keys;
    for (const auto& e : events_) {
        if (e.at > elapsed) break;
        keys[e.pair] = e.closed;
    }
    for (const auto& [pair, isClosed] : keys)
        if (isClosed) closed.insert(pair);
    return closed;
}

std::set<ContactPair> SimKeyboard::ClosedAt(Clock::time_point t) const {
    std::lock_guard lock(m_);
    return ClosedAtLocked(t);
}

uint64_t SimKeyboard::Scans() const {
    std::lock_guard lock(m_);
    return scanCount_;
}

bool SimKeyboard::WaitForScans(uint64_t n, std::chrono::milliseconds limit) const {
    std::unique_lock lock(m_);
    return scanned_.wait_for(lock, limit, [&] { return scanCount_ >= n; });
}

SimKeyboard::Answer SimKeyboard::TakeScan(Clock::time_point now) {
    Answer a;
    {
        std::lock_guard lock(m_);
        ++scanCount_;
        a.send = answering_;
        a.splitAt = splitAt_;
        a.splitDelay = splitDelay_;
        a.scanTime = scanTime_;
        if (!raw_.empty()) {
            a.bytes = std::move(raw_.front());
            raw_.pop_front();
        } else if (!scans_.empty()) {
            std::set<ContactPair> closed = scans_.front();
            scans_.pop_front();
            closed.insert(permanent_.begin(), permanent_.end());
            a.bytes = EncodeScanReport(closed);
        } else {
            a.bytes = EncodeScanReport(ClosedAtLocked(now));
        }
    }
    scanned_.notify_all();
    return a;
}

void InstallKeyboardSim(SimJig& jig) {
    using std::chrono::milliseconds;
    std::vector<KeyEvent> demo;
    for (auto press : {KeyPress(2, 9, milliseconds(400), milliseconds(150)),
                       KeyPress(5, 20, milliseconds(1200), milliseconds(150)),
                       KeyPress(11, 27, milliseconds(2000), milliseconds(150)),
                       KeyPress(2, 9, milliseconds(2600), milliseconds(150))})
        demo.insert(demo.end(), press.begin(), press.end());
    jig.Part<SimKeyboard>().Script(std::move(demo), milliseconds(3200));

    jig.OnCommand('U', [](SimJig& j) {
        auto answer = j.Part<SimKeyboard>().TakeScan(Clock::now());
        auto& serial = *j.Serial();
        if (answer.scanTime.count() > 0) serial.DeviceDelay(answer.scanTime);
        if (!answer.send) return;
        const auto& bytes = answer.bytes;
        if (answer.splitAt && *answer.splitAt < bytes.size()) {
            j.Send(bytes.data(), *answer.splitAt);
            serial.DeviceDelay(
                std::chrono::duration_cast<std::chrono::microseconds>(answer.splitDelay));
            j.Send(bytes.data() + *answer.splitAt, bytes.size() - *answer.splitAt);
        } else {
            j.Send(bytes);
        }
    });
}

}  // namespace zjig::sim
