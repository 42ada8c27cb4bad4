// The command line of zoltrav-jig-cli: a mode, an action and the choices a
// user would make in the main window.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/program.h"
#include "cli/options.h"

namespace zjig::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct ModeInfo {
    const char* name;        // on the command line
    const char* item;        // the mode selector's item
    int radio;               // item of RadioGroup_EXT_BOARD, -1 when not external
    bool needsSettings;      // "Send settings to the programmer" before check/read/write
    bool hasBoardList;       // the motherboard list is in use (--board)
    bool hasCable;           // the cable list is in use (--cable)
    bool hasOneToOne;        // the 1-to-1 box is in use (--mirrored)
    Family family;           // the family of the three main buttons
};

const std::vector<ModeInfo>& Modes();
const ModeInfo* FindMode(const std::string& name);

enum class Action { None, Settings, Check, Read, Write };

struct Command {
    ProgramOptions program;
    bool help = false;
    const ModeInfo* mode = nullptr;
    Action action = Action::None;
    std::string actionName;
    std::string file;
    std::optional<std::string> board;
    std::optional<std::string> cable;  // "24".."32" or "soldering"
    bool mirrored = false;
    std::optional<double> seconds;
};

// Parses the arguments (without the program name). False with a message on a
// usage error.
bool ParseCommand(const std::vector<std::string>& args, Command& command, std::string& error);

std::string UsageText();

// The item of ComboBox_FFC for a --cable value ("30 pin", "Use soldering wires").
std::string CableItem(const std::string& cable);

}  // namespace zjig::cli
