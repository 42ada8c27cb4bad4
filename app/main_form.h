// The main window's behaviour, independent of any window toolkit: its
// controls in the form model, the named control states, the mode selection
// and the handlers of its buttons. The Qt window and the command-line front
// end call these handlers; so do the tests.
#pragma once

#include <string>
#include <vector>

#include "app/program.h"

namespace zjig {

// Items of the mode selector, in order.
inline const std::vector<std::string> kModeItems = {
    "    Select mode", "EDID (LCD)",    "Keyboard test", "Nuvoton SPI",   "Nuvoton JTAG",
    "ENE  (KB90XX)",   "ITE  (IT8XXX)", "MEC JTAG",      "External board"};
inline const std::vector<std::string> kCableItems = {
    "FFC pins", "Use soldering wires", "24 pin", "25 pin", "26 pin", "28 pin", "30 pin", "32 pin"};

inline constexpr const char* kAppTitle = "Zoltrav JIG";

// "a.b.c.d" with the fourth number taken modulo 256, from the four numbers
// of the program's version.
std::string FormatProgramVersion(unsigned major, unsigned minor, unsigned patch, unsigned build);
// The version of this build ("NOT FOUND" when the build carries none).
std::string BuildProgramVersion();
std::string MainCaption(const std::string& version);

// The web addresses behind the three link buttons.
struct WebLink {
    const char* control;
    const char* caption;
    const char* url;
};
const std::vector<WebLink>& WebLinks();

// Creates the controls of all windows in the form model in their start
// state, then runs the window creation steps.
void FormCreate(Program& p);
// Applies one of "ALL OFF", "ENE_ITE_ON", "NUVOTON_JTAG", "RD_WR_ON",
// "RD_WR_OFF", "NUVOTON_SPI_ON"; any other name changes nothing.
void ApplyUiState(Program& p, const std::string& name);

// The family the three main buttons act on (with the "Check connection"
// condition on SettingsSent when forCheck).
Family FindFamily(Program& p, bool forCheck);

// Handlers.
void CBox_SelectorClick(Program& p);
// Chooses a mode item as the user does (sets the selector, runs the handler).
void SelectMode(Program& p, const std::string& item);
void BitBtn_CheckConnClick(Program& p);
void BitBtn_READClick(Program& p);
void BitBtn_WRITEClick(Program& p);
void BitBtn_SettingsClick(Program& p);
void BitBtn_clearClick(Program& p);
void BitBtn_supClick(Program& p);
void BitBtn_sup1Click(Program& p);
void BitBtn_ytbClick(Program& p);
// The close request: true when the program may end (no job runs).
bool FormCloseQuery(Program& p);

// Runs a registered event handler by name; false when none is registered.
bool Fire(Program& p, const std::string& handler);

// Makes the log visible (the settings view hidden).
void ShowLog(Program& p);

}  // namespace zjig
