#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>

namespace tornyx {

// The answers the reading of a document needs from the operator. Both boxes
// are warning boxes placed at the main window's corner.
class DocumentHost {
public:
    virtual ~DocumentHost() = default;
    // Buttons Yes and No; true for Yes.
    virtual bool warningYesNo(const QString& text) = 0;
    // The single button Yes.
    virtual void warningYes(const QString& text) = 0;
};

// Receives the text of a document as it is read: UTF-8, every line end LF.
// begin() may come more than once (the line-by-line reading starts again).
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void begin(qsizetype expectedBytes) = 0;
    virtual void append(QByteArrayView utf8) = 0;
};

enum class FileEncoding { ShiftJis, Utf16BigEndian, Utf16LittleEndian, Utf8 };

struct ReadResult {
    bool opened = false;     // false: the file could not be opened or read
    bool notRegular = false; // a folder, device or FIFO: nothing read, nothing asked
    qint64 fileSize = 0;     // 0 when it could not be opened
    FileEncoding encoding = FileEncoding::ShiftJis;
    bool unicodeMark = false;
    bool refused = false;    // a Unicode file the operator declined to convert
    bool lineByLine = false; // the text came from the line-by-line reading
    qsizetype textBytes = 0; // UTF-8 bytes handed to the sink
};

// Reads a document file into sink. Only a regular file is read: a folder, a
// device or a FIFO answers notRegular at once, without a question. A file
// with a byte-order mark is converted
// after the operator agreed; any other file is Shift-JIS. When that gives no
// text (an empty file, a file that starts with a 0 byte or cannot be read) or
// when a 0 byte would cut the text short, the operator is asked whether to
// read the file line by line instead. receivedPending selects the wording
// meant for data that has just been received.
ReadResult readDocument(const QString& path, bool receivedPending, DocumentHost& host, TextSink& sink);

// The line-by-line reading on its own: bytes as read in binary, CR LF taken
// as LF, pieces of at most 499 bytes or up to the next line feed, each cut at
// its first 0 byte, empty pieces dropped. Shift-JIS bytes, without line ends.
QList<QByteArray> linesForFallback(QByteArrayView fileBytes);

// The converted text of a Shift-JIS buffer (LF line ends, UTF-8), for tests
// and small texts.
QByteArray sjisToEditorText(QByteArrayView sjis);

// A document on its way to a file: Shift-JIS, CR LF, no byte-order mark.
struct EncodedDocument {
    QByteArray bytes;
    qsizetype unmappable = 0; // characters Shift-JIS cannot hold, written as '?'
};
// utf8 is the editor text; its line ends (LF, CR LF or CR) all become CR LF.
EncodedDocument encodeDocument(QByteArrayView utf8);

// Replaces path with bytes through platform::AtomicFile: an existing file is
// replaced only when the whole new content has been written (or, in a folder
// that refuses new files, overwritten after the room was reserved). On
// failure *error gets the reason, without the path.
bool writeDocumentFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// The messages of reading and writing.
namespace text {
QString bigEndianQuestion();
QString littleEndianQuestion();
QString utf8Question();
QString receivedFormatWrong();
QString fileFormatWrong();
QString unmappableQuestion(qsizetype count);
QString writeFailed(const QString& path, const QString& reason);
QString folderMissing(const QString& folder);
QString fileMissing(const QString& path);
QString saveChangesQuestion(const QString& fileName);
} // namespace text

// The size panel text: tape length in metres (one character, one row of
// punched tape, 2.54 mm) or bytes, KB, MB, GB, TB.
QString sizeText(double bytes, bool metres);

// Moves path to the front of the recent list; an entry differing only in
// letter case is replaced, otherwise the oldest drops out.
void addRecent(std::array<QString, 5>& recent, const QString& path);

// The folder of path (without a trailing separator except at the root).
QString folderOf(const QString& path);
// The name part of path.
QString fileNameOf(const QString& path);

} // namespace tornyx
