#include "cli/command.h"

#include <cstdlib>

namespace zjig::cli {

const std::vector<ModeInfo>& Modes() {
    static const std::vector<ModeInfo> modes = {
        {"ene", "ENE  (KB90XX)", -1, true, true, true, true, Family::Ene},
        {"ite", "ITE  (IT8XXX)", -1, true, true, true, true, Family::Ite},
        {"nuvoton-spi", "Nuvoton SPI", -1, false, false, false, false, Family::NuvotonSpi},
        {"nuvoton-jtag", "Nuvoton JTAG", -1, true, true, false, true, Family::NuvotonJtag},
        {"mec", "MEC JTAG", -1, false, false, false, false, Family::Mec},
        {"edid", "EDID (LCD)", -1, false, false, false, false, Family::Edid},
        {"keyboard", "Keyboard test", -1, false, false, false, false, Family::None},
        {"external-ene", "External board", 0, true, false, false, false, Family::Ene},
        {"external-ite", "External board", 1, true, false, false, false, Family::Ite},
        {"external-nuvoton", "External board", 2, true, false, false, false, Family::NuvotonSpi},
    };
    return modes;
}

const ModeInfo* FindMode(const std::string& name) {
    for (const auto& m : Modes())
        if (name == m.name) return &m;
    return nullptr;
}

std::string CableItem(const std::string& cable) {
    return cable == "soldering" ? "Use soldering wires" : cable + " pin";
}

namespace {

std::string ModeNames() {
    std::string names;
    for (const auto& m : Modes()) names += (names.empty() ? "" : ", ") + std::string(m.name);
    return names;
}

bool IsCable(const std::string& v) {
    for (const char* c : {"24", "25", "26", "28", "30", "32", "soldering"})
        if (v == c) return true;
    return false;
}

bool ParseSeconds(const std::string& v, double& out) {
    if (v.empty()) return false;
    char* end = nullptr;
    const double d = std::strtod(v.c_str(), &end);
    if (!end || *end != '\0' || !(d >= 0) || d > 1e7) return false;
    out = d;
    return true;
}

}  // namespace

bool ParseCommand(const std::vector<std::string>& argsIn, Command& c, std::string& error) {
    std::vector<std::string> args = argsIn;
    if (!TakeProgramOptions(args, c.program, error)) return false;

    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const std::string& name, std::string& out) {
            if (a == name) {
                if (i + 1 >= args.size()) {
                    error = name + " needs a value";
                    return -1;
                }
                out = args[++i];
                return 1;
            }
            if (a.rfind(name + "=", 0) == 0) {
                out = a.substr(name.size() + 1);
                return 1;
            }
            return 0;
        };
        std::string v;
        int r;
        if (a == "-h" || a == "--help") {
            c.help = true;
        } else if (a == "--mirrored") {
            c.mirrored = true;
        } else if ((r = value("--board", v)) != 0) {
            if (r < 0) return false;
            if (v.empty()) {
                error = "--board needs a non-empty text";
                return false;
            }
            c.board = v;
        } else if ((r = value("--cable", v)) != 0) {
            if (r < 0) return false;
            if (!IsCable(v)) {
                error = "--cable takes 24, 25, 26, 28, 30, 32 or soldering, not '" + v + "'";
                return false;
            }
            c.cable = v;
        } else if ((r = value("--seconds", v)) != 0) {
            if (r < 0) return false;
            double s = 0;
            if (!ParseSeconds(v, s)) {
                error = "--seconds takes a number of seconds, not '" + v + "'";
                return false;
            }
            c.seconds = s;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else {
            positional.push_back(a);
        }
    }
    if (c.help) return true;

    if (positional.empty()) {
        error = "missing MODE";
        return false;
    }
    c.mode = FindMode(positional[0]);
    if (!c.mode) {
        error = "unknown mode '" + positional[0] + "' (modes: " + ModeNames() + ")";
        return false;
    }
    const std::string mode = c.mode->name;

    if (mode == "keyboard") {
        if (positional.size() > 1) {
            error = "the keyboard test takes no action ('" + positional[1] +
                    "'); it runs until --seconds pass or Ctrl+C";
            return false;
        }
    } else {
        if (positional.size() < 2) {
            error = "missing ACTION for mode " + mode + " (settings, check, read FILE, write FILE)";
            return false;
        }
        c.actionName = positional[1];
        if (c.actionName == "settings")
            c.action = Action::Settings;
        else if (c.actionName == "check")
            c.action = Action::Check;
        else if (c.actionName == "read")
            c.action = Action::Read;
        else if (c.actionName == "write")
            c.action = Action::Write;
        else {
            error = "unknown action '" + c.actionName + "' (settings, check, read FILE, write FILE)";
            return false;
        }
        const bool withFile = c.action == Action::Read || c.action == Action::Write;
        if (withFile && positional.size() < 3) {
            error = c.actionName + " needs a FILE";
            return false;
        }
        if (positional.size() > (withFile ? 3u : 2u)) {
            error = "unexpected argument '" + positional[withFile ? 3 : 2] + "'";
            return false;
        }
        if (withFile) c.file = positional[2];
        if (c.action == Action::Settings && !c.mode->needsSettings) {
            error = "mode " + mode + " has no settings to send to the programmer";
            return false;
        }
        if (c.seconds) {
            error = "--seconds belongs to the keyboard test";
            return false;
        }
    }
    if (c.board && !c.mode->hasBoardList) {
        error = "--board needs a mode with a motherboard list (ene, ite, nuvoton-jtag)";
        return false;
    }
    if (c.cable && !c.mode->hasCable) {
        error = "--cable needs a mode with a cable choice (ene, ite)";
        return false;
    }
    if (c.mirrored && !c.mode->hasOneToOne) {
        error = "--mirrored needs a mode with the 1-to-1 box (ene, ite, nuvoton-jtag)";
        return false;
    }
    return true;
}

std::string UsageText() {
    return std::string(
               "Usage: zoltrav-jig-cli [--simulate | --port PATH] [--data-dir DIR] MODE ACTION [FILE]\n"
               "                       [--board TEXT] [--cable 24|25|26|28|30|32|soldering] [--mirrored]\n"
               "       zoltrav-jig-cli [--simulate | --port PATH] keyboard [--seconds N]\n"
               "\n"
               "Drives the Zoltrav JIG as the main window does: chooses MODE, the motherboard and the\n"
               "cable, sends the settings to the programmer where the mode needs them, then runs ACTION.\n"
               "The log goes to standard output; the progress bar to standard error on a terminal.\n"
               "\n"
               "MODE:   ene, ite, nuvoton-spi, nuvoton-jtag, mec, edid, keyboard,\n"
               "        external-ene, external-ite, external-nuvoton\n"
               "ACTION: settings     send the settings to the programmer\n"
               "        check        check the connection\n"
               "        read FILE    read the chip into FILE (an existing FILE is replaced)\n"
               "        write FILE   write FILE into the chip\n"
               "\n"
               "Options:\n") +
           ProgramOptionsHelp() +
           "  --board TEXT          choose the first motherboard line that contains TEXT\n"
           "  --cable N|soldering   choose the \"N pin\" cable or \"Use soldering wires\"\n"
           "  --mirrored            mirrored cable: untick \"1 pin JIG connected to 1 pin kb_conn MB\"\n"
           "  --seconds N           keyboard: stop the test after N seconds (default: Ctrl+C)\n"
           "  -h, --help            show this text\n"
           "\n"
           "Exit status: 0 the operation succeeded, 1 it failed, 2 usage error or a mode that is\n"
           "not built into this program.\n";
}

}  // namespace zjig::cli
