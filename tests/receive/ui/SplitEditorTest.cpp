// The split reads the real editor's buffer, whose gap may move whenever
// events are processed during the walk.
#include "editor/ui/NcEditor.h"
#include "receive/SplitSave.h"
#include "support/QtPrinters.h"
#include "support/TempHome.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace tornyx;

namespace {

// Stands for the event processing of a real host: something asks the
// editor for its whole text in one piece, which moves the gap to the end.
struct GapMover : SplitProgress {
    NcEditor* editor;
    int calls = 0;
    bool reached(int) override {
        ++calls;
        (void)editor->utf8Text();
        return true;
    }
};

QByteArray filesOf(const QString& folder) {
    QByteArray all;
    for (const QString& n : QDir(folder).entryList(QDir::Files, QDir::Name)) {
        QFile f(folder + '/' + n);
        all += n.toUtf8() + ':' + (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>"));
    }
    return all;
}

} // namespace

TEST(SplitEditor, AGapMovedWhileSplittingChangesNothing) {
    test::TempHome home;
    QByteArray text;
    for (int p = 1; p <= 40; ++p) {
        text += "O" + QByteArray::number(p) + "(ﾌﾟﾛｸﾞﾗﾑ)\n";
        for (int i = 0; i < 300; ++i)
            text += "G01 X" + QByteArray::number(p * 1000 + i) + ".0 Y1.0\n";
    }
    NcEditor editor;
    editor.setTextQuietly(text);
    // An edit in the middle and its removal leave the gap there.
    const int mid = editor.lineCount() / 2;
    editor.setCursorPosition(mid, 3);
    editor.insert("Q");
    const long pos = editor.SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
    editor.SendScintilla(QsciScintilla::SCI_DELETERANGE, pos, 1);
    ASSERT_EQ(editor.utf8Text(), text);
    editor.setCursorPosition(mid, 3);
    editor.insert("Q");
    editor.SendScintilla(QsciScintilla::SCI_DELETERANGE, pos, 1);
    ASSERT_EQ(editor.indexedText().pieces(0).size(), 2u) << "the gap must lie inside the text for this test";

    SplitSettings s;
    s.extension = ".NC";
    s.folder = home.file("expected");
    QDir().mkpath(s.folder);
    ASSERT_TRUE(splitPrograms(PlainIndexedText(text), {}, s).ok());

    s.folder = home.file("editor");
    QDir().mkpath(s.folder);
    GapMover mover;
    mover.editor = &editor;
    ASSERT_TRUE(splitPrograms(editor.indexedText(), {}, s, &mover).ok());
    EXPECT_GT(mover.calls, 1);
    EXPECT_EQ(filesOf(home.file("editor")), filesOf(home.file("expected")));
}
