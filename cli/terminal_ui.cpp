#include "cli/terminal_ui.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace zjig::cli {

namespace {

const char* AnsiCode(Rgb c) {
    if (c == colors::Red) return "\033[31m";
    if (c == colors::Blue || c == colors::Navy) return "\033[34m";
    if (c == colors::Green) return "\033[32m";
    if (c == colors::Purple) return "\033[35m";
    if (c == colors::Fuchsia) return "\033[95m";
    if (c == colors::Lime) return "\033[92m";
    if (c == colors::Yellow) return "\033[33m";
    if (c == colors::SkyBlue) return "\033[36m";
    return nullptr;  // black and anything else: the terminal's own colour
}

constexpr const char* kReset = "\033[0m";
constexpr int kBarWidth = 30;

// The pair (i, j) of a square's shape number n = (i - 1) * 32 + j.
bool PairOf(int n, int& i, int& j) {
    if (n < 2) return false;
    i = (n - 1) / 32 + 1;
    j = n - (i - 1) * 32;
    return i >= 1 && i < j && j <= 32;
}

}  // namespace

TerminalUi::TerminalUi(Streams streams) : s_(streams) {}

TerminalUi::Streams TerminalUi::ForThisProcess() {
    Streams s;
    const char* term = std::getenv("TERM");
    s.colour = ::isatty(STDOUT_FILENO) && !std::getenv("NO_COLOR") &&
               !(term && std::strcmp(term, "dumb") == 0);
    s.gauge = ::isatty(STDERR_FILENO);
    return s;
}

void TerminalUi::AttachForm(const FormModel* form) {
    std::lock_guard lock(m_);
    form_ = form;
}

void TerminalUi::SetDialogAnswer(std::optional<std::string> path) {
    std::lock_guard lock(m_);
    answer_ = std::move(path);
}

int TerminalUi::RedEntries() const {
    std::lock_guard lock(m_);
    return red_;
}

void TerminalUi::EraseGaugeLocked() {
    if (!gaugeShown_) return;
    std::fputs("\r\033[K", s_.err);
    std::fflush(s_.err);
    gaugeShown_ = false;
    gaugeDrawnPercent_ = -1;
}

void TerminalUi::WriteOutLocked(const std::string& text, Rgb color) {
    if (text.empty()) return;
    EraseGaugeLocked();
    const char* code = s_.colour ? AnsiCode(color) : nullptr;
    if (code) {
        // The colour ends before the line feeds, so that nothing bleeds into
        // the next line.
        size_t body = text.size();
        while (body > 0 && text[body - 1] == '\n') --body;
        if (body > 0) {
            std::fputs(code, s_.out);
            std::fwrite(text.data(), 1, body, s_.out);
            std::fputs(kReset, s_.out);
        }
        std::fwrite(text.data() + body, 1, text.size() - body, s_.out);
    } else {
        std::fwrite(text.data(), 1, text.size(), s_.out);
    }
    std::fflush(s_.out);
    outAtLineStart_ = text.back() == '\n';
}

void TerminalUi::NoteLocked(const std::string& text, bool prefixed) {
    EraseGaugeLocked();
    std::fflush(s_.out);
    std::fprintf(s_.err, "%s%s\n", prefixed ? "zoltrav-jig-cli: " : "", text.c_str());
    std::fflush(s_.err);
}

void TerminalUi::Note(const std::string& text) {
    std::lock_guard lock(m_);
    NoteLocked(text);
}

void TerminalUi::Finish() {
    std::lock_guard lock(m_);
    if (gaugeShown_) std::fputs("\n", s_.err);
    gaugeShown_ = false;
    std::fflush(s_.out);
    std::fflush(s_.err);
}

void TerminalUi::AppendLog(const std::string& text, Rgb color) {
    std::lock_guard lock(m_);
    if (color == colors::Red) ++red_;
    WriteOutLocked(text, color);
}

void TerminalUi::ClearLog() {}

void TerminalUi::GaugeChanged(const GaugeState& state) {
    if (!s_.gauge) return;
    std::lock_guard lock(m_);
    // Nothing to show until a phase has made progress; the line is not drawn
    // over a log line that is still open.
    if (state.progress <= 0 || !outAtLineStart_) return;
    const int percent = state.Percent();
    if (gaugeShown_ && percent == gaugeDrawnPercent_) return;
    const int filled = percent * kBarWidth / 100;
    std::string line = "\r[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(kBarWidth - filled), '.') + "] " +
                       std::to_string(percent) + "%";
    std::fputs(line.c_str(), s_.err);
    std::fflush(s_.err);
    gaugeShown_ = true;
    gaugeDrawnPercent_ = percent;
}

void TerminalUi::SquareChanged(int shape, Rgb color) {
    int i = 0, j = 0;
    if (!PairOf(shape, i, j)) return;
    std::lock_guard lock(m_);
    auto it = squares_.find(shape);
    const Rgb before = it == squares_.end() ? colors::SkyBlue : it->second;
    if (before == color) return;
    squares_[shape] = color;
    if (before == colors::SkyBlue) ++coloured_;
    if (color == colors::SkyBlue) --coloured_;
    if (color == colors::SkyBlue) {
        // A square back at sky blue is not reported by itself; the clear
        // that paints them all is one line.
        if (coloured_ == 0) WriteOutLocked("all pairs cleared\n", colors::SkyBlue);
        return;
    }
    const char* word = color == colors::Red      ? "red"
                       : color == colors::Yellow ? "yellow"
                       : color == colors::Black  ? "hidden"
                                                 : ColorName(color);
    WriteOutLocked("pair (" + std::to_string(i) + ", " + std::to_string(j) + "): " + word + "\n",
                   color);
}

void TerminalUi::ControlChanged(const std::string& name) {
    const FormModel* form = nullptr;
    {
        std::lock_guard lock(m_);
        form = form_;
    }
    if (!form) return;
    if (name == "TForm_message") {
        const bool visible = form->Visible(name);
        std::lock_guard lock(m_);
        // The pop-up's own text, on its own line.
        if (visible && !popupShown_) NoteLocked("Please push reset button!", false);
        popupShown_ = visible;
        return;
    }
    if (name.size() > 5 && name.compare(0, 5, "Shape") == 0 &&
        name.find_first_not_of("0123456789", 5) == std::string::npos && name.size() < 9) {
        SquareChanged(std::atoi(name.c_str() + 5), form->Color(name));
    }
}

std::string TerminalUi::WithDefaultExtension(const std::string& path, const std::string& ext) {
    if (ext.empty() || !std::filesystem::path(path).extension().empty()) return path;
    if (!path.empty() && path.back() == '/') return path;
    return path + (ext[0] == '.' ? ext : "." + ext);
}

std::optional<std::string> TerminalUi::Answer(const FileDialogRequest& request) {
    std::lock_guard lock(m_);
    if (!answer_) return std::nullopt;
    return WithDefaultExtension(*answer_, request.defaultExt);
}

std::optional<std::string> TerminalUi::ChooseSaveFile(const FileDialogRequest& request) {
    return Answer(request);
}

std::optional<std::string> TerminalUi::ChooseOpenFile(const FileDialogRequest& request) {
    return Answer(request);
}

void TerminalUi::ErrorBox(const std::string& text) {
    std::lock_guard lock(m_);
    NoteLocked("error: " + text);
}

void TerminalUi::OpenUrl(const std::string& url) {
    std::lock_guard lock(m_);
    NoteLocked("web address: " + url);
}

}  // namespace zjig::cli
