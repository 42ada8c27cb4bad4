// The user interface the benchmarks run the engine with: it answers the file
// dialogs with set paths and keeps only what a benchmark reports (the red
// lines and the last line), so that showing the log costs nothing.
#pragma once

#include <mutex>
#include <optional>
#include <string>

#include "app/ui_port.h"

namespace zjig::bench {

class BenchUi : public UiPort {
public:
    std::optional<std::string> savePath, openPath;

    void AppendLog(const std::string& text, Rgb color) override {
        std::lock_guard lock(m_);
        last_ = text;
        if (color == colors::Red) {
            red_ += text;
            ++redLines_;
        }
    }
    void ClearLog() override {}
    void GaugeChanged(const GaugeState&) override {}
    void ControlChanged(const std::string&) override {}
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest&) override { return savePath; }
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest&) override { return openPath; }
    void ErrorBox(const std::string&) override {}
    void OpenUrl(const std::string&) override {}

    std::string Red() const {
        std::lock_guard lock(m_);
        return red_;
    }
    int RedLines() const {
        std::lock_guard lock(m_);
        return redLines_;
    }
    std::string Last() const {
        std::lock_guard lock(m_);
        return last_;
    }

private:
    mutable std::mutex m_;
    std::string red_, last_;
    int redLines_ = 0;
};

}  // namespace zjig::bench
