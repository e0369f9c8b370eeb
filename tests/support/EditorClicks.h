#pragma once

#include "editor/ui/NcEditor.h"

#include <QTest>

namespace tornyx::test {

// A mouse click into the editor's gutter on a line: margin 0 holds the
// breakpoint marker, margin 1 the line number.
inline void clickGutter(NcEditor& e, int line, int margin = 1) {
    const long pos =
        e.SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    const int y = static_cast<int>(e.SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0ul, pos)) +
                  static_cast<int>(e.SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0ul)) / 2;
    const int w0 = static_cast<int>(e.SendScintilla(QsciScintillaBase::SCI_GETMARGINWIDTHN, 0ul));
    QTest::mouseClick(e.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(margin == 0 ? w0 / 2 : w0 + 4, y));
}

} // namespace tornyx::test
