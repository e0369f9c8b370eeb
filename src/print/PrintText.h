#pragma once

#include "editor/ProgramIndex.h"

#include <QString>

namespace tornyx {

// The lines a listing prints, read one at a time from the editor's buffer.
class PrintLines {
public:
    virtual ~PrintLines() = default;
    virtual qint64 count() const = 0;
    virtual QString line(qint64 i) const = 0;
};

// Every line of the text. A line break at the very end opens no line of its
// own: a listing does not end in an empty numbered line.
class DocumentLines : public PrintLines {
public:
    explicit DocumentLines(const IndexedText& text) : m_text(text) {}
    qint64 count() const override;
    QString line(qint64 i) const override;

private:
    const IndexedText& m_text;
};

// The lines of the bytes [from, to) of the text (a selection in the editor):
// the first line starts at from, the last ends at to.
class SelectionLines : public PrintLines {
public:
    SelectionLines(const IndexedText& text, qsizetype from, qsizetype to);
    qint64 count() const override;
    QString line(qint64 i) const override;

private:
    const IndexedText& m_text;
    qsizetype m_from;
    qsizetype m_to;
    int m_firstLine = 0;
    qint64 m_count = 0;
};

} // namespace tornyx
