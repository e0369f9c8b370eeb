#include "serial/ui/TAutoForm.h"

#include "platform/DialogPlacement.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace tornyx {

namespace {
const QString Allowed = QStringLiteral("012345-");
}

TAutoForm::TAutoForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle("自動切替");
    setFixedSize(210, 115);

    EditLabel = new QLabel("自動選択番号", this);
    EditLabel->setGeometry(16, 8, 120, 16);
    LabeledEdit1 = new QLineEdit(this);
    LabeledEdit1->setObjectName("LabeledEdit1");
    LabeledEdit1->setGeometry(16, 26, 80, 22);
    LabeledEdit1->setMaxLength(3);
    // Typing is filtered below; the validator also keeps pasted text clean.
    LabeledEdit1->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-5-]{0,3}"), LabeledEdit1));
    LabeledEdit1->installEventFilter(this);
    EditLabel->setBuddy(LabeledEdit1);

    Label1 = new QLabel("ﾂﾘｰ設定も可です。番号－番号", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(16, 54, 190, 18);
    Label1->setStyleSheet("color: red; font-weight: bold;");

    Button1 = new QPushButton("ＯＮ", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(16, 80, 80, 26);
    // Enter presses the button that has the focus: the operator types the
    // number, Enter moves to ＯＮ, Enter again accepts. Enter in the field
    // never reaches the buttons, the key filter takes it.
    Button1->setAutoDefault(true);
    Button2 = new QPushButton("ｷｬﾝｾﾙ", this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(112, 80, 80, 26);
    Button2->setAutoDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    m_refusalNotice = [this] {
        QMessageBox box(QMessageBox::Critical, "確認", "この文字は変更できません｡\n", QMessageBox::Ok, this);
        box.exec();
    };
}

QPoint TAutoForm::centredOn(const QRect& anchor, const QSize& size) {
    return platform::centredOn(anchor, size);
}

std::optional<QString> TAutoForm::askSwitchNumber(const QRect& anchor) {
    move(centredOn(anchor, frameGeometry().size()));
    LabeledEdit1->clear();
    LabeledEdit1->setFocus();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return LabeledEdit1->text();
}

void TAutoForm::showRefusal() {
    if (m_refusalNotice)
        m_refusalNotice();
}

bool TAutoForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched != LabeledEdit1 || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (enter && !LabeledEdit1->text().isEmpty()) {
        Button1->setFocus();
        return true;
    }
    if (key->key() == Qt::Key_Backspace)
        return false;
    // Keys that type nothing (arrows, Delete, Tab) keep their editing role.
    const QString text = key->text();
    if (!enter && (text.isEmpty() || !text.at(0).isPrint()))
        return false;
    if (!enter && text.size() == 1 && Allowed.contains(text.at(0)))
        return false;
    showRefusal();
    return true;
}

} // namespace tornyx
