// The EDID EEPROM of an LCD panel: reading its 256 bytes into a file and
// writing a file into it, both on the window thread (no job), with a hex dump
// of the bytes and a one-line summary of the EDID base block.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zjig {

struct Program;

inline constexpr size_t kEdidSize = 256;
// The read answer: the 256 EEPROM bytes and the two status bytes 'O' 'K'.
inline constexpr size_t kEdidReadAnswerSize = kEdidSize + 2;
inline constexpr size_t kEdidBaseBlockSize = 128;

inline constexpr const char* kEdidModeText = "EDID (LCD)";
inline constexpr const char* kEdidReadFailed = "\n EEPROM does not respond,\n check the connection !!!\n\n";
inline constexpr const char* kEdidWriteFailed =
    "\n EEPROM does not respond,\n or write error!\nWP 7 pin = '0' ?\n\n";

// The READ branch: 'E' 'r', collects the 258-byte answer, dumps it and saves
// the 256 bytes when the status is 'O' 'K'. Closes the link on every path.
void EdidRead(Program& p);
// The WRITE branch: asks for the file, 'E' 'w', sends 256 bytes (the file,
// 0xFF past its end), checks the 'O' 'K' status. Closes the link.
void EdidWrite(Program& p);
// Appends the 16 green dump lines of 256 bytes.
void EdidDump(Program& p, const uint8_t* bytes);
// Attaches the EDID family to READ and WRITE.
void RegisterEdid(Program& p);

// One dump line: ":" + 16 bytes as upper-case hex digits, a space, the 16
// bytes as characters ('0'-'9', 'A'-'Z', 'a'-'z', '.', '_' as themselves,
// any other byte as '.'), "\n".
std::string EdidDumpLine(const uint8_t* sixteen);

// What the base block (the first 128 bytes) says about the panel.
struct EdidBaseInfo {
    std::string manufacturer;  // three letters, '?' for a letter code out of range
    uint16_t productCode = 0;
    uint32_t serialNumber = 0;
    uint8_t week = 0;  // 0: not given; 0xFF: the year is a model year
    int year = 0;      // 1990 + byte 17
    uint8_t version = 0, revision = 0;
    std::optional<std::string> monitorName;  // the monitor-name descriptor (tag 0xFC)
    bool checksumOk = false;
    uint8_t checksumByte = 0;      // byte 127 as stored
    uint8_t correctChecksum = 0;   // the byte 127 that makes bytes 0-127 sum to 0
};

// The fixed 8-byte header of a base block: 00 FF FF FF FF FF FF 00.
bool EdidHasHeader(std::span<const uint8_t> bytes);
// Decodes the base block; nullopt when fewer than 128 bytes are given or the
// header is missing.
std::optional<EdidBaseInfo> DecodeEdidBase(std::span<const uint8_t> bytes);
// The black summary line shown after a dump ("...\n").
std::string EdidSummaryLine(const EdidBaseInfo& info);
// The red warning shown before writing an image whose header is missing or
// whose base-block checksum is wrong; empty when the image looks sound.
std::string EdidWriteWarning(std::span<const uint8_t> bytes);

}  // namespace zjig
