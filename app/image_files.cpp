#include "app/image_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "app/log.h"
#include "app/operation.h"
#include "app/program.h"
#include "link/protocol.h"

namespace zjig {

namespace {

// Opens a file "without sharing": an exclusive advisory lock that another
// program holding the file (or this one) makes fail.
int OpenLocked(const std::string& path, bool forWriting) {
    int fd = forWriting ? ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644)
                        : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    // Replace the contents only once the file is ours.
    if (forWriting && ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

FileDialogRequest Request(const char* title, const std::string& initialName,
                          const std::string& ext, const std::string& filter) {
    return FileDialogRequest{title, initialName, ext, filter};
}

}  // namespace

bool ChooseSaveFile(Program& p, const std::string& initialName, const std::string& defaultExt,
                    const std::string& filter) {
    auto chosen = p.ui.ChooseSaveFile(Request(kSaveDialogTitle, initialName, defaultExt, filter));
    if (!chosen) {
        AppendLog(p, "Write to file is interrupted.\n", colors::Red);
        RecordOutcome(p, false);
        CloseJigLink(p);
        return false;
    }
    CloseImageFile(p);
    p.files.ImageFileName = *chosen;
    p.files.ImageFile = OpenLocked(*chosen, true);
    if (p.files.ImageFile < 0) {
        AppendLog(p, "Error create file.\n", colors::Red);
        RecordOutcome(p, false);
        SendJigCommand(p.link, "SPI_ON");
        CloseJigLink(p);
        return false;
    }
    return true;
}

bool ChooseOpenFile(Program& p, const std::string& initialName, const std::string& defaultExt,
                    const std::string& filter) {
    auto chosen = p.ui.ChooseOpenFile(Request(kOpenDialogTitle, initialName, defaultExt, filter));
    if (!chosen) {
        AppendLog(p, "Write operation is interrupted.\n", colors::Red);
        RecordOutcome(p, false);
        CloseJigLink(p);
        return false;
    }
    CloseImageFile(p);
    p.files.ImageFileName = *chosen;
    p.files.ImageFile = OpenLocked(*chosen, false);
    if (p.files.ImageFile < 0) {
        AppendLog(p, "Error open file!\n", colors::Red);
        RecordOutcome(p, false);
        SendJigCommand(p.link, "SPI_ON");
        CloseJigLink(p);
        return false;
    }
    return true;
}

size_t LoadImageFile(Program& p, uint8_t* buf, size_t size) {
    std::fill(buf, buf + size, uint8_t{0xFF});
    size_t total = 0;
    while (p.files.ImageFile >= 0 && total < size) {
        ssize_t n = ::read(p.files.ImageFile, buf + total, size - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += static_cast<size_t>(n);
    }
    CloseImageFile(p);
    p.files.lastLoadedCount = total;
    return total;
}

bool WriteImageFile(Program& p, const uint8_t* data, size_t size) {
    size_t done = 0;
    while (p.files.ImageFile >= 0 && done < size) {
        ssize_t n = ::write(p.files.ImageFile, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return done == size;
}

void CloseImageFile(Program& p) {
    if (p.files.ImageFile >= 0) ::close(p.files.ImageFile);
    p.files.ImageFile = -1;
}

}  // namespace zjig
