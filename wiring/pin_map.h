// Motherboard connection lists: the three list files beside the program, the
// per-family pin maps parsed from the chosen line, and the handlers that keep
// "Send settings to the programmer" and the ENE soldering window in step with
// the motherboard and cable lists.
//
// File format (common to the three lists): 8-bit text, one motherboard per
// line. A line ends at a line feed; carriage returns are dropped wherever they
// stand; bytes after the last line feed are not listed. Keys ("KSO3=", ...)
// are found by case-sensitive substring search, the first occurrence counts.
// The value is the character after the "=" and, if the line goes on, the one
// after it unless that one is a space; these one or two characters must be a
// decimal number (KSO3=123 gives 12). A key with nothing after its "=", or a
// value that is not a decimal number, is a format error of the line
// (MbListFormatError).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace zjig {

struct Program;

// The keyboard-connector contacts of the ENE KB90xx programming signals. No
// range check. Mirrored in place by the settings transfer.
struct EnePinMap {
    uint8_t KSO3 = 0, KSI4 = 0, KSI5 = 0, KSI6 = 0, KSI7 = 0;
};

// The ITE contacts (each 1..32 when parsed), the flash size and the
// 192-kilobyte flag. Mirrored in place by the settings transfer; the
// external ITE board stores its own contacts here (KSI4 and KSI5 untouched).
struct ItePinMap {
    uint8_t INIT = 0, AFD = 0, SLIN = 0, STB = 0, KSI4 = 0, KSI5 = 0, BUSY = 0;
    std::array<uint8_t, 8> PD{};
    // Flash size in kilobytes: 128, or 192 when the line carries "FLASH=192".
    std::atomic<uint8_t> flashKb{128};
    // Set by "FLASH=192"; cleared at the start of every parse and when the
    // external-board settings succeed.
    std::atomic<bool> flash192{false};

    // The fifteen contacts in their stored order: INIT, AFD, SLIN, STB, KSI4,
    // KSI5, BUSY, PD0..PD7 (the order of mirroring and sending).
    std::array<uint8_t*, 15> Contacts();
};

// The Nuvoton JTAG contacts and the cable size they were given for.
struct NuvotonPinMap {
    uint8_t FFC_PINS = 30, JENK = 7, TCK = 19, TMS = 20, TDI = 21, TDO = 10;
};
inline constexpr NuvotonPinMap kNuvotonDefaults{};

enum class NuvParse { NuvDefault, NuvParsed, NuvFormatError };

// A malformed value in a list line: the operation parsing it stops and the
// user is shown an error box (what()) naming the line and the key.
class MbListFormatError : public std::runtime_error {
public:
    MbListFormatError(const std::string& line, const std::string& key, const std::string& problem);
    const std::string& Line() const { return line_; }
    const std::string& Key() const { return key_; }

private:
    std::string line_, key_;
};

// List file names by family ("ENE", "ITE", "NUVOTON"); empty for others.
std::string MbListFileName(const std::string& family);

// Value extraction: nullopt when the key is absent; the one- or two-character
// decimal value otherwise. Throws MbListFormatError for a malformed value.
std::optional<uint8_t> ExtractPinValue(const std::string& line, const std::string& key);

// Loads a family's list into ComboBox_MB; 0 when loaded, 1 when the file
// cannot be opened (the list box is then left as it was).
int LoadMbList(Program& p, const std::string& family);
// Parses the text of ComboBox_MB into the ENE pin map: 0 when all five keys
// were found, 1 otherwise (values found before a missing key stay stored).
// Throws MbListFormatError. Writes nothing to the log.
int ParseEnePins(Program& p);
// The contact number a key gives in a line when present and in 1..32, else 0.
// Throws MbListFormatError.
uint8_t ReadPinValue(const std::string& line, const std::string& key);
// Fills the ITE pin map from a line; logs its own failure and warning lines.
// Throws MbListFormatError.
bool ParseItePins(Program& p, const std::string& line);
// Fills the Nuvoton pin map from the defaults and the line. Writes nothing to
// the log. Throws MbListFormatError.
NuvParse ParseNuvotonPins(Program& p, const std::string& line);

// Cable size from the cable list's text ("30 pin" gives 30); 0 when the text
// does not contain "pin" or does not start with a number.
uint8_t CableSize(const std::string& ffcText);
// The cable list's text names the soldered wires ("Use soldering wires").
bool SolderingChosen(const std::string& ffcText);

// Enables or disables "Send settings to the programmer" (and, for ENE, the
// 1-to-1 box) from the mode, the cable list and the motherboard list.
void UpdateSendSettingsEnable(Program& p);
// Fills and shows the ENE soldering window, or closes it. Throws
// MbListFormatError (through ParseEnePins).
void UpdateEneSolderWindow(Program& p);
// Click handlers of the motherboard list and the cable list.
void ComboBox_MBClick(Program& p);
void ComboBox_FFCClick(Program& p);

}  // namespace zjig
