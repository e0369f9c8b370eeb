#include "print/ui/TPrintCtrlDlg.h"

#include "platform/DialogPosition.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace tornyx {

namespace {

const QString PositionSection = QStringLiteral("PrintSetPos");

// A margin field holds at most two digits; anything else counts as 0.
int marginOf(const QLineEdit* e) {
    bool ok = false;
    const int v = e->text().toInt(&ok);
    return ok ? v : 0;
}

} // namespace

TPrintCtrlDlg::TPrintCtrlDlg(QString iniPath, QWidget* parent)
    : QDialog(parent), m_iniPath(std::move(iniPath)), m_settings(PrintSettingsStore(m_iniPath).load()) {
    setObjectName("PrintCtrlDlg");
    setWindowTitle(QStringLiteral(u"印刷設定"));

    auto* column = new QVBoxLayout(this);
    auto* what = new QGroupBox(this);
    auto* whatColumn = new QVBoxLayout(what);
    auto check = [&](QCheckBox*& box, const char* name, const QString& caption) {
        box = new QCheckBox(caption, what);
        box->setObjectName(name);
        whatColumn->addWidget(box);
    };
    check(CkBoxFilePath, "CkBoxFilePath", QStringLiteral(u"フルパス名を印刷"));
    check(CkBoxFileName, "CkBoxFileName", QStringLiteral(u"ファイル名を印刷"));
    check(CkBoxPageNum, "CkBoxPageNum", QStringLiteral(u"ページ番号を印刷"));
    check(CkBoxLineNo, "CkBoxLineNo", QStringLiteral(u"行番号を印刷"));
    column->addWidget(what);

    auto* margins = new QGroupBox(this);
    auto* grid = new QGridLayout(margins);
    auto margin = [&](QLineEdit*& edit, const char* name, const QString& caption, int row, int col) {
        edit = new QLineEdit(margins);
        edit->setObjectName(name);
        edit->setMaxLength(2);
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 12);
        edit->setAlignment(Qt::AlignRight);
        // Typed keys are filtered in eventFilter; this keeps pasted text out.
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), edit));
        edit->installEventFilter(this);
        auto* label = new QLabel(caption, margins);
        label->setBuddy(edit);
        grid->addWidget(label, row, col * 3);
        grid->addWidget(edit, row, col * 3 + 1);
        grid->addWidget(new QLabel(QStringLiteral(u"㎜"), margins), row, col * 3 + 2);
    };
    margin(Edit2, "Edit2", QStringLiteral(u"上余白"), 0, 0);
    margin(Edit3, "Edit3", QStringLiteral(u"下余白"), 0, 1);
    margin(Edit1, "Edit1", QStringLiteral(u"左余白"), 1, 0);
    margin(Edit4, "Edit4", QStringLiteral(u"右余白"), 1, 1);
    grid->setColumnMinimumWidth(3, 24);
    column->addWidget(margins);

    auto* buttons = new QHBoxLayout;
    Button3 = new QPushButton(QStringLiteral(u"プリンタ設定"), this);
    Button1 = new QPushButton(QStringLiteral(u"保存"), this);
    Button2 = new QPushButton(QStringLiteral(u"戻る"), this);
    Button3->setObjectName("Button3");
    Button1->setObjectName("Button1");
    Button2->setObjectName("Button2");
    Button1->setDefault(true);
    buttons->addWidget(Button3);
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    column->addLayout(buttons);
    setFixedSize(sizeHint());

    auto changed = [this] { Button1->setEnabled(true); };
    for (QCheckBox* b : {CkBoxFilePath, CkBoxFileName, CkBoxPageNum, CkBoxLineNo})
        connect(b, &QCheckBox::toggled, this, changed);
    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4})
        connect(e, &QLineEdit::textEdited, this, changed);
    // At most one header kind from the dialog; the option file may hold both.
    connect(CkBoxFilePath, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            CkBoxFileName->setChecked(false);
    });
    connect(CkBoxFileName, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            CkBoxFilePath->setChecked(false);
    });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, [this] { pageSetup(printer()); });

    pageSetup = [this](QPrinter& p) {
        QPageSetupDialog d(&p, this);
        d.exec();
    };
}

TPrintCtrlDlg::~TPrintCtrlDlg() = default;

QPrinter& TPrintCtrlDlg::printer() {
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

QPoint TPrintCtrlDlg::placement(const QRect& main, const QSize& size) {
    int top = main.top() + main.height() / 2 - size.height() / 2;
    if (top < 0)
        top = main.top();
    int left = main.left() + main.width() / 2 - size.width() / 2;
    if (left < 0)
        left = main.left();
    return {left, top};
}

int TPrintCtrlDlg::showOver(const QRect& mainWindow) {
    move(placement(mainWindow, frameGeometry().size()));
    fillControls();
    return exec();
}

void TPrintCtrlDlg::fillControls() {
    // Both header boxes are set as stored; the exclusion acts on the
    // operator's clicks only.
    for (QCheckBox* b : {CkBoxFilePath, CkBoxFileName, CkBoxPageNum, CkBoxLineNo})
        b->blockSignals(true);
    CkBoxFilePath->setChecked(m_settings.fullPath);
    CkBoxFileName->setChecked(m_settings.fileName);
    CkBoxPageNum->setChecked(m_settings.page);
    CkBoxLineNo->setChecked(m_settings.lineNo);
    for (QCheckBox* b : {CkBoxFilePath, CkBoxFileName, CkBoxPageNum, CkBoxLineNo})
        b->blockSignals(false);
    Edit1->setText(QString::number(m_settings.leftMargin));
    Edit2->setText(QString::number(m_settings.topMargin));
    Edit3->setText(QString::number(m_settings.bottomMargin));
    Edit4->setText(QString::number(m_settings.rightMargin));
    Button1->setEnabled(false);
}

bool TPrintCtrlDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* edit = qobject_cast<QLineEdit*>(watched);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!edit)
        return false;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        return edit->text().isEmpty(); // an empty field holds Enter back
    if (key->key() == Qt::Key_Backspace)
        return false;
    const QString text = key->text();
    // Keys that type nothing (arrows, Tab, Delete) move and edit as usual;
    // of the typed ones only digits get through.
    if (text.isEmpty() || !text.at(0).isPrint())
        return (key->modifiers() & Qt::ControlModifier) && !text.isEmpty();
    return !(text.size() == 1 && text.at(0) >= u'0' && text.at(0) <= u'9');
}

void TPrintCtrlDlg::Button1Click() {
    m_settings.fullPath = CkBoxFilePath->isChecked();
    m_settings.fileName = CkBoxFileName->isChecked();
    m_settings.page = CkBoxPageNum->isChecked();
    m_settings.lineNo = CkBoxLineNo->isChecked();
    m_settings.leftMargin = marginOf(Edit1);
    m_settings.topMargin = marginOf(Edit2);
    m_settings.bottomMargin = marginOf(Edit3);
    m_settings.rightMargin = marginOf(Edit4);
    QString why;
    if (!PrintSettingsStore(m_iniPath).save(m_settings, &why) && saveFailed)
        saveFailed(m_iniPath, why);
    accept();
}

void TPrintCtrlDlg::done(int result) {
    platform::writeDialogPosition(m_iniPath, PositionSection, pos());
    QDialog::done(result);
}

} // namespace tornyx
