#include "receive/ui/TReadForm.h"

#include "editor/DocumentFile.h"
#include "platform/IniFile.h"
#include "receive/SplitSave.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tornyx {

namespace {

const QString Section = QStringLiteral("Sub");
constexpr int LineRole = Qt::UserRole;
constexpr int TextRole = Qt::UserRole + 1;
// The progress bar follows the walk and the windows repaint, a few dozen
// times a second at most.
class BarProgress : public SplitProgress {
public:
    BarProgress(QProgressBar* bar, int intervalMs) : m_bar(bar), m_intervalMs(intervalMs) { m_since.start(); }
    bool reached(int line) override {
        if (m_since.elapsed() < m_intervalMs)
            return false;
        m_bar->setValue(line);
        QCoreApplication::processEvents();
        m_since.restart();
        return true;
    }

private:
    QProgressBar* m_bar;
    int m_intervalMs;
    QElapsedTimer m_since;
};

} // namespace

TReadForm::TReadForm(QString optionFile, ReadFormHost& host, QWidget* parent)
    : QDialog(parent), m_optionFile(std::move(optionFile)), m_host(host) {
    setObjectName("ReadForm");
    setModal(false);
    auto* top = new QVBoxLayout(this);

    auto* menuBar = new QMenuBar(this);
    OP1 = menuBar->addMenu(QStringLiteral(u"分割保存ｵﾌﾟｼｮﾝ"));
    OP1->setObjectName("OP1");
    auto toggle = [this](const char* name, const char16_t* text) {
        QAction* a = OP1->addAction(QString::fromUtf16(text));
        a->setObjectName(name);
        a->setCheckable(true);
        return a;
    };
    op_f = toggle("op_f", u"先頭に％付加");
    op_b = toggle("op_b", u"末尾に％付加");
    op_n = toggle("op_n", u"保存時連番付加");
    top->setMenuBar(menuBar);

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    top->addWidget(Label1);
    CheckListBox1 = new QListWidget(this);
    CheckListBox1->setObjectName("CheckListBox1");
    top->addWidget(CheckListBox1, 1);

    auto button = [this](const char* name, const char16_t* text) {
        auto* b = new QPushButton(QString::fromUtf16(text), this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    Button4 = button("Button4", u"全選択");
    Button3 = button("Button3", u"選択解除");
    Button1 = button("Button1", u"選択保存");
    Button5 = button("Button5", u"選択送信");
    Button2 = button("Button2", u"中止");
    Button6 = button("Button6", u"中止");
    auto* ticks = new QHBoxLayout;
    ticks->addWidget(Button4);
    ticks->addWidget(Button3);
    top->addLayout(ticks);
    auto* actions = new QHBoxLayout;
    for (QPushButton* b : {Button1, Button5, Button2, Button6})
        actions->addWidget(b);
    top->addLayout(actions);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setTextVisible(false);
    top->addWidget(ProgressBar1);

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { reject(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
    connect(Button6, &QPushButton::clicked, this, [this] { reject(); });
    resize(360, 420);
}

QPoint TReadForm::placement(const QRect& w, const QSize& own) {
    int top = w.top() + w.height() / 2 - own.height() / 2;
    if (top < 0)
        top = w.top();
    int left = w.left() + w.width() / 2 - own.width() / 2;
    if (left < 0)
        left = w.left();
    return {left, top};
}

void TReadForm::openForSplit(const QStringList& entries, const QRect& mainWindow) {
    if (m_host.editorText().length() == 0)
        return;
    setWindowTitle(QStringLiteral(u"分割保存"));
    Label1->setText(QStringLiteral(u"ﾁｪｯｸを外すとﾌｧｲﾙ作成されません｡"));
    open(Mode::Split, headersFromIndex(entries), entries, mainWindow);
}

void TReadForm::openForSend(const QList<ProgramHeader>& programs, const QString& note,
                            const QRect& mainWindow) {
    setWindowTitle(QStringLiteral(u"選択送信"));
    Label1->setText(note);
    QStringList shown;
    for (const ProgramHeader& p : programs)
        shown << p.text;
    open(Mode::Send, programs, shown, mainWindow);
}

void TReadForm::open(Mode mode, const QList<ProgramHeader>& programs, const QStringList& shown,
                     const QRect& mainWindow) {
    m_mode = mode;
    const bool split = mode == Mode::Split;
    Button1->setVisible(split);
    Button2->setVisible(split);
    Button5->setVisible(!split);
    Button6->setVisible(!split);
    // The options shape the split files only.
    OP1->menuAction()->setVisible(split);

    CheckListBox1->clear();
    for (qsizetype i = 0; i < programs.size(); ++i) {
        auto* item = new QListWidgetItem(shown[i], CheckListBox1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        item->setData(LineRole, programs[i].line);
        item->setData(TextRole, programs[i].text);
    }

    readSettings();
    setSplitControlsEnabled(true);
    const bool any = CheckListBox1->count() > 0;
    for (QPushButton* b : {Button1, Button3, Button4, Button5})
        b->setEnabled(any);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    move(placement(mainWindow, size()));

    m_open = true;
    m_host.setMainWindowEnabled(false);
    // A window stays usable when its parent is disabled only if it is
    // enabled explicitly.
    setEnabled(true);
    show();
    raise();
    activateWindow();
}

void TReadForm::readSettings() {
    platform::IniFile ini(m_optionFile);
    ini.load();
    m_dirPath = ini.readString(Section, "DirPath", "C:");
    op_f->setChecked(ini.readInteger(Section, "F_Set", 0) != 0);
    op_b->setChecked(ini.readInteger(Section, "B_Set", 0) != 0);
    op_n->setChecked(ini.readInteger(Section, "N_Set", 0) != 0);
}

void TReadForm::setAllTicked(bool ticked) {
    for (int i = 0; i < CheckListBox1->count(); ++i)
        CheckListBox1->item(i)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

void TReadForm::Button3Click() {
    setAllTicked(false);
}
void TReadForm::Button4Click() {
    setAllTicked(true);
}

QList<ProgramHeader> TReadForm::uncheckedPrograms(int* ticked) const {
    QList<ProgramHeader> out;
    *ticked = 0;
    for (int i = 0; i < CheckListBox1->count(); ++i) {
        const QListWidgetItem* item = CheckListBox1->item(i);
        if (item->checkState() == Qt::Checked)
            ++*ticked;
        else
            out.append({item->data(LineRole).toInt(), item->data(TextRole).toString()});
    }
    return out;
}

void TReadForm::setSplitControlsEnabled(bool enabled) {
    for (QPushButton* b : {Button1, Button2, Button3, Button4})
        b->setEnabled(enabled);
    CheckListBox1->setEnabled(enabled);
    OP1->setEnabled(enabled);
}

void TReadForm::Button1Click() {
    if (m_splitting)
        return;
    const std::optional<QString> folder =
        m_host.chooseFolder(this, splittext::folderCaption(m_dirPath), m_dirPath);
    if (!folder)
        return;
    m_dirPath = *folder;
    const bool wasModified = m_host.isModified();
    int ticked = 0;
    ExcludedPrograms unticked;
    for (const ProgramHeader& p : uncheckedPrograms(&ticked))
        unticked.add(p);
    if (ticked == 0) {
        m_host.showError(this, splittext::nothingTicked());
        return;
    }
    const IndexedText& text = m_host.editorText();
    if (const qsizetype bad = unmappableCharacters(text);
        bad > 0 && !m_host.warningYesNo(this, text::unmappableQuestion(bad)))
        return;

    setSplitControlsEnabled(false);
    ProgressBar1->setRange(0, std::max(1, text.lineCount()));
    ProgressBar1->setValue(0);
    const SplitSettings settings{m_dirPath, documentExtension(m_host.documentPath()), op_f->isChecked(),
                                 op_b->isChecked(), op_n->isChecked()};
    BarProgress progress(ProgressBar1, m_repaintMs);
    m_splitting = true;
    const SplitResult result = splitPrograms(text, unticked, settings, &progress);
    m_splitting = false;
    ProgressBar1->setValue(ProgressBar1->maximum());

    if (!result.ok()) {
        m_host.showError(this, splittext::stopped(result));
        setSplitControlsEnabled(true);
        ProgressBar1->setValue(0);
        return;
    }
    if (const QString report = splittext::renamedReport(result); !report.isEmpty())
        m_host.informationBox(this, report);
    m_host.setMainWindowEnabled(true);
    m_host.splitDone(wasModified);
    accept();
}

void TReadForm::Button5Click() {
    int ticked = 0;
    ExcludedPrograms excluded;
    for (const ProgramHeader& p : uncheckedPrograms(&ticked))
        excluded.add(p);
    if (ticked == 0) {
        m_host.showError(this, splittext::nothingToSend());
        return;
    }
    Button1->setEnabled(false);
    Button2->setEnabled(false);
    QDialog::accept();
    m_host.sendSelected(excluded);
}

void TReadForm::reject() {
    if (m_splitting)
        return;
    const bool wasOpen = m_open;
    QDialog::reject();
    // However the selective send is given up, the window must come back
    // from its transfer state.
    if (wasOpen && m_mode == Mode::Send)
        m_host.sendCancelled();
}

void TReadForm::closeEvent(QCloseEvent* e) {
    if (m_splitting) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

void TReadForm::done(int result) {
    QDialog::done(result);
    if (!m_open)
        return;
    m_open = false;
    platform::IniFile ini(m_optionFile);
    ini.load();
    ini.writeInteger(Section, "Left", x());
    ini.writeInteger(Section, "Top", y());
    ini.writeString(Section, "DirPath", m_dirPath);
    ini.writeInteger(Section, "F_Set", op_f->isChecked() ? 1 : 0);
    ini.writeInteger(Section, "B_Set", op_b->isChecked() ? 1 : 0);
    ini.writeInteger(Section, "N_Set", op_n->isChecked() ? 1 : 0);
    QString error;
    const bool saved = ini.save(&error);
    m_host.setMainWindowEnabled(true);
    m_host.dialogClosed();
    // The options decide the "%" lines of the next split; losing them
    // silently would change the files.
    if (!saved)
        m_host.showError(parentWidget(), text::writeFailed(m_optionFile, error));
}

} // namespace tornyx
