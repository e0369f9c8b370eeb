#include "dnc/ui/TDncForm.h"

#include "platform/IniFile.h"
#include "platform/Paths.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tornyx {

namespace {
const QString NoChoice =
    QStringLiteral(u"ｽﾀｰﾄﾌﾟﾛｸﾞﾗﾑ番号が選択されていません｡\nDNC送信を中止しますか「はい(Y)」");
// With the row of the restart and budget buttons under the original ones.
constexpr int ShortHeight = 180;
constexpr int TallHeight = 400;
const QString PositionSection = QStringLiteral("DncPos");
} // namespace

TDncForm::TDncForm(QWidget* parent, QString optionFile)
    : QDialog(parent), m_optionFile(std::move(optionFile)) {
    setObjectName("DncForm");
    setWindowTitle(QStringLiteral(u"ＤＮＣ設定画面"));
    auto* top = new QVBoxLayout(this);
    auto* label1 = new QLabel(QStringLiteral(u"スタートプログラム番号を選択して下さい。"), this);
    label1->setObjectName("Label1");
    top->addWidget(label1);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    top->addWidget(ComboBox1);
    auto* buttons = new QHBoxLayout;
    Button1 = new QPushButton(QStringLiteral(u"開始"), this);
    Button2 = new QPushButton(QStringLiteral(u"中止"), this);
    Button3 = new QPushButton(QStringLiteral(u"ﾃﾞｰﾀﾁｪｯｸ"), this);
    Button1->setObjectName("Button1");
    Button2->setObjectName("Button2");
    Button3->setObjectName("Button3");
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    top->addLayout(buttons);
    auto* more = new QHBoxLayout;
    Button5 = new QPushButton(QStringLiteral(u"途中再開"), this);
    Button6 = new QPushButton(QStringLiteral(u"送信ﾁｪｯｸ"), this);
    Button5->setObjectName("Button5");
    Button6->setObjectName("Button6");
    Button5->setToolTip(QStringLiteral(u"ｽﾀｰﾄﾌﾟﾛｸﾞﾗﾑの途中のﾌﾞﾛｯｸから再開します。"));
    Button6->setToolTip(QStringLiteral(u"回線の速度でﾃﾞｰﾀの供給が間に合うか調べます。"));
    more->addWidget(Button5);
    more->addWidget(Button6);
    more->addStretch();
    top->addLayout(more);
    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName("GroupBox1");
    auto* group = new QVBoxLayout(GroupBox1);
    Label2 = new QLabel(GroupBox1);
    Label2->setObjectName("Label2");
    CheckListBox1 = new QListWidget(GroupBox1);
    CheckListBox1->setObjectName("CheckListBox1");
    Button4 = new QPushButton(QStringLiteral(u"ﾌｧｲﾙ追加"), GroupBox1);
    Button4->setObjectName("Button4");
    group->addWidget(Label2);
    group->addWidget(CheckListBox1);
    group->addWidget(Button4);
    top->addWidget(GroupBox1);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    top->addWidget(ProgressBar1);

    connect(ComboBox1, &QComboBox::activated, this, [this] {
        Button1->setEnabled(true);
        Button5->setEnabled(true);
        Button6->setEnabled(bool(budgetCheck));
    });
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    Button4->setEnabled(false);
}

QPoint TDncForm::placement(const QRect& w, int width) {
    int top = w.top() + w.height() / 2 - 185;
    if (top < 0)
        top = w.top();
    int left = w.left() + w.width() / 2 - width / 2;
    if (left < 0)
        left = w.left();
    return {left, top};
}

std::optional<int> TDncForm::choose(const QStringList& entries, const QRect& mainWindow) {
    ComboBox1->clear();
    ComboBox1->addItems(entries);
    ComboBox1->setCurrentIndex(-1);
    m_startLine = 0;
    m_restart = false;
    resize(width(), ShortHeight);
    ProgressBar1->hide();
    GroupBox1->hide();
    Button1->setEnabled(false);
    Button5->setEnabled(false);
    Button6->setEnabled(false);
    Button3->setEnabled(true);
    CheckListBox1->clear();
    move(placement(mainWindow, width()));
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return m_startLine;
}

void TDncForm::Button1Click() {
    const QString text = ComboBox1->currentText();
    if (text.isEmpty()) {
        if (askYesNo && askYesNo(NoChoice)) {
            m_startLine = 0;
            accept();
        } else {
            ComboBox1->setFocus();
        }
        return;
    }
    bool ok = false;
    const int line = text.left(5).toInt(&ok);
    m_startLine = ok ? line : 0;
    accept();
}

int TDncForm::chosenLine() const {
    bool ok = false;
    const int line = ComboBox1->currentText().left(5).toInt(&ok);
    return ok ? line : 0;
}

void TDncForm::Button5Click() {
    // A restart belongs to a start program: its run decides the call
    // levels at the block.
    m_startLine = chosenLine();
    if (m_startLine <= 0)
        return;
    m_restart = true;
    accept();
}

void TDncForm::Button6Click() {
    const int line = chosenLine();
    if (line > 0 && budgetCheck)
        budgetCheck(line);
}

void TDncForm::Button3Click() {
    if (!m_source.lineCount)
        return;
    Button3->setEnabled(false);
    Button4->setEnabled(false);
    resize(width(), TallHeight);
    ProgressBar1->show();
    GroupBox1->show();
    CheckListBox1->clear();
    const int lines = m_source.lineCount();
    ProgressBar1->setRange(0, std::max(lines, 1));
    Label2->setText(QStringLiteral(u"M98,M198,G65を検索中です｡"));
    QCoreApplication::processEvents();
    const QStringList entries = m_source.entries ? m_source.entries() : QStringList();
    const QList<dnc::CallEntry> calls =
        dnc::dataCheck(lines, m_source.lineAt, entries.isEmpty() ? nullptr : &entries);
    Label2->setText(QStringLiteral(u"検索されたﾌﾟﾛｸﾞﾗﾑ番号の有無を確認中です｡"));
    QCoreApplication::processEvents();
    int missing = 0;
    for (const dnc::CallEntry& c : calls) {
        auto* item = new QListWidgetItem(c.text(), CheckListBox1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(c.found ? Qt::Checked : Qt::Unchecked);
        if (!c.found)
            ++missing;
    }
    ProgressBar1->setValue(ProgressBar1->maximum());
    if (missing == 0) {
        Label2->setText(QStringLiteral(u"すべて見つかりました｡"));
        return;
    }
    Label2->setText(QString::number(missing) +
                    QStringLiteral(u"個のﾌﾟﾛｸﾞﾗﾑ番号が見つかりませんでした｡ﾌｧｲﾙを追加して下さい｡"));
    Button3->setEnabled(true);
    Button4->setEnabled(m_fileHost != nullptr);
}

void TDncForm::Button4Click() {
    if (!m_fileHost)
        return;
    const QString path = m_fileHost->chooseFile(this);
    if (path.isEmpty())
        return;
    if (!QFileInfo(path).isFile()) {
        m_fileHost->errorBox(this,
                             QStringLiteral(u"呼出ﾃﾞｰﾀ\n") + path + QStringLiteral(u"が見つかりません｡"));
        return;
    }
    Button4->setEnabled(false);
    m_fileHost->appendToDocument(path);
    m_fileHost->waitForIndex();
    ComboBox1->clear();
    ComboBox1->addItems(m_source.entries ? m_source.entries() : QStringList());
    ComboBox1->setCurrentIndex(-1);
    // The appended text came from a file; it is no edit of the document.
    m_fileHost->clearModified();
    CheckListBox1->clear();
    Label2->clear();
    Button1->setEnabled(false);
    Button5->setEnabled(false);
    Button6->setEnabled(false);
}

void TDncForm::done(int result) {
    if (!m_optionFile.isEmpty()) {
        platform::IniFile ini(m_optionFile);
        ini.load();
        ini.writeInteger(PositionSection, "Left", x());
        ini.writeInteger(PositionSection, "Top", y());
        // A position that cannot be written is not worth a message to the operator.
        ini.save();
    }
    QDialog::done(result);
}

} // namespace tornyx
