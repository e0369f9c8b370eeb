#include "editor/ui/FindDialogs.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tornyx {

namespace {

QString u(const char16_t* s) {
    return QString::fromUtf16(s);
}

QLineEdit* textField(QDialog* owner, const char* name) {
    auto* e = new QLineEdit(owner);
    e->setObjectName(name);
    e->setMinimumWidth(220);
    return e;
}

QPushButton* button(QDialog* owner, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, owner);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// A button that asks for a search is of no use without a text to search.
void enableWithText(QLineEdit* text, const QList<QPushButton*>& buttons) {
    const auto update = [text, buttons] {
        for (QPushButton* b : buttons)
            b->setEnabled(!text->text().isEmpty());
    };
    QObject::connect(text, &QLineEdit::textChanged, text, update);
    update();
}

} // namespace

FindDialog::FindDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("FindDialog1");
    setWindowTitle(u(u"検索"));
    setModal(false);
    m_text = textField(this, "FindText");
    auto* label = new QLabel(u(u"検索する文字列(&N):"), this);
    label->setBuddy(m_text);

    auto* direction = new QGroupBox(u(u"方向"), this);
    m_up = new QRadioButton(u(u"上へ(&U)"), direction);
    m_up->setObjectName("Up");
    m_down = new QRadioButton(u(u"下へ(&D)"), direction);
    m_down->setObjectName("Down");
    m_down->setChecked(true);
    auto* dirRow = new QHBoxLayout(direction);
    dirRow->addWidget(m_up);
    dirRow->addWidget(m_down);

    m_find = button(this, "FindNextButton", u(u"次を検索(&F)"));
    m_find->setDefault(true);
    auto* cancel = button(this, "CancelButton", u(u"キャンセル"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(label, 0, 0);
    grid->addWidget(m_text, 0, 1);
    grid->addWidget(direction, 1, 1, Qt::AlignRight);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_find);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 2, 2, 1);

    enableWithText(m_text, {m_find});
    connect(m_find, &QPushButton::clicked, this, &FindDialog::findNext);
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
}

QString FindDialog::findText() const {
    return m_text->text();
}
void FindDialog::setFindText(const QString& text) {
    m_text->setText(text);
}
bool FindDialog::isUp() const {
    return m_up->isChecked();
}

ReplaceDialog::ReplaceDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("ReplaceDialog1");
    setWindowTitle(u(u"置換"));
    setModal(false);
    m_text = textField(this, "FindText");
    m_with = textField(this, "ReplaceText");
    auto* findLabel = new QLabel(u(u"検索する文字列(&N):"), this);
    findLabel->setBuddy(m_text);
    auto* withLabel = new QLabel(u(u"置換後の文字列(&P):"), this);
    withLabel->setBuddy(m_with);

    m_find = button(this, "FindNextButton", u(u"次を検索(&F)"));
    m_find->setDefault(true);
    m_replace = button(this, "ReplaceButton", u(u"置換して次に(&R)"));
    m_all = button(this, "ReplaceAllButton", u(u"すべて置換(&A)"));
    auto* cancel = button(this, "CancelButton", u(u"キャンセル"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(m_text, 0, 1);
    grid->addWidget(withLabel, 1, 0);
    grid->addWidget(m_with, 1, 1);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_find, m_replace, m_all, cancel})
        buttons->addWidget(b);
    buttons->addStretch(1);
    grid->addLayout(buttons, 0, 2, 3, 1);
    grid->setRowStretch(2, 1);

    enableWithText(m_text, {m_find, m_replace, m_all});
    connect(m_find, &QPushButton::clicked, this, &ReplaceDialog::findNext);
    connect(m_replace, &QPushButton::clicked, this, &ReplaceDialog::replace);
    connect(m_all, &QPushButton::clicked, this, &ReplaceDialog::replaceAll);
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
}

QString ReplaceDialog::findText() const {
    return m_text->text();
}
void ReplaceDialog::setFindText(const QString& text) {
    m_text->setText(text);
}
QString ReplaceDialog::replaceText() const {
    return m_with->text();
}
void ReplaceDialog::setReplaceText(const QString& text) {
    m_with->setText(text);
}

void ReplaceDialog::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    emit closed();
}

} // namespace tornyx
