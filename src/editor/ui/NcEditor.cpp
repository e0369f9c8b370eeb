#include "editor/ui/NcEditor.h"

#include "platform/TextCodec.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>

namespace tornyx {

namespace {
bool isAscii(QByteArrayView b) {
    unsigned char acc = 0;
    for (char c : b)
        acc |= static_cast<unsigned char>(c);
    return acc < 0x80;
}
} // namespace

// The editor's own buffer as the index reads it, without copying it.
class NcEditor::Text : public IndexedText {
public:
    explicit Text(const NcEditor& e) : m_e(e) {}
    qsizetype length() const override { return m_e.SendScintilla(SCI_GETLENGTH); }
    int lineCount() const override { return static_cast<int>(m_e.SendScintilla(SCI_GETLINECOUNT)); }
    int lineAt(qsizetype offset) const override {
        return static_cast<int>(m_e.SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(offset)));
    }
    qsizetype lineStart(int line) const override {
        return m_e.SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    }
    QByteArray lineBytes(int line) const override {
        const long b = m_e.SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
        const long e = m_e.SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
        if (b < 0 || e <= b)
            return QByteArray();
        // Copied around the gap: moving it would invalidate pieces a caller
        // still holds.
        QByteArray out(e - b + 1, Qt::Uninitialized);
        m_e.SendScintilla(SCI_GETTEXTRANGE, b, e, out.data());
        out.chop(1);
        return out;
    }
    std::vector<Piece> pieces(qsizetype from) const override {
        const qsizetype len = length();
        const qsizetype gap = m_e.SendScintilla(SCI_GETGAPPOSITION);
        if (from >= len)
            return {};
        if (gap > from && gap < len)
            return {{from, range(from, gap - from)}, {gap, range(gap, len - gap)}};
        return {{from, range(from, len - from)}};
    }

private:
    // A range that does not straddle the gap is handed out where it lies.
    QByteArrayView range(qsizetype from, qsizetype n) const {
        if (n <= 0)
            return {};
        const auto* p = reinterpret_cast<const char*>(
            m_e.SendScintilla(SCI_GETRANGEPOINTER, static_cast<unsigned long>(from), static_cast<long>(n)));
        return QByteArrayView(p, n);
    }
    const NcEditor& m_e;
};

NcEditor::NcEditor(QWidget* parent) : QsciScintilla(parent), m_indexed(std::make_unique<Text>(*this)) {
    setUtf8(true);
    setWrapMode(WrapNone);
    setEolMode(EolUnix);
    SendScintilla(SCI_SETPASTECONVERTENDINGS, 1);
    setIndentationsUseTabs(true);
    setTabWidth(8);
    setAutoIndent(false);
    setMarginWidth(0, 0);
    setMarginWidth(1, 0);
    setMarginWidth(2, 0);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    // A program near the end must still become the second visible line.
    SendScintilla(SCI_SETENDATLASTLINE, 0);
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int position, int type, const char*, int, int, int, int, int, int, int) {
                onModified(position, type);
            });
}

NcEditor::~NcEditor() = default;

void NcEditor::onModified(int position, int type) {
    if (!(type & (SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT)))
        return;
    const int line =
        static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position)));
    if (m_firstChanged < 0 || line < m_firstChanged)
        m_firstChanged = line;
}

namespace {
// Feeds the editor buffer directly: no change notifications, no undo
// history, space reserved once.
class EditorSink : public TextSink {
public:
    explicit EditorSink(NcEditor& e) : m_e(e) {}
    void begin(qsizetype n) override {
        m_e.SendScintilla(
            QsciScintillaBase::SCI_ALLOCATE,
            static_cast<unsigned long>(m_e.SendScintilla(QsciScintillaBase::SCI_GETLENGTH) + n + 1));
    }
    void append(QByteArrayView b) override {
        if (!b.isEmpty())
            m_e.SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, static_cast<unsigned long>(b.size()),
                              b.data());
    }

private:
    NcEditor& m_e;
};

class QuietChange {
public:
    explicit QuietChange(NcEditor& e) : m_e(e), m_readOnly(e.isReadOnly()), m_blocked(e.blockSignals(true)) {
        m_e.SendScintilla(QsciScintillaBase::SCI_SETREADONLY, 0);
        m_e.SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, 0);
        m_e.SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 0);
        m_e.SendScintilla(QsciScintillaBase::SCI_CLEARALL);
    }
    ~QuietChange() {
        m_e.SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 1);
        m_e.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
        m_e.SendScintilla(QsciScintillaBase::SCI_SETSAVEPOINT);
        m_e.SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK, QsciScintillaBase::SC_MODEVENTMASKALL);
        // Caret and view to the start without asking for the caret's pixel
        // position: on a line of megabytes that alone takes many seconds.
        m_e.SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION, 0ul);
        m_e.SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, 0ul);
        m_e.SendScintilla(QsciScintillaBase::SCI_SETXOFFSET, 0ul);
        m_e.SendScintilla(QsciScintillaBase::SCI_SETREADONLY, m_readOnly ? 1 : 0);
        m_e.blockSignals(m_blocked);
    }

private:
    NcEditor& m_e;
    bool m_readOnly;
    bool m_blocked;
};
} // namespace

ReadResult NcEditor::loadFile(const QString& path, bool receivedPending, DocumentHost& host) {
    ReadResult r;
    {
        QuietChange quiet(*this);
        EditorSink sink(*this);
        r = readDocument(path, receivedPending, host, sink);
    }
    m_firstChanged = -1;
    return r;
}

void NcEditor::setTextQuietly(QByteArrayView utf8) {
    {
        QuietChange quiet(*this);
        EditorSink sink(*this);
        sink.begin(utf8.size());
        sink.append(utf8);
    }
    m_firstChanged = -1;
}

QByteArrayView NcEditor::utf8Text() const {
    const qsizetype n = SendScintilla(SCI_GETLENGTH);
    if (n == 0)
        return {};
    return QByteArrayView(reinterpret_cast<const char*>(SendScintilla(SCI_GETCHARACTERPOINTER)), n);
}

EncodedDocument NcEditor::encodeForFile() const {
    return encodeDocument(utf8Text());
}

const IndexedText& NcEditor::indexedText() const {
    return *m_indexed;
}

int NcEditor::lineCount() const {
    return m_indexed->lineCount();
}

QByteArray NcEditor::lineUtf8(int line) const {
    return m_indexed->lineBytes(line);
}

QString NcEditor::lineText(int line) const {
    return QString::fromUtf8(lineUtf8(line));
}

QByteArray NcEditor::lineSjis(int line) const {
    QByteArray b = lineUtf8(line);
    return isAscii(b) ? b : platform::toSjis(QString::fromUtf8(b));
}

int NcEditor::caretLine() const {
    return static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, SendScintilla(SCI_GETCURRENTPOS)));
}

int NcEditor::caretColumn() const {
    int line = 0;
    int index = 0;
    getCursorPosition(&line, &index); // index counts characters
    return index;
}

void NcEditor::showProgramLine(int line) {
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const long end = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(start));
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(std::max(0, line - 1)));
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(start), end);
}

void NcEditor::selectLinePrefix(int line, int sjisBytes) {
    const QString text = lineText(line);
    qsizetype unit = 0;
    int characters = 0;
    int bytes = 0;
    while (unit < text.size() && bytes < sjisBytes) {
        const char16_t c = text[unit].unicode();
        const bool pair = QChar::isHighSurrogate(c) && unit + 1 < text.size();
        // ASCII and half-width katakana take one byte; a character Shift-JIS
        // cannot hold is sent as one '?'.
        const bool single = c < 0x80 || (c >= 0xFF61 && c <= 0xFF9F) || pair;
        bytes += single ? 1 : 2;
        unit += pair ? 2 : 1;
        ++characters;
    }
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    long end = start;
    for (int i = 0; i < characters; ++i)
        end = SendScintilla(SCI_POSITIONAFTER, static_cast<unsigned long>(end));
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(start), end);
    SendScintilla(SCI_SCROLLCARET);
}

void NcEditor::setTextMargins(int px) {
    SendScintilla(SCI_SETMARGINLEFT, 0ul, static_cast<long>(px));
    SendScintilla(SCI_SETMARGINRIGHT, 0ul, static_cast<long>(px));
}

bool NcEditor::fits(qsizetype addedUtf8Bytes) const {
    const qsizetype len = SendScintilla(SCI_GETLENGTH);
    const qsizetype selected = SendScintilla(SCI_GETSELECTIONEND) - SendScintilla(SCI_GETSELECTIONSTART);
    if (len - selected + addedUtf8Bytes <= m_textLimit)
        return true;
    // Bytes exceed characters for non-ASCII text; count exactly only near the
    // limit.
    const qsizetype chars = SendScintilla(SCI_COUNTCHARACTERS, 0ul, static_cast<long>(len));
    return chars - selected + addedUtf8Bytes <= m_textLimit;
}

void NcEditor::paste() {
    if (!fits(QApplication::clipboard()->text().toUtf8().size())) {
        QApplication::beep();
        return;
    }
    QsciScintilla::paste();
}

void NcEditor::keyPressEvent(QKeyEvent* e) {
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const bool pasteKey = (ctrl && e->key() == Qt::Key_V) ||
                          (e->key() == Qt::Key_Insert && (e->modifiers() & Qt::ShiftModifier));
    const QString typed = e->text();
    const bool printable =
        !typed.isEmpty() && typed[0].isPrint() && !ctrl && !(e->modifiers() & Qt::AltModifier);
    if (!typed.isEmpty() && e->key() != Qt::Key_Backspace && !(ctrl && e->key() == Qt::Key_V))
        emit typingKey();

    if (pasteKey && !fits(QApplication::clipboard()->text().toUtf8().size())) {
        QApplication::beep();
        return;
    }
    if (!printable && e->key() == Qt::Key_Tab && !fits(1)) {
        QApplication::beep();
        return;
    }
    if (!printable || isReadOnly()) {
        QsciScintilla::keyPressEvent(e);
        return;
    }

    QString text = typed.toUpper();
    if (m_index && text.size() == 1) {
        const long at = SendScintilla(SCI_GETSELECTIONSTART);
        const long lineStart = SendScintilla(SCI_POSITIONFROMLINE, SendScintilla(SCI_LINEFROMPOSITION, at));
        if (at == lineStart)
            text = QString(m_index->typedAtLineStart(text[0]));
    }
    if (!fits(text.toUtf8().size())) {
        QApplication::beep();
        return;
    }
    if (text == typed) {
        QsciScintilla::keyPressEvent(e);
        return;
    }
    QKeyEvent changed(e->type(), e->key(), e->modifiers(), text, e->isAutoRepeat(),
                      static_cast<ushort>(e->count()));
    QsciScintilla::keyPressEvent(&changed);
    e->setAccepted(changed.isAccepted());
}

} // namespace tornyx

namespace tornyx {

void NcEditor::inputMethodEvent(QInputMethodEvent* e) {
    // Letters committed by an input method are upper case as well.
    const QString upper = e->commitString().toUpper();
    if (!fits(upper.toUtf8().size())) {
        QApplication::beep();
        e->ignore();
        return;
    }
    if (upper == e->commitString()) {
        QsciScintilla::inputMethodEvent(e);
        return;
    }
    QInputMethodEvent changed(e->preeditString(), e->attributes());
    changed.setCommitString(upper, e->replacementStart(), e->replacementLength());
    QsciScintilla::inputMethodEvent(&changed);
}

} // namespace tornyx
