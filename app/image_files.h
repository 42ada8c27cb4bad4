// Chip image files: the save and open steps of READ and WRITE, the shared
// image buffer and loading with 0xFF fill.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zjig {

struct Program;

inline constexpr size_t kChipImageSize = 196608;  // 0x30000, the largest image (ITE)

struct ImageFiles {
    std::string ImageFileName;
    int ImageFile = -1;  // file descriptor, locked against other programs while open
    std::vector<uint8_t> ChipImage = std::vector<uint8_t>(kChipImageSize, 0xFF);
    size_t lastLoadedCount = 0;
};

// Dialog texts.
inline constexpr const char* kSaveDialogTitle = "Save file";
inline constexpr const char* kOpenDialogTitle = "Read file";
inline constexpr const char* kEneFilter = "BIN file ENE (*.bin)|*.bin|other|*.*";
inline constexpr const char* kNuvotonFilter = "BIN file NUVOTON (*.bin)|*.bin|other|*.*";
inline constexpr const char* kIteFilter = "BIN file ITE (*.bin)|*.bin|other|*.*";
inline constexpr const char* kMecFilter = "BIN file MEC (*.bin)|*.bin|other|*.*";
inline constexpr const char* kEdidFilter = "BIN file EDID (*.bin)|*.bin|other|*.*";

// Save step of READ (window thread, link open). True: ImageFileName set and
// ImageFile created (replacing any file) and open for writing. False:
// reported in red and the link closed.
bool ChooseSaveFile(Program& p, const std::string& initialName, const std::string& defaultExt,
                    const std::string& filter);
// Open step of WRITE: the same for reading.
bool ChooseOpenFile(Program& p, const std::string& initialName, const std::string& defaultExt,
                    const std::string& filter);
// Fills size bytes of buf with 0xFF, reads at most size bytes of ImageFile
// into it from its start, closes ImageFile; returns the count read.
size_t LoadImageFile(Program& p, uint8_t* buf, size_t size);
// Appends bytes to the open ImageFile; false when the file could not take them all.
bool WriteImageFile(Program& p, const uint8_t* data, size_t size);
// Closes ImageFile if open.
void CloseImageFile(Program& p);

}  // namespace zjig
