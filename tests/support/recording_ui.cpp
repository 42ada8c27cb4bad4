#include "tests/support/recording_ui.h"

namespace zjig::test {

void RecordingUi::AppendLog(const std::string& text, Rgb color) {
    std::lock_guard lock(m_);
    entries_.push_back({text, color});
}
void RecordingUi::ClearLog() {
    std::lock_guard lock(m_);
    entries_.clear();
}
void RecordingUi::GaugeChanged(const GaugeState& state) {
    std::lock_guard lock(m_);
    gauge_.push_back(state);
}
void RecordingUi::ControlChanged(const std::string&) {}

std::optional<std::string> RecordingUi::ChooseSaveFile(const FileDialogRequest& request) {
    std::lock_guard lock(m_);
    dialogs_.push_back(request);
    if (saveAnswers_.empty()) return std::nullopt;
    auto a = saveAnswers_.front();
    saveAnswers_.pop_front();
    return a;
}
std::optional<std::string> RecordingUi::ChooseOpenFile(const FileDialogRequest& request) {
    std::lock_guard lock(m_);
    dialogs_.push_back(request);
    if (openAnswers_.empty()) return std::nullopt;
    auto a = openAnswers_.front();
    openAnswers_.pop_front();
    return a;
}
void RecordingUi::ErrorBox(const std::string& text) {
    std::lock_guard lock(m_);
    errors_.push_back(text);
}
void RecordingUi::OpenUrl(const std::string& url) {
    std::lock_guard lock(m_);
    urls_.push_back(url);
}

std::vector<LogEntry> RecordingUi::Entries() const {
    std::lock_guard lock(m_);
    return entries_;
}
std::string RecordingUi::LogText() const {
    std::lock_guard lock(m_);
    std::string all;
    for (const auto& e : entries_) all += e.text;
    return all;
}
std::string RecordingUi::LogText(Rgb color) const {
    std::lock_guard lock(m_);
    std::string all;
    for (const auto& e : entries_)
        if (e.color == color) all += e.text;
    return all;
}
bool RecordingUi::HasEntry(const std::string& text, Rgb color) const {
    std::lock_guard lock(m_);
    for (const auto& e : entries_)
        if (e.text == text && e.color == color) return true;
    return false;
}
bool RecordingUi::Contains(const std::string& fragment) const {
    return LogText().find(fragment) != std::string::npos;
}
void RecordingUi::ClearRecords() {
    std::lock_guard lock(m_);
    entries_.clear();
    gauge_.clear();
    errors_.clear();
    urls_.clear();
    dialogs_.clear();
}
std::vector<GaugeState> RecordingUi::GaugeHistory() const {
    std::lock_guard lock(m_);
    return gauge_;
}
std::vector<std::string> RecordingUi::ErrorBoxes() const {
    std::lock_guard lock(m_);
    return errors_;
}
std::vector<std::string> RecordingUi::Urls() const {
    std::lock_guard lock(m_);
    return urls_;
}
std::vector<FileDialogRequest> RecordingUi::Dialogs() const {
    std::lock_guard lock(m_);
    return dialogs_;
}
void RecordingUi::AnswerSave(std::optional<std::string> path) {
    std::lock_guard lock(m_);
    saveAnswers_.push_back(std::move(path));
}
void RecordingUi::AnswerOpen(std::optional<std::string> path) {
    std::lock_guard lock(m_);
    openAnswers_.push_back(std::move(path));
}

}  // namespace zjig::test
