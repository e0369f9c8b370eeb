#include "app/ui/TUser.h"

#include "app/Prompts.h"
#include "platform/DialogPlacement.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

namespace tornyx {

namespace {

const QString Title = QStringLiteral(u"ﾕｰｻﾞ定義");
const QString PositionSection = QStringLiteral("UserPos");
const QString RefusedTitle = QStringLiteral(u"確認");
const QString RefusedText = QStringLiteral(u"この文字は拡張子に使えません｡\n/:,;?<>|");
const QString EmptyName1 = QStringLiteral(u"ﾕｰｻﾞ定義1");
const QString EmptyName2 = QStringLiteral(u"ﾕｰｻﾞ定義2");

QString appliedPattern(const QString& typed) {
    const QString p = typed.trimmed();
    return p.isEmpty() ? QStringLiteral("*.*") : completePattern(p);
}

} // namespace

TUser::TUser(Prompts& prompts, QString optionFile, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_prompts(prompts),
      m_optionFile(std::move(optionFile)) {
    setObjectName("TUser");
    setWindowTitle(Title);

    auto* grid = new QGridLayout;
    auto field = [&](const char* name, const QString& caption, int row, int column) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(name);
        auto* label = new QLabel(caption, this);
        label->setBuddy(edit);
        grid->addWidget(label, row, column);
        grid->addWidget(edit, row + 1, column);
        edit->installEventFilter(this);
        return edit;
    };
    LabeledEdit1 = field("LabeledEdit1", QStringLiteral(u"ﾕｰｻﾞ定義１(表示名)"), 0, 0);
    LabeledEdit2 = field("LabeledEdit2", QStringLiteral(u"拡張子"), 0, 1);
    LabeledEdit3 = field("LabeledEdit3", QStringLiteral(u"ﾕｰｻﾞ定義２(表示名)"), 2, 0);
    LabeledEdit4 = field("LabeledEdit4", QStringLiteral(u"拡張子"), 2, 1);
    LabeledEdit1->setMinimumWidth(180);
    // Typed characters are refused with a notice below; pasted text is kept
    // clean by the validator, so no pattern can break the file-type list.
    for (QLineEdit* pattern : {LabeledEdit2, LabeledEdit4})
        pattern->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^/:,;?<>|]*")), pattern));

    Button1 = new QPushButton(QStringLiteral(u"変更"), this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton(QStringLiteral(u"中止"), this);
    Button2->setObjectName("Button2");
    Button3 = new QPushButton(QStringLiteral(u"戻る"), this);
    Button3->setObjectName("Button3");
    // Enter in a field moves here; a second Enter presses the button.
    for (QPushButton* b : {Button1, Button2, Button3})
        b->setAutoDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addLayout(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);
}

void TUser::fill(const UserFileTypes& t) {
    LabeledEdit1->setText(t.name1);
    LabeledEdit2->setText(t.mask1);
    LabeledEdit3->setText(t.name2);
    LabeledEdit4->setText(t.mask2);
}

void TUser::edit(const QRect& anchor, UserFileTypes& stored) {
    m_stored = &stored;
    fill(stored);
    adjustSize();
    move(platform::centredOn(anchor, frameGeometry().size()));
    LabeledEdit1->setFocus();
    exec();
    m_stored = nullptr;
}

void TUser::Button1Click() {
    LabeledEdit2->setText(appliedPattern(LabeledEdit2->text()));
    LabeledEdit4->setText(appliedPattern(LabeledEdit4->text()));
    if (LabeledEdit1->text().isEmpty())
        LabeledEdit1->setText(EmptyName1);
    if (LabeledEdit3->text().isEmpty())
        LabeledEdit3->setText(EmptyName2);
    if (m_stored)
        *m_stored = {LabeledEdit1->text(), LabeledEdit2->text(), LabeledEdit3->text(), LabeledEdit4->text()};
    finish();
}

void TUser::Button2Click() {
    if (m_stored)
        fill(*m_stored);
    finish();
}

void TUser::Button3Click() {
    finish();
}

void TUser::reject() {
    Button3Click();
}

void TUser::finish() {
    QString why;
    if (!platform::storeDialogPosition(m_optionFile, PositionSection, pos(), {}, &why))
        m_prompts.messageBox(this, Prompts::Error, Title, platform::settingsNotWrittenText(m_optionFile, why),
                             Prompts::Ok);
    QDialog::done(QDialog::Accepted);
}

bool TUser::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool pattern = edit == LabeledEdit2 || edit == LabeledEdit4;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        if (pattern && edit->text().isEmpty())
            return true;
        if (pattern)
            edit->setText(completePattern(edit->text()));
        Button1->setFocus();
        return true;
    }
    const QString text = key->text();
    if (pattern && text.size() == 1 && RefusedPatternCharacters.contains(text.at(0))) {
        m_prompts.messageBox(this, Prompts::Error, RefusedTitle, RefusedText, Prompts::Ok);
        return true;
    }
    return false;
}

} // namespace tornyx
