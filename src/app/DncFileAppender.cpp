#include "app/DncFileAppender.h"

#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "editor/ui/NcEditor.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QTimer>

namespace tornyx {

void DncFileAppender::connect(TDncForm& form) {
    form.setSource({[this] { return m_w.RichEdit1->lineCount(); },
                    [this](int i) { return m_w.RichEdit1->lineSjis(i); },
                    [this] {
                        QStringList items;
                        for (int i = 0; i < m_w.ComboBox1->count(); ++i)
                            items << m_w.ComboBox1->itemText(i);
                        return items;
                    }});
    form.setFileHost(this);
}

QString DncFileAppender::chooseFile(QWidget* owner) {
    return m_w.chooseOpenFile(owner, QStringLiteral(u"開く"), m_w.options.dirPath);
}

void DncFileAppender::errorBox(QWidget* owner, const QString& text) {
    m_w.prompts().messageBox(owner, Prompts::Error, "Tornyx", text, Prompts::Yes);
}

void DncFileAppender::appendToDocument(const QString& path) {
    // Loading into the second area leaves the document's path, size and list
    // alone; a file that gives no text leaves the area empty.
    m_w.load(m_w.RichEdit2, path, false);
    QByteArray text = m_w.RichEdit1->utf8Text().toByteArray();
    text += '\n';
    text += m_w.RichEdit2->utf8Text();
    m_w.RichEdit1->setTextQuietly(text);
    m_w.RichEdit2->clearQuietly();
    // Every entry is made again from the joined text.
    m_w.programIndex.indexedLineCount = -1;
    m_w.Timer4->setInterval(1);
    m_w.Timer4->start();
}

void DncFileAppender::waitForIndex() {
    if (m_w.options.autoIndexOff) {
        // The automatic extraction would never come: make the list at once.
        m_w.Timer4->stop();
        if (m_w.RichEdit1->length() > 0)
            m_w.extract(0, 0);
        return;
    }
    // Timer4 stops itself once the extraction has run; the wait blocks in the
    // event loop until the timer's event comes.
    while (m_w.Timer4->isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void DncFileAppender::clearModified() {
    m_w.setModified(false);
}

} // namespace tornyx
