// A user-interface port that records everything the engine shows, and
// answers the dialogs from a script. Thread-safe.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/ui_port.h"

namespace zjig::test {

struct LogEntry {
    std::string text;
    Rgb color;
};

class RecordingUi : public UiPort {
public:
    void AppendLog(const std::string& text, Rgb color) override;
    void ClearLog() override;
    void GaugeChanged(const GaugeState& state) override;
    void ControlChanged(const std::string& name) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
    void ErrorBox(const std::string& text) override;
    void OpenUrl(const std::string& url) override;

    std::vector<LogEntry> Entries() const;
    std::string LogText() const;  // every entry's text joined
    // The text of the entries in one colour, joined.
    std::string LogText(Rgb color) const;
    bool HasEntry(const std::string& text, Rgb color) const;
    bool Contains(const std::string& fragment) const;
    void ClearRecords();

    std::vector<GaugeState> GaugeHistory() const;
    std::vector<std::string> ErrorBoxes() const;
    std::vector<std::string> Urls() const;
    std::vector<FileDialogRequest> Dialogs() const;

    // Dialog answers, taken in order; with none queued the dialog is cancelled.
    void AnswerSave(std::optional<std::string> path);
    void AnswerOpen(std::optional<std::string> path);

private:
    mutable std::mutex m_;
    std::vector<LogEntry> entries_;
    std::vector<GaugeState> gauge_;
    std::vector<std::string> errors_, urls_;
    std::vector<FileDialogRequest> dialogs_;
    std::deque<std::optional<std::string>> saveAnswers_, openAnswers_;
};

}  // namespace zjig::test
