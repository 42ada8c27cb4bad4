#include "link/tty_custom_baud.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace zjig {

int SetCustomBaudRate(int fd, uint32_t baud) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return errno;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    if (ioctl(fd, TCSETS2, &t) != 0) return errno;
    return 0;
}

}  // namespace zjig
