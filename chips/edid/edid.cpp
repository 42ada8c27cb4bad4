#include "chips/edid/edid.h"

#include <algorithm>
#include <cstdio>

#include "app/image_files.h"
#include "app/log.h"
#include "app/main_form.h"
#include "app/operation.h"
#include "app/program.h"
#include "link/jig_link.h"
#include "link/protocol.h"

namespace zjig {

namespace {

constexpr uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
// The four 18-byte descriptors of the base block.
constexpr size_t kDescriptorOffsets[4] = {54, 72, 90, 108};
constexpr uint8_t kMonitorNameTag = 0xFC;

char DumpChar(uint8_t c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '.' ||
        c == '_')
        return static_cast<char>(c);
    return '.';
}

std::string Hex2(uint8_t b) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%02X", b);
    return buf;
}

// A letter of the manufacturer ID: 1 is 'A', 26 is 'Z'.
char IdLetter(unsigned code) { return code >= 1 && code <= 26 ? static_cast<char>('A' + code - 1) : '?'; }

// The text of a display descriptor (bytes 5-17): ends at a line feed, the
// padding spaces after it are dropped, unprintable bytes become '?'.
std::string DescriptorText(const uint8_t* d) {
    std::string text;
    for (size_t i = 5; i < 18 && d[i] != 0x0A; ++i)
        text += d[i] >= 0x20 && d[i] < 0x7F ? static_cast<char>(d[i]) : '?';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string ChecksumText(const EdidBaseInfo& info) {
    return "byte 127 is " + Hex2(info.checksumByte) + ", should be " + Hex2(info.correctChecksum);
}

// The dump and, when the bytes hold a base block, its summary line.
void ShowEdid(Program& p, const uint8_t* bytes) {
    EdidDump(p, bytes);
    if (auto info = DecodeEdidBase(std::span<const uint8_t>(bytes, kEdidSize)))
        AppendLog(p, EdidSummaryLine(*info), colors::Black);
}

}  // namespace

std::string EdidDumpLine(const uint8_t* sixteen) {
    std::string line = ":";
    char hex[4];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(hex, sizeof hex, "%02X", sixteen[i]);
        line += hex;
    }
    line += ' ';
    for (int i = 0; i < 16; ++i) line += DumpChar(sixteen[i]);
    line += '\n';
    return line;
}

void EdidDump(Program& p, const uint8_t* bytes) {
    for (size_t line = 0; line < kEdidSize / 16; ++line)
        AppendLog(p, EdidDumpLine(bytes + 16 * line), colors::Green);
}

bool EdidHasHeader(std::span<const uint8_t> bytes) {
    return bytes.size() >= sizeof kHeader && std::equal(std::begin(kHeader), std::end(kHeader), bytes.begin());
}

std::optional<EdidBaseInfo> DecodeEdidBase(std::span<const uint8_t> bytes) {
    if (bytes.size() < kEdidBaseBlockSize || !EdidHasHeader(bytes)) return std::nullopt;
    const uint8_t* b = bytes.data();
    EdidBaseInfo info;
    // Manufacturer ID: three 5-bit letters, big-endian, bit 15 reserved.
    const unsigned id = (unsigned{b[8]} << 8) | b[9];
    info.manufacturer = {IdLetter((id >> 10) & 0x1F), IdLetter((id >> 5) & 0x1F), IdLetter(id & 0x1F)};
    info.productCode = static_cast<uint16_t>(b[10] | (b[11] << 8));
    info.serialNumber = uint32_t{b[12]} | (uint32_t{b[13]} << 8) | (uint32_t{b[14]} << 16) |
                        (uint32_t{b[15]} << 24);
    info.week = b[16];
    info.year = 1990 + b[17];
    info.version = b[18];
    info.revision = b[19];
    for (size_t off : kDescriptorOffsets) {
        const uint8_t* d = b + off;
        // A display descriptor has a zero pixel clock; its tag is byte 3.
        if (d[0] == 0 && d[1] == 0 && d[3] == kMonitorNameTag) {
            info.monitorName = DescriptorText(d);
            break;
        }
    }
    unsigned sum = 0;
    for (size_t i = 0; i < kEdidBaseBlockSize - 1; ++i) sum += b[i];
    info.checksumByte = b[127];
    info.correctChecksum = static_cast<uint8_t>(-sum & 0xFF);
    info.checksumOk = static_cast<uint8_t>(sum + b[127]) == 0;
    return info;
}

std::string EdidSummaryLine(const EdidBaseInfo& info) {
    std::string s = "EDID: manufacturer " + info.manufacturer;
    char buf[64];
    std::snprintf(buf, sizeof buf, ", product 0x%04X, serial %u, ", info.productCode, info.serialNumber);
    s += buf;
    const std::string year = std::to_string(info.year);
    if (info.week == 0)
        s += "year " + year;
    else if (info.week == 0xFF)
        s += "model year " + year;
    else if (info.week <= 54)
        s += "week " + std::to_string(info.week) + " of " + year;
    else
        s += "week " + std::to_string(info.week) + " (invalid) of " + year;
    s += ", version " + std::to_string(info.version) + "." + std::to_string(info.revision);
    if (info.monitorName) s += ", name \"" + *info.monitorName + "\"";
    s += info.checksumOk ? ", checksum OK\n" : ", checksum WRONG (" + ChecksumText(info) + ")\n";
    return s;
}

std::string EdidWriteWarning(std::span<const uint8_t> bytes) {
    auto info = DecodeEdidBase(bytes);
    if (!info)
        return "Warning: the file has no EDID header (00 FF FF FF FF FF FF 00); "
               "it is written as it is.\n";
    if (!info->checksumOk)
        return "Warning: the EDID checksum of the file is wrong (" + ChecksumText(*info) +
               "); it is written as it is.\n";
    return {};
}

void EdidRead(Program& p) {
    JigLink& link = p.link;
    AppendTimestampLine(p);
    ShowLog(p);
    AppendLog(p, "Reading EEPROM EDID ...\n", colors::Blue);
    SendJigCommand(link, "TwoBytesSendNoReadByte", 'E', 'r');

    // Collect what is queued, chunk by chunk, never more than the answer
    // holds; a JIG that sends more has not given a valid answer.
    const std::string what = "EEPROM data after 'E' 'r'";
    std::array<uint8_t, kEdidReadAnswerSize> answer;
    answer.fill(0xFF);
    uint32_t collected = 0;
    while (collected < answer.size()) {
        link.context = std::to_string(collected) + " of " + std::to_string(answer.size()) +
                       " bytes received";
        const uint32_t queued = link.WaitQueue(1, what);
        const uint32_t take = std::min<uint32_t>(queued, answer.size() - collected);
        uint32_t got = 0;
        const FtStatus st = p.driver.Read(link.handle, answer.data() + collected, take, got);
        link.lastRead = got;
        if (st != FtStatus::Ok || got == 0)
            throw JigNoAnswer(what + " (" + link.context + ")", true, collected, answer.size());
        collected += got;
    }
    link.context.clear();
    // Whatever is still queued behind the 258 bytes makes the answer too long.
    const uint32_t surplus = link.QueueLength(what);

    ShowEdid(p, answer.data());
    if (surplus > 0) {
        p.driver.Purge(link.handle, kPurgeRx);
        SendEndMark(p, false);
        AppendLog(p,
                  "\n Answer too long: at least " + std::to_string(answer.size() + surplus) +
                      " bytes instead of " + std::to_string(answer.size()) +
                      ",\n the read is not valid !!!\n\n",
                  colors::Red);
    } else if (answer[kEdidSize] == 'O' && answer[kEdidSize + 1] == 'K') {
        AppendLog(p, "Reading from the EEPROM is completed successfully.\n", colors::Blue);
        SendEndMark(p, true);
        p.files.ImageFileName.clear();
        if (ChooseSaveFile(p, "Noname", ".bin", kEdidFilter)) {
            AppendLog(p, "Save the file: " + p.files.ImageFileName + "\n", colors::Black);
            const bool written = WriteImageFile(p, answer.data(), kEdidSize);
            CloseImageFile(p);
            if (written) {
                AppendLog(p, "Save completed.\n", colors::Blue);
            } else {
                AppendLog(p, "Error write file.\n", colors::Red);
                RecordOutcome(p, false);
            }
        }
    } else {
        SendEndMark(p, false);
        AppendLog(p, kEdidReadFailed, colors::Red);
    }
    CloseJigLink(p);
    AppendLog(p, "\n", colors::Black);
}

void EdidWrite(Program& p) {
    JigLink& link = p.link;
    ShowLog(p);
    AppendTimestampLine(p);
    AppendLog(p, "Writing EEPROM EDID ...\n", colors::Blue);
    p.files.ImageFileName.clear();
    if (!ChooseOpenFile(p, "", ".bin", kEdidFilter)) return;
    AppendLog(p, "Write to EEPROM EDID file: " + p.files.ImageFileName + "\n", colors::Black);

    SendJigCommand(link, "TwoBytesSend", 'E', 'w');
    // The image goes out from the transfer buffer: the file, 0xFF past its end.
    uint8_t* image = link.buffer.data();
    LoadImageFile(p, image, kEdidSize);
    ShowEdid(p, image);
    const std::string warning = EdidWriteWarning(std::span<const uint8_t>(image, kEdidSize));
    if (!warning.empty()) AppendLog(p, warning, colors::Red);

    link.WriteBuffer(kEdidSize);
    link.ReadExactly(2, "status of the EEPROM write");
    if (link.buffer[0] == 'O' && link.buffer[1] == 'K') {
        AppendLog(p, "Writing data to EEPROM is completed successfully.\n\n", colors::Blue);
        SendEndMark(p, true);
    } else {
        SendEndMark(p, false);
        AppendLog(p, kEdidWriteFailed, colors::Red);
    }
    CloseJigLink(p);
}

void RegisterEdid(Program& p) {
    p.families[Family::Edid] = FamilyBranches{nullptr, nullptr, EdidRead, EdidWrite};
}

}  // namespace zjig
