// The user-interface port of the Qt windows.
//
// The engine calls it from the window thread and from the worker. Nothing
// here blocks the caller: log entries, gauge states and control changes are
// put in pending lists under a mutex and a flush is posted to the window
// thread, which takes everything that has gathered in one go (the log in
// batches, one edit block each, within a time budget so that the window
// stays responsive under a flood of entries). Entries keep the order in
// which they were made.
//
// The windows register their widgets here under their control names; a
// control change re-reads the control from the form model and updates the
// widget, by the widget's kind.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/ui_port.h"

class QPlainTextEdit;

namespace zjig {

struct Program;
class GaugeWidget;

// Which parts of a control's state a widget mirrors.
namespace mirror {
inline constexpr unsigned kEnabled = 1;
inline constexpr unsigned kVisible = 2;
inline constexpr unsigned kChecked = 4;
inline constexpr unsigned kText = 8;    // caption, label text, group title, window title
inline constexpr unsigned kItems = 16;  // list items, chosen item and edit text
inline constexpr unsigned kColor = 32;  // fill colour of a shape
// Chosen from the widget's kind.
inline constexpr unsigned kByKind = 0x8000;
}  // namespace mirror

// "desc|pattern|desc|pattern" as the engine gives a dialog filter, in the
// form of Qt's name filters ("desc (pattern)", "*.*" as "*").
QStringList NameFiltersFromDialogFilter(const std::string& filter);

class QtUiPort : public QObject, public UiPort {
    Q_OBJECT
public:
    explicit QtUiPort(QObject* parent = nullptr);
    ~QtUiPort() override;

    // The program whose form model the widgets mirror. Set before any
    // control change is flushed.
    void SetProgram(Program* p) { program_ = p; }
    Program* GetProgram() const { return program_; }
    void SetLogView(QPlainTextEdit* view);
    void SetGauge(GaugeWidget* gauge);
    // The parent of dialogs and message boxes.
    void SetDialogParent(QWidget* w) { dialogParent_ = w; }

    // Registers the widget that shows a control. Window thread.
    void Register(const std::string& name, QWidget* widget, unsigned mirrorFlags = mirror::kByKind);
    QWidget* Widget(const std::string& name) const;
    // Updates every registered widget whose control the model holds.
    void RefreshAll();
    // Takes everything pending now and shows it, however much it is. Window
    // thread (tests and shut-down).
    void Flush();

    // Runs a window handler: an exception it throws is shown in the standard
    // error box and the program goes on.
    void RunHandler(const std::function<void()>& handler);

    // Opens a web address (default: the desktop's browser); tests replace it.
    std::function<void(const QString&)> urlOpener;

    // Log entries shown so far (since the start, clears included).
    long long EntriesShown() const { return entriesShown_; }

    // UiPort
    void AppendLog(const std::string& text, Rgb color) override;
    void ClearLog() override;
    void GaugeChanged(const GaugeState& state) override;
    void ControlChanged(const std::string& name) override;
    std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) override;
    std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) override;
    void ErrorBox(const std::string& text) override;
    void OpenUrl(const std::string& url) override;

private:
    struct Entry {
        std::string text;
        Rgb color;
    };
    struct Registered {
        QPointer<QWidget> widget;
        unsigned flags;
    };

    void Schedule();
    // One pass of the posted flush: controls and gauge at once, the log
    // within a time budget.
    void FlushPosted();
    void TakePending();
    void ShowControls(const std::set<std::string>& names);
    // Inserts log entries from the backlog; budgetMs < 0: all of them.
    void ShowLog(int budgetMs);
    void Refresh(const std::string& name, const Registered& reg);
    std::optional<std::string> FileDialog(const FileDialogRequest& request, bool save);
    bool OnWindowThread() const;

    Program* program_ = nullptr;
    QPointer<QPlainTextEdit> log_;
    QPointer<GaugeWidget> gauge_;
    QPointer<QWidget> dialogParent_;
    std::map<std::string, Registered> widgets_;

    // Shared with other threads.
    std::mutex m_;
    std::vector<Entry> pendingLog_;
    bool pendingClear_ = false;
    std::optional<GaugeState> pendingGauge_;
    std::set<std::string> pendingControls_;
    // A flush is posted or under way (it takes whatever comes meanwhile).
    std::atomic<bool> flushPosted_{false};

    // Window thread only.
    std::deque<Entry> backlog_;
    QTimer continue_;  // the next pass over a large backlog
    long long entriesShown_ = 0;
};

}  // namespace zjig
