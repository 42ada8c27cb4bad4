// Setting a baud rate that has no Bxxx constant on a Linux tty (termios2 with
// BOTHER). Kept in its own file: the kernel's termios header it needs cannot
// share a translation unit with the C library's <termios.h>.
#pragma once

#include <cstdint>

namespace zjig {

// Sets both directions of fd to baud. Returns 0, or the errno of the failure.
int SetCustomBaudRate(int fd, uint32_t baud);

}  // namespace zjig
