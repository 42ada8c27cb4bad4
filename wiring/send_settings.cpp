#include "wiring/send_settings.h"

#include <string>

#include "app/log.h"
#include "app/main_form.h"
#include "app/operation.h"
#include "app/program.h"
#include "link/jig_link.h"
#include "link/protocol.h"
#include "wiring/pin_map.h"
#include "wiring/routing.h"

namespace zjig {

namespace {

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// A transfer that ends without sending its end mark: close and record.
void Refuse(Program& p) {
    CloseJigLink(p);
    RecordOutcome(p, false);
}

void LogUserSelect(Program& p, bool straight, uint8_t n, const std::string& line) {
    AppendLog(p, "User select   --> ", colors::Black);
    AppendLog(
        p, std::string(straight ? "1 to 1" : "mirrored") + " (" + std::to_string(n) + " pin FFC)\n",
        colors::Blue);
    AppendLog(p, line + "\n", colors::Blue);
}

void SendEneSettings(Program& p, const std::string& line, const std::string& ffc) {
    if (ParseEnePins(p) != 0) {
        AppendLog(p, "Error. Not found settings for KSO or KSI\n", colors::Red);
        Refuse(p);
        return;
    }
    auto& pins = p.State<EnePinMap>();
    if (SolderingChosen(ffc)) {
        SendJigCommand(p.link, "RESET_ALTERA");
        AppendLog(p, "The user chose programming with wire soldering!\n", colors::Red);
        // No routing: with soldered wires the CPLD stays in its reset state.
    } else {
        const uint8_t n = CableSize(ffc);
        uint8_t* contacts[] = {&pins.KSO3, &pins.KSI4, &pins.KSI5, &pins.KSI6, &pins.KSI7};
        for (uint8_t* c : contacts) {
            if (*c > n) {
                AppendLog(p, "Please select big pins FFC!\n", colors::Red);
                Refuse(p);
                return;
            }
        }
        const bool straight = p.form.Checked("CheckBox_OneToOne");
        LogUserSelect(p, straight, n, line);
        if (!straight)
            for (uint8_t* c : contacts) *c = MirrorContact(*c, n);
        SendJigCommand(p.link, "RESET_ALTERA");
        auto& r = p.State<CpldRouting>();
        ClearRouting(r);
        RouteEne(p);
        WriteRouting(p.link, r, WriteOrder::A);
    }
    SendEndMark(p, true);
    CloseJigLink(p);
    AppendLog(p, "Settings sent successfully!\n", colors::Black);
    AppendLog(p,
              std::string("\n Check GND.\n Connect the motherboard power adapter.\n") +
                  " We are ready for reading or writing.\n\n",
              colors::Blue);
    p.SettingsSent = true;
    ApplyUiState(p, "RD_WR_ON");
}

void SendIteSettings(Program& p, const std::string& line, const std::string& ffc) {
    const uint8_t n = CableSize(ffc);
    const bool straight = p.form.Checked("CheckBox_OneToOne");
    LogUserSelect(p, straight, n, line);
    if (!ParseItePins(p, line)) {
        Refuse(p);
        return;
    }
    auto& pins = p.State<ItePinMap>();
    if (!straight) {
        // A contact beyond the cable cannot be mirrored: n - c + 1 would wrap
        // around in 8 bits and hand the firmware a meaningless contact.
        for (uint8_t* c : pins.Contacts()) {
            if (*c > n) {
                AppendLog(p, "Please select big pins FFC!\n", colors::Red);
                Refuse(p);
                return;
            }
        }
        for (uint8_t* c : pins.Contacts()) *c = MirrorContact(*c, n);
    }
    SendJigCommand(p.link, "RESET_ALTERA");
    const int result = SendItePinFrames(p, ItePinFrames(p, false));
    if (result == 0) {
        SendEndMark(p, true);
        AppendLog(p, "Settings sent successfully!\n", colors::Black);
        AppendLog(p,
                  std::string("Check GND. Connect the motherboard power adapter.\n") +
                      "We are ready for reading or writing.\n",
                  colors::Blue);
        p.SettingsSent = true;
        ApplyUiState(p, "RD_WR_ON");
    } else {
        RecordOutcome(p, false);
        if (result == 2) {
            ApplyUiState(p, "RD_WR_OFF");
            p.SettingsSent = false;
        }
    }
    CloseJigLink(p);
}

void SendExternalSettings(Program& p) {
    if (SendExtBoardSettings(p, p.form.ItemIndex("RadioGroup_EXT_BOARD"))) {
        for (const char* c : {"BitBtn_Settings", "BitBtn_CheckConn", "BitBtn_READ", "BitBtn_WRITE"})
            p.form.SetEnabled(c, true);
        SendEndMark(p, true);
        AppendLog(p, "Settings for external board sent successfully!\n", colors::Black);
        p.State<ItePinMap>().flash192 = false;
    } else {
        for (const char* c : {"BitBtn_Settings", "BitBtn_READ", "BitBtn_WRITE"})
            p.form.SetEnabled(c, false);
        SendEndMark(p, false);
    }
    CloseJigLink(p);
}

void SendSettings(Program& p, const std::string& mode) {
    if (mode == "Nuvoton JTAG") {
        SendNuvotonJtagSettings(p);
        return;
    }
    if (mode == "External board") {
        SendExternalSettings(p);
        return;
    }
    const std::string line = p.form.Text("ComboBox_MB");
    if (!Has(line, "KS") && !Has(line, "PD")) {
        AppendLog(p, "Please select the correct settings MB!\n", colors::Red);
        Refuse(p);
        return;
    }
    const std::string ffc = p.form.Text("ComboBox_FFC");
    if (Has(mode, "ENE"))
        SendEneSettings(p, line, ffc);
    else if (Has(mode, "ITE"))
        SendIteSettings(p, line, ffc);
    else
        Refuse(p);
}

}  // namespace

void SendNuvotonJtagSettings(Program& p) {
    auto& pins = p.State<NuvotonPinMap>();
    pins = kNuvotonDefaults;
    auto& r = p.State<CpldRouting>();
    ClearRouting(r);
    SendJigCommand(p.link, "RESET_ALTERA");
    SendJigCommand(p.link, "SPI_ON");

    const std::string line = p.form.Text("ComboBox_MB");
    if (!Has(line, "default")) {
        AppendLog(p, line + "\n", colors::Black);
        if (ParseNuvotonPins(p, line) == NuvParse::NuvFormatError) {
            AppendLog(p, "Error settings format -> " + line + "\n\n", colors::Red);
            SendEndMark(p, false);
            CloseJigLink(p);
            p.SettingsSent = false;
            return;
        }
    } else {
        ParseNuvotonPins(p, line);
        AppendLog(p, "Selected default pinout MB for NUVOTON JTAG\n", colors::Blue);
    }
    RouteNuvotonJtag(p);
    WriteRouting(p.link, r, WriteOrder::B);

    const std::string frame = " " + std::string(31, '+') + "\n";
    AppendLog(p, "Settings for NUVOTON send\n\n", colors::Blue);
    AppendLog(p, frame, colors::Red);
    AppendLog(p, " Now \n Please connect the power supply\n to the motherboard, then click\n",
              colors::Red);
    AppendLog(p, " *Check connection*\n", colors::Blue);
    AppendLog(p, frame + "\n", colors::Red);
    SendEndMark(p, true);
    CloseJigLink(p);
    p.SettingsSent = true;
}

void BitBtn_SendSettingsClick(Program& p) {
    if (!p.CurrentJob.Is("NONE")) return;
    p.SettingsSent = false;
    ShowLog(p);
    BeginOperation(p);
    const std::string mode = p.form.Text("CBox_Selector");
    // A JIG lost in the middle leaves the controls as a refused transfer does.
    if (mode == "External board") {
        p.op.afterFailure.push_back([](Program& q) {
            for (const char* c : {"BitBtn_Settings", "BitBtn_READ", "BitBtn_WRITE"})
                q.form.SetEnabled(c, false);
        });
    } else if (Has(mode, "ITE") && !Has(mode, "ENE")) {
        p.op.afterFailure.push_back([](Program& q) { ApplyUiState(q, "RD_WR_OFF"); });
    }
    RunGuarded(p, [&] {
        if (!OpenJigLinkChecked(p)) {
            // A started firmware update owns the operation record from now on.
            if (p.CurrentJob.Is("NONE")) RecordOutcome(p, false);
            return;
        }
        p.link.context = "sending the settings";
        try {
            SendSettings(p, mode);
        } catch (const MbListFormatError& e) {
            // Nothing more goes to the JIG after a malformed value.
            Refuse(p);
            p.ui.ErrorBox(e.what());
        }
    });
}

void RadioGroup_EXT_BOARDClick(Program& p) { p.form.SetEnabled("BitBtn_SendSettings", true); }

void RegisterWiring(Program& p) {
    p.modes.loadMbList = [](Program& q, const std::string& family) {
        return LoadMbList(q, family);
    };
    p.handlers["ComboBox_MBClick"] = ComboBox_MBClick;
    p.handlers["ComboBox_FFCClick"] = ComboBox_FFCClick;
    p.handlers["BitBtn_SendSettingsClick"] = BitBtn_SendSettingsClick;
    p.handlers["RadioGroup_EXT_BOARDClick"] = RadioGroup_EXT_BOARDClick;

    // The labels of the ENE soldering window, with their design-time captions.
    auto label = [&](const char* name, const char* caption) {
        ControlState c;
        c.text = caption;
        p.form.Define(name, c);
    };
    label("KSI5", "KSI5");
    label("KSI7", "KSI7");
    label("KSI6", "KSI6");
    label("KSI4", "KSI4");
    label("KSO3", "KSO3");
    label("Label_MB_NAME", "LA-8681P (JKB1) KSO3=18 KSI4=5 KSI7=2 KSI6=3 KSI5=6");
}

}  // namespace zjig
