#include "platform/AtomicFile.h"
#include "support/DiskFaults.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

using tornyx::platform::appendToFile;
using tornyx::platform::AtomicFile;
using tornyx::platform::writeFileAtomically;
using namespace tornyx::test;

namespace {

// n bytes of NC text in whole lines.
QByteArray program(int n) {
    QByteArray out;
    for (int i = 1; out.size() < n; ++i)
        out += "N" + QByteArray::number(i) + " G01 X" + QByteArray::number(i % 97) + ". F100\r\n";
    out.truncate(n);
    return out;
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

ino_t inodeOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

// Inside a forked child: report a failed condition and leave.
#define CHILD_CHECK(cond)                                                                                    \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond);                                  \
            return 1;                                                                                        \
        }                                                                                                    \
    } while (0)

// A folder the unprivileged child may enter and read but not create in.
void lockedFolder(const TempHome& home, const QString& name) {
    ::chmod(QFile::encodeName(home.path()).constData(), 0755);
    QDir(home.path()).mkdir(name);
}

void lock(const QString& folder) {
    ::chmod(QFile::encodeName(folder).constData(), 0555);
}

} // namespace

TEST(AtomicFile, ReplacesTheWholeFileKeepsItsModeAndLeavesNoTemporary) {
    TempHome home;
    const QString path = home.file("P.NC");
    home.write("P.NC", program(1420));
    ::chmod(QFile::encodeName(path).constData(), 0640);
    QString error;
    ASSERT_TRUE(writeFileAtomically(path, program(700), &error)) << error.toStdString();
    EXPECT_EQ(contents(path), program(700));
    EXPECT_EQ(modeOf(path), 0640u);
    EXPECT_EQ(entries(home.path()), QStringList{"P.NC"});

    const mode_t mask = ::umask(022);
    ASSERT_TRUE(writeFileAtomically(home.file("NEW.NC"), "O1\r\n"));
    ::umask(mask);
    EXPECT_EQ(modeOf(home.file("NEW.NC")), 0644u) << "a new file gets what the umask allows, not 0600";
    EXPECT_TRUE(writeFileAtomically(home.file("EMPTY.NC"), {}));
    EXPECT_EQ(QFileInfo(home.file("EMPTY.NC")).size(), 0);
}

TEST(AtomicFile, FullDiskKeepsTheOldFileAndNamesIt) {
    TempHome home;
    const QString path = home.file("P.NC");
    home.write("P.NC", program(1420));
    QString error;
    {
        FileSizeLimit full(1000);
        ASSERT_TRUE(full.isSet());
        // Far below any buffer size: a failure that only shows at the
        // flush must be caught as well.
        EXPECT_FALSE(writeFileAtomically(path, program(1500), &error));
        EXPECT_TRUE(writeFileAtomically(home.file("SMALL.NC"), program(900)));
    }
    EXPECT_TRUE(error.startsWith(path + ": ")) << error.toStdString();
    EXPECT_EQ(contents(path), program(1420)) << "the old version is kept";
    EXPECT_EQ(entries(home.path()), (QStringList{"P.NC", "SMALL.NC"})) << "no temporary is left behind";
}

TEST(AtomicFile, RealFullFileSystemKeepsTheOldFile) {
    TempHome home;
    QDir(home.path()).mkdir("disk");
    const QString disk = home.file("disk");
    const int rc = runInChild([&] {
        if (!mountSmallTmpfs(disk, 64))
            return ChildSkipped;
        const QString path = disk + "/P.NC";
        CHILD_CHECK(writeFileAtomically(path, program(1420)));
        CHILD_CHECK(appendToFile(disk + "/R.NC", "O1\r\n"));
        fillUp(disk);
        QString error;
        CHILD_CHECK(!writeFileAtomically(path, program(1500), &error));
        CHILD_CHECK(error.contains("No space left"));
        CHILD_CHECK(contents(path) == program(1420));
        CHILD_CHECK(!appendToFile(disk + "/R.NC", program(8192), &error));
        CHILD_CHECK(contents(disk + "/R.NC") == "O1\r\n");
        CHILD_CHECK(!entries(disk).join(' ').contains(".P.NC"));
        return 0;
    });
    EXPECT_CHILD_PASSED_ON_TMPFS(rc);
}

TEST(AtomicFile, SymbolicLinksAreFollowedToTheFileTheyName) {
    TempHome home;
    home.write("real.nc", "old\r\n");
    QFile::link(home.file("real.nc"), home.file("link.nc"));
    ASSERT_TRUE(writeFileAtomically(home.file("link.nc"), "new\r\n"));
    EXPECT_TRUE(QFileInfo(home.file("link.nc")).isSymLink()) << "the link stays a link";
    EXPECT_EQ(contents(home.file("real.nc")), "new\r\n");

    // A relative link to a file that is not there yet creates that file.
    QDir(home.path()).mkdir("sub");
    ASSERT_EQ(::symlink("sub/made.nc", QFile::encodeName(home.file("dangling.nc")).constData()), 0);
    ASSERT_TRUE(writeFileAtomically(home.file("dangling.nc"), "made\r\n"));
    EXPECT_EQ(contents(home.file("sub/made.nc")), "made\r\n");
    EXPECT_TRUE(QFileInfo(home.file("dangling.nc")).isSymLink());

    ASSERT_EQ(::symlink("b", QFile::encodeName(home.file("a")).constData()), 0);
    ASSERT_EQ(::symlink("a", QFile::encodeName(home.file("b")).constData()), 0);
    QString error;
    EXPECT_FALSE(writeFileAtomically(home.file("a"), "x", &error));
    EXPECT_TRUE(error.startsWith(home.file("a"))) << error.toStdString();
}

TEST(AtomicFile, WhatIsNotARegularFileIsRefusedAndLeftAlone) {
    TempHome home;
    QDir(home.path()).mkdir("folder");
    ASSERT_EQ(::mkfifo(QFile::encodeName(home.file("fifo")).constData(), 0600), 0);
    QString error;
    EXPECT_FALSE(writeFileAtomically(home.file("folder"), "x", &error));
    EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();
    EXPECT_TRUE(QFileInfo(home.file("folder")).isDir());
    EXPECT_FALSE(writeFileAtomically(home.file("fifo"), "x"));
    EXPECT_FALSE(appendToFile(home.file("fifo"), "x")) << "and it does not hang on the FIFO";
    EXPECT_FALSE(appendToFile(home.file("folder"), "x"));
    struct stat st {};
    ::stat(QFile::encodeName(home.file("fifo")).constData(), &st);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_FALSE(writeFileAtomically(home.file("folder") + "/", "x"));
    EXPECT_FALSE(writeFileAtomically(home.file("missing/P.NC"), "x", &error));
    EXPECT_TRUE(error.startsWith(home.file("missing/P.NC"))) << error.toStdString();
}

TEST(AtomicFile, LongNamesStillGetATemporary) {
    TempHome home;
    const QString path = home.file(QString(250, 'L') + ".NC");
    ASSERT_TRUE(writeFileAtomically(path, "O1\r\n"));
    EXPECT_EQ(contents(path), "O1\r\n");
    EXPECT_EQ(entries(home.path()).size(), 1);
}

TEST(AtomicFile, LockedFolderGetsItsFileWrittenInPlaceButNotAReadOnlyOne) {
    TempHome home;
    lockedFolder(home, "locked");
    const QString folder = home.file("locked");
    home.write("locked/P.NC", program(1420));
    home.write("locked/RO.NC", "keep\r\n");
    ::chmod(QFile::encodeName(folder + "/P.NC").constData(), 0666);
    ::chmod(QFile::encodeName(folder + "/RO.NC").constData(), 0444);
    const ino_t inode = inodeOf(folder + "/P.NC");
    lock(folder);
    const int rc = runInChild(
        [&] {
            AtomicFile f(folder + "/P.NC");
            CHILD_CHECK(f.open());
            CHILD_CHECK(f.isDirectWrite());
            CHILD_CHECK(f.write(program(300)) && f.write("M30\r\n"));
            CHILD_CHECK(f.commit());
            CHILD_CHECK(contents(folder + "/P.NC") == program(300) + "M30\r\n");

            QString error;
            CHILD_CHECK(!writeFileAtomically(folder + "/RO.NC", "lost\r\n", &error));
            CHILD_CHECK(error.contains("read-only"));
            CHILD_CHECK(!writeFileAtomically(folder + "/NEW.NC", "x", &error));
            CHILD_CHECK(error.startsWith(folder + "/NEW.NC: "));
            return 0;
        },
        ChildUser::Unprivileged);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(inodeOf(folder + "/P.NC"), inode) << "written in place, not replaced";
    EXPECT_EQ(contents(folder + "/RO.NC"), "keep\r\n");
    EXPECT_FALSE(QFile::exists(folder + "/NEW.NC"));
}

TEST(AtomicFile, InPlaceWriteReservesTheRoomBeforeTouchingAByte) {
    TempHome home;
    lockedFolder(home, "locked");
    const QString folder = home.file("locked");
    home.write("locked/P.NC", program(1420));
    ::chmod(QFile::encodeName(folder + "/P.NC").constData(), 0666);
    lock(folder);
    const int rc = runInChild(
        [&] {
            QString error;
            {
                FileSizeLimit full(1450);
                CHILD_CHECK(!writeFileAtomically(folder + "/P.NC", program(1500), &error));
            }
            CHILD_CHECK(error.contains("unchanged"));
            CHILD_CHECK(contents(folder + "/P.NC") == program(1420));
            return 0;
        },
        ChildUser::Unprivileged);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(contents(folder + "/P.NC"), program(1420));
}

TEST(AtomicFile, InPlaceWriteOnARealFullDisk) {
    TempHome home;
    ::chmod(QFile::encodeName(home.path()).constData(), 0755);
    QDir(home.path()).mkdir("disk");
    const QString disk = home.file("disk");
    const int rc = runInChild([&] {
        if (!mountSmallTmpfs(disk, 64))
            return ChildSkipped;
        const QString folder = disk + "/locked";
        CHILD_CHECK(QDir(disk).mkdir("locked"));
        CHILD_CHECK(writeFileAtomically(folder + "/P.NC", program(1420)));
        ::chmod(QFile::encodeName(folder + "/P.NC").constData(), 0666);
        fillUp(disk);
        lock(folder);
        CHILD_CHECK(dropToNobody());
        QString error;
        CHILD_CHECK(!writeFileAtomically(folder + "/P.NC", program(9000), &error));
        CHILD_CHECK(contents(folder + "/P.NC") == program(1420));
        // What fits in the blocks the file already has can still be saved.
        CHILD_CHECK(writeFileAtomically(folder + "/P.NC", program(1400), &error));
        CHILD_CHECK(contents(folder + "/P.NC") == program(1400));
        return 0;
    });
    EXPECT_CHILD_PASSED_ON_TMPFS(rc);
}

TEST(AppendToFile, AppendsBlocksAndAFailedBlockLeavesTheFileAsItWas) {
    TempHome home;
    const QString path = home.file("R.NC");
    ASSERT_TRUE(appendToFile(path, "O1\r\n"));
    ASSERT_TRUE(appendToFile(path, "G01 X1.\r\n"));
    EXPECT_EQ(contents(path), "O1\r\nG01 X1.\r\n");
    QString error;
    {
        FileSizeLimit full(100);
        EXPECT_FALSE(appendToFile(path, program(400), &error));
    }
    EXPECT_EQ(contents(path), "O1\r\nG01 X1.\r\n") << "no piece of the block stays";
    EXPECT_TRUE(error.startsWith(path + ": ")) << error.toStdString();
}
