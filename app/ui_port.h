// The one port through which the engine reaches a user interface: the Qt
// windows, the command-line front end and the tests each implement it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace zjig {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

namespace colors {
inline constexpr Rgb Black{0, 0, 0};
inline constexpr Rgb Red{255, 0, 0};
inline constexpr Rgb Blue{0, 0, 255};
inline constexpr Rgb Fuchsia{255, 0, 255};
inline constexpr Rgb Green{0, 128, 0};
inline constexpr Rgb Purple{128, 0, 128};
inline constexpr Rgb Lime{0, 255, 0};
inline constexpr Rgb Yellow{255, 255, 0};
inline constexpr Rgb SkyBlue{166, 202, 240};
inline constexpr Rgb Navy{0, 0, 128};
}  // namespace colors

const char* ColorName(Rgb c);  // "red", "blue", ... or "rgb(r,g,b)"

struct GaugeState {
    Rgb color = colors::Blue;
    int maximum = 100;
    int progress = 0;
    // Whole percentage as drawn: progress clamped to 0..maximum; 0 when maximum is 0
    // and progress 0, 100 when maximum is 0 and progress above it.
    int Percent() const;
};

// What a file dialog is set up with before it is shown.
struct FileDialogRequest {
    std::string title;        // "Save file" or "Read file"
    std::string initialName;  // e.g. "ENE_"
    std::string defaultExt;   // ".bin"
    std::string filter;       // "BIN file ENE (*.bin)|*.bin|other|*.*"
};

class UiPort {
public:
    virtual ~UiPort() = default;

    // Log and gauge: called from the window thread and from the worker; each
    // thread's calls must appear in the order it made them.
    virtual void AppendLog(const std::string& text, Rgb color) = 0;
    virtual void ClearLog() = 0;
    virtual void GaugeChanged(const GaugeState& state) = 0;

    // A control (or window) of the form model changed; the port re-reads it
    // from the model. Any thread.
    virtual void ControlChanged(const std::string& name) = 0;

    // Dialogs: window thread only. nullopt when the user cancels. The save
    // dialog asks before replacing an existing file.
    virtual std::optional<std::string> ChooseSaveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> ChooseOpenFile(const FileDialogRequest& request) = 0;
    // The standard error box (for example a malformed number in a list file).
    virtual void ErrorBox(const std::string& text) = 0;
    // Opens a web address in the default browser; the result is ignored.
    virtual void OpenUrl(const std::string& url) = 0;
};

}  // namespace zjig
