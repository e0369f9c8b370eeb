// termios2 lives in <asm/termbits.h>, which clashes with <termios.h>; this
// file includes only the kernel's definitions.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace tornyx::platform {

bool setCustomSpeed(int fd, int baud) {
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~tcflag_t(CBAUD);
    t.c_cflag |= BOTHER;
    t.c_cflag &= ~tcflag_t(CIBAUD);
    t.c_cflag |= tcflag_t(BOTHER) << IBSHIFT;
    t.c_ispeed = speed_t(baud);
    t.c_ospeed = speed_t(baud);
    return ::ioctl(fd, TCSETS2, &t) == 0;
}

int readCustomSpeed(int fd) {
    struct termios2 t {};
    if (::ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    return int(t.c_ospeed);
}

} // namespace tornyx::platform
