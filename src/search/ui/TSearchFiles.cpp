#include "search/ui/TSearchFiles.h"

#include "platform/DialogPosition.h"
#include "search/ui/BusyIndicator.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

#include <set>

namespace tornyx {

namespace {

const QString PositionSection = QStringLiteral("FileSearchPos");
constexpr int PathRole = Qt::UserRole;
constexpr int LineRole = Qt::UserRole + 1;
constexpr int SummaryNames = 20;

// Letters typed or pasted into the box become upper case, as NC text is.
class UpperCase : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        input = input.toUpper();
        return Acceptable;
    }
};

QComboBox* historyBox(QWidget* parent, const char* name, bool upperCase) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(SearchHistory::Size);
    box->setMinimumWidth(360);
    box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (upperCase)
        box->lineEdit()->setValidator(new UpperCase(box));
    return box;
}

QStringList itemsOf(const QComboBox* box) {
    QStringList l;
    for (int i = 0; i < box->count(); ++i)
        l << box->itemText(i);
    return l;
}

// Items replaced in place and further ones appended; the text is the first.
void fillHistory(QComboBox* box, const QStringList& history, const QString& fallback) {
    for (int i = 0; i < history.size(); ++i) {
        if (i < box->count())
            box->setItemText(i, history[i]);
        else
            box->addItem(history[i]);
    }
    box->setEditText(history.isEmpty() ? fallback : history.front());
}

} // namespace

QString skippedSummary(const std::vector<Skipped>& skipped) {
    QString s = QStringLiteral(u"次のﾌｧｲﾙ･ﾌｫﾙﾀﾞは検索できませんでした｡");
    const int shown = std::min<int>(SummaryNames, static_cast<int>(skipped.size()));
    for (int i = 0; i < shown; ++i)
        s += u'\n' + skipped[i].path + QStringLiteral(u"  (") + skipped[i].reason + u')';
    if (skipped.size() > static_cast<size_t>(shown))
        s += QStringLiteral(u"\nほか") + QString::number(skipped.size() - shown) + QStringLiteral(u"件");
    return s;
}

// The dialog's side of a running search.
class TSearchFiles::Host : public SearchHost {
public:
    explicit Host(TSearchFiles& d) : m_d(d) {}
    void found(const SearchHit& hit) override {
        auto* item = new QListWidgetItem(resultEntry(hit));
        item->setData(PathRole, hit.path);
        item->setData(LineRole, hit.line);
        m_d.ListBox1->addItem(item);
    }
    void invalidMask(const QString& pattern) override {
        // Once for each pattern of a search: the same box for every file of
        // a large tree would hold the operator up for hours.
        if (m_told.insert(pattern).second)
            m_d.warn(text::invalidMask(pattern));
    }
    bool pump() override {
        QCoreApplication::processEvents();
        return m_d.m_abort;
    }

private:
    TSearchFiles& m_d;
    std::set<QString> m_told;
};

TSearchFiles::TSearchFiles(QString iniPath, QWidget* parent)
    : QDialog(parent), m_iniPath(std::move(iniPath)) {
    setObjectName("SearchFiles");
    setWindowTitle(QStringLiteral(u"ﾌｧｲﾙ検索"));

    auto* column = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    ComboBoxStr = historyBox(this, "ComboBoxStr", true);
    // Folder names on this system tell letter case apart: the folder keeps
    // what was typed.
    ComboBoxDir = historyBox(this, "ComboBoxDir", false);
    ComboBoxFile = historyBox(this, "ComboBoxFile", true);
    therDir = new QPushButton(QStringLiteral(u"参照..."), this);
    therDir->setObjectName("therDir");
    therDir->setAutoDefault(false);
    auto label = [&](const QString& caption, QWidget* buddy, int row) {
        auto* l = new QLabel(caption, this);
        l->setBuddy(buddy);
        grid->addWidget(l, row, 0);
        grid->addWidget(buddy, row, 1);
    };
    label(QStringLiteral(u"検索文字"), ComboBoxStr, 0);
    label(QStringLiteral(u"対象ﾌｫﾙﾀﾞ"), ComboBoxDir, 1);
    grid->addWidget(therDir, 1, 2);
    label(QStringLiteral(u"対象ﾌｧｲﾙ"), ComboBoxFile, 2);
    column->addLayout(grid);

    CheckBoxSubDir = new QCheckBox(QStringLiteral(u"ｻﾌﾞﾌｫﾙﾀﾞも検索を行う"), this);
    CheckBoxSubDir->setObjectName("CheckBoxSubDir");
    CheckBoxSubDir->setChecked(true);
    CheckBox1 = new QCheckBox(QStringLiteral(u"検索文字が１つでも有れば次ﾌｧｲﾙに進む"), this);
    CheckBox1->setObjectName("CheckBox1");
    auto* checks = new QHBoxLayout;
    checks->addWidget(CheckBoxSubDir);
    checks->addWidget(CheckBox1);
    checks->addStretch(1);
    column->addLayout(checks);

    auto* buttons = new QHBoxLayout;
    Animate1 = new BusyIndicator(this);
    Animate1->setObjectName("Animate1");
    Animate1->hide();
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral(u"戻る"), this);
    CancelBtn->setObjectName("CancelBtn");
    CancelBtn->setAutoDefault(false);
    buttons->addWidget(Animate1);
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    column->addLayout(buttons);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setUniformItemSizes(true);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ListBox1->setMinimumHeight(200);
    column->addWidget(ListBox1, 1);
    resize(640, 440);

    connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
    connect(CancelBtn, &QPushButton::clicked, this, [this] { CancelBtnClick(); });
    connect(therDir, &QPushButton::clicked, this, [this] { therDirClick(); });
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* i) { openItem(i); });

    chooseFolder = [this](const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(this, title, start);
    };
    warn = [this](const QString& text) { QMessageBox::warning(this, QStringLiteral("Tornyx"), text); };
    beep = [] { QApplication::beep(); };
}

int TSearchFiles::showOver(const QRect& mainWindow) {
    move(platform::readDialogPosition(m_iniPath, PositionSection, mainWindow.topLeft() + QPoint(10, 10)));
    return exec();
}

void TSearchFiles::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    loadHistories();
    ListBox1->clear();
    Animate1->stop();
    CancelBtn->setText(QStringLiteral(u"戻る"));
    ComboBoxStr->setFocus();
    ComboBoxStr->lineEdit()->selectAll();
}

void TSearchFiles::loadHistories() {
    const SearchHistory h = SearchHistoryStore(m_iniPath).load();
    fillHistory(ComboBoxStr, h.texts, QString());
    fillHistory(ComboBoxDir, h.folders, m_defaultFolder);
    fillHistory(ComboBoxFile, h.patterns, QString());
}

void TSearchFiles::setControlsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{ComboBoxStr, ComboBoxDir, ComboBoxFile, therDir,
                                                      CheckBoxSubDir, OKBtn})
        w->setEnabled(enabled);
}

void TSearchFiles::therDirClick() {
    const QString start = m_profileFolder.isEmpty() ? ComboBoxDir->currentText() : m_profileFolder;
    const QString chosen = chooseFolder(QStringLiteral(u"検索ﾌｫﾙﾀﾞ ") + m_profileFolder, start);
    if (!chosen.isEmpty())
        ComboBoxDir->setEditText(QDir::toNativeSeparators(chosen));
}

void TSearchFiles::OKBtnClick() {
    if (m_searching)
        return;
    const QString text = ComboBoxStr->currentText().toUpper();
    const QString folder = ComboBoxDir->currentText().trimmed();
    const QString patterns = ComboBoxFile->currentText().toUpper();
    if (text.isEmpty() || folder.isEmpty() || patterns.trimmed().isEmpty()) {
        beep();
        return;
    }
    m_searching = true;
    m_abort = false;
    m_pendingOpen.reset();
    CancelBtn->setText(QStringLiteral(u"中止"));
    Animate1->start();
    ListBox1->clear();
    setControlsEnabled(false);

    SearchHistory h;
    h.texts = withNewest(itemsOf(ComboBoxStr), text);
    h.folders = withNewest(itemsOf(ComboBoxDir), folder);
    h.patterns = withNewest(itemsOf(ComboBoxFile), patterns);
    for (auto [box, list, shown] : {std::tuple{ComboBoxStr, &h.texts, text},
                                    {ComboBoxDir, &h.folders, folder},
                                    {ComboBoxFile, &h.patterns, patterns}}) {
        box->clear();
        box->addItems(*list);
        box->setEditText(shown);
    }
    // The history is a convenience: a file that cannot be written stops no search.
    SearchHistoryStore(m_iniPath).save(h);

    SearchRequest r;
    r.text = text;
    r.folder = folder;
    r.patterns = splitPatterns(patterns);
    r.subfolders = CheckBoxSubDir->isChecked();
    r.firstHitOnly = CheckBox1->isChecked();
    r.pumpInterval = std::chrono::milliseconds(pumpIntervalMs);
    Host host(*this);
    m_outcome = searchFiles(r, host);

    setControlsEnabled(true);
    m_searching = false;
    m_abort = false;
    Animate1->stop();
    CancelBtn->setText(QStringLiteral(u"戻る"));
    if (m_pendingOpen) {
        const auto [path, line] = *m_pendingOpen;
        m_pendingOpen.reset();
        if (openHit && openHit(path, line))
            accept();
        return;
    }
    if (!m_outcome.skipped.empty())
        warn(skippedSummary(m_outcome.skipped));
}

void TSearchFiles::CancelBtnClick() {
    if (!m_searching) {
        reject();
        return;
    }
    m_abort = true;
    Animate1->stop();
    CancelBtn->setText(QStringLiteral(u"戻る"));
}

void TSearchFiles::reject() {
    // Escape or the window's close button during a search stop the search;
    // the dialog stays for its results.
    if (m_searching) {
        CancelBtnClick();
        return;
    }
    QDialog::reject();
}

void TSearchFiles::ListBox1DblClick() {
    openItem(ListBox1->currentItem());
}

void TSearchFiles::openItem(QListWidgetItem* item) {
    if (ListBox1->count() == 0 || !item)
        return;
    const QString path = item->data(PathRole).toString();
    const qint64 line = item->data(LineRole).toLongLong();
    if (m_searching) {
        m_pendingOpen = {path, line};
        CancelBtnClick();
        return;
    }
    if (openHit && openHit(path, line))
        accept();
}

void TSearchFiles::done(int result) {
    setControlsEnabled(true);
    m_abort = false;
    platform::writeDialogPosition(m_iniPath, PositionSection, pos());
    QDialog::done(result);
}

} // namespace tornyx
