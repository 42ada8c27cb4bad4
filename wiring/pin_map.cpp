#include "wiring/pin_map.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "app/log.h"
#include "app/program.h"

namespace zjig {

std::array<uint8_t*, 15> ItePinMap::Contacts() {
    return {&INIT,  &AFD,   &SLIN,  &STB,   &KSI4,  &KSI5,  &BUSY, &PD[0],
            &PD[1], &PD[2], &PD[3], &PD[4], &PD[5], &PD[6], &PD[7]};
}

MbListFormatError::MbListFormatError(const std::string& line, const std::string& key,
                                     const std::string& problem)
    : std::runtime_error("Format error in the motherboard list.\n\nLine: \"" + line + "\"\nKey \"" +
                         key + "\": " + problem + "\n\nPlease correct this line of the list file."),
      line_(line),
      key_(key) {}

std::string MbListFileName(const std::string& family) {
    if (family == "ENE") return "MB connection ENE.txt";
    if (family == "ITE") return "MB connection ITE.txt";
    if (family == "NUVOTON") return "MB connection NUVOTON.txt";
    return {};
}

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }
}  // namespace

std::optional<uint8_t> ExtractPinValue(const std::string& line, const std::string& key) {
    const size_t at = line.find(key);
    if (at == std::string::npos) return std::nullopt;
    const size_t pos = at + key.size();
    if (pos >= line.size()) throw MbListFormatError(line, key, "no value after \"=\".");
    std::string value(1, line[pos]);
    if (pos + 1 < line.size() && line[pos + 1] != ' ') value += line[pos + 1];
    for (char c : value)
        if (!IsDigit(c))
            throw MbListFormatError(line, key, "\"" + value + "\" is not a decimal number.");
    return static_cast<uint8_t>(std::stoi(value));
}

int LoadMbList(Program& p, const std::string& family) {
    const std::string name = MbListFileName(family);
    if (name.empty()) return 1;
    std::ifstream file(p.DataFile(name), std::ios::binary);
    if (!file.is_open()) return 1;
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), {}};
    file.close();

    std::vector<std::string> items;
    items.push_back(family == "NUVOTON"
                        ? "Select a MB here or now the default settings will be used"
                        : "Select MB");
    std::string line;
    for (char c : bytes) {
        if (c == '\n') {
            items.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    // The remainder after the last line feed is not listed.
    p.form.SetItems("ComboBox_MB", std::move(items));
    p.form.SetItemIndex("ComboBox_MB", 0);
    p.form.SetItemIndex("ComboBox_FFC", 0);
    p.form.SetChecked("CheckBox_OneToOne", true);
    return 0;
}

int ParseEnePins(Program& p) {
    const std::string line = p.form.Text("ComboBox_MB");
    auto& pins = p.State<EnePinMap>();
    struct Field {
        const char* key;
        uint8_t* value;
    };
    const Field fields[] = {{"KSO3=", &pins.KSO3},
                            {"KSI4=", &pins.KSI4},
                            {"KSI5=", &pins.KSI5},
                            {"KSI6=", &pins.KSI6},
                            {"KSI7=", &pins.KSI7}};
    for (const auto& f : fields) {
        auto v = ExtractPinValue(line, f.key);
        if (!v) return 1;
        *f.value = *v;
    }
    return 0;
}

uint8_t ReadPinValue(const std::string& line, const std::string& key) {
    auto v = ExtractPinValue(line, key);
    if (!v || *v < 1 || *v > 32) return 0;
    return *v;
}

bool ParseItePins(Program& p, const std::string& line) {
    auto& pins = p.State<ItePinMap>();
    pins.flash192 = false;
    struct Field {
        const char* key;
        uint8_t* value;
    };
    const Field fields[] = {{"PD0=", &pins.PD[0]}, {"PD1=", &pins.PD[1]}, {"PD2=", &pins.PD[2]},
                            {"PD3=", &pins.PD[3]}, {"PD4=", &pins.PD[4]}, {"PD5=", &pins.PD[5]},
                            {"PD6=", &pins.PD[6]}, {"PD7=", &pins.PD[7]}, {"BUSY=", &pins.BUSY},
                            {"STB=", &pins.STB},   {"AFD=", &pins.AFD},   {"INIT=", &pins.INIT},
                            {"SLIN=", &pins.SLIN}, {"KSI4=", &pins.KSI4}, {"KSI5=", &pins.KSI5}};
    for (const auto& f : fields) {
        const uint8_t v = ReadPinValue(line, f.key);
        if (v == 0) {
            AppendLog(p, "Information about the contact number is not found or false! ",
                      colors::Red);
            AppendLog(p, std::string(f.key) + "\n", colors::Black);
            return false;
        }
        *f.value = v;
    }
    pins.flashKb = 128;
    if (Has(line, "FLASH=192")) {
        pins.flashKb = 192;
        AppendLog(
            p, "Warning! Selected FLASH ITE size " + std::to_string(pins.flashKb.load()) + "KB\n",
            colors::Red);
        pins.flash192 = true;
    }
    return true;
}

NuvParse ParseNuvotonPins(Program& p, const std::string& line) {
    auto& pins = p.State<NuvotonPinMap>();
    pins = kNuvotonDefaults;
    if (Has(line, "default")) return NuvParse::NuvDefault;
    struct Field {
        const char* key;
        uint8_t* value;
    };
    const Field fields[] = {{"FFC_PINS=", &pins.FFC_PINS}, {"JENK=", &pins.JENK},
                            {"TCK=", &pins.TCK},           {"TMS=", &pins.TMS},
                            {"TDI=", &pins.TDI},           {"TDO=", &pins.TDO}};
    for (const auto& f : fields) {
        auto v = ExtractPinValue(line, f.key);
        if (!v) return NuvParse::NuvFormatError;
        *f.value = *v;
    }
    return NuvParse::NuvParsed;
}

uint8_t CableSize(const std::string& ffcText) {
    if (!Has(ffcText, "pin")) return 0;
    // The number in the first two characters ("24 pin" .. "32 pin"); text
    // typed into the box that does not start with a number gives no size.
    int n = 0;
    for (size_t i = 0; i < 2 && i < ffcText.size() && IsDigit(ffcText[i]); ++i)
        n = n * 10 + (ffcText[i] - '0');
    return static_cast<uint8_t>(n);
}

bool SolderingChosen(const std::string& ffcText) { return Has(ffcText, "soldering "); }

void UpdateSendSettingsEnable(Program& p) {
    const std::string mode = p.form.Text("CBox_Selector");
    const bool soldering = SolderingChosen(p.form.Text("ComboBox_FFC"));
    const bool cableAt0 = p.form.ItemIndex("ComboBox_FFC") == 0;
    const bool boardAt0 = p.form.ItemIndex("ComboBox_MB") == 0;
    bool enable = true;
    if (Has(mode, "ITE")) {
        // Soldered wires are not offered for ITE.
        enable = !(soldering || cableAt0 || boardAt0);
    } else if (Has(mode, "ENE")) {
        enable = !(boardAt0 || (!soldering && cableAt0));
        p.form.SetEnabled("CheckBox_OneToOne", !soldering);
    }
    p.form.SetEnabled("BitBtn_SendSettings", enable);
}

void UpdateEneSolderWindow(Program& p) {
    const std::string mode = p.form.Text("CBox_Selector");
    const std::string line = p.form.Text("ComboBox_MB");
    if (Has(mode, "ENE") && Has(line, "KS") && ParseEnePins(p) == 0 &&
        SolderingChosen(p.form.Text("ComboBox_FFC"))) {
        // Soldered wires use no cable: the contacts are shown as listed.
        const auto& pins = p.State<EnePinMap>();
        p.form.SetText("Label_MB_NAME", line);
        p.form.SetText("KSO3", "to " + std::to_string(pins.KSO3));
        p.form.SetText("KSI4", "to " + std::to_string(pins.KSI4));
        p.form.SetText("KSI5", "to " + std::to_string(pins.KSI5));
        p.form.SetText("KSI6", "to " + std::to_string(pins.KSI6));
        p.form.SetText("KSI7", "to " + std::to_string(pins.KSI7));
        p.form.SetVisible("TENE_for_solder", true);
    } else {
        p.form.SetVisible("TENE_for_solder", false);
    }
}

namespace {
void ListClicked(Program& p) {
    UpdateSendSettingsEnable(p);
    try {
        UpdateEneSolderWindow(p);
    } catch (const MbListFormatError& e) {
        p.form.SetVisible("TENE_for_solder", false);
        p.ui.ErrorBox(e.what());
    }
}
}  // namespace

void ComboBox_MBClick(Program& p) { ListClicked(p); }
void ComboBox_FFCClick(Program& p) { ListClicked(p); }

}  // namespace zjig
