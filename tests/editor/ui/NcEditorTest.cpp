#include "editor/ui/NcEditor.h"

#include "support/TempHome.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace tornyx;
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
