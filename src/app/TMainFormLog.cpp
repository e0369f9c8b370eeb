// The log view: the last stored account of a transfer kind, shown read-only
// in place of the editor.
#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "status/TransferLog.h"

#include <QAction>
#include <QComboBox>
#include <QToolButton>

namespace tornyx {

void TMainForm::connectLogMenu() {
    for (QAction* a : {Menu_send, Menu_read, Menu_dnc, Menu_log_e})
        connect(a, &QAction::triggered, this, [this, a] { Menu_sendClick(a->data().toInt()); });
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
    const auto text = TransferLog::readFile(home().folder(), tag);
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
