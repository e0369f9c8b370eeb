// The log view: the last stored account of a transfer kind, shown read-only
// in place of the editor; and what the window says when an account could not
// be stored.
#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "serial/TransferSession.h"
#include "status/TransferLog.h"

#include <QAction>
#include <QComboBox>
#include <QToolButton>

#include <cstdio>

namespace tornyx {

void TMainForm::connectLogMenu() {
    for (QAction* a : {Menu_send, Menu_read, Menu_dnc, Menu_log_e})
        connect(a, &QAction::triggered, this, [this, a] { Menu_sendClick(a->data().toInt()); });
    // A log that cannot be stored does not stop the run (an unattended run
    // must still end), but it is said where the operator and a supervising
    // program look, and the log view shows the account from memory.
    desk().session().log().setWriteReport([this](int, const QString& error) {
        if (error.isEmpty())
            return;
        const QString notice = TransferLog::writeFailedText(error);
        std::fprintf(stderr, "Tornyx: %s\n", notice.toLocal8Bit().constData());
        std::fflush(stderr);
        const QString panel = QString::fromUtf16(u"通信ﾛｸﾞ保存不可");
        setTransferPanel(TransferPanel::Detail, panel);
        setEditingPanel(EditingPanel::Busy, panel);
    });
}

void TMainForm::Menu_sendClick(int tag) {
    if (tag < 1 || tag > 3) {
        endLogView();
        return;
    }
    SpeedButton[13]->setEnabled(false);
    RichEdit1->hide();
    RichEdit3->hide();
    Panel3->hide();
    RichEdit2->setFont(RichEdit1->font());
    RichEdit2->clearQuietly();
    m_logDisplayed = true;
    std::optional<QString> text;
    if (const TransferLog::Unwritten* u = desk().session().log().unwritten(tag))
        text = TransferLog::writeFailedText(u->error) + "\n" + u->text;
    else
        text = TransferLog::readFile(home().folder(), tag);
    if (!text) {
        m_prompts->messageBox(this, Prompts::Error, QString(), TransferLog::missingFileText(tag),
                              Prompts::Ok);
        endLogView();
        return;
    }
    RichEdit2->setReadOnly(false);
    QString view = *text;
    view.replace("\r\n", "\n");
    RichEdit2->setTextQuietly(view.toUtf8());
    RichEdit2->setReadOnly(true);
    RichEdit2->show();
    ComboBox1->setEnabled(false);
    BitBtn1->setEnabled(false);
    enterTransferMode();
}

void TMainForm::endLogView() {
    m_logDisplayed = false;
    RichEdit2->hide();
    RichEdit2->setReadOnly(false);
    RichEdit2->clearQuietly();
    Panel3->show();
    RichEdit1->show();
    RichEdit3->show();
    BitBtn1->setEnabled(true);
    ComboBox1->setEnabled(true);
    leaveTransferMode();
    RichEdit1->setFocus();
}

} // namespace tornyx
