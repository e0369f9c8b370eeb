#include "nc/ui/TRestartForm.h"

#include "nc/ui/FormPosition.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tornyx {

namespace {
const QString PositionSection = QStringLiteral("RestartPos");
const QString Rebuild = QStringLiteral(u"編集したﾍｯﾀﾞｰは作り直されます｡\nよろしいですか?");
} // namespace

TRestartForm::TRestartForm(QWidget* parent, QString optionFile)
    : QDialog(parent), m_optionFile(std::move(optionFile)) {
    setObjectName("RestartForm");
    setWindowTitle(QStringLiteral(u"途中再開画面"));
    auto* top = new QVBoxLayout(this);

    auto* start = new QHBoxLayout;
    m_startLabel = new QLabel(QStringLiteral(u"ｽﾀｰﾄﾌﾟﾛｸﾞﾗﾑ"), this);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    start->addWidget(m_startLabel);
    start->addWidget(ComboBox1, 1);
    top->addLayout(start);

    auto* choice = new QGroupBox(QStringLiteral(u"再開するﾌﾞﾛｯｸ"), this);
    auto* grid = new QGridLayout(choice);
    RadioButton1 = new QRadioButton(QStringLiteral(u"行番号"), choice);
    RadioButton2 = new QRadioButton(QStringLiteral(u"ｼｰｹﾝｽ番号 N"), choice);
    RadioButton3 = new QRadioButton(QStringLiteral(u"検索文字列"), choice);
    auto* group = new QButtonGroup(this);
    for (QRadioButton* r : {RadioButton1, RadioButton2, RadioButton3})
        group->addButton(r);
    SpinEdit1 = new QSpinBox(choice);
    SpinEdit1->setRange(1, 1);
    Edit1 = new QLineEdit(choice);
    Edit2 = new QLineEdit(choice);
    SpinEdit2 = new QSpinBox(choice);
    SpinEdit2->setRange(1, 9999);
    SpinEdit2->setSuffix(QStringLiteral(u" 番目"));
    SpinEdit3 = new QSpinBox(choice);
    SpinEdit3->setRange(1, 999999);
    SpinEdit3->setSuffix(QStringLiteral(u" 回目"));
    Button3 = new QPushButton(QStringLiteral(u"ﾍｯﾀﾞｰ作成"), choice);
    grid->addWidget(RadioButton1, 0, 0);
    grid->addWidget(SpinEdit1, 0, 1);
    grid->addWidget(RadioButton2, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(RadioButton3, 2, 0);
    grid->addWidget(Edit2, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral(u"ﾃﾞｰﾀ中の"), choice), 1, 2);
    grid->addWidget(SpinEdit2, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral(u"そのﾌﾞﾛｯｸを"), choice), 2, 2);
    grid->addWidget(SpinEdit3, 2, 3);
    grid->addWidget(new QLabel(QStringLiteral(u"に送信する所から"), choice), 2, 4);
    grid->addWidget(Button3, 0, 4);
    top->addWidget(choice);

    Label2 = new QLabel(this);
    Label2->setObjectName("Label2");
    Label2->setWordWrap(true);
    top->addWidget(Label2);

    top->addWidget(new QLabel(QStringLiteral(u"再開ﾍｯﾀﾞｰ (送信前に確認､修正して下さい)"), this));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    top->addWidget(Memo1, 3);

    top->addWidget(
        new QLabel(QStringLiteral(u"確認事項 (ｽｷｬﾝで分からなかった事､ﾍｯﾀﾞｰに入っていない事)"), this));
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName("ListBox1");
    top->addWidget(ListBox1, 2);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
    top->addWidget(ProgressBar1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    Button1 = new QPushButton(QStringLiteral(u"送信開始"), this);
    Button2 = new QPushButton(QStringLiteral(u"中止"), this);
    Button1->setObjectName("Button1");
    Button2->setObjectName("Button2");
    // Nothing goes out on a stray Enter: sending is a deliberate click.
    Button1->setAutoDefault(false);
    Button2->setAutoDefault(false);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    top->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { cancelOrClose(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Edit1, &QLineEdit::textEdited, this, [this] { RadioButton2->setChecked(true); });
    connect(Edit2, &QLineEdit::textEdited, this, [this] { RadioButton3->setChecked(true); });
    connect(SpinEdit1, &QSpinBox::valueChanged, this, [this] { RadioButton1->setChecked(true); });
    connect(ComboBox1, &QComboBox::activated, this, [this] { Button3Click(); });
    resize(620, 600);
}

std::optional<TRestartForm::Result> TRestartForm::choose(const Source& source, const QRect& mainWindow) {
    m_source = source;
    nc::TextLines lines(*m_source.text);
    SpinEdit1->setRange(1, std::max(1, lines.count()));
    SpinEdit1->setValue(m_source.caretLine + 1);
    RadioButton1->setChecked(true);
    SpinEdit2->setValue(1);
    SpinEdit3->setValue(1);
    // A send run reads the program that holds the block; a DNC run follows
    // the calls from its start program.
    ComboBox1->clear();
    ComboBox1->addItems(m_source.programs);
    int chosen = 0;
    for (int i = 0; i < m_source.programs.size(); ++i)
        if (entryLine(m_source.programs[i]) == m_source.settings.flow.startLine)
            chosen = i;
    ComboBox1->setCurrentIndex(m_source.programs.isEmpty() ? -1 : chosen);
    ComboBox1->setVisible(!m_source.programs.isEmpty());
    m_startLabel->setVisible(!m_source.programs.isEmpty());
    centreOver(*this, mainWindow);
    scan();
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return Result{m_plan, Memo1->toPlainText().split(u'\n', Qt::SkipEmptyParts)};
}

nc::RestartChoice TRestartForm::currentChoice() const {
    nc::RestartChoice c;
    c.pass = SpinEdit3->value();
    c.occurrence = SpinEdit2->value();
    if (RadioButton2->isChecked()) {
        c.kind = nc::RestartChoice::Sequence;
        QString n = Edit1->text().trimmed();
        if (n.startsWith(u'N', Qt::CaseInsensitive))
            n.remove(0, 1);
        bool ok = false;
        c.sequence = n.toLongLong(&ok);
        if (!ok)
            c.sequence = -1;
    } else if (RadioButton3->isChecked()) {
        c.kind = nc::RestartChoice::Text;
        c.text = Edit2->text().trimmed().toUpper().toUtf8();
    } else {
        c.line = SpinEdit1->value() - 1;
    }
    return c;
}

bool TRestartForm::progress(std::int64_t blocks) {
    ProgressBar1->setValue(int(blocks / 65536) % 100);
    QCoreApplication::processEvents();
    return !m_cancel;
}

void TRestartForm::scan() {
    const nc::RestartChoice c = currentChoice();
    if (c.kind == nc::RestartChoice::Text && c.text.isEmpty()) {
        Label2->setText(QStringLiteral(u"検索文字列を入力して下さい｡"));
        return;
    }
    if (c.kind == nc::RestartChoice::Sequence && c.sequence < 0) {
        Label2->setText(QStringLiteral(u"ｼｰｹﾝｽ番号を数字で入力して下さい｡"));
        return;
    }
    m_scanning = true;
    m_cancel = false;
    Button1->setEnabled(false);
    Button3->setEnabled(false);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->show();
    Label2->setText(QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑを読んでいます｡"));
    nc::ScanSettings settings = m_source.settings;
    settings.progress = [this](std::int64_t blocks) { return progress(blocks); };
    nc::TextLines lines(*m_source.text);
    if (!m_source.programs.isEmpty())
        settings.flow.startLine = std::max(1, entryLine(ComboBox1->currentText()));
    m_plan = nc::planRestart(lines, settings, m_source.headerTemplate, c);
    m_scanning = false;
    ProgressBar1->hide();
    Button3->setEnabled(true);

    ListBox1->clear();
    if (!m_plan.ok) {
        // Nothing of an earlier block stays on show: only a header the
        // operator sees for this block can go out.
        Label2->setText(m_plan.message);
        Memo1->clear();
        m_rendered.clear();
        Button1->setEnabled(false);
        return;
    }
    Label2->setText(QStringLiteral(u"再開ﾌﾞﾛｯｸ: ") + m_plan.summary);
    m_rendered = m_plan.header.lines.join(u'\n');
    Memo1->setPlainText(m_rendered);
    for (const nc::RestartNote& n : std::as_const(m_plan.header.notes))
        ListBox1->addItem(n.text);
    if (m_plan.header.notes.isEmpty())
        ListBox1->addItem(QStringLiteral(u"ありません"));
    Button1->setEnabled(true);
}

void TRestartForm::Button3Click() {
    if (Memo1->toPlainText() != m_rendered && !m_rendered.isEmpty() && askYesNo && !askYesNo(Rebuild))
        return;
    scan();
}

void TRestartForm::Button1Click() {
    if (!m_plan.ok)
        return;
    const QString problem = nc::checkHeader(Memo1->toPlainText().split(u'\n', Qt::SkipEmptyParts));
    if (!problem.isEmpty()) {
        if (errorBox)
            errorBox(problem);
        return;
    }
    accept();
}

void TRestartForm::cancelOrClose() {
    if (m_scanning) {
        m_cancel = true;
        return;
    }
    reject();
}

void TRestartForm::done(int result) {
    if (m_scanning) {
        m_cancel = true; // the scan ends at its next look at the flag
        return;
    }
    storePosition(*this, m_optionFile, PositionSection);
    QDialog::done(result);
}

} // namespace tornyx
