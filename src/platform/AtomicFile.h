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
class AtomicFile {
public:
    explicit AtomicFile(QString path);
    ~AtomicFile(); // an uncommitted temporary is removed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary beside the target.
    bool open();
    // Appends to the temporary; false (and nothing more is written) once a
    // write failed.
    bool write(QByteArrayView bytes);
    // When the synchronisation to the disk happens: at every commit, or once
    // for a whole batch of files (syncFileSystem), which a split into
    // thousands of files needs to finish in seconds instead of minutes.
    enum class Sync { Now, Later };
    // Syncs (Sync::Now) and closes the temporary, renames it over the target
    // and syncs the folder. The target keeps its permissions when it existed.
    // With Sync::Later the file is complete on disk only after
    // syncFileSystem; until then a power loss may leave it empty.
    bool commit(Sync sync = Sync::Now);
    // Drops the temporary; the target is untouched.
    void discard();

    const QString& path() const { return m_path; }
    bool isOpen() const { return m_fd >= 0; }
    // "<path>: <reason>" of the first failure, empty when there was none.
    QString errorString() const { return m_error; }

private:
    bool fail(const QString& what, int err);

    QString m_path;
    QByteArray m_tempName; // encoded file name of the temporary
    int m_fd = -1;
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

} // namespace tornyx::platform
