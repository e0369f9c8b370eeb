#include "editor/ui/NcEditor.h"

#include "support/EditorClicks.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace tornyx;
using tornyx::test::clickGutter;
using tornyx::test::hex;
using tornyx::test::TempHome;

namespace {

struct YesHost : DocumentHost {
    QStringList asked;
    bool warningYesNo(const QString& t) override {
        asked << t;
        return true;
    }
    void warningYes(const QString& t) override { asked << t; }
};

void type(QWidget& w, int key, const QString& text, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(&w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(&w, &release);
}

void typeText(QWidget& w, const QString& s) {
    for (QChar c : s)
        type(w, c.toUpper().unicode(), QString(c));
}

class Editor : public ::testing::Test {
protected:
    Editor() {
        e.resize(400, 300);
        e.show();
    }
    ReadResult load(const QByteArray& bytes) {
        home.write("doc.nc", bytes);
        return e.loadFile(home.file("doc.nc"), false, host);
    }
    TempHome home;
    YesHost host;
    NcEditor e;
};

} // namespace

TEST_F(Editor, LoadIsNoEditAndLinesComeBackAsShiftJis) {
    QSignalSpy changed(&e, &QsciScintilla::textChanged);
    const QByteArray file("%\r\nO0001(\xB1\x82\xA0)\r\nG00 X1.\r\n", 24);
    const ReadResult r = load(file);
    EXPECT_EQ(r.fileSize, 24);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_FALSE(e.isModified());
    EXPECT_FALSE(e.isUndoAvailable());
    EXPECT_EQ(e.lineCount(), 4);
    EXPECT_EQ(e.lineText(1), QString::fromUtf16(u"O0001(ｱあ)"));
    EXPECT_EQ(hex(e.lineSjis(1)), "4F 30 30 30 31 28 B1 82 A0 29");
    EXPECT_EQ(e.lineSjis(2), QByteArray("G00 X1."));
    EXPECT_EQ(e.caretLine(), 0);
    EXPECT_EQ(hex(e.encodeForFile().bytes), hex(file));
}

TEST_F(Editor, LoadingIntoAReadOnlyEditorStillReplacesTheText) {
    e.setReadOnly(true);
    load("N1\r\n");
    EXPECT_EQ(e.lineText(0), "N1");
    EXPECT_TRUE(e.isReadOnly());
}

TEST_F(Editor, CharactersFromAUnicodeFileAreCountedWhenEncoded) {
    load(QByteArray("\xEF\xBB\xBF", 3) + QByteArray("O1(\xC3\xA9)\r\n"));
    EXPECT_EQ(e.lineText(0), QString::fromUtf16(u"O1(é)"));
    const EncodedDocument enc = e.encodeForFile();
    EXPECT_EQ(enc.unmappable, 1);
    EXPECT_EQ(enc.bytes, QByteArray("O1(?)\r\n"));
}

TEST_F(Editor, TypedLettersBecomeUpperCase) {
    typeText(e, "g01 x-1.");
    EXPECT_EQ(e.text(), "G01 X-1.");
    EXPECT_TRUE(e.isModified());
}

TEST_F(Editor, ProgramKeySwapAtTheStartOfALineOnly) {
    ProgramIndex index;
    e.setProgramIndex(&index);
    typeText(e, ":1");
    EXPECT_EQ(index.key(), ":");
    type(e, Qt::Key_Return, "\r");
    typeText(e, "o2 o");
    EXPECT_EQ(e.text(), ":1\n:2 O");

    index.setKey("O");
    type(e, Qt::Key_Return, "\r");
    typeText(e, ":3");
    EXPECT_EQ(e.lineText(2), "O3");
}

TEST_F(Editor, TypingKeySignalSparesBackspaceAndPaste) {
    QSignalSpy spy(&e, &NcEditor::typingKey);
    typeText(e, "a");
    type(e, Qt::Key_Return, "\r");
    EXPECT_EQ(spy.count(), 2);
    type(e, Qt::Key_Backspace, "\b");
    type(e, Qt::Key_V, "\x16", Qt::ControlModifier);
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(Editor, TextLimitRefusesTypingAndPastingBeyondIt) {
    e.setTextLimit(5);
    typeText(e, "abcde");
    typeText(e, "f");
    EXPECT_EQ(e.text(), "ABCDE");
    QApplication::clipboard()->setText("XY");
    e.paste();
    EXPECT_EQ(e.text(), "ABCDE");
    e.selectAll();
    e.paste(); // replacing the selection fits
    EXPECT_EQ(e.text(), "XY");
}

TEST_F(Editor, ShowProgramLineMakesItTheSecondVisibleLineAndSelectsIt) {
    QByteArray t;
    for (int i = 0; i < 200; ++i)
        t += "N" + QByteArray::number(i) + "\n";
    t += "O0002(SECOND)\n";
    e.setTextQuietly(t);
    e.showProgramLine(200);
    EXPECT_EQ(e.firstVisibleLine(), 199);
    EXPECT_EQ(e.selectedText(), "O0002(SECOND)");
    EXPECT_EQ(e.caretLine(), 200);
}

TEST_F(Editor, IndexReadsTheBufferAroundItsGapAndSeesTheFirstChangedLine) {
    QByteArray t;
    for (int i = 1; i <= 40; ++i)
        t += (i % 10 == 1 ? "O" : "N") + QByteArray::number(i) + "\n";
    e.setTextQuietly(t);
    EXPECT_EQ(e.firstChangedLine(), -1);
    e.setCursorPosition(25, 0);
    typeText(e, "o99");
    type(e, Qt::Key_Return, "\r");
    EXPECT_EQ(e.firstChangedLine(), 25);

    const auto pieces = e.indexedText().pieces(0);
    QByteArray joined;
    for (const auto& p : pieces)
        joined += p.bytes.toByteArray();
    ASSERT_EQ(joined, QByteArray(e.utf8Text().data(), e.utf8Text().size()));

    ProgramIndex fromEditor;
    fromEditor.extract(e.indexedText(), e.caretLine());
    ProgramIndex fromPlain;
    fromPlain.extract(PlainIndexedText(joined), 0);
    EXPECT_EQ(fromEditor.entries(), fromPlain.entries());
    EXPECT_EQ(fromEditor.entries().size(), 5);
    EXPECT_EQ(fromEditor.entries()[3], "00026-O99");
}

TEST_F(Editor, InputMethodLettersBecomeUpperCase) {
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf16(u"ｇ０１ｘあ"));
    QApplication::sendEvent(&e, &commit);
    EXPECT_EQ(e.text(), QString::fromUtf16(u"Ｇ０１Ｘあ"));
}

TEST_F(Editor, TenMegabyteLineWithoutBreakLoadsShowsAndSavesWhole) {
    QByteArray line;
    line.reserve(10 << 20);
    while (line.size() < (10 << 20))
        line += QByteArray("G01X1.\x82\xA0", 8);
    // Not painted: the first display of such a line measures every character
    // and takes many seconds.
    e.hide();
    load(line);
    EXPECT_EQ(e.lineCount(), 1);
    EXPECT_TRUE(e.encodeForFile().bytes == line);
    EXPECT_EQ(e.lineSjis(0).size(), line.size());
}

TEST_F(Editor, LinePrefixIsCountedInShiftJisBytes) {
    load(QByteArray("N1\r\nO1(\x82\xA0\xB1)X\r\n", 15));
    e.selectLinePrefix(1, 6); // "O1(" 3, "あ" 2, "ｱ" 1
    EXPECT_EQ(e.selectedText(), QString::fromUtf16(u"O1(あｱ"));
    e.selectLinePrefix(1, 100);
    EXPECT_EQ(e.selectedText(), QString::fromUtf16(u"O1(あｱ)X"));
    e.setTextQuietly(QByteArray("(\xF0\x9F\x98\x80)X"));
    e.selectLinePrefix(0, 3);
    EXPECT_EQ(e.selectedText(), QString::fromUtf16(u"(\U0001F600)"));
}

namespace {

struct Gutter : Editor {
    Gutter() {
        e.showBreakpointGutter();
        e.setBeep([this] { ++beeps; });
        e.setTextQuietly("O0001\nN10 G00\n\nN20 G01\nN30 M30\n");
        QApplication::processEvents();
    }
    int beeps = 0;
};

} // namespace

TEST_F(Gutter, TheBreakpointFollowsItsLineAndNoLoadKeepsIt) {
    clickGutter(e, 3);
    QSignalSpy changed(&e, &NcEditor::breakpointChanged);
    e.setCursorPosition(1, 0);
    typeText(e, "n5");
    type(e, Qt::Key_Return, "\r");
    EXPECT_EQ(e.breakpointLine(), 5);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toInt(), 5);

    e.setReadOnly(true);
    clickGutter(e, 4);
    EXPECT_EQ(e.breakpointLine(), 5) << "a transfer holds the editor read-only";
    e.setReadOnly(false);

    load("O1\r\nN1\r\nN2\r\n");
    EXPECT_EQ(e.breakpointLine(), -1);
    EXPECT_EQ(changed.last()[0].toInt(), -1);
    EXPECT_EQ(e.markersAtLine(4), 0u);
}

TEST_F(Gutter, DeletingEveryLineDoesNotLeaveABreakpointOnTheFirst) {
    clickGutter(e, 3);
    e.selectAll();
    e.removeSelectedText();
    EXPECT_EQ(e.breakpointLine(), -1);
}

TEST_F(Editor, EditsAreReportedOnceEachWhenTheyAreDone) {
    QSignalSpy changed(&e, &QsciScintilla::textChanged);
    typeText(e, "n1");
    EXPECT_EQ(changed.count(), 2) << "each key reports its change before the next event";
    e.selectAll();
    e.cut();
    EXPECT_EQ(changed.count(), 3);
    e.undo();
    EXPECT_EQ(changed.count(), 4);
    EXPECT_EQ(e.text(), "N1");
    // A change made past the editor's own commands is reported from the
    // event loop.
    e.SendScintilla(QsciScintillaBase::SCI_APPENDTEXT, 3ul, "\nN2");
    EXPECT_EQ(changed.count(), 4);
    QApplication::processEvents();
    EXPECT_EQ(changed.count(), 5);
    EXPECT_EQ(e.firstChangedLine(), 0);
}

TEST_F(Editor, ReplaceAllThatWouldPassTheTextLimitChangesNothing) {
    e.setTextQuietly("XX1XX2\n");
    e.setTextLimit(e.text().size() + 3);
    EXPECT_EQ(e.replaceAll("X", "XYZ"), -1);
    EXPECT_EQ(e.text(), "XX1XX2\n");
    EXPECT_FALSE(e.isUndoAvailable());
    EXPECT_EQ(e.replaceAll("X", "Y"), 4) << "a replacement that does not grow the text";
}
TEST_F(Editor, WheelAndPageKeysPutTheCaretOnTheSecondVisibleLine) {
    QByteArray t;
    for (int i = 0; i < 300; ++i)
        t += "N" + QByteArray::number(i) + "\n";
    e.setTextQuietly(t);
    QSignalSpy moved(&e, &NcEditor::viewMoved);
    e.setCursorPosition(10, 2);
    QWheelEvent down(QPointF(50, 50), e.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(e.viewport(), &down);
    EXPECT_EQ(e.caretLine(), 11);
    EXPECT_EQ(e.caretColumn(), 0);
    EXPECT_EQ(e.firstVisibleLine(), 10);
    QWheelEvent half(QPointF(50, 50), e.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 60), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(e.viewport(), &half);
    EXPECT_EQ(e.caretLine(), 11) << "half a step is no step";
    QApplication::sendEvent(e.viewport(), &half);
    EXPECT_EQ(e.caretLine(), 10);

    type(e, Qt::Key_PageDown, QString());
    EXPECT_EQ(e.caretColumn(), 0);
    EXPECT_EQ(e.caretLine(), e.firstVisibleLine() + 1);
    EXPECT_GT(e.caretLine(), 12);
    EXPECT_GE(moved.count(), 3);
}

TEST_F(Editor, TheCaretFollowsTheScrollBar) {
    QByteArray t;
    for (int i = 0; i < 300; ++i)
        t += "N" + QByteArray::number(i) + "\n";
    e.setTextQuietly(t);
    QSignalSpy moved(&e, &NcEditor::viewMoved);
    e.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_GT(e.firstVisibleLine(), 5);
    EXPECT_EQ(e.caretLine(), e.firstVisibleLine() + 1);
    EXPECT_EQ(e.caretColumn(), 0);
    EXPECT_EQ(moved.count(), 1);
    e.setCursorPosition(250, 1);
    EXPECT_EQ(moved.count(), 1) << "the caret's own scrolling is no scroll-bar action";
}
