#include "editor/ui/NcEditor.h"

#include "platform/TextCodec.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

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
    qsizetype foldedMatchEnd(qsizetype offset, QByteArrayView needle) const override {
        // Scintilla's own comparison, on a window no longer than the longest
        // text the needle can match.
        const qsizetype end = std::min(length(), offset + needle.size() * 4 + 4);
        m_e.SendScintilla(SCI_SETSEARCHFLAGS, 0ul);
        m_e.SendScintilla(SCI_SETTARGETSTART, static_cast<unsigned long>(offset));
        m_e.SendScintilla(SCI_SETTARGETEND, static_cast<unsigned long>(end));
        const long at =
            m_e.SendScintilla(SCI_SEARCHINTARGET, static_cast<unsigned long>(needle.size()), needle.data());
        return at == offset ? m_e.SendScintilla(SCI_GETTARGETEND) : -1;
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
    SendScintilla(SCI_SETMODEVENTMASK, static_cast<unsigned long>(ChangeNoticeMask));
    m_beep = [] { QApplication::beep(); };
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int position, int type, const char*, int, int, int, int, int, int, int) {
                onModified(position, type);
            });
    connect(this, &QsciScintilla::marginClicked, this,
            [this](int, int line, Qt::KeyboardModifiers) { onGutterClick(line); });
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] { m_scrollAction = true; });
    // Connected after QScintilla's own handler: the view has scrolled when
    // this runs.
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, this, [this] {
        if (!m_scrollAction)
            return;
        m_scrollAction = false;
        // The caret follows the view to the start of its second line.
        const int first = static_cast<int>(SendScintilla(SCI_GETFIRSTVISIBLELINE));
        caretToLineStart(std::min(first + 1, lineCount() - 1));
        emit viewMoved();
    });
    updateCaretStyle();
}

NcEditor::~NcEditor() = default;

void NcEditor::onModified(int position, int type) {
    if (type & (SC_MOD_BEFOREINSERT | SC_MOD_BEFOREDELETE))
        noteChange(
            static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(position))));
}

void NcEditor::noteChange(int line) {
    if (m_firstChanged < 0 || line < m_firstChanged)
        m_firstChanged = line;
    if (m_changePending)
        return;
    m_changePending = true;
    // Edits that come through the events and slots below are reported when
    // they return; anything else when control is back in the event loop.
    QMetaObject::invokeMethod(this, &NcEditor::flushChange, Qt::QueuedConnection);
}

void NcEditor::flushChange() {
    if (!m_changePending)
        return;
    m_changePending = false;
    updateGutterWidth();
    const int now = breakpointLine();
    if (now != m_lastBreakpoint) {
        // Scintilla keeps the marker of a deleted line on the line above;
        // the first line takes no breakpoint.
        if (now == 1)
            setBreakpoint(-1);
        else
            emit breakpointChanged(m_lastBreakpoint = now);
    }
    emit textChanged();
}

void NcEditor::beep() const {
    if (m_beep)
        m_beep();
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
        m_e.SendScintilla(QsciScintillaBase::SCI_MARKERDELETEALL, static_cast<unsigned long>(-1));
        m_e.SendScintilla(QsciScintillaBase::SCI_CLEARALL);
    }
    ~QuietChange() {
        m_e.SendScintilla(QsciScintillaBase::SCI_SETUNDOCOLLECTION, 1);
        m_e.SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
        m_e.SendScintilla(QsciScintillaBase::SCI_SETSAVEPOINT);
        m_e.SendScintilla(QsciScintillaBase::SCI_SETMODEVENTMASK,
                          static_cast<unsigned long>(NcEditor::ChangeNoticeMask));
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
    afterQuietChange();
    return r;
}

void NcEditor::setTextQuietly(QByteArrayView utf8) {
    {
        QuietChange quiet(*this);
        EditorSink sink(*this);
        sink.begin(utf8.size());
        sink.append(utf8);
    }
    afterQuietChange();
}

void NcEditor::afterQuietChange() {
    m_firstChanged = -1;
    m_changePending = false;
    m_completion.end();
    updateGutterWidth();
    // The whole text was replaced: no breakpoint survives it.
    setBreakpoint(-1);
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
    showRange(SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)),
              SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line)));
}

void NcEditor::showRange(qsizetype start, qsizetype end) {
    const int line = static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(start)));
    const long lineStart = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(lineStart));
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(std::max(0, line - 1)));
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(start), static_cast<long>(end));
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
        beep();
        return;
    }
    QsciScintilla::paste();
    flushChange();
}

void NcEditor::cut() {
    QsciScintilla::cut();
    flushChange();
}

void NcEditor::undo() {
    m_completion.end();
    QsciScintilla::undo();
    flushChange();
}

void NcEditor::redo() {
    m_completion.end();
    QsciScintilla::redo();
    flushChange();
}

void NcEditor::removeSelectedText() {
    QsciScintilla::removeSelectedText();
    flushChange();
}

// ---------------------------------------------------------------- events

bool NcEditor::event(QEvent* e) {
    const bool handled = QsciScintilla::event(e);
    flushChange();
    return handled;
}

bool NcEditor::viewportEvent(QEvent* e) {
    const bool handled = QsciScintilla::viewportEvent(e);
    flushChange();
    return handled;
}

void NcEditor::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    if (m_completion.isActive() && key != Qt::Key_F1) {
        m_completion.end();
        // Any key but Backspace (which takes the rest back) and Esc keeps
        // the completed word and goes on behind it.
        if (key != Qt::Key_Backspace && key != Qt::Key_Escape)
            SendScintilla(SCI_SETEMPTYSELECTION, SendScintilla(SCI_GETSELECTIONEND));
    }
    if (key == Qt::Key_F1) {
        e->accept();
        emit completionKey();
    } else {
        typeKey(e);
        if ((key == Qt::Key_PageUp || key == Qt::Key_PageDown) && !(e->modifiers() & Qt::ShiftModifier))
            afterPageKey();
    }
    updateCaretStyle();
    emit keyHandled(key, true);
}

void NcEditor::keyReleaseEvent(QKeyEvent* e) {
    QsciScintilla::keyReleaseEvent(e);
    emit keyHandled(e->key(), false);
}

void NcEditor::mousePressEvent(QMouseEvent* e) {
    m_completion.end();
    QsciScintilla::mousePressEvent(e);
    emit mouseHandled();
}

void NcEditor::mouseReleaseEvent(QMouseEvent* e) {
    QsciScintilla::mouseReleaseEvent(e);
    emit mouseHandled();
}

void NcEditor::wheelEvent(QWheelEvent* e) {
    const int dy = e->angleDelta().y();
    if (dy == 0) {
        QsciScintilla::wheelEvent(e); // sideways
        return;
    }
    e->accept();
    // A wheel step is 120; finer wheels add up to one.
    m_wheelRest += dy;
    const int steps = m_wheelRest / 120;
    m_wheelRest %= 120;
    if (steps != 0)
        stepWheel(-steps); // towards the user is negative, and goes down
}

void NcEditor::stepWheel(int lines) {
    const int line = std::clamp(caretLine() + lines, 0, std::max(0, lineCount() - 1));
    caretToLineStart(line);
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(std::max(0, line - 1)));
    viewport()->update();
    emit viewMoved();
}

void NcEditor::afterPageKey() {
    // The caret at the start of the line the page begins with, which becomes
    // the second visible line.
    caretToLineStart(static_cast<int>(SendScintilla(SCI_GETFIRSTVISIBLELINE)));
    SendScintilla(SCI_LINESCROLL, 0ul, -1l);
    emit viewMoved();
}

void NcEditor::caretToLineStart(int line) {
    m_completion.end();
    SendScintilla(SCI_SETEMPTYSELECTION,
                  SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)));
}

void NcEditor::updateCaretStyle() {
    SendScintilla(SCI_SETCARETSTYLE, overwriteMode() ? CARETSTYLE_BLOCK : CARETSTYLE_LINE);
}

// ---------------------------------------------------------------- breakpoint gutter

void NcEditor::showBreakpointGutter() {
    m_gutter = true;
    SendScintilla(SCI_SETMARGINTYPEN, 0ul, SC_MARGIN_SYMBOL);
    SendScintilla(SCI_SETMARGINMASKN, 0ul, 1l << BreakpointMarker);
    SendScintilla(SCI_SETMARGINSENSITIVEN, 0ul, 1l);
    SendScintilla(SCI_SETMARGINTYPEN, 1ul, SC_MARGIN_NUMBER);
    SendScintilla(SCI_SETMARGINMASKN, 1ul, 0l);
    SendScintilla(SCI_SETMARGINSENSITIVEN, 1ul, 1l);
    SendScintilla(SCI_MARKERDEFINE, static_cast<unsigned long>(BreakpointMarker), SC_MARK_CIRCLE);
    constexpr long Red = 0x0000FF; // Scintilla colours are 0x00BBGGRR
    SendScintilla(SCI_MARKERSETFORE, static_cast<unsigned long>(BreakpointMarker), Red);
    SendScintilla(SCI_MARKERSETBACK, static_cast<unsigned long>(BreakpointMarker), Red);
    refreshGutter();
}

void NcEditor::refreshGutter() {
    if (!m_gutter)
        return;
    QByteArray font(256, '\0');
    SendScintilla(SCI_STYLEGETFONT, static_cast<unsigned long>(STYLE_DEFAULT),
                  static_cast<void*>(font.data()));
    SendScintilla(SCI_STYLESETFONT, static_cast<unsigned long>(STYLE_LINENUMBER), font.constData());
    SendScintilla(SCI_STYLESETSIZE, static_cast<unsigned long>(STYLE_LINENUMBER),
                  SendScintilla(SCI_STYLEGETSIZE, static_cast<unsigned long>(STYLE_DEFAULT)));
    SendScintilla(SCI_STYLESETFORE, static_cast<unsigned long>(STYLE_LINENUMBER),
                  SendScintilla(SCI_STYLEGETFORE, static_cast<unsigned long>(STYLE_DEFAULT)));
    SendScintilla(SCI_STYLESETBACK, static_cast<unsigned long>(STYLE_LINENUMBER),
                  SendScintilla(SCI_STYLEGETBACK, static_cast<unsigned long>(STYLE_DEFAULT)));
    m_gutterDigits = 0;
    updateGutterWidth();
}

void NcEditor::updateGutterWidth() {
    if (!m_gutter)
        return;
    // Five digits at least, as the program-number list counts lines.
    const int digits = std::max(5, static_cast<int>(QString::number(lineCount()).size()));
    if (digits == m_gutterDigits)
        return;
    m_gutterDigits = digits;
    const QByteArray sample(digits + 1, '9'); // one digit's width of room
    SendScintilla(SCI_SETMARGINWIDTHN, 0ul, SendScintilla(SCI_TEXTHEIGHT, 0ul));
    SendScintilla(
        SCI_SETMARGINWIDTHN, 1ul,
        SendScintilla(SCI_TEXTWIDTH, static_cast<unsigned long>(STYLE_LINENUMBER), sample.constData()));
}

int NcEditor::breakpointLine() const {
    if (m_breakpointHandle < 0)
        return -1;
    const long line = SendScintilla(SCI_MARKERLINEFROMHANDLE, static_cast<unsigned long>(m_breakpointHandle));
    return line < 0 ? -1 : static_cast<int>(line) + 1;
}

void NcEditor::setBreakpoint(int line1) {
    if (m_breakpointHandle >= 0)
        SendScintilla(SCI_MARKERDELETEHANDLE, static_cast<unsigned long>(m_breakpointHandle));
    m_breakpointHandle = -1;
    if (line1 > 0 && line1 <= lineCount())
        m_breakpointHandle = static_cast<int>(SendScintilla(
            SCI_MARKERADD, static_cast<unsigned long>(line1 - 1), static_cast<long>(BreakpointMarker)));
    if (const int now = breakpointLine(); now != m_lastBreakpoint)
        emit breakpointChanged(m_lastBreakpoint = now);
}

void NcEditor::onGutterClick(int line) {
    if (!m_gutter || isReadOnly())
        return;
    const bool empty = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line)) ==
                       SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const int now = breakpointAfterClick(breakpointLine(), line + 1, empty);
    if (now == breakpointLine()) {
        beep();
        return;
    }
    setBreakpoint(now);
}

// ---------------------------------------------------------------- find and replace

TextMatch NcEditor::findText(const QString& text, bool up) const {
    const QByteArray needle = text.toUtf8();
    return up ? findBackward(*m_indexed, needle, SendScintilla(SCI_GETSELECTIONSTART))
              : findForward(*m_indexed, needle, SendScintilla(SCI_GETSELECTIONEND));
}

bool NcEditor::selectionMatches(const QString& text) const {
    const long start = SendScintilla(SCI_GETSELECTIONSTART);
    const long end = SendScintilla(SCI_GETSELECTIONEND);
    return start < end && matchEndAt(*m_indexed, text.toUtf8(), start) == end;
}

bool NcEditor::replaceSelection(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (isReadOnly() || !fits(bytes.size())) {
        beep();
        return false;
    }
    SendScintilla(SCI_REPLACESEL, 0ul, bytes.constData());
    flushChange();
    return true;
}

int NcEditor::replaceAll(const QString& find, const QString& replacement) {
    const QByteArray needle = find.toUtf8();
    const QByteArray with = replacement.toUtf8();
    if (needle.isEmpty() || isReadOnly())
        return 0;
    if (with.size() > needle.size()) {
        // The text grows: check its limit before anything changes.
        qsizetype bytes = SendScintilla(SCI_GETLENGTH);
        for (TextMatch m = findForward(*m_indexed, needle, 0); m.found();
             m = findForward(*m_indexed, needle, m.end))
            bytes += with.size() - (m.end - m.start);
        if (bytes > m_textLimit) {
            qsizetype chars = SendScintilla(SCI_COUNTCHARACTERS, 0ul, SendScintilla(SCI_GETLENGTH));
            for (TextMatch m = findForward(*m_indexed, needle, 0); m.found();
                 m = findForward(*m_indexed, needle, m.end))
                chars += replacement.size() - SendScintilla(SCI_COUNTCHARACTERS,
                                                            static_cast<unsigned long>(m.start),
                                                            static_cast<long>(m.end));
            if (chars > m_textLimit)
                return -1;
        }
    }
    int count = 0;
    qsizetype first = -1;
    // A million notices would cost more than the replacing; the change is
    // reported once at the end.
    SendScintilla(SCI_SETMODEVENTMASK, 0ul);
    SendScintilla(SCI_BEGINUNDOACTION);
    for (TextMatch m = findForward(*m_indexed, needle, 0); m.found();
         m = findForward(*m_indexed, needle, m.start + with.size())) {
        if (first < 0)
            first = m.start;
        SendScintilla(SCI_SETTARGETSTART, static_cast<unsigned long>(m.start));
        SendScintilla(SCI_SETTARGETEND, static_cast<unsigned long>(m.end));
        SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(with.size()), with.constData());
        ++count;
    }
    SendScintilla(SCI_ENDUNDOACTION);
    SendScintilla(SCI_SETMODEVENTMASK, static_cast<unsigned long>(ChangeNoticeMask));
    if (count > 0) {
        noteChange(static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(first))));
        flushChange();
    }
    return count;
}

// ---------------------------------------------------------------- status, completion

QString NcEditor::characterAtCaret() const {
    const long pos = SendScintilla(SCI_GETCURRENTPOS);
    const long next = SendScintilla(SCI_POSITIONAFTER, static_cast<unsigned long>(pos));
    if (next <= pos)
        return QString();
    QByteArray bytes(next - pos + 1, Qt::Uninitialized);
    SendScintilla(SCI_GETTEXTRANGE, pos, next, bytes.data());
    bytes.chop(1);
    const QString s = QString::fromUtf8(bytes);
    // A CR LF counts as one position; its first character is the one.
    return s.left(s.size() > 1 && s[0].isHighSurrogate() ? 2 : 1);
}

void NcEditor::completeWord(const QStringList& words) {
    if (isReadOnly())
        return;
    if (!m_completion.isActive())
        SendScintilla(SCI_SETEMPTYSELECTION, SendScintilla(SCI_GETCURRENTPOS));
    const long at = SendScintilla(SCI_GETSELECTIONSTART);
    const long lineStart = SendScintilla(SCI_POSITIONFROMLINE, SendScintilla(SCI_LINEFROMPOSITION, at));
    QString before;
    if (!m_completion.isActive()) {
        QByteArray bytes(at - lineStart + 1, Qt::Uninitialized);
        SendScintilla(SCI_GETTEXTRANGE, lineStart, at, bytes.data());
        bytes.chop(1);
        before = QString::fromUtf8(bytes);
    }
    const Completion::Step step = m_completion.press(words, before);
    if (step.beep)
        beep();
    const QByteArray rest = step.rest.toUtf8();
    if (rest.isEmpty() && SendScintilla(SCI_GETSELECTIONEND) == at)
        return;
    if (!fits(rest.size())) {
        beep();
        return;
    }
    SendScintilla(SCI_REPLACESEL, 0ul, rest.constData());
    SendScintilla(SCI_SETSEL, static_cast<unsigned long>(at + rest.size()), at);
    flushChange();
}

void NcEditor::typeKey(QKeyEvent* e) {
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const bool pasteKey = (ctrl && e->key() == Qt::Key_V) ||
                          (e->key() == Qt::Key_Insert && (e->modifiers() & Qt::ShiftModifier));
    const QString typed = e->text();
    const bool printable =
        !typed.isEmpty() && typed[0].isPrint() && !ctrl && !(e->modifiers() & Qt::AltModifier);
    if (!typed.isEmpty() && e->key() != Qt::Key_Backspace && !(ctrl && e->key() == Qt::Key_V))
        emit typingKey();

    if (pasteKey && !fits(QApplication::clipboard()->text().toUtf8().size())) {
        beep();
        return;
    }
    if (!printable && e->key() == Qt::Key_Tab && !fits(1)) {
        beep();
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
        beep();
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
        beep();
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
