#include "cli/options.h"

#include <algorithm>
#include <system_error>

namespace zjig {

namespace {

// Matches "--name" (value in the next argument) or "--name=value".
// Returns 0 no match, 1 matched with value, -1 matched but the value is missing.
int TakeValue(std::vector<std::string>& args, size_t& i, const std::string& name,
              std::string& value) {
    const std::string& a = args[i];
    if (a == name) {
        if (i + 1 >= args.size()) return -1;
        value = args[i + 1];
        args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        return 1;
    }
    if (a.rfind(name + "=", 0) == 0) {
        value = a.substr(name.size() + 1);
        args.erase(args.begin() + static_cast<long>(i));
        return 1;
    }
    return 0;
}

}  // namespace

bool TakeProgramOptions(std::vector<std::string>& args, ProgramOptions& options,
                        std::string& error) {
    for (size_t i = 0; i < args.size();) {
        if (args[i] == "--simulate") {
            options.simulate = true;
            args.erase(args.begin() + static_cast<long>(i));
            continue;
        }
        std::string value;
        bool taken = false;
        for (const char* name : {"--port", "--data-dir", "--sim-firmware", "--sim-bench"}) {
            const int r = TakeValue(args, i, name, value);
            if (r < 0) {
                error = std::string(name) + " needs a value";
                return false;
            }
            if (r == 0) continue;
            if (value.empty()) {
                error = std::string(name) + " needs a non-empty value";
                return false;
            }
            const std::string n = name;
            if (n == "--port") options.port = value;
            if (n == "--data-dir") options.dataDir = std::filesystem::path(value);
            if (n == "--sim-firmware") options.simulatedFirmware = value;
            if (n == "--sim-bench") options.simulatedBench = value;
            taken = true;
            break;
        }
        if (!taken) ++i;
    }
    if (options.simulate && options.port) {
        error = "--simulate and --port exclude each other";
        return false;
    }
    if (options.simulatedFirmware && !options.simulate) {
        error = "--sim-firmware needs --simulate";
        return false;
    }
    if (options.simulatedBench) {
        if (!options.simulate) {
            error = "--sim-bench needs --simulate";
            return false;
        }
        const auto& names = SimBenchNames();
        if (std::find(names.begin(), names.end(), *options.simulatedBench) == names.end()) {
            error = "unknown --sim-bench " + *options.simulatedBench + "; one of:";
            for (const auto& n : names) error += " " + n;
            return false;
        }
    }
    if (options.dataDir) {
        std::error_code ec;
        if (!std::filesystem::is_directory(*options.dataDir, ec)) {
            error = "no such folder: " + options.dataDir->string();
            return false;
        }
    }
    return true;
}

const std::vector<std::string>& SimBenchNames() {
    static const std::vector<std::string> names = {
        "motherboard",           "motherboard-mirrored-cable", "motherboard-soldered",
        "external-ene",          "external-ene-mirrored",      "external-ite",
        "external-nuvoton",      "nothing"};
    return names;
}

std::filesystem::path ExecutableDir() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec);
    return exe.parent_path();
}

std::filesystem::path DataDir(const ProgramOptions& options) {
    return options.dataDir ? *options.dataDir : ExecutableDir();
}

const char* ProgramOptionsHelp() {
    return "  --simulate            use the built-in simulated JIG and its default bench\n"
           "  --port PATH           use this serial device (for example /dev/ttyUSB0)\n"
           "                        instead of searching the attached FTDI devices\n"
           "  --data-dir DIR        read the motherboard lists, the MEC list, the Nuvoton\n"
           "                        script and the firmware file from DIR\n"
           "                        (default: the program's own folder)\n"
           "  --sim-firmware TEXT   with --simulate: the simulated JIG runs firmware TEXT\n"
           "                        (any other than M328_EPM240_v20 shows the firmware update)\n"
           "  --sim-bench NAME      with --simulate: what is attached to the simulated JIG:\n"
           "                        motherboard (default: the example ENE board on a straight\n"
           "                        30-contact cable), motherboard-mirrored-cable,\n"
           "                        motherboard-soldered, external-ene, external-ene-mirrored,\n"
           "                        external-ite, external-nuvoton, nothing\n";
}

}  // namespace zjig
