#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <vector>

namespace tornyx::test {

// What a PDF says, read back with poppler's command-line tools.

inline QString runTool(const QString& tool, const QStringList& args) {
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(tool, QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of every page, lines as laid out, trailing blanks dropped.
inline std::vector<QStringList> pdfPages(const QString& pdf) {
    const QString all = runTool("pdftotext", {"-layout", "-enc", "UTF-8", pdf, "-"});
    std::vector<QStringList> pages;
    QStringList split = all.split(u'\f');
    if (!split.isEmpty() && split.back().trimmed().isEmpty())
        split.removeLast();
    for (const QString& page : split) {
        QStringList lines;
        for (QString l : page.split(u'\n')) {
            while (l.endsWith(u' '))
                l.chop(1);
            if (!l.isEmpty())
                lines << l;
        }
        pages.push_back(lines);
    }
    return pages;
}

// A value of pdfinfo ("Pages", "Title").
inline QString pdfInfo(const QString& pdf, const QString& key) {
    for (const QString& l : runTool("pdfinfo", {pdf}).split(u'\n'))
        if (l.startsWith(key + u':'))
            return l.mid(key.size() + 1).trimmed();
    return {};
}

struct PdfWord {
    int page;
    double xMin, yMin, xMax, yMax; // points from the page's top-left
    QString text;
};

inline std::vector<PdfWord> pdfWords(const QString& pdf) {
    const QString html = runTool("pdftotext", {"-bbox", "-enc", "UTF-8", pdf, "-"});
    std::vector<PdfWord> words;
    int page = 0;
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    for (const QString& l : html.split(u'\n')) {
        if (l.contains(QStringLiteral("<page ")))
            ++page;
        const auto m = word.match(l);
        if (m.hasMatch())
            words.push_back({page, m.captured(1).toDouble(), m.captured(2).toDouble(),
                             m.captured(3).toDouble(), m.captured(4).toDouble(), m.captured(5)});
    }
    return words;
}

} // namespace tornyx::test
