#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace tornyx::platform {

// The one way the program writes a file. The bytes go to a temporary file in
// the same folder; every write, the sync and the close are checked, and only
// then is the temporary renamed over the target. On any failure the old file
// stays as it was, the temporary is removed and errorString() says why,
// naming the file. A full disk, a read-only folder or a quota is a normal
// outcome here, not an accident.
//
// - A symbolic link is followed (also one that names a file not there yet):
//   the file it names gets the bytes, the link stays a link.
// - A target that is not a regular file (a folder, a device, a FIFO) and a
//   file without write permission are refused; nothing is replaced.
// - The replacement keeps the old file's permission bits (and its owner and
//   group when the program may set them).
// - A folder that refuses a new file but holds a file the program may
//   overwrite (a locked-down installation folder) gets the bytes written in
//   place. The room for the whole new content is reserved first, so a full
//   disk fails before one old byte is overwritten. isDirectWrite() tells.
// - The first use sets SIGXFSZ to be ignored: a file-size limit then fails
//   the write like a full disk instead of killing the program mid-save.
class AtomicFile {
public:
    explicit AtomicFile(QString path);
    ~AtomicFile(); // an uncommitted temporary is removed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary beside the target (or opens the target for the
    // in-place write).
    bool open();
    // Appends to the new content; false (and nothing more is written) once
    // a write failed.
    bool write(QByteArrayView bytes);
    // When the synchronisation to the disk happens: at every commit, or once
    // for a whole batch of files (syncFileSystem), which a split into
    // thousands of files needs to finish in seconds instead of minutes.
    enum class Sync { Now, Later };
    // Syncs (Sync::Now) and closes the temporary, renames it over the target
    // and syncs the folder. With Sync::Later the file is complete on disk
    // only after syncFileSystem; until then a power loss may leave it empty.
    bool commit(Sync sync = Sync::Now);
    // Drops the temporary; the target is untouched.
    void discard();

    const QString& path() const { return m_path; }
    bool isOpen() const { return m_fd >= 0; }
    bool isDirectWrite() const { return m_direct; }
    // "<path>: <reason>" of the first failure, empty when there was none.
    QString errorString() const {
        return m_error.isEmpty() ? QString() : m_path + QStringLiteral(": ") + m_error;
    }
    // The reason alone, for a message that names the file itself.
    const QString& reason() const { return m_error; }

private:
    bool fail(const QString& what, int err);
    bool commitInPlace(Sync sync);
    bool syncAndClose(Sync sync);

    QString m_path;
    QByteArray m_target;   // encoded path the bytes go to, links followed
    QByteArray m_tempName; // encoded path of the temporary
    QByteArray m_pending;  // the in-place write's content, written at commit
    int m_fd = -1;
    bool m_direct = false;
    bool m_failed = false;
    QString m_error;
};

// Flushes everything written to the file system that holds folder: the end of
// a batch of commit(Sync::Later). On failure returns false and, when given,
// puts "<folder>: <reason>" into *error.
bool syncFileSystem(const QString& folder, QString* error = nullptr);

// Writes the whole file through AtomicFile. On failure returns false and,
// when given, puts errorString() into *error.
bool writeFileAtomically(const QString& path, QByteArrayView bytes, QString* error = nullptr);

// Appends bytes to the end of path (created when missing) as one block: the
// room is reserved first, and when anything fails the file is cut back to its
// old end, so it never ends in a piece of the block. Synced before it
// answers true. On failure *error (when given) gets "<path>: <reason>".
bool appendToFile(const QString& path, QByteArrayView bytes, QString* error = nullptr);

} // namespace tornyx::platform
