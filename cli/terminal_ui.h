// The user-interface port of the command-line front end: the log on standard
// output (ANSI colours on a terminal), the progress bar as a line on standard
// error (on a terminal only), file dialogs answered with the command line's
// FILE, error boxes on standard error, and the keyboard test's squares as
// lines naming the pairs that changed colour.
#pragma once

#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/form_model.h"
#include "app/ui_port.h"

namespace zjig::cli {

class TerminalUi : public UiPort {
public:
    struct Streams {
        FILE* out = stdout;
        FILE* err = stderr;
        bool colour = false;  // ANSI colours in the log
        bool gauge = false;   // draw the progress line on err
    };
    explicit TerminalUi(Streams streams);
    // The streams and their terminal settings for this process: colours when
    // standard output is a terminal (and NO_COLOR is not set), the progress
    // line when standard error is a terminal.
    static Streams ForThisProcess();

    // The form model whose squares are reported (the keyboard test).
    void AttachForm(const FormModel* form);
    // The answer of the file dialogs; nullopt: they are cancelled.
    void SetDialogAnswer(std::optional<std::string> path);
    // Number of log entries made in red so far.
    int RedEntries() const;
    // A line of the front end itself on err ("zoltrav-jig-cli: ...").
    void Note(const std::string& text);
    // Ends the output: the progress line ended, both streams flushed.
    void Finish();

    void AppendLog(const std::string& text, Rgb color) override;
    void ClearLog() override;
    void GaugeChanged(const GaugeState& state) override;
    void ControlChanged(const std::string& name) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
    void ErrorBox(const std::string& text) override;
    void OpenUrl(const std::string& url) override;

    // A dialog answer with the dialog's default extension added when the
    // file name has none, as the window's dialogs do.
    static std::string WithDefaultExtension(const std::string& path, const std::string& ext);

private:
    void EraseGaugeLocked();
    void WriteOutLocked(const std::string& text, Rgb color);
    void NoteLocked(const std::string& text, bool prefixed = true);
    void SquareChanged(int shape, Rgb color);
    std::optional<std::string> Answer(const FileDialogRequest& request);

    Streams s_;
    mutable std::mutex m_;
    const FormModel* form_ = nullptr;
    std::optional<std::string> answer_;
    int red_ = 0;
    bool outAtLineStart_ = true;
    bool gaugeShown_ = false;
    int gaugeDrawnPercent_ = -1;
    bool popupShown_ = false;
    // Squares: the colour last reported per shape number (sky blue when
    // absent) and how many are not sky blue.
    std::map<int, Rgb> squares_;
    int coloured_ = 0;
};

}  // namespace zjig::cli
