#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tornyx::platform {

namespace {

QString reasonOf(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

// Where the bytes really go: a symbolic link is followed, so that saving
// through it changes the file it points at instead of replacing the link.
QString resolvedTarget(const QString& path) {
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty())
            return target;
    }
    return path;
}

mode_t defaultMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool writeAll(int fd, const char* data, qsizetype n, int* err) {
    while (n > 0) {
        const ssize_t w = ::write(fd, data, static_cast<size_t>(n));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            *err = errno;
            return false;
        }
        if (w == 0) {
            *err = ENOSPC;
            return false;
        }
        data += w;
        n -= w;
    }
    return true;
}

void syncFolderOf(const QByteArray& file) {
    const qsizetype slash = file.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : file.left(slash);
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

AtomicFile::AtomicFile(QString path) : m_path(std::move(path)) {}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::fail(const QString& what, int err) {
    if (!m_failed) {
        m_failed = true;
        m_error = m_path + QStringLiteral(": ") + what +
                  (err ? QStringLiteral(" (") + reasonOf(err) + ')' : QString());
    }
    discard();
    return false;
}

bool AtomicFile::open() {
    discard();
    m_failed = false;
    m_error.clear();
    const QByteArray target = QFile::encodeName(resolvedTarget(m_path));
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : target.left(slash + 1);
    const QByteArray name = target.mid(slash + 1);
    if (name.isEmpty())
        return fail(QStringLiteral("no file name"), 0);

    // The temporary's name must fit where the target's does: a name near
    // the file system's 255 bytes is cut for it.
    constexpr qsizetype MaxName = 255;
    const QByteArray tempStem = name.left(MaxName - 8);
    QByteArray temp = folder + '.' + tempStem + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(QStringLiteral("cannot create a file beside it"), errno);
    struct stat st {};
    const mode_t mode = ::stat(target.constData(), &st) == 0 ? (st.st_mode & 07777) : defaultMode();
    ::fchmod(fd, mode);
    m_fd = fd;
    m_tempName = temp;
    return true;
}

bool AtomicFile::write(QByteArrayView bytes) {
    if (m_failed || m_fd < 0)
        return false;
    int err = 0;
    if (!writeAll(m_fd, bytes.data(), bytes.size(), &err))
        return fail(QStringLiteral("write failed"), err);
    return true;
}

bool AtomicFile::commit(Sync sync) {
    if (m_failed || m_fd < 0)
        return false;
    if (sync == Sync::Now && ::fsync(m_fd) != 0)
        return fail(QStringLiteral("sync failed"), errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int err = errno;
        m_fd = -1;
        ::unlink(m_tempName.constData());
        m_tempName.clear();
        return fail(QStringLiteral("close failed"), err);
    }
    const QByteArray target = QFile::encodeName(resolvedTarget(m_path));
    if (::rename(m_tempName.constData(), target.constData()) != 0) {
        const int err = errno;
        ::unlink(m_tempName.constData());
        m_tempName.clear();
        return fail(QStringLiteral("cannot replace the file"), err);
    }
    m_tempName.clear();
    if (sync == Sync::Now)
        syncFolderOf(target);
    return true;
}

void AtomicFile::discard() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_tempName.isEmpty()) {
        ::unlink(m_tempName.constData());
        m_tempName.clear();
    }
}

bool syncFileSystem(const QString& folder, QString* error) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    // syncfs reports the write-back errors of the file system since its
    // files were written (Linux 5.8 on).
    if (fd >= 0 && ::syncfs(fd) != 0)
        err = errno;
    if (fd >= 0)
        ::close(fd);
    if (err && error)
        *error = folder + QStringLiteral(": ") + QStringLiteral("sync failed (") + reasonOf(err) + ')';
    return err == 0;
}

bool writeFileAtomically(const QString& path, QByteArrayView bytes, QString* error) {
    AtomicFile f(path);
    const bool ok = f.open() && f.write(bytes) && f.commit();
    if (!ok && error)
        *error = f.errorString();
    return ok;
}

} // namespace tornyx::platform
