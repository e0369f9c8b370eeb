// Any file as a document: reading never crashes or hangs, whatever the
// operator answers; the editor text is valid UTF-8 with LF line ends only;
// the line-by-line pieces are short and clean; and writing the text back
// gives CR LF line ends only.
#include "editor/DocumentFile.h"

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <cstdlib>

using namespace tornyx;

namespace {

struct Answers : DocumentHost {
    unsigned bits = 0;
    bool warningYesNo(const QString&) override {
        const bool yes = bits & 1;
        bits >>= 1;
        return yes;
    }
    void warningYes(const QString&) override {}
};

struct Collect : TextSink {
    QByteArray out;
    void begin(qsizetype) override {}
    void append(QByteArrayView b) override { out.append(b); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    static QTemporaryDir dir;
    const QString path = dir.filePath("doc.nc");
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, static_cast<qsizetype>(size - 1));
    {
        // The harness's own input file; the program under test only reads.
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            return 0;
    }
    Answers host;
    host.bits = data[0];
    Collect sink;
    const ReadResult r = readDocument(path, data[0] & 0x80, host, sink);
    if (!r.opened || r.fileSize != bytes.size())
        std::abort();
    // A text may well start with U+FEFF: the check must not skip it as a mark.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    (void)utf8.decode(sink.out);
    if (sink.out.contains('\r') || utf8.hasError())
        std::abort();

    for (const QByteArray& piece : linesForFallback(bytes))
        if (piece.isEmpty() || piece.size() > 499 || piece.contains('\n') || piece.contains('\0'))
            std::abort();

    const QByteArray written = encodeDocument(sink.out).bytes;
    for (qsizetype i = 0; i < written.size(); ++i)
        if (written[i] == '\n' && (i == 0 || written[i - 1] != '\r'))
            std::abort();
    return 0;
}
