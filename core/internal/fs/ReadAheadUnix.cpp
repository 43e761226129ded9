#include "core/internal/fs/ReadAhead.h"

#include "core/internal/fs/CheckedFile.h"

#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ReadAhead::ReadAhead(const CheckedFile &file)
    : m_fd(file.m_fd >= 0 ? ::fcntl(file.m_fd, F_DUPFD_CLOEXEC, 0) : -1)
{}

ReadAhead::~ReadAhead()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

// One request reads no more than the device's read-ahead window (a few MiB), so the file is
// asked for piece by piece. The system starts reading each piece and returns before the reading
// is done.
void ReadAhead::start()
{
    if (m_fd < 0)
        return;
    constexpr off_t step = 2 * 1024 * 1024;
    struct stat info;
    if (::fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode)) {
        for (off_t at = 0; at < info.st_size; at += step) {
            if (::posix_fadvise(m_fd, at, step, POSIX_FADV_WILLNEED) != 0)
                break;
        }
    }
    ::close(std::exchange(m_fd, -1));
}
