#include "nc/ui/TBudgetForm.h"

#include "nc/RestartPlan.h"
#include "nc/ui/FormPosition.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tornyx {

namespace {

const QString PositionSection = QStringLiteral("BudgetPos");

using Report = nc::BudgetReport;

QString count(std::int64_t n) {
    return QLocale::c().toString(qlonglong(n));
}

QString share(double s) {
    return QString::number(100 * s, 'f', 1) + '%';
}

QTableWidget* table(QWidget* parent, const QStringList& headers) {
    auto* t = new QTableWidget(0, int(headers.size()), parent);
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return t;
}

// Figures stand right-aligned; the first column and texts (from textFrom on)
// stand left.
void addRow(QTableWidget* t, const QStringList& cells, int textFrom = 99) {
    const int row = t->rowCount();
    t->insertRow(row);
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        if (c > 0 && c < textFrom)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        t->setItem(row, c, item);
    }
}

} // namespace

TBudgetForm::TBudgetForm(QWidget* parent, QString optionFile)
    : QDialog(parent), m_optionFile(std::move(optionFile)) {
    setObjectName("BudgetForm");
    setWindowTitle(QStringLiteral(u"ＤＮＣ送信ﾁｪｯｸ画面"));
    auto* top = new QVBoxLayout(this);
    Label1 = new QLabel(this);
    Label2 = new QLabel(this);
    Label2->setWordWrap(true);
    top->addWidget(Label1);
    top->addWidget(Label2);
    top->addWidget(
        new QLabel(QStringLiteral(u"送信が間に合わない所 (遅れの大きい順､行をﾀﾞﾌﾞﾙｸﾘｯｸで表示)"), this));
    Grid1 = table(this, {QStringLiteral(u"行"), QStringLiteral(u"通過"), QStringLiteral(u"ﾌﾞﾛｯｸ"),
                         QStringLiteral(u"送り速度"), QStringLiteral(u"平均移動量"),
                         QStringLiteral(u"必要文字/秒"), QStringLiteral(u"遅れ")});
    Grid1->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    top->addWidget(Grid1, 2);
    top->addWidget(new QLabel(QStringLiteral(u"ﾌﾞﾛｯｸを短くするﾌｨﾙﾀの効果"), this));
    Grid2 = table(this, {QStringLiteral(u"ﾌｨﾙﾀ"), QStringLiteral(u"文字数"), QStringLiteral(u"送信時間"),
                         QStringLiteral(u"遅いﾌﾞﾛｯｸ"), QStringLiteral(u"設定場所")});
    Grid2->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);
    top->addWidget(Grid2, 2);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
    top->addWidget(ProgressBar1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    Button1 = new QPushButton(QStringLiteral(u"閉じる"), this);
    Button1->setObjectName("Button1");
    buttons->addWidget(Button1);
    top->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, [this] {
        if (m_reading)
            m_cancel = true;
        else
            accept();
    });
    connect(Grid1, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (showLine && row < int(m_report.worst.size()))
            showLine(m_report.worst[size_t(row)].firstLine);
    });
    resize(760, 560);
}

bool TBudgetForm::estimate(const IndexedText& text, const nc::BudgetSettings& settings) {
    m_reading = true;
    m_cancel = false;
    Button1->setText(QStringLiteral(u"中止"));
    Label2->setText(QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑを読んでいます｡"));
    Grid1->setRowCount(0);
    Grid2->setRowCount(0);
    ProgressBar1->show();
    nc::BudgetSettings s = settings;
    s.scan.progress = [this](std::int64_t blocks) {
        ProgressBar1->setValue(int(blocks / 65536) % 100);
        QCoreApplication::processEvents();
        return !m_cancel;
    };
    nc::TextLines lines(text);
    m_report = nc::estimateBudget(lines, s);
    m_reading = false;
    Button1->setText(QStringLiteral(u"閉じる"));
    ProgressBar1->hide();
    fill(settings);
    return !m_report.cancelled;
}

void TBudgetForm::fill(const nc::BudgetSettings& settings) {
    const Report& r = m_report;
    Label1->setText(QStringLiteral(u"通信: ") + settings.rate.text() +
                    QStringLiteral(u" (%1文字/秒)").arg(r.charsPerSecond, 0, 'f', 1));
    if (r.cancelled) {
        Label2->setText(QStringLiteral(u"中止しました｡"));
        return;
    }
    const Report::Totals& now = r.totals[Report::Current];
    QString text = QStringLiteral(u"ﾌﾞﾛｯｸ数 %1 (移動 %2､時間の分からない移動 %3)\n送信時間 %4 / 実行時間 %5\n"
                                  u"送信が実行より遅いﾌﾞﾛｯｸ %6")
                       .arg(count(r.blocks), count(r.motionBlocks), count(r.unknownBlocks),
                            nc::durationText(now.deliverySeconds), nc::durationText(r.executionSeconds),
                            share(r.flaggedShare()));
    if (r.stop != nc::ProgramFlow::Stop::End)
        text +=
            QStringLiteral(u"\n行%1 で送信が止まります: ").arg(r.stopLine + 1) + nc::flowStopText(r.stop, {});
    text +=
        now.flagged > 0
            ? QStringLiteral(u"\n→ ﾃﾞｰﾀの供給が間に合わない所があります｡NC機が止まって待つ恐れがあります｡")
            : QStringLiteral(u"\n→ ﾃﾞｰﾀの供給は間に合います｡");
    Label2->setText(text);

    for (const nc::BudgetRegion& g : r.worst) {
        const QString lines = g.firstLine == g.lastLine
                                  ? QString::number(g.firstLine + 1)
                                  : QStringLiteral("%1-%2").arg(g.firstLine + 1).arg(g.lastLine + 1);
        const QString feed =
            g.minFeed == g.maxFeed
                ? QStringLiteral("F%1").arg(g.minFeed, 0, 'f', 0)
                : QStringLiteral("F%1-%2").arg(g.minFeed, 0, 'f', 0).arg(g.maxFeed, 0, 'f', 0);
        addRow(Grid1,
               {lines, QString::number(g.times), count(g.blocks), feed,
                QString::number(g.meanSegment(), 'f', 3), QString::number(g.neededCharsPerSecond(), 'f', 0),
                nc::durationText(g.deficitSeconds())});
    }

    struct Row {
        Report::Filter filter;
        QString name;
        QString where;
    };
    const Row rows[] = {
        {Report::Current, QStringLiteral(u"現在の設定"), QString()},
        {Report::SequenceNumbers, QStringLiteral(u"ｼｰｹﾝｽ番号を送信しない"),
         QStringLiteral(u"通信設定: ｼｰｹﾝｽ番号は送信しない(Y/N)")},
        {Report::Spaces, QStringLiteral(u"ｽﾍﾟｰｽを送信しない"),
         QStringLiteral(u"ｵﾌﾟｼｮﾝ: (送信)送信ﾃﾞｰﾀ内のｽﾍﾟｰｽは送信しない")},
        {Report::AfterSemicolon, QStringLiteral(u"；’以降の注釈を送信しない"),
         QStringLiteral(u"ｵﾌﾟｼｮﾝ: (送信)ﾃﾞｰﾀの注釈(；か’)以降も送信を行う をN")},
        {Report::Comments, QStringLiteral(u"( )の注釈を除いた場合"),
         QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑの編集 (送信ﾌｨﾙﾀはありません)")},
    };
    for (const Row& row : rows) {
        const Report::Totals& t = r.totals[row.filter];
        if (!r.available[row.filter]) {
            addRow(Grid2, {row.name, QString(), QString(), QString(), QStringLiteral(u"設定済み")}, 4);
            continue;
        }
        addRow(Grid2,
               {row.name, count(t.chars), nc::durationText(t.deliverySeconds),
                share(r.flaggedShare(row.filter)), row.where},
               4);
    }
}

void TBudgetForm::check(const IndexedText& text, const nc::BudgetSettings& settings,
                        const QRect& mainWindow) {
    centreOver(*this, mainWindow);
    // Shown while it reads (a long program takes a moment), modal from the
    // start: exec() cannot make a dialog that is already up modal.
    setModal(true);
    show();
    estimate(text, settings);
    exec();
}

void TBudgetForm::done(int result) {
    if (m_reading) {
        m_cancel = true;
        return;
    }
    storePosition(*this, m_optionFile, PositionSection);
    QDialog::done(result);
}

} // namespace tornyx
