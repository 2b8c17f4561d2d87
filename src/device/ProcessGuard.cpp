#include "device/ProcessGuard.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>

bool disableCoreDumps()
{
    // Not dumpable also stops a core handed to a pipe (core_pattern "|..."), which ignores the limit.
    const bool undumpable = ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0;
    const struct rlimit none {0, 0};
    return ::setrlimit(RLIMIT_CORE, &none) == 0 && undumpable;
}

void holdStandardStreams()
{
    // open() takes the lowest free descriptor: the closed one.
    for (int fd = 0; fd <= 2; ++fd)
        if (::fcntl(fd, F_GETFD) == -1)
            (void)::open("/dev/null", O_RDONLY);
}
