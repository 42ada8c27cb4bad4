#include "link/tty_driver.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>

#include "link/tty_custom_baud.h"

namespace zjig {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kFtdiVendor = 0x0403;

struct StandardRate {
    uint32_t baud;
    speed_t code;
};
constexpr StandardRate kStandardRates[] = {
    {50, B50},         {75, B75},         {110, B110},         {134, B134},
    {150, B150},       {200, B200},       {300, B300},         {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

std::optional<speed_t> SpeedCode(uint32_t baud) {
    for (const auto& r : kStandardRates)
        if (r.baud == baud) return r.code;
    return std::nullopt;
}

std::optional<uint32_t> SpeedBaud(speed_t code) {
    for (const auto& r : kStandardRates)
        if (r.code == code) return r.baud;
    return std::nullopt;
}

// Errors that mean the device is not there any more.
bool GoneErrno(int e) { return e == EIO || e == ENODEV || e == ENXIO || e == EPIPE || e == EBADF; }

FtStatus ErrnoStatus(int e) { return GoneErrno(e) ? FtStatus::IoError : FtStatus::OtherError; }

constexpr short kGoneEvents = POLLHUP | POLLERR | POLLNVAL;

// poll() on one descriptor for at most d (0 or less: just look). Returns the
// revents, or -1 on an error other than an interrupted wait (retried).
int PollFor(int fd, short events, Clock::duration d) {
    const auto end = Clock::now() + std::max(d, Clock::duration::zero());
    for (;;) {
        auto left = std::max(end - Clock::now(), Clock::duration::zero());
        auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        pollfd p{fd, events, 0};
        int r = ppoll(&p, 1, &ts, nullptr);
        if (r >= 0) return r == 0 ? 0 : p.revents;
        if (errno != EINTR) return -1;
    }
}

// The device is gone: its node was removed (unplugged) or the tty was hung up.
bool DeviceGone(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_nlink == 0) return true;
    int rev = PollFor(fd, 0, Clock::duration::zero());
    return rev < 0 || (rev & kGoneEvents) != 0;
}

// The USB vendor of the device that a sysfs device directory belongs to: the
// first idVendor found going up from dir, without leaving root.
std::optional<uint32_t> UsbVendorAbove(fs::path dir, const fs::path& root) {
    for (int depth = 0; depth < 16 && !dir.empty(); ++depth) {
        auto rel = dir.lexically_relative(root);
        if (rel.empty() || *rel.begin() == "..") return std::nullopt;
        std::ifstream f(dir / "idVendor");
        if (f.is_open()) {
            std::string text;
            f >> text;
            char* end = nullptr;
            unsigned long v = std::strtoul(text.c_str(), &end, 16);
            if (text.empty() || *end != '\0') return std::nullopt;
            return static_cast<uint32_t>(v);
        }
        if (dir == root || !dir.has_parent_path() || dir.parent_path() == dir) return std::nullopt;
        dir = dir.parent_path();
    }
    return std::nullopt;
}

// "ttyUSB12" -> 12.
std::optional<unsigned long> TtyUsbNumber(const std::string& name) {
    static const std::string prefix = "ttyUSB";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    unsigned long n = 0;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 1'000'000) return std::nullopt;
        n = n * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    return n;
}

std::string Resolve(const std::string& path) {
    std::error_code ec;
    auto p = fs::canonical(path, ec);
    return ec ? path : p.string();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// Raw mode with the given line settings: no echo, no canonical mode, no
// signals, no byte translation either way, no software or hardware flow
// control, receiver on, modem lines ignored; reads return what is queued.
// The modem lines are left as they are on close (no HUPCL), so opening and
// closing the link again and again does not pulse them. Returns 0 or an errno
// (EINVAL when the tty did not take the settings).
int ApplyLine(int fd, uint32_t baud, uint8_t bits, uint8_t stopBits, uint8_t parity) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return errno;
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR |
                                        IGNCR | ICRNL | IUCLC | IXON | IXANY | IXOFF | IMAXBEL |
                                        IUTF8);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL |
                                        ECHOPRT | ECHOKE | IEXTEN | TOSTOP | XCASE);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | HUPCL);
    t.c_cflag |= CLOCAL | CREAD | (bits == 7 ? CS7 : CS8);
    if (stopBits == 2) t.c_cflag |= CSTOPB;
    switch (parity) {
        case 1: t.c_cflag |= PARENB | PARODD; break;
        case 2: t.c_cflag |= PARENB; break;
        case 3: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case 4: t.c_cflag |= PARENB | CMSPAR; break;
        default: break;
    }
    t.c_cc[VMIN] = 1;  // with O_NONBLOCK: no data is EAGAIN, and 0 means hang-up
    t.c_cc[VTIME] = 0;
    auto code = SpeedCode(baud);
    if (code) {
        cfsetispeed(&t, *code);
        cfsetospeed(&t, *code);
    }
    if (tcsetattr(fd, TCSANOW, &t) != 0) return errno;

    // tcsetattr succeeds when any part was taken: check the parts that matter.
    termios now{};
    if (tcgetattr(fd, &now) != 0) return errno;
    const tcflag_t cmask = CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | CLOCAL | CREAD;
    if ((now.c_cflag & cmask) != (t.c_cflag & cmask) || now.c_lflag != t.c_lflag ||
        now.c_iflag != t.c_iflag || (now.c_oflag & OPOST) != 0)
        return EINVAL;
    if (code && cfgetospeed(&now) != *code) return EINVAL;
    if (!code) return SetCustomBaudRate(fd, baud);
    return 0;
}

uint32_t KernelVersion() {
    utsname u{};
    if (uname(&u) != 0) return 0;
    unsigned major = 0, minor = 0, patch = 0;
    std::sscanf(u.release, "%u.%u.%u", &major, &minor, &patch);
    return (std::min(major, 255u) << 16) | (std::min(minor, 255u) << 8) | std::min(patch, 255u);
}

}  // namespace

TtyDriver::Port::~Port() {
    if (fd < 0) return;
    // The exclusive flag belongs to the tty, not to this file: drop it, or
    // the next open could be refused while another file keeps the tty open.
    ioctl(fd, TIOCNXCL);
    close(fd);
}

TtyDriver::TtyDriver(std::optional<std::string> explicitPath, std::string sysfsRoot,
                     std::string devRoot)
    : explicitPath_(std::move(explicitPath)),
      sysfsRoot_(std::move(sysfsRoot)),
      devRoot_(std::move(devRoot)) {}

TtyDriver::~TtyDriver() {
    std::lock_guard lock(m_);
    ports_.clear();
}

std::vector<std::string> TtyDriver::ListedPaths() const {
    std::lock_guard lock(m_);
    return list_;
}

std::vector<std::string> TtyDriver::Enumerate() const {
    if (explicitPath_) {
        // A path that is not there lists nothing ("no device"), rather than a
        // device that cannot be opened.
        if (Exists(*explicitPath_)) return {*explicitPath_};
        return {};
    }
    std::error_code ec;
    fs::path root = fs::weakly_canonical(sysfsRoot_, ec);
    if (ec) return {};
    std::vector<std::pair<unsigned long, std::string>> found;
    fs::directory_iterator it(fs::path(sysfsRoot_) / "class" / "tty", ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        auto number = TtyUsbNumber(name);
        if (!number) continue;
        std::error_code e2;
        fs::path device = fs::canonical(it->path() / "device", e2);
        if (e2) continue;
        if (UsbVendorAbove(device, root) != kFtdiVendor) continue;
        std::string node = (fs::path(devRoot_) / name).string();
        // No node (not created yet, or already removed): not usable.
        if (!Exists(node)) continue;
        found.emplace_back(*number, node);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> out;
    for (auto& f : found) out.push_back(std::move(f.second));
    return out;
}

FtStatus TtyDriver::CreateDeviceInfoList(uint32_t& count) {
    auto list = Enumerate();
    std::lock_guard lock(m_);
    list_ = std::move(list);
    count = static_cast<uint32_t>(list_.size());
    return FtStatus::Ok;
}

FtStatus TtyDriver::Open(int index, FtHandle& handle) {
    std::lock_guard lock(m_);
    handle = kNoHandle;
    if (index < 0 || index >= static_cast<int>(list_.size())) return FtStatus::DeviceNotFound;
    auto port = std::make_shared<Port>();
    port->path = list_[static_cast<size_t>(index)];
    port->realPath = Resolve(port->path);
    for (const auto& [h, other] : ports_)
        if (other->realPath == port->realPath) return FtStatus::DeviceNotOpened;

    port->fd = open(port->path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (port->fd < 0)
        return (errno == ENOENT || errno == ENODEV || errno == ENXIO) ? FtStatus::DeviceNotFound
                                                                      : FtStatus::DeviceNotOpened;
    // Exclusive: TIOCEXCL keeps other programs out (root excepted); the lock
    // keeps out another copy of this program even when it runs as root.
    termios current{};
    if (!isatty(port->fd) || tcgetattr(port->fd, &current) != 0 ||
        flock(port->fd, LOCK_EX | LOCK_NB) != 0 || ioctl(port->fd, TIOCEXCL) != 0)
        return FtStatus::DeviceNotOpened;  // the Port closes the file
    // Keep the tty's rate; B0 (which would drop the modem lines) or a custom
    // rate becomes 9600 until SetBaudRate.
    port->baud = SpeedBaud(cfgetospeed(&current)).value_or(9600);
    if (ApplyLine(port->fd, port->baud, port->bits, port->stopBits, port->parity) != 0)
        return FtStatus::DeviceNotOpened;
    tcflush(port->fd, TCIOFLUSH);

    handle = next_++;
    ports_[handle] = std::move(port);
    return FtStatus::Ok;
}

std::shared_ptr<TtyDriver::Port> TtyDriver::Find(FtHandle handle) {
    std::lock_guard lock(m_);
    auto it = ports_.find(handle);
    return it == ports_.end() ? nullptr : it->second;
}

FtStatus TtyDriver::Close(FtHandle handle) {
    std::shared_ptr<Port> port;
    {
        std::lock_guard lock(m_);
        auto it = ports_.find(handle);
        if (it == ports_.end()) return FtStatus::InvalidHandle;
        port = std::move(it->second);
        ports_.erase(it);
    }
    return FtStatus::Ok;  // the file closes with the last user of the port
}

FtStatus TtyDriver::ResetDevice(FtHandle handle) {
    auto port = Find(handle);
    if (!port) return FtStatus::InvalidHandle;
    if (tcflush(port->fd, TCIOFLUSH) != 0) return ErrnoStatus(errno);
    int e = ApplyLine(port->fd, port->baud, port->bits, port->stopBits, port->parity);
    return e ? ErrnoStatus(e) : FtStatus::Ok;
}

FtStatus TtyDriver::SetBaudRate(FtHandle handle, uint32_t baud) {
    auto port = Find(handle);
    if (!port) return FtStatus::InvalidHandle;
    if (baud == 0) return FtStatus::InvalidBaudRate;
    int e = ApplyLine(port->fd, baud, port->bits, port->stopBits, port->parity);
    if (e == 0) {
        port->baud = baud;
        return FtStatus::Ok;
    }
    if (GoneErrno(e)) return FtStatus::IoError;
    // Put the last good rate back.
    ApplyLine(port->fd, port->baud, port->bits, port->stopBits, port->parity);
    return FtStatus::InvalidBaudRate;
}

FtStatus TtyDriver::SetDataCharacteristics(FtHandle handle, uint8_t bits, uint8_t stopBits,
                                           uint8_t parity) {
    auto port = Find(handle);
    if (!port) return FtStatus::InvalidHandle;
    if ((bits != 7 && bits != 8) || (stopBits != 0 && stopBits != 2) || parity > 4)
        return FtStatus::InvalidParameter;
    int e = ApplyLine(port->fd, port->baud, bits, stopBits, parity);
    if (e == 0) {
        port->bits = bits, port->stopBits = stopBits, port->parity = parity;
        return FtStatus::Ok;
    }
    if (GoneErrno(e)) return FtStatus::IoError;
    ApplyLine(port->fd, port->baud, port->bits, port->stopBits, port->parity);
    return FtStatus::InvalidParameter;
}

FtStatus TtyDriver::SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) {
    auto port = Find(handle);
    if (!port) return FtStatus::InvalidHandle;
    port->readTimeoutMs = readMs;
    port->writeTimeoutMs = writeMs;
    return FtStatus::Ok;
}

FtStatus TtyDriver::SetLatencyTimer(FtHandle handle, uint8_t ms) {
    auto port = Find(handle);
    if (!port) return FtStatus::InvalidHandle;
    // The ttyUSBn name: the listed path's, or that of the node a link
    // (/dev/serial/by-id/...) leads to.
    std::string name = fs::path(port->path).filename().string();
    if (!TtyUsbNumber(name)) name = fs::path(port->realPath).filename().string();
    if (TtyUsbNumber(name)) {
        const fs::path file = fs::path(sysfsRoot_) / "bus" / "usb-serial" / "devices" / name /
                              "latency_timer";
        std::ifstream in(file);
        if (in.is_open()) {
            int current = -1;
            in >> current;
            if (current == ms) return FtStatus::Ok;
            std::ofstream out(file);
            if (out.is_open()) {
                out << static_cast<int>(ms) << '\n';
                out.flush();
                if (out.good()) return FtStatus::Ok;
            }
        }
    }
    // Without the sysfs setting (or the right to change it): the tty's
    // low-latency mode, which ftdi_sio maps to its shortest latency.
    serial_struct ss{};
    if (ioctl(port->fd, TIOCGSERIAL, &ss) != 0) return FtStatus::OtherError;
    const bool wantLow = ms < 16;
    if (((ss.flags & ASYNC_LOW_LATENCY) != 0) == wantLow) return FtStatus::Ok;
    if (wantLow)
        ss.flags |= ASYNC_LOW_LATENCY;
    else
        ss.flags &= ~ASYNC_LOW_LATENCY;
    return ioctl(port->fd, TIOCSSERIAL, &ss) == 0 ? FtStatus::Ok : FtStatus::OtherError;
}

FtStatus TtyDriver::GetDriverVersion(FtHandle handle, uint32_t& version) {
    if (!Find(handle)) return FtStatus::InvalidHandle;
    version = KernelVersion();
    return FtStatus::Ok;
}

FtStatus TtyDriver::Write(FtHandle handle, const uint8_t* data, uint32_t len, uint32_t& written) {
    written = 0;
    auto port = Find(handle);
    if (!port) return FtStatus::InvalidHandle;
    const auto deadline = Clock::now() + std::chrono::milliseconds(port->writeTimeoutMs.load());
    while (written < len) {
        ssize_t r = write(port->fd, data + written, len - written);
        if (r > 0) {
            written += static_cast<uint32_t>(r);
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && errno != EAGAIN) return ErrnoStatus(errno);
        // No room: wait for it.
        auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return FtStatus::OtherError;
        int rev = PollFor(port->fd, POLLOUT, left);
        if (rev < 0 || (rev & kGoneEvents)) return FtStatus::IoError;
    }
    return FtStatus::Ok;
}

FtStatus TtyDriver::Read(FtHandle handle, uint8_t* data, uint32_t len, uint32_t& got) {
    got = 0;
    auto port = Find(handle);
    if (!port) return FtStatus::InvalidHandle;
    const auto deadline = Clock::now() + std::chrono::milliseconds(port->readTimeoutMs.load());
    while (got < len) {
        ssize_t r = read(port->fd, data + got, len - got);
        if (r > 0) {
            got += static_cast<uint32_t>(r);
            continue;
        }
        if (r == 0) return FtStatus::IoError;  // hung up
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return ErrnoStatus(errno);
        auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return FtStatus::Ok;
        int rev = PollFor(port->fd, POLLIN, left);
        if (rev < 0 || (rev & kGoneEvents)) return FtStatus::IoError;
    }
    return FtStatus::Ok;
}

FtStatus TtyDriver::GetStatus(FtHandle handle, uint32_t& rxQueue, uint32_t& txQueue,
                              uint32_t& events) {
    rxQueue = txQueue = events = 0;
    auto port = Find(handle);
    if (!port) return FtStatus::InvalidHandle;
    if (DeviceGone(port->fd)) return FtStatus::IoError;
    int rx = 0, tx = 0;
    if (ioctl(port->fd, FIONREAD, &rx) != 0 || ioctl(port->fd, TIOCOUTQ, &tx) != 0)
        return FtStatus::IoError;
    rxQueue = static_cast<uint32_t>(std::max(rx, 0));
    txQueue = static_cast<uint32_t>(std::max(tx, 0));
    return FtStatus::Ok;
}

FtStatus TtyDriver::Purge(FtHandle handle, uint32_t mask) {
    auto port = Find(handle);
    if (!port) return FtStatus::InvalidHandle;
    const bool rx = mask & kPurgeRx, tx = mask & kPurgeTx;
    if (!rx && !tx) return FtStatus::Ok;
    int how = rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH;
    if (tcflush(port->fd, how) != 0) return ErrnoStatus(errno);
    return FtStatus::Ok;
}

FtStatus TtyDriver::WaitForQueue(FtHandle handle, uint32_t n, uint32_t timeoutMs,
                                 uint32_t& rxQueue) {
    rxQueue = 0;
    auto port = Find(handle);
    if (!port) return FtStatus::InvalidHandle;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const uint32_t bitsPerByte =
        1u + port->bits + (port->parity ? 1u : 0u) + (port->stopBits == 2 ? 2u : 1u);
    constexpr std::chrono::microseconds kMinStep{200}, kMaxStep{10'000};
    std::chrono::microseconds lastStep{0};
    uint32_t lastQueued = 0;
    for (;;) {
        if (DeviceGone(port->fd)) return FtStatus::IoError;
        int q = 0;
        if (ioctl(port->fd, FIONREAD, &q) != 0) return FtStatus::IoError;
        rxQueue = static_cast<uint32_t>(std::max(q, 0));
        if (rxQueue >= n) return FtStatus::Ok;
        auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return FtStatus::Ok;
        int rev;
        if (rxQueue == 0) {
            // Nothing queued: poll() sleeps until the first byte comes.
            lastStep = std::chrono::microseconds(0);
            rev = PollFor(port->fd, POLLIN, left);
        } else {
            // Some queued: "readable" would wake poll() at once, forever. Sleep
            // for about the wire time of the missing bytes (twice the last
            // sleep when nothing came during it, for a slow trickle), woken
            // early only by a hang-up (no events asked: only those report).
            const uint64_t missing = n - rxQueue;
            auto step = std::chrono::microseconds(missing * bitsPerByte * 1'000'000ull /
                                                  std::max<uint32_t>(port->baud, 1));
            if (rxQueue == lastQueued) step = std::max(step, 2 * lastStep);
            step = std::clamp(step, kMinStep, kMaxStep);
            lastStep = step;
            rev = PollFor(port->fd, 0, std::min<Clock::duration>(step, left));
        }
        lastQueued = rxQueue;
        if (rev < 0 || (rev & kGoneEvents)) return FtStatus::IoError;
    }
}

}  // namespace zjig
