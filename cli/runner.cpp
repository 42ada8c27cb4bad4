#include "cli/runner.h"

#include <chrono>
#include <exception>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/main_form.h"
#include "app/operation.h"
#include "link/jig_link.h"
#include "maintenance/firmware_update.h"

namespace zjig::cli {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class Runner {
public:
    Runner(Program& p, TerminalUi& ui, const Command& c, const std::atomic<int>& interrupts)
        : p_(p), ui_(ui), c_(c), interrupts_(interrupts) {}

    int Run() {
        const std::string what =
            std::string(c_.mode->name) + (c_.actionName.empty() ? "" : " " + c_.actionName);
        if (c_.action == Action::Write) {
            std::error_code ec;
            const std::string withExt = TerminalUi::WithDefaultExtension(c_.file, ".bin");
            if (!std::filesystem::is_regular_file(c_.file, ec) &&
                !std::filesystem::is_regular_file(withExt, ec)) {
                ui_.Note("no such file: " + c_.file);
                return kExitUsage;
            }
        }
        const auto missing = MissingParts();
        if (!missing.empty()) {
            std::string list;
            for (const auto& m : missing) list += (list.empty() ? "" : ", ") + m;
            ui_.Note(what + " is not built into this program yet (missing: " + list + ")");
            return kExitUsage;
        }
        ui_.SetDialogAnswer(c_.file.empty() ? std::nullopt : std::optional<std::string>(c_.file));

        // The mode selector.
        const int red = ui_.RedEntries();
        const int updates = UpdateRuns();
        const int threads = p_.jobs.ThreadsStarted();
        BeginOperation(p_);
        SelectMode(p_, c_.mode->item);
        if (std::string(c_.mode->name) == "keyboard") return Keyboard(red, updates, threads);
        WaitForJobs();
        if (ui_.RedEntries() > red) {
            ui_.Note("choosing the mode failed (see the log)");
            return kExitFailed;
        }

        // The choices of the main window, as a user makes them.
        if (int r = Choices(); r != kExitOk) return r;
        if (Interrupted()) return kExitFailed;

        if (c_.action == Action::Settings) return SendSettings();
        if (c_.mode->needsSettings) {
            const int r = SendSettings();
            if (r == kExitUsage) return r;
            if (r != kExitOk) {
                ui_.Note("the settings were not sent to the programmer; " + c_.actionName +
                         " did not run");
                return kExitFailed;
            }
            if (Interrupted()) return kExitFailed;
        }
        switch (c_.action) {
            case Action::Check: return Press("BitBtn_CheckConn", [&] { BitBtn_CheckConnClick(p_); });
            case Action::Read: return Press("BitBtn_READ", [&] { BitBtn_READClick(p_); });
            case Action::Write: return Press("BitBtn_WRITE", [&] { BitBtn_WRITEClick(p_); });
            default: return kExitUsage;
        }
    }

private:
    bool HasHandler(const std::string& name) const {
        auto it = p_.handlers.find(name);
        return it != p_.handlers.end() && it->second;
    }

    int UpdateRuns() { return p_.State<FirmwareUpdateState>().runs.load(); }

    // What the command needs that no subsystem has registered.
    std::vector<std::string> MissingParts() const {
        std::vector<std::string> m;
        const std::string mode = c_.mode->name;
        if (c_.mode->hasBoardList && !p_.modes.loadMbList) m.push_back("the motherboard lists");
        if (mode == "mec" && !p_.modes.loadMecList) m.push_back("the MEC chip list");
        if (mode == "keyboard" && !p_.modes.startKeyboardTest) m.push_back("the keyboard test");
        if (c_.mode->radio >= 0 && !HasHandler("RadioGroup_EXT_BOARDClick"))
            m.push_back("the external board choice");
        const bool sends = c_.action == Action::Settings ||
                           (c_.mode->needsSettings && c_.action != Action::None);
        if (sends && !HasHandler("BitBtn_SendSettingsClick"))
            m.push_back("sending the settings to the programmer");
        if (c_.board && !HasHandler("ComboBox_MBClick")) m.push_back("the motherboard choice");
        if (c_.cable && !HasHandler("ComboBox_FFCClick")) m.push_back("the cable choice");

        auto it = p_.families.find(c_.mode->family);
        const FamilyBranches* b = it == p_.families.end() ? nullptr : &it->second;
        if (c_.action == Action::Check && c_.mode->family != Family::Edid && (!b || !b->check))
            m.push_back("the connection check of this mode");
        if (c_.action == Action::Read && (!b || !b->read)) m.push_back("reading in this mode");
        if (c_.action == Action::Write && (!b || !b->write)) m.push_back("writing in this mode");
        return m;
    }

    bool Interrupted() {
        if (interrupts_.load() == 0) return false;
        ui_.Note("interrupted");
        return true;
    }

    // Waits for the worker. Ctrl+C during a job is explained, not obeyed: a
    // transfer stopped half-way leaves a half-written chip (a second Ctrl+C
    // ends the program at once).
    void WaitForJobs() {
        int seen = interrupts_.load();
        while (!p_.jobs.WaitIdle(50ms)) {
            const int now = interrupts_.load();
            if (now != seen) {
                seen = now;
                ui_.Note("the JIG is busy (" + p_.CurrentJob.Get() +
                         "); stopping it half-way could leave the chip half-written. "
                         "Press Ctrl+C again to quit anyway.");
            }
        }
    }

    // The exit status of the operation that has just ended.
    int Status(int redBefore, int updatesBefore) {
        if (!p_.CurrentJob.Is("NONE")) {
            ui_.Note("the job " + p_.CurrentJob.Get() + " did not end");
            return kExitFailed;
        }
        if (UpdateRuns() > updatesBefore) {
            ui_.Note(std::string("the JIG did not run the firmware ") + kExpectedFirmwareVersion +
                     ": the firmware update ran instead of the operation (see the log); "
                     "run the command again");
            return kExitFailed;
        }
        switch (p_.op.outcome) {
            case Outcome::Succeeded: return kExitOk;
            case Outcome::Failed: return kExitFailed;
            case Outcome::Unknown: break;
        }
        return ui_.RedEntries() > redBefore ? kExitFailed : kExitOk;
    }

    // Presses a button as a user does: only when it is enabled, then waits
    // for the job it may have started.
    int Press(const char* control, const std::function<void()>& handler) {
        if (!p_.form.Enabled(control)) {
            std::string hint;
            if (c_.mode->hasBoardList) hint = " (check --board and --cable)";
            ui_.Note("\"" + p_.form.Text(control) + "\" is disabled in mode " + c_.mode->name +
                     " with these choices" + hint);
            return kExitUsage;
        }
        const int red = ui_.RedEntries();
        const int updates = UpdateRuns();
        BeginOperation(p_);
        handler();
        WaitForJobs();
        return Status(red, updates);
    }

    int SendSettings() {
        const int r =
            Press("BitBtn_SendSettings", [&] { Fire(p_, "BitBtn_SendSettingsClick"); });
        if (r == kExitOk && c_.mode->radio < 0 && !p_.SettingsSent.load()) return kExitFailed;
        return r;
    }

    bool Usable(const char* control, const std::string& what) {
        if (p_.form.Enabled(control)) return true;
        ui_.Note(what + " is disabled in mode " + c_.mode->name);
        return false;
    }

    int Choices() {
        if (c_.mode->radio >= 0) {
            if (!Usable("RadioGroup_EXT_BOARD", "the external board choice")) return kExitUsage;
            p_.form.SetItemIndex("RadioGroup_EXT_BOARD", c_.mode->radio);
            Fire(p_, "RadioGroup_EXT_BOARDClick");
        }
        if (c_.board) {
            if (!Usable("ComboBox_MB", "the motherboard list")) return kExitUsage;
            const auto items = p_.form.Items("ComboBox_MB");
            size_t chosen = 0;
            for (size_t i = 1; i < items.size() && !chosen; ++i)
                if (items[i].find(*c_.board) != std::string::npos) chosen = i;
            if (!chosen) {
                std::string text = "no motherboard line contains \"" + *c_.board + "\"; ";
                if (items.size() <= 1) {
                    text += "the list is empty";
                } else {
                    text += "the lines of the list are:";
                    for (size_t i = 1; i < items.size(); ++i) text += "\n  " + items[i];
                }
                ui_.Note(text);
                return kExitUsage;
            }
            p_.form.SetItemIndex("ComboBox_MB", static_cast<int>(chosen));
            Fire(p_, "ComboBox_MBClick");
        }
        if (c_.cable) {
            if (!Usable("ComboBox_FFC", "the cable list")) return kExitUsage;
            const auto items = p_.form.Items("ComboBox_FFC");
            const std::string wanted = CableItem(*c_.cable);
            int index = -1;
            for (size_t i = 0; i < items.size(); ++i)
                if (items[i] == wanted) index = static_cast<int>(i);
            if (index < 0) {
                ui_.Note("the cable list has no item \"" + wanted + "\"");
                return kExitUsage;
            }
            p_.form.SetItemIndex("ComboBox_FFC", index);
            Fire(p_, "ComboBox_FFCClick");
        }
        if (c_.mirrored) {
            if (!Usable("CheckBox_OneToOne", "the 1-to-1 box")) return kExitUsage;
            p_.form.SetChecked("CheckBox_OneToOne", false);
            Fire(p_, "CheckBox_OneToOneClick");  // where a subsystem follows the box
        }
        return kExitOk;
    }

    // The keyboard test: the mode selection has started it. It runs until
    // --seconds pass or Ctrl+C, then "Exit" is pressed and its end awaited.
    int Keyboard(int redBefore, int updatesBefore, int threadsBefore) {
        std::optional<Clock::time_point> deadline;
        if (c_.seconds)
            deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(*c_.seconds));
        bool exitPressed = false;
        int seen = interrupts_.load();
        while (!p_.jobs.WaitIdle(20ms)) {
            const bool testing = p_.CurrentJob.Is("Keyboard");
            const int now = interrupts_.load();
            const bool stop = (deadline && Clock::now() >= *deadline) || now > 0;
            if (testing && stop) {
                // Pressed again on every pass: the job unticks the box once
                // at its start, which must not swallow an early press.
                p_.form.SetChecked("CheckBox_exit", true);
                exitPressed = true;
            } else if (!testing && now != seen) {
                seen = now;
                ui_.Note("the JIG is busy (" + p_.CurrentJob.Get() +
                         "); press Ctrl+C again to quit anyway.");
            }
        }
        const int status = Status(redBefore, updatesBefore);
        if (status != kExitOk || UpdateRuns() > updatesBefore) return status;
        if (p_.jobs.ThreadsStarted() == threadsBefore) {
            ui_.Note("the keyboard test did not start");
            return kExitFailed;
        }
        if (!exitPressed) {
            ui_.Note("the keyboard test ended before it was stopped");
            return kExitFailed;
        }
        return kExitOk;
    }

    Program& p_;
    TerminalUi& ui_;
    const Command& c_;
    const std::atomic<int>& interrupts_;
};

}  // namespace

int RunCommand(Program& p, TerminalUi& ui, const Command& command,
               const std::atomic<int>& interrupts) {
    if (!command.mode) return kExitUsage;
    try {
        return Runner(p, ui, command, interrupts).Run();
    } catch (const std::exception& e) {
        // What the window shows in its exception box.
        ui.ErrorBox(e.what());
        p.jobs.WaitIdle(std::chrono::hours(1));
        return kExitFailed;
    }
}

}  // namespace zjig::cli
