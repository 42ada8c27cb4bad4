#include "sim/pty_bridge.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

namespace zjig::sim {

namespace {

[[noreturn]] void Fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

void Signal(int fd) {
    uint64_t one = 1;
    while (write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

}  // namespace

PtyPair::PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master_ < 0) Fail("posix_openpt");
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        int e = errno;
        close(master_);
        errno = e;
        Fail("pseudo-terminal slave");
    }
    slavePath_ = name;
    slaveKeeper_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (slaveKeeper_ < 0) {
        int e = errno;
        close(master_);
        errno = e;
        Fail("open pseudo-terminal slave");
    }
    // The slave starts as a cooked terminal; its settings are the program's
    // business (termios calls on the master would change the slave's). The
    // master's own side passes bytes untouched.
}

PtyPair::~PtyPair() { HangUp(); }

void PtyPair::HangUp() {
    if (master_ >= 0) close(master_);
    if (slaveKeeper_ >= 0) close(slaveKeeper_);
    master_ = slaveKeeper_ = -1;
}

PtyBridge::PtyBridge(std::shared_ptr<SimSerial> device) : device_(std::move(device)) {
    stopFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd_ < 0) Fail("eventfd");
    // ToDevice joins ToHost at its end, so ToHost starts first.
    toHost_ = std::thread([this] { ToHost(); });
    toDevice_ = std::thread([this] { ToDevice(); });
}

PtyBridge::~PtyBridge() {
    stopping_ = true;
    Signal(stopFd_);
    if (toDevice_.joinable()) toDevice_.join();
    close(stopFd_);
}

void PtyBridge::ToDevice() {
    const int master = pty_.Master();
    uint8_t buf[4096];
    for (;;) {
        pollfd fds[2] = {{master, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        int r = poll(fds, 2, -1);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 || fds[1].revents) break;
        if (fds[0].revents & POLLIN) {
            ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) {
                // A gone device drops the bytes; ToHost notices it is gone.
                device_->HostWrite(buf, static_cast<uint32_t>(n));
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            break;  // the slave side is gone
        }
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) break;
    }
    Signal(stopFd_);
    if (toHost_.joinable()) toHost_.join();
    if (deviceGone_) {
        // Unplugged: the program's open slave file sees the hang-up.
        pty_.HangUp();
        hungUp_ = true;
    }
}

void PtyBridge::ToHost() {
    const int master = pty_.Master();
    uint8_t buf[4096];
    while (!stopping_) {
        auto avail = device_->HostWait(1, 50);
        if (!avail) {
            deviceGone_ = true;
            break;
        }
        if (*avail == 0) continue;
        auto got = device_->HostRead(buf, std::min<uint32_t>(*avail, sizeof buf), 0);
        if (!got) {
            deviceGone_ = true;
            break;
        }
        uint32_t done = 0;
        while (done < *got) {
            ssize_t n = write(master, buf + done, *got - done);
            if (n > 0) {
                done += static_cast<uint32_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) {
                Signal(stopFd_);
                return;
            }
            // The slave's input queue is full: wait for room or the end.
            pollfd fds[2] = {{master, POLLOUT, 0}, {stopFd_, POLLIN, 0}};
            if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
            if (fds[1].revents) return;
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                Signal(stopFd_);
                return;
            }
        }
    }
    Signal(stopFd_);
}

}  // namespace zjig::sim
