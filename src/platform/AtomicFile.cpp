#include "platform/AtomicFile.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tornyx::platform {

namespace {

QString reasonOf(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QString describe(const QString& what, int err) {
    return err ? what + QStringLiteral(" (") + reasonOf(err) + ')' : what;
}

void ignoreFileSizeSignal() {
    static const bool done = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)done;
}

// Where the bytes really go: symbolic links are followed one by one, also to
// a file that does not exist yet, so that saving through a link changes the
// file it names instead of replacing the link. Empty (and *err set) on a loop.
QByteArray resolveLinks(QByteArray path, int* err) {
    for (int hops = 0; hops < 40; ++hops) {
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(path.constData(), buf, sizeof buf);
        if (n < 0)
            return path; // not a link, or nothing there yet: the path itself
        if (n == static_cast<ssize_t>(sizeof buf)) {
            *err = ENAMETOOLONG;
            return {};
        }
        QByteArray link(buf, n);
        if (!link.startsWith('/')) {
            const qsizetype slash = path.lastIndexOf('/');
            link.prepend(slash < 0 ? QByteArray() : path.left(slash + 1));
        }
        path = link;
    }
    *err = ELOOP;
    return {};
}

QByteArray folderPart(const QByteArray& file) {
    const qsizetype slash = file.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : file.left(slash);
}

// The temporary's name pattern: hidden, beside the target. A name near the
// length limit would leave no room for the suffix; a short one does then.
QByteArray temporaryPattern(const QByteArray& target) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray() : target.left(slash + 1);
    const QByteArray name = target.mid(slash + 1);
    if (name.size() + 8 > NAME_MAX)
        return folder + ".tornyx.XXXXXX";
    return folder + '.' + name + ".XXXXXX";
}

mode_t defaultMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool writeAll(int fd, const char* data, qsizetype n, off_t* at, int* err) {
    while (n > 0) {
        const ssize_t w =
            at ? ::pwrite(fd, data, static_cast<size_t>(n), *at) : ::write(fd, data, static_cast<size_t>(n));
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
        if (at)
            *at += w;
    }
    return true;
}

// Reserves [offset, offset + n) so that writing it cannot run out of space.
int reserve(int fd, off_t offset, qsizetype n) {
    if (n <= 0)
        return 0;
    int rc;
    do
        rc = ::posix_fallocate(fd, offset, static_cast<off_t>(n));
    while (rc == EINTR);
    return rc;
}

// Gives back what a failed reservation or write added to a file.
void cutTo(int fd, off_t size) {
    while (::ftruncate(fd, size) != 0 && errno == EINTR) {
    }
}

// A file system that cannot sync a file (some special ones) answers EINVAL;
// there is nothing more to wait for then.
int syncFile(int fd) {
    return ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
}

void syncFolderOf(const QByteArray& file) {
    const int fd = ::open(folderPart(file).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Only some may give a file away (the superuser, an owner to a group of
// theirs); where that fails the mode still comes across.
bool keepOwner(int fd, const struct stat& st) {
    if (st.st_uid == ::geteuid() && st.st_gid == ::getegid())
        return true;
    return ::fchown(fd, st.st_uid, st.st_gid) == 0;
}

bool mayWrite(const QByteArray& file) {
    return ::faccessat(AT_FDCWD, file.constData(), W_OK, AT_EACCESS) == 0;
}

} // namespace

AtomicFile::AtomicFile(QString path) : m_path(std::move(path)) {}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::fail(const QString& what, int err) {
    if (!m_failed) {
        m_failed = true;
        m_error = describe(what, err);
    }
    discard();
    return false;
}

bool AtomicFile::open() {
    ignoreFileSizeSignal();
    discard();
    m_failed = false;
    m_direct = false;
    m_error.clear();
    m_pending.clear();

    int err = 0;
    m_target = resolveLinks(QFile::encodeName(m_path), &err);
    if (m_target.isEmpty())
        return fail(QStringLiteral("the link cannot be followed"), err);
    if (m_target.endsWith('/'))
        return fail(QStringLiteral("no file name"), 0);

    struct stat st {};
    const bool exists = ::stat(m_target.constData(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode))
        return fail(QStringLiteral("not a regular file"), 0);
    // A file the operator made read-only is not swept away by a rename.
    if (exists && !mayWrite(m_target))
        return fail(QStringLiteral("the file is read-only"), errno);

    QByteArray temp = temporaryPattern(m_target);
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        const int createErr = errno;
        if (exists) {
            const int in = ::open(m_target.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
            struct stat now {};
            if (in >= 0 && ::fstat(in, &now) == 0 && S_ISREG(now.st_mode)) {
                m_fd = in;
                m_direct = true;
                return true;
            }
            if (in >= 0)
                ::close(in);
        }
        return fail(QStringLiteral("cannot create a file in its folder"), createErr);
    }
    m_fd = fd;
    m_tempName = temp;
    if (exists) {
        keepOwner(fd, st);
        ::fchmod(fd, st.st_mode & 07777); // after the owner, which clears set-id bits
    } else {
        ::fchmod(fd, defaultMode());
    }
    return true;
}

bool AtomicFile::write(QByteArrayView bytes) {
    if (m_failed || m_fd < 0)
        return false;
    if (m_direct) {
        m_pending.append(bytes);
        return true;
    }
    int err = 0;
    if (!writeAll(m_fd, bytes.data(), bytes.size(), nullptr, &err))
        return fail(QStringLiteral("write failed"), err);
    return true;
}

bool AtomicFile::commit(Sync sync) {
    if (m_failed || m_fd < 0)
        return false;
    if (m_direct)
        return commitInPlace(sync);
    if (!syncAndClose(sync))
        return false;
    if (::rename(m_tempName.constData(), m_target.constData()) != 0)
        return fail(QStringLiteral("cannot replace the file"), errno);
    m_tempName.clear();
    if (sync == Sync::Now)
        syncFolderOf(m_target);
    return true;
}

bool AtomicFile::commitInPlace(Sync sync) {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return fail(QStringLiteral("cannot read the file's size"), errno);
    const qsizetype n = m_pending.size();
    if (const int rc = reserve(m_fd, 0, n)) {
        cutTo(m_fd, st.st_size); // the reservation may have grown the file
        return fail(QStringLiteral("no room for the new content; the file is unchanged"), rc);
    }
    int err = 0;
    off_t at = 0;
    if (!writeAll(m_fd, m_pending.constData(), n, &at, &err))
        return fail(QStringLiteral("write failed in place; the file may be damaged"), err);
    m_pending.clear();
    if (::ftruncate(m_fd, static_cast<off_t>(n)) != 0)
        return fail(QStringLiteral("cannot set the file's length"), errno);
    return syncAndClose(sync);
}

bool AtomicFile::syncAndClose(Sync sync) {
    if (const int err = sync == Sync::Now ? syncFile(m_fd) : 0)
        return fail(QStringLiteral("sync failed"), err);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0)
        return fail(QStringLiteral("close failed"), errno);
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
    m_pending.clear();
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

bool appendToFile(const QString& path, QByteArrayView bytes, QString* error) {
    ignoreFileSizeSignal();
    auto failed = [&](const QString& what, int err) {
        if (error)
            *error = path + QStringLiteral(": ") + describe(what, err);
        return false;
    };
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, defaultMode());
    if (fd < 0)
        return failed(QStringLiteral("cannot open the file"), errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return failed(QStringLiteral("not a regular file"), 0);
    }
    const off_t end = st.st_size;
    auto cutBack = [&](const QString& what, int err) {
        cutTo(fd, end);
        ::close(fd);
        return failed(what, err);
    };
    if (const int rc = reserve(fd, end, bytes.size()))
        return cutBack(QStringLiteral("no room for the data; the file is unchanged"), rc);
    int err = 0;
    off_t at = end;
    if (!writeAll(fd, bytes.data(), bytes.size(), &at, &err))
        return cutBack(QStringLiteral("write failed; the file is unchanged"), err);
    if (const int e = syncFile(fd))
        return cutBack(QStringLiteral("sync failed; the file is unchanged"), e);
    if (::close(fd) != 0)
        return failed(QStringLiteral("close failed"), errno);
    return true;
}

} // namespace tornyx::platform
