// Flags for reading an input file with open(): never wait on a FIFO, never
// leak the descriptor into a child process, and read byte for byte (the
// Windows C library would otherwise turn CR LF into LF and stop at ^Z). A
// flag the system has no use for is 0 there.
#pragma once

#include <fcntl.h>

#ifndef O_NONBLOCK
#define O_NONBLOCK 0
#endif
#ifndef O_CLOEXEC
#define O_CLOEXEC 0
#endif
#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace orj {

enum {
    INPUT_OPEN_FLAGS = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_BINARY
};

// Makes reads on fd wait for data again, once the file is known to be regular.
inline void set_blocking(int fd)
{
#ifdef F_SETFL
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
#else
    (void)fd;
#endif
}

// Tells the system a file will be read from start to end, where it listens.
inline void advise_sequential_read(int fd)
{
#ifdef POSIX_FADV_SEQUENTIAL
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#else
    (void)fd;
#endif
}

}  // namespace orj
