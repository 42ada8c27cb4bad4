// zoltrav-jig-cli run as a process, end to end against the simulated JIG.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/fixture.h"

namespace zjig::test {
namespace {

const std::string kCli = std::string(ZJIG_BIN_DIR) + "/zoltrav-jig-cli";

struct CliResult {
    int status = -1;  // exit status, or -1 when it did not end by itself
    std::string out, err;
};

std::vector<char*> Argv(std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(kCli.c_str()));
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

int Reap(pid_t pid, bool timedOut) {
    if (timedOut) kill(pid, SIGKILL);
    int ws = 0;
    waitpid(pid, &ws, 0);
    return !timedOut && WIFEXITED(ws) ? WEXITSTATUS(ws) : -1;
}

// Runs the binary with stdout and stderr on pipes (not a terminal). With
// readerGone, nobody reads stdout: its pipe is closed at once.
CliResult RunCli(std::vector<std::string> args, bool readerGone = false, int limitSeconds = 30) {
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return {};
    auto argv = Argv(args);
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        execv(kCli.c_str(), argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    CliResult r;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    int open = 2;
    if (readerGone) {
        close(outPipe[0]);
        fds[0].fd = -1;
        open = 1;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    bool timedOut = false;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        if (poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || !(fds[k].revents & (POLLIN | POLLHUP))) continue;
            char buf[4096];
            const ssize_t n = read(fds[k].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[k]->append(buf, static_cast<size_t>(n));
            } else {
                close(fds[k].fd);
                fds[k].fd = -1;
                --open;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) close(f.fd);
    r.status = Reap(pid, timedOut);
    return r;
}

// Runs the binary with stdout and stderr on a pseudo-terminal.
CliResult RunCliOnTerminal(std::vector<std::string> args, int limitSeconds = 30) {
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {};
    auto argv = Argv(args);
    const pid_t pid = fork();
    if (pid == 0) {
        close(master);
        dup2(slave, 1);
        dup2(slave, 2);
        setenv("TERM", "xterm", 1);
        unsetenv("NO_COLOR");
        execv(kCli.c_str(), argv.data());
        _exit(127);
    }
    close(slave);
    CliResult r;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd fd{master, POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
        char buf[4096];
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) break;  // EIO once the child has closed the terminal
        r.out.append(buf, static_cast<size_t>(n));
    }
    close(master);
    r.status = Reap(pid, timedOut);
    return r;
}

struct CliCase {
    const char* name;
    std::vector<std::string> args;  // "{dir}" stands for a fresh temporary folder
    int status;
    std::string outHas;  // each: empty, or a text the stream must contain
    std::string errHas;
    std::function<void(TempDir&)> arrange = nullptr;
};

void PrintTo(const CliCase& c, std::ostream* os) { *os << c.name; }

class CliCommands : public ::testing::TestWithParam<CliCase> {};

TEST_P(CliCommands, ExitStatusAndOutput) {
    const CliCase& c = GetParam();
    TempDir dir;
    if (c.arrange) c.arrange(dir);
    std::vector<std::string> args = c.args;
    for (auto& a : args)
        if (auto at = a.find("{dir}"); at != std::string::npos) a.replace(at, 5, dir.Path().string());
    const CliResult r = RunCli(args);
    EXPECT_EQ(r.status, c.status) << "stdout:\n" << r.out << "\nstderr:\n" << r.err;
    if (!c.outHas.empty()) {
        EXPECT_NE(r.out.find(c.outHas), std::string::npos) << r.out;
    }
    if (!c.errHas.empty()) {
        EXPECT_NE(r.err.find(c.errHas), std::string::npos) << r.err;
    }
    EXPECT_EQ(r.out.find('\033'), std::string::npos) << "plain text when not on a terminal";
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no progress line when not on a terminal";
}

std::vector<uint8_t> FirmwareBytes() { return std::vector<uint8_t>(1000, 0x5A); }

INSTANTIATE_TEST_SUITE_P(
    Usage, CliCommands,
    ::testing::Values(
        CliCase{"NoArguments", {}, 2, "", "Usage: zoltrav-jig-cli"},
        CliCase{"Help", {"--help"}, 0, "Usage: zoltrav-jig-cli", ""},
        CliCase{"UnknownMode", {"--simulate", "flash", "check"}, 2, "", "unknown mode 'flash'"},
        CliCase{"MissingAction", {"--simulate", "edid"}, 2, "", "missing ACTION"},
        CliCase{"UnknownAction", {"--simulate", "edid", "erase"}, 2, "", "unknown action 'erase'"},
        CliCase{"ReadWithoutFile", {"--simulate", "edid", "read"}, 2, "", "read needs a FILE"},
        CliCase{"ExtraArgument", {"--simulate", "edid", "check", "x.bin"}, 2, "",
                "unexpected argument 'x.bin'"},
        CliCase{"UnknownOption", {"--simulate", "--verbose", "edid", "check"}, 2, "",
                "unknown option --verbose"},
        CliCase{"OptionWithoutValue", {"--simulate", "edid", "check", "--board"}, 2, "",
                "--board needs a value"},
        CliCase{"SimulateAndPort", {"--simulate", "--port", "/dev/ttyUSB0", "edid", "check"}, 2,
                "", "exclude each other"},
        CliCase{"SimulatedFirmwareWithoutSimulate", {"--sim-firmware", "X", "edid", "check"}, 2,
                "", "--sim-firmware needs --simulate"},
        CliCase{"UnknownSimulatedBench", {"--simulate", "--sim-bench", "garage", "edid", "check"},
                2, "", "unknown --sim-bench garage; one of: motherboard"},
        CliCase{"SimulatedBenchWithoutSimulate", {"--sim-bench", "nothing", "edid", "check"}, 2, "",
                "--sim-bench needs --simulate"},
        CliCase{"NoDataFolder", {"--simulate", "--data-dir", "/nonexistent/zjig", "edid", "check"},
                2, "", "no such folder"},
        CliCase{"BadCable", {"--simulate", "ene", "check", "--cable", "27"}, 2, "",
                "--cable takes 24, 25, 26, 28, 30, 32 or soldering"},
        CliCase{"CableWithoutCableList", {"--simulate", "nuvoton-jtag", "check", "--cable", "30"},
                2, "", "--cable needs a mode with a cable choice"},
        CliCase{"BoardWithoutList", {"--simulate", "mec", "check", "--board", "LA"}, 2, "",
                "--board needs a mode with a motherboard list"},
        CliCase{"SettingsInAModeWithout", {"--simulate", "edid", "settings"}, 2, "",
                "mode edid has no settings"},
        CliCase{"BadSeconds", {"--simulate", "keyboard", "--seconds", "soon"}, 2, "",
                "--seconds takes a number"},
        CliCase{"SecondsOutsideKeyboard", {"--simulate", "edid", "check", "--seconds", "1"}, 2,
                "", "--seconds belongs to the keyboard test"},
        CliCase{"KeyboardWithAction", {"--simulate", "keyboard", "read", "x"}, 2, "",
                "takes no action"},
        CliCase{"WriteOfAMissingFile", {"--simulate", "edid", "write", "/nonexistent/zjig.bin"}, 2,
                "", "no such file: /nonexistent/zjig.bin"}),
    [](const ::testing::TestParamInfo<CliCase>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Simulator, CliCommands,
    ::testing::Values(
        // "Check connection" in EDID mode: the JIG is found and identified.
        CliCase{"EdidCheck", {"--simulate", "edid", "check"}, 0,
                "Mode selected --> EDID (LCD)\n", ""},
        CliCase{"EdidCheckIdentifiesTheJig", {"--simulate", "edid", "check"}, 0,
                "Version FW JIG M328_EPM240_v20\n", ""},
        // Another firmware: the update runs instead, and the command fails.
        CliCase{"OutdatedFirmwareIsUpdated",
                {"--simulate", "--sim-firmware", "M328_EPM240_v19", "--data-dir", "{dir}", "edid",
                 "check"},
                1, "UPDATE completed successfully.\n", "the firmware update ran instead",
                [](TempDir& d) { d.Write("M328_EPM240_v20.vss", FirmwareBytes()); }},
        CliCase{"OutdatedFirmwareAsksForTheResetButton",
                {"--simulate", "--sim-firmware", "M328_EPM240_v19", "--data-dir", "{dir}", "edid",
                 "check"},
                1, "Loaded to buffer bytes (dec): 1000\n", "Please push reset button!\n",
                [](TempDir& d) { d.Write("M328_EPM240_v20.vss", FirmwareBytes()); }},
        CliCase{"OutdatedFirmwareWithoutImage",
                {"--simulate", "--sim-firmware", "M328_EPM240_v19", "--data-dir", "{dir}", "edid",
                 "check"},
                1, "Not found FW update file: M328_EPM240_v20.vss\n", ""}),
    [](const ::testing::TestParamInfo<CliCase>& info) { return info.param.name; });

// Whole operations as a technician runs them, on the simulated JIG with the
// example lists beside the program; the bench decides what answers.
const std::vector<std::string> kEneBoard = {"--board", "LA-8681P", "--cable", "30"};
std::vector<std::string> Args(std::vector<std::string> head, const std::vector<std::string>& tail = {}) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}
void WriteImage(TempDir& d) {
    std::vector<uint8_t> image(70000);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13 + 5);
    d.Write("image.bin", image);
}

INSTANTIATE_TEST_SUITE_P(
    EndToEnd, CliCommands,
    ::testing::Values(
        CliCase{"EneSettings", Args({"--simulate", "ene", "settings"}, kEneBoard), 0,
                "Settings sent successfully!\n", ""},
        CliCase{"EneRead", Args({"--simulate", "ene", "read", "{dir}/chip"}, kEneBoard), 0,
                "Reading completed successfully.\n", ""},
        CliCase{"EneWriteAndVerify", Args({"--simulate", "ene", "write", "{dir}/image.bin"}, kEneBoard),
                0, "Writing and verify is OK !\n", "", WriteImage},
        CliCase{"EneMirroredBoxOnAStraightCable",
                Args({"--simulate", "ene", "check", "--mirrored"}, kEneBoard), 1,
                " No connection to the KB90XX!\n", ""},
        CliCase{"EneOnAMirroredCable",
                Args({"--simulate", "--sim-bench", "motherboard-mirrored-cable", "ene", "check",
                      "--mirrored"},
                     kEneBoard),
                0, "Embedded Debug Version ID = ", ""},
        CliCase{"EneSoldered",
                {"--simulate", "--sim-bench", "motherboard-soldered", "ene", "check", "--board",
                 "LA-8681P", "--cable", "soldering"},
                0, "The user chose programming with wire soldering!\n", ""},
        CliCase{"EneWithNothingAttached",
                Args({"--simulate", "--sim-bench", "nothing", "ene", "check"}, kEneBoard), 1,
                " Motherboard is connected / powered ?\n", ""},
        CliCase{"ExternalEneRead",
                {"--simulate", "--sim-bench", "external-ene-mirrored", "external-ene", "read",
                 "{dir}/ext"},
                0, "Reading completed successfully.\n", ""},
        CliCase{"ExternalEneWithoutTheBoard", {"--simulate", "external-ene", "check"}, 1,
                " External board not found/connected!\n", ""},
        CliCase{"EdidRead", {"--simulate", "edid", "read", "{dir}/panel"}, 0, "Save completed.\n",
                ""},
        CliCase{"EdidWrite", {"--simulate", "edid", "write", "{dir}/image.bin"}, 0,
                "Writing data to EEPROM is completed successfully.\n\n", "", WriteImage},
        CliCase{"KeyboardForHalfASecond", {"--simulate", "keyboard", "--seconds", "0.5"}, 0,
                "Keyboard testing stop.\n", ""}),
    [](const ::testing::TestParamInfo<CliCase>& info) { return info.param.name; });

// A log reader that goes away does not end the program in the middle of an
// operation: the firmware update still runs to its end.
TEST(CliProcess, RunsToTheEndWhenTheLogReaderIsGone) {
    TempDir dir;
    dir.Write("M328_EPM240_v20.vss", FirmwareBytes());
    const CliResult r = RunCli({"--simulate", "--sim-firmware", "M328_EPM240_v19", "--data-dir",
                                dir.Path().string(), "edid", "check"},
                               true);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("the firmware update ran instead"), std::string::npos) << r.err;
}

TEST(CliTerminal, ColoursTheLogOnATerminal) {
    const CliResult r = RunCliOnTerminal({"--simulate", "edid", "check"});
    EXPECT_EQ(r.status, 0) << r.out;
    // Purple banner, blue driver line, fuchsia version, each ending its colour
    // before the line feed.
    EXPECT_NE(r.out.find("\033[35m================================\033[0m"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\033[34mVersion FW JIG \033[0m"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\033[95mM328_EPM240_v20\033[0m"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace zjig::test
