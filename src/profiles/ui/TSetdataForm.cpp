#include "profiles/ui/TSetdataForm.h"

#include "platform/DialogPlacement.h"
#include "platform/IniFile.h"
#include "platform/SystemCommands.h"
#include "status/TransferLog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include <tuple>

namespace tornyx {

namespace {

QString u(const char16_t* s) {
    return QString::fromUtf16(s);
}

const QString Title = u(u"通信設定");
const QString UnsavedQuestion = u(u"通信設定が変更されています｡\n保存せずに終了しますか？");
const QString NoPort = u(u"設定ﾎﾟｰﾄ無し");
const QString PositionSection = QStringLiteral("SetdataPos");
const QString MailTestTitle = u(u"ﾃｽﾄ送信");
const QString MailAddressCheck = u(u"ﾒｰﾙｱﾄﾞﾚｽ確認");
const QString RefusedTitle = u(u"確認");
// "/" separates folders here and must be typeable; the other characters
// stay refused.
const QString RefusedFolderCharacters = QStringLiteral(",;*?<>|");
const QString RefusedFolderText = u(u"この文字はﾌｫﾙﾀﾞ名に使えません｡\n,;*?<>|");
const QString WaitTimeNotNumber = u(u"ｳｪｲﾄﾀｲﾑは数字で入力してください｡");
constexpr int NameLength = 41;
constexpr int PortCount = 30;
constexpr int ReceiveUserFraming = int(ReceiveCode::User);
constexpr int SendUserFraming = int(SendCode::User);

QStringList numbers(std::initializer_list<int> values) {
    QStringList out;
    for (int v : values)
        out << QString::number(v);
    return out;
}

const QStringList StopBitItems = {"1", "2"};
const QStringList DataLengths = {"7", "8"};
const QStringList Parities = {u(u"無し"), u(u"偶数"), u(u"奇数")};
const QStringList StartSignals = {u(u"NC機の信号で開始"), u(u"NC機の信号使用しない")};
const QStringList FlowControls = {u(u"標準"), "RTS/CTS"};

// What the operator needs to know of a mapping: the state of a local
// device, the address of a device server, or what is wrong with the text;
// ok when nothing stands in the way of a transfer that can be seen here.
struct MappingState {
    QString text;
    bool ok;
};

QString stateText(platform::DeviceState s);

MappingState mappingState(const QString& value, const std::set<QString>& heldByOthers) {
    const platform::PortMapping m = platform::parsePortMapping(value);
    if (m.kind == platform::PortMapping::Kind::Invalid)
        return {m.error, false};
    if (m.isNetwork())
        return {u(u"ﾈｯﾄﾜｰｸ機器 ") + m.address(), true};
    const platform::DeviceState state = platform::deviceState(m.device, heldByOthers);
    return {stateText(state), state == platform::DeviceState::Present};
}

QString stateText(platform::DeviceState s) {
    switch (s) {
    case platform::DeviceState::Present:
        return u(u"使用可能");
    case platform::DeviceState::Busy:
        return u(u"使用中(他のﾌﾟﾛｸﾞﾗﾑ)");
    case platform::DeviceState::Missing:
        return u(u"見つかりません");
    case platform::DeviceState::NoAccess:
        return u(u"開けません(ｱｸｾｽ権限無し)");
    case platform::DeviceState::NotDevice:
        return u(u"ｼﾘｱﾙ機器ではありません");
    }
    return {};
}

void paintLabel(QLabel* label, bool red) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText,
               red ? QColor(Qt::red) : label->parentWidget()->palette().color(QPalette::WindowText));
    label->setPalette(p);
}

int positionOr(const QComboBox* box, int def) {
    return box->currentIndex() >= 0 ? box->currentIndex() : def;
}

void select(QComboBox* box, int value) {
    box->setCurrentIndex(value >= 0 && value < box->count() ? value : -1);
}

// "COM"n in its written form, or nothing.
QString comName(const QString& text) {
    const int n = platform::comPortNumber(text);
    return n >= 1 && n <= PortCount ? "COM" + QString::number(n) : QString();
}

} // namespace

QColor colourFromBgr(int bgr) {
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

int bgrFromColour(const QColor& c) {
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

// A port list, its device choice and what the profile stores for it.
struct TSetdataForm::PortSide {
    QComboBox* list = nullptr;
    QComboBox* devices = nullptr;
    QLabel* state = nullptr;
    QPushButton* refresh = nullptr;
    QWidget* page = nullptr;
    QString stored; // the profile's port name when the dialog opened
};

// ---------------------------------------------------------------- building

TSetdataForm::TSetdataForm(SetdataHost& host, QWidget* parent)
    : QDialog(parent), m_host(host), m_read(std::make_unique<PortSide>()),
      m_send(std::make_unique<PortSide>()) {
    setObjectName("TSetdataForm");
    setWindowTitle(Title);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setMaxLength(NameLength);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    buildReceivePage();
    buildSendPage();
    buildOptionPage();
    buildCommonPage();

    Button1 = new QPushButton(u(u"保存"), this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton(u(u"戻る"), this);
    Button2->setObjectName("Button2");
    // Enter in a field must never press a button of the dialog.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });

    auto* name = new QHBoxLayout;
    auto* nameLabel = new QLabel(u(u"設定名"), this);
    nameLabel->setBuddy(Edit1);
    name->addWidget(nameLabel);
    name->addWidget(Edit1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto* column = new QVBoxLayout(this);
    column->addLayout(name);
    column->addWidget(PageControl1, 1);
    column->addLayout(buttons);

    connectChanges();
}

TSetdataForm::~TSetdataForm() = default;

QComboBox* TSetdataForm::combo(QWidget* page, const char* name, const QString& caption,
                               const QStringList& items) {
    auto* box = new QComboBox(page);
    box->setObjectName(name);
    box->addItems(items);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_choices.push_back(box);
    auto* label = new QLabel(caption, page);
    label->setBuddy(box);
    m_labels[box] = label;
    return box;
}

QLineEdit* TSetdataForm::field(QWidget* page, const char* name, const QString& caption) {
    auto* edit = new QLineEdit(page);
    edit->setObjectName(name);
    auto* label = new QLabel(caption, page);
    label->setBuddy(edit);
    m_labels[edit] = label;
    edit->installEventFilter(this);
    return edit;
}

namespace {
// Label above control, in a grid of two columns.
void place(QGridLayout* grid, int slot, QLabel* label, QWidget* control) {
    const int row = (slot / 2) * 2;
    const int column = slot % 2;
    grid->addWidget(label, row, column);
    grid->addWidget(control, row + 1, column, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);
}
} // namespace

void TSetdataForm::buildDeviceRow(QWidget* page, PortSide& side, QComboBox* list, const QString& prefix) {
    side.page = page;
    side.list = list;
    side.devices = new QComboBox(page);
    side.devices->setObjectName(prefix + "DevBox");
    side.devices->setEditable(true);
    side.devices->setInsertPolicy(QComboBox::NoInsert);
    side.devices->setMinimumWidth(260);
    side.devices->setToolTip(u(u"ﾎﾟｰﾄ名に割り当てるｼﾘｱﾙ機器(一覧から選ぶか、ﾊﾟｽを入力)"));
    // The drop-down shows each device with its description and whether
    // another program holds it; the field takes only the path.
    auto* model = new QStandardItemModel(0, 3, side.devices);
    side.devices->setModel(model);
    auto* view = new QTreeView(side.devices);
    view->setHeaderHidden(true);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    side.devices->setView(view);
    side.devices->setModelColumn(0);
    auto* label = new QLabel(u(u"ﾃﾞﾊﾞｲｽ"), page);
    label->setBuddy(side.devices);
    m_labels[side.devices] = label;
    side.state = new QLabel(page);
    side.state->setObjectName(prefix + "DevState");
    side.refresh = new QPushButton(u(u"再検索"), page);
    side.refresh->setObjectName(prefix + "DevRefresh");
    connect(side.refresh, &QPushButton::clicked, this, [this] { refreshDevices(); });
    connect(side.devices, &QComboBox::editTextChanged, this, [this, &side] {
        if (!m_loading)
            deviceTyped(side);
    });
    connect(side.list, &QComboBox::currentIndexChanged, this, [this, &side] {
        if (!m_loading)
            showMapping(side);
    });
}

// The port row (list, device, state, refresh) above the other fields in
// two columns, each with its label above it.
void TSetdataForm::layOutPortPage(PortSide& side, std::initializer_list<QWidget*> fields,
                                  const QString& caption) {
    auto* row = new QGridLayout;
    row->addWidget(m_labels[side.list], 0, 0);
    row->addWidget(side.list, 1, 0);
    row->addWidget(m_labels[side.devices], 0, 1);
    row->addWidget(side.devices, 1, 1);
    row->addWidget(side.refresh, 1, 2);
    row->addWidget(side.state, 2, 1, 1, 2);
    row->setColumnStretch(1, 1);
    auto* grid = new QGridLayout;
    int slot = 0;
    for (QWidget* f : fields)
        place(grid, slot++, m_labels[f], f);
    auto* column = new QVBoxLayout(side.page);
    column->addLayout(row);
    column->addLayout(grid);
    column->addStretch(1);
    PageControl1->addTab(side.page, caption);
}

void TSetdataForm::buildReceivePage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet1");
    ReadBox1 = combo(page, "ReadBox1", u(u"通信速度"), speedItems(SpeedList::Receive));
    ReadBox2 = combo(page, "ReadBox2", u(u"受信コード"),
                     {u(u"EIA又はISO（自動判別）"), "ASCII", "EIA", "ISO", u(u"任意")});
    ReadBox2a = combo(page, "ReadBox2a", u(u"ﾃﾞｰﾀ長"), DataLengths);
    ReadBox2b = combo(page, "ReadBox2b", u(u"ﾊﾟﾘﾃｨ"), Parities);
    ReadBox3 = combo(page, "ReadBox3", u(u"ｽﾄｯﾌﾟﾋﾞｯﾄ"), StopBitItems);
    ReadBox4 = combo(page, "ReadBox4", u(u"通信ﾎﾟｰﾄ"), {});
    ReadBox5 = combo(page, "ReadBox5", u(u"O番号"),
                     {u(u"受信ﾃﾞｰﾀそのまま"), u(u"：はＯに変換（注釈内は除く）"), u(u"Ｏは：に変換")});
    ReadBox6 = combo(page, "ReadBox6", u(u"ｽﾍﾟｰｽ処理"),
                     {u(u"ﾜｰﾄﾞ毎にｽﾍﾟｰｽ挿入"), u(u"ｽﾍﾟｰｽ削除"),
                      u(u"受信ﾃﾞｰﾀそのまま(先頭,末尾のｽﾍﾟｰｽは削除)"), u(u"受信ﾃﾞｰﾀそのまま(ｽﾍﾟｰｽを含む)")});
    ReadBox7 = combo(page, "ReadBox7", u(u"受信開始信号"), StartSignals);
    ReadBox8 = combo(page, "ReadBox8", u(u"ﾃｰﾌﾟﾘｰﾀﾞ利用"),
                     {u(u"受信開始時、ﾃｰﾌﾟﾊﾟﾝﾁに開始信号を送信"), u(u"開始信号を送信しない")});
    ReadBox9 = combo(page, "ReadBox9", u(u"受信ﾊﾞｯﾌｧ"), numbers({128, 256, 512, 1024, 2048, 3072, 4096}));
    ReadBox10 = combo(page, "ReadBox10", u(u"改行ｺｰﾄﾞ"), {"LF", "LF+CR", "CR"});
    ReadBox11 = combo(page, "ReadBox11", u(u"ﾌﾛｰｺﾝﾄﾛｰﾙ"), FlowControls);
    ReadBox12 = combo(
        page, "ReadBox12", u(u"％付加"),
        {u(u"先頭のみ％を付加"), u(u"最後尾のみ％を付加"), u(u"前後に％を付加"), u(u"前後とも％を付けない")});
    buildDeviceRow(page, *m_read, ReadBox4, "Read");
    std::tie(ReadDevBox, ReadDevState, ReadDevRefresh) =
        std::tie(m_read->devices, m_read->state, m_read->refresh);

    layOutPortPage(*m_read,
                   {ReadBox1, ReadBox2, ReadBox2a, ReadBox2b, ReadBox3, ReadBox5, ReadBox6, ReadBox7,
                    ReadBox8, ReadBox9, ReadBox10, ReadBox11, ReadBox12},
                   u(u"受信設定"));
}

void TSetdataForm::buildSendPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet2");
    SendBox1 = combo(page, "SendBox1", u(u"通信速度"), speedItems(SpeedList::Send));
    SendBox2 = combo(page, "SendBox2", u(u"送信ｺｰﾄﾞ"), {"ISO", "EIA", "ASCII", u(u"任意")});
    SendBox2a = combo(page, "SendBox2a", u(u"ﾃﾞｰﾀ長"), DataLengths);
    SendBox2b = combo(page, "SendBox2b", u(u"ﾊﾟﾘﾃｨ"), Parities);
    SendBox3 = combo(page, "SendBox3", u(u"ｽﾄｯﾌﾟﾋﾞｯﾄ"), StopBitItems);
    SendBox4 = combo(page, "SendBox4", u(u"通信ﾎﾟｰﾄ"), {});
    SendBox5 = combo(page, "SendBox5", u(u"送信開始信号"), StartSignals);
    SendBox6 = combo(page, "SendBox6", u(u"ﾃﾞｰﾀの始め"),
                     {u(u"無し"), "%", "%%", "% *", u(u"前処理1のみ"), u(u"前処理2のみ"), u(u"前処理1+%"),
                      u(u"前処理2+%")});
    SendBox7 =
        combo(page, "SendBox7", u(u"ﾃﾞｰﾀの終わり"),
              {u(u"改行コード+%"), u(u"改行コード+無し"), u(u"改行コード+%%"), u(u"%のみ"), u(u"%%のみ")});
    SendBox8 = combo(page, "SendBox8", u(u"ﾌｨｰﾄﾞ長さ"), {u(u"無し"), "50mm", "100mm", "150mm"});
    SendBox9 =
        combo(page, "SendBox9", u(u"送信ﾊﾞｯﾌｧ"),
              numbers({2, 3, 4, 5, 6, 7, 8, 9, 10, 20, 30, 40, 50, 100, 150, 200, 250, 300, 400, 500}));
    SendBox10 = field(page, "SendBox10", u(u"ｳｪｲﾄﾀｲﾑ"));
    // Milliseconds per character; nine digits cannot overflow the stored integer.
    SendBox10->setMaxLength(9);
    SendBox10->setMaximumWidth(100);
    SendBox10->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), SendBox10));
    SendBox11 = combo(page, "SendBox11", u(u"ﾌﾛｰｺﾝﾄﾛｰﾙ"), FlowControls);
    SendBox12 = combo(page, "SendBox12", u(u"ﾁｪｯｸ ｶｳﾝﾀ"),
                      numbers({10,  15,  20,  25,  30,  35,  40,  45,  50,  60,  70,  80,  90,  100, 120,
                               140, 160, 180, 200, 250, 300, 350, 400, 450, 500, 600, 700, 800, 900, 1000}));
    SendBox12->setEnabled(false); // stored and shown only
    SendBox13 = combo(page, "SendBox13", u(u"改行コード"), {"LF", "CR+LF", "CR+LF+LF", "CR"});
    SendBox14 = combo(page, "SendBox14", u(u"DNC運転"),
                      {u(u"通常運転(ｻﾌﾞﾌﾟﾛｸﾞﾗﾑ呼出無しDNC運転可)"), u(u"DNC運転(ｻﾌﾞﾌﾟﾛｸﾞﾗﾑ呼出有り)")});
    buildDeviceRow(page, *m_send, SendBox4, "Send");
    std::tie(SendDevBox, SendDevState, SendDevRefresh) =
        std::tie(m_send->devices, m_send->state, m_send->refresh);

    layOutPortPage(*m_send,
                   {SendBox1, SendBox2, SendBox2a, SendBox2b, SendBox3, SendBox5, SendBox6, SendBox7,
                    SendBox8, SendBox9, SendBox10, SendBox11, SendBox12, SendBox13, SendBox14},
                   u(u"送信設定"));
}

void TSetdataForm::buildOptionPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet3");
    OpLab1 = field(page, "OpLab1", u(u"送信しない文字列"));
    OpLab2 = field(page, "OpLab2", u(u"送り速度Ｆの小数点は送信しない(Y/N)"));
    OpLab3 = field(page, "OpLab3", u(u"ｼｰｹﾝｽ番号は送信しない(Y/N)"));
    OpLab4 = field(page, "OpLab4", u(u"送信完了(中止)をﾒｰﾙで知らせる(Y/N)"));
    OpLab5 = field(page, "OpLab5", u(u"送り先ﾒｰﾙｱﾄﾞﾚｽ（複数不可)"));
    OpLab6 = field(page, "OpLab6", u(u"件名"));
    for (QLineEdit* yesNo : {OpLab2, OpLab3, OpLab4}) {
        yesNo->setMaxLength(1);
        yesNo->setMaximumWidth(40);
        yesNo->setValidator(new QRegularExpressionValidator(QRegularExpression("[YNyn]?"), yesNo));
    }
    // The lines sent are upper case; so is the text taken out of them.
    connect(OpLab1, &QLineEdit::textEdited, this, [this](const QString& t) {
        if (t == t.toUpper())
            return;
        const int at = OpLab1->cursorPosition();
        OpLab1->setText(t.toUpper());
        OpLab1->setCursorPosition(at);
    });
    OpBtn = new QPushButton(u(u"送信テスト"), page);
    OpBtn->setObjectName("OpBtn");
    connect(OpBtn, &QPushButton::clicked, this, [this] { OpBtnClick(); });

    auto* grid = new QGridLayout(page);
    int row = 0;
    for (QLineEdit* e : {OpLab1, OpLab2, OpLab3, OpLab4, OpLab5, OpLab6}) {
        grid->addWidget(m_labels[e], row, 0);
        grid->addWidget(e, row, 1, Qt::AlignLeft);
        ++row;
    }
    OpLab1->setMinimumWidth(260);
    OpLab5->setMinimumWidth(260);
    OpLab6->setMinimumWidth(260);
    grid->addWidget(OpBtn, row++, 1, Qt::AlignLeft);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(2, 1);
    PageControl1->addTab(page, u(u"送信ｵﾌﾟｼｮﾝ"));
}

void TSetdataForm::buildCommonPage() {
    auto* page = new QWidget;
    page->setObjectName("TabSheet4");
    SRLab1 = field(page, "SRLab1", u(u"フォルダ"));
    SRLab1->setValidator(new QRegularExpressionValidator(QRegularExpression("[^,;*?<>|]*"), SRLab1));
    SRBtn0 = new QPushButton(u(u"参照"), page);
    SRBtn0->setObjectName("SRBtn0");
    connect(SRBtn0, &QPushButton::clicked, this, [this] { SRBtn0Click(); });

    auto* environment = new QGroupBox(u(u"環境"), page);
    SRChkBox1 = new QCheckBox(u(u"文字環境の個別保存を行う"), environment);
    SRChkBox1->setObjectName("SRChkBox1");
    SRLab2 = new QLabel(u(u" 文字色/背景 "), environment);
    SRLab2->setObjectName("SRLab2");
    SRLab2->setAutoFillBackground(true);
    SRLab2->setFrameShape(QFrame::Box);
    SRLab2->setMinimumSize(160, 40);
    SRLab2->setAlignment(Qt::AlignCenter);
    SRBtn1 = new QPushButton(u(u"文字色"), environment);
    SRBtn1->setObjectName("SRBtn1");
    SRBtn2 = new QPushButton(u(u"背景色"), environment);
    SRBtn2->setObjectName("SRBtn2");
    SRBtn3 = new QPushButton(u(u"文字"), environment);
    SRBtn3->setObjectName("SRBtn3");
    connect(SRBtn1, &QPushButton::clicked, this, [this] { SRBtn1Click(); });
    connect(SRBtn2, &QPushButton::clicked, this, [this] { SRBtn2Click(); });
    connect(SRBtn3, &QPushButton::clicked, this, [this] { SRBtn3Click(); });
    auto* env = new QGridLayout(environment);
    env->addWidget(SRChkBox1, 0, 0, 1, 4);
    env->addWidget(SRLab2, 1, 0);
    env->addWidget(SRBtn1, 1, 1);
    env->addWidget(SRBtn2, 1, 2);
    env->addWidget(SRBtn3, 1, 3);
    SRChkBox2 = new QCheckBox(u(u"画面表示位置/サイズの個別保存を行う"), page);
    SRChkBox2->setObjectName("SRChkBox2");

    auto* folder = new QHBoxLayout;
    folder->addWidget(SRLab1, 1);
    folder->addWidget(SRBtn0);
    auto* column = new QVBoxLayout(page);
    column->addWidget(m_labels[SRLab1]);
    column->addLayout(folder);
    column->addWidget(environment);
    column->addWidget(SRChkBox2);
    column->addStretch(1);
    PageControl1->addTab(page, u(u"全般共通"));
}

void TSetdataForm::connectChanges() {
    for (QComboBox* b : m_choices)
        connect(b, &QComboBox::currentIndexChanged, this, [this] { changed(); });
    for (QLineEdit* e : {Edit1, SendBox10, OpLab1, OpLab2, OpLab3, OpLab4, OpLab5, OpLab6, SRLab1})
        connect(e, &QLineEdit::textChanged, this, [this] { changed(); });
    for (QCheckBox* c : {SRChkBox1, SRChkBox2})
        connect(c, &QCheckBox::toggled, this, [this] {
            for (QPushButton* b : {SRBtn1, SRBtn2, SRBtn3})
                b->setEnabled(SRChkBox1->isChecked());
            changed();
        });
    connect(ReadBox1, &QComboBox::currentIndexChanged, this, [this] { applyReaderRule(); });
    connect(SendBox1, &QComboBox::currentIndexChanged, this, [this] { applyPunchRule(); });
    connect(ReadBox2, &QComboBox::currentIndexChanged, this, [this] { applyUserFraming(); });
    connect(SendBox2, &QComboBox::currentIndexChanged, this, [this] { applyUserFraming(); });
}

void TSetdataForm::changed() {
    if (!m_loading)
        Button1->setEnabled(true);
}

QLabel* TSetdataForm::labelOf(const QWidget* control) const {
    const auto it = m_labels.find(control);
    return it == m_labels.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------- rules

void TSetdataForm::setApplies(QWidget* control, bool applies) {
    control->setEnabled(applies);
    if (QLabel* label = labelOf(control))
        paintLabel(label, !applies);
}

void TSetdataForm::applyReaderRule() {
    const bool reader = ReadBox1->currentIndex() == TapeSpeed;
    for (QWidget* b : {ReadBox2, ReadBox3, ReadBox5, ReadBox6, ReadBox7, ReadBox9, ReadBox10})
        setApplies(b, !reader);
    setApplies(ReadBox8, reader);
}

void TSetdataForm::applyPunchRule() {
    const bool punch = SendBox1->currentIndex() == TapeSpeed;
    for (QWidget* b : {SendBox5, SendBox9})
        setApplies(b, !punch);
    setApplies(SendBox8, punch);
    if (!punch)
        setApplies(SendBox3, true);
}

void TSetdataForm::applyUserFraming() {
    const bool receive = ReadBox2->currentIndex() == ReceiveUserFraming;
    const bool send = SendBox2->currentIndex() == SendUserFraming;
    for (QWidget* w : {ReadBox2a, ReadBox2b}) {
        w->setVisible(receive);
        m_labels[w]->setVisible(receive);
    }
    for (QWidget* w : {SendBox2a, SendBox2b}) {
        w->setVisible(send);
        m_labels[w]->setVisible(send);
    }
}

// ---------------------------------------------------------------- show

void TSetdataForm::edit(const SetdataInput& input) {
    load(input);
    exec();
}

void TSetdataForm::load(const SetdataInput& input) {
    m_loading = true;
    m_closing = false;
    m_input = input;
    const CommProfile& p = m_input.profile;
    m_read->stored = p.read.port;
    m_send->stored = p.send.port;

    platform::IniFile ini(m_input.optionFile);
    ini.load();
    m_browseStart = ini.readString(PositionSection, "DirPath", "C:");
    m_ports = std::make_unique<platform::PortMap>(m_input.optionFile);

    select(ReadBox1, p.read.speed);
    select(ReadBox2, p.read.code);
    select(ReadBox2a, p.read.dataLength);
    select(ReadBox2b, p.read.parity);
    select(ReadBox3, p.read.stopBits);
    select(ReadBox5, p.read.change);
    select(ReadBox6, p.read.word);
    select(ReadBox7, p.read.signal);
    select(ReadBox8, p.read.rSignal);
    select(ReadBox9, p.read.buff);
    select(ReadBox10, p.read.endCode);
    select(ReadBox11, p.read.control);
    select(ReadBox12, p.read.seChar);
    select(SendBox1, p.send.speed);
    select(SendBox2, p.send.code);
    select(SendBox2a, p.send.dataLength);
    select(SendBox2b, p.send.parity);
    select(SendBox3, p.send.stopBits);
    select(SendBox5, p.send.signal);
    select(SendBox6, p.send.startChar);
    select(SendBox7, p.send.endChar);
    select(SendBox8, p.send.feed);
    select(SendBox9, p.send.buff);
    SendBox10->setText(QString::number(p.send.invTime));
    select(SendBox11, p.send.control);
    select(SendBox12, p.send.chkCount);
    select(SendBox13, p.send.crlfType);
    select(SendBox14, p.send.dncSend);
    OpLab1->setText(p.send.sendMsg);
    OpLab2->setText(p.send.fNon.isEmpty() ? "N" : p.send.fNon);
    OpLab3->setText(p.send.nNon.isEmpty() ? "N" : p.send.nNon);
    OpLab4->setText(p.setting.mailFlg);
    OpLab5->setText(p.setting.mailAddress);
    OpLab6->setText(p.setting.mailSubject);
    applyUserFraming();
    SRLab1->setText(p.setting.dirPathSub);
    OpLab2->setEnabled(m_input.feedPointField);
    OpLab3->setEnabled(m_input.sequenceField);

    fillPorts();
    m_heldByOthers = platform::nodesHeldByOthers(m_input.devices);
    for (PortSide* side : {m_read.get(), m_send.get()}) {
        fillDeviceList(*side);
        showMapping(*side);
    }
    applyReaderRule();
    applyPunchRule();
    Edit1->setEnabled(!isOspProfile(m_input.number));
    SendBox14->setEnabled(!isOspProfile(m_input.number));

    Edit1->setText(p.setting.name);
    SRChkBox1->setChecked(p.setting.fontChg);
    if (p.setting.fontChg) {
        m_sampleFont = QFont(p.setting.fontName);
        m_sampleFont.setPointSize(p.setting.fontSize > 0 ? p.setting.fontSize : 12);
        m_sampleText = colourFromBgr(p.setting.fontColor);
        m_samplePaper = colourFromBgr(p.setting.screenColor);
    } else {
        m_sampleFont = m_input.editorFont;
        m_sampleText = m_input.editorText;
        m_samplePaper = m_input.editorPaper;
    }
    showSample();
    for (QPushButton* b : {SRBtn1, SRBtn2, SRBtn3})
        b->setEnabled(SRChkBox1->isChecked());
    SRChkBox2->setChecked(p.setting.posChg);

    Button1->setEnabled(false);
    PageControl1->setCurrentIndex(0);
    adjustSize();
    move(platform::centredOn(m_input.anchor, frameGeometry().size()));
    m_loading = false;
}

void TSetdataForm::showSample() {
    SRLab2->setFont(m_sampleFont);
    QPalette p = SRLab2->palette();
    p.setColor(QPalette::WindowText, m_sampleText);
    p.setColor(QPalette::Window, m_samplePaper);
    SRLab2->setPalette(p);
}

// ---------------------------------------------------------------- ports and devices

void TSetdataForm::fillPorts() {
    QStringList names;
    for (int n = 1; n <= PortCount; ++n)
        if (m_host.probePort(n))
            names << "COM" + QString::number(n);
    names << NoPort;
    for (PortSide* side : {m_read.get(), m_send.get()}) {
        side->list->clear();
        side->list->addItems(names);
        // A hand-written "com1" is the same port.
        const QString stored = comName(side->stored).isEmpty() ? side->stored : comName(side->stored);
        side->list->setCurrentIndex(side->list->findText(stored));
    }
}

void TSetdataForm::addPortName(const QString& name) {
    const int number = platform::comPortNumber(name);
    for (PortSide* side : {m_read.get(), m_send.get()}) {
        if (side->list->findText(name) >= 0)
            continue;
        int at = 0;
        while (at < side->list->count() && platform::comPortNumber(side->list->itemText(at)) != 0 &&
               platform::comPortNumber(side->list->itemText(at)) < number)
            ++at;
        side->list->insertItem(at, name);
    }
}

void TSetdataForm::fillDeviceList(PortSide& side) {
    auto* model = static_cast<QStandardItemModel*>(side.devices->model());
    const QString text = side.devices->currentText();
    const bool wasLoading = m_loading;
    m_loading = true;
    model->removeRows(0, model->rowCount());
    for (const platform::SerialDevice& d : platform::listSerialDevices(m_input.devices)) {
        QList<QStandardItem*> row{
            new QStandardItem(d.path), new QStandardItem(d.description),
            new QStandardItem(d.busy ? stateText(platform::DeviceState::Busy) : QString())};
        for (QStandardItem* item : row)
            item->setEditable(false);
        model->appendRow(row);
    }
    auto* view = static_cast<QTreeView*>(side.devices->view());
    for (int c = 0; c < 3; ++c)
        view->resizeColumnToContents(c);
    view->setMinimumWidth(view->header()->length() + 24);
    side.devices->setCurrentIndex(-1);
    side.devices->setEditText(text);
    m_loading = wasLoading;
}

void TSetdataForm::refreshDevices() {
    m_heldByOthers = platform::nodesHeldByOthers(m_input.devices);
    for (PortSide* side : {m_read.get(), m_send.get()}) {
        fillDeviceList(*side);
        showMapping(*side);
    }
}

QString TSetdataForm::mappedDevice(const QString& portName) const {
    return m_ports ? m_ports->device(portName) : QString();
}

void TSetdataForm::showMapping(PortSide& side) {
    // With no selection the list could not offer the profile's port; what
    // that port leads to (often: a device another program holds) is what
    // the operator needs to see.
    const QString name = comName(side.list->currentIndex() < 0 ? side.stored : side.list->currentText());
    const QString device = name.isEmpty() ? QString() : m_ports->device(name);
    const bool wasLoading = m_loading;
    m_loading = true;
    side.devices->setEditText(device);
    m_loading = wasLoading;
    showState(side, device);
}

void TSetdataForm::showState(PortSide& side, const QString& device) {
    if (device.isEmpty()) {
        side.state->clear();
        return;
    }
    const MappingState state = mappingState(device, m_heldByOthers);
    side.state->setText(state.text);
    paintLabel(side.state, !state.ok);
}

QString TSetdataForm::nameToMap(const PortSide& side) const {
    if (const QString chosen = comName(side.list->currentText()); !chosen.isEmpty())
        return chosen;
    auto excluded = [this](const QString& name) {
        for (const QString& e : m_input.excludedPorts)
            if (e.trimmed().compare(name, Qt::CaseInsensitive) == 0)
                return true;
        return false;
    };
    // The port the profile names, which the list could not offer.
    if (const QString stored = comName(side.stored); !stored.isEmpty() && !excluded(stored))
        return stored;
    for (int n = 1; n <= PortCount; ++n) {
        const QString name = "COM" + QString::number(n);
        if (side.list->findText(name) < 0 && !m_ports->isMapped(name) && !excluded(name))
            return name;
    }
    return {};
}

void TSetdataForm::deviceTyped(PortSide& side) {
    const QString name = nameToMap(side);
    if (name.isEmpty())
        return;
    m_ports->set(name, side.devices->currentText());
    m_loading = true;
    addPortName(name);
    side.list->setCurrentIndex(side.list->findText(name));
    m_loading = false;
    for (PortSide* s : {m_read.get(), m_send.get()}) {
        if (s == &side)
            showState(*s, m_ports->device(name));
        else if (comName(s->list->currentText()) == name)
            showMapping(*s);
    }
    Button1->setEnabled(true);
}

// ---------------------------------------------------------------- buttons

CommProfile TSetdataForm::record() const {
    CommProfile p = m_input.profile;
    const CommProfile def = defaultProfile(m_input.number);
    p.read.speed = positionOr(ReadBox1, def.read.speed);
    p.read.code = positionOr(ReadBox2, def.read.code);
    p.read.dataLength = positionOr(ReadBox2a, def.read.dataLength);
    p.read.parity = positionOr(ReadBox2b, def.read.parity);
    p.read.stopBits = positionOr(ReadBox3, def.read.stopBits);
    p.read.change = positionOr(ReadBox5, def.read.change);
    p.read.word = positionOr(ReadBox6, def.read.word);
    p.read.signal = positionOr(ReadBox7, def.read.signal);
    p.read.rSignal = positionOr(ReadBox8, def.read.rSignal);
    p.read.buff = positionOr(ReadBox9, def.read.buff);
    p.read.endCode = positionOr(ReadBox10, def.read.endCode);
    p.read.control = positionOr(ReadBox11, def.read.control);
    p.read.seChar = positionOr(ReadBox12, def.read.seChar);
    p.send.speed = positionOr(SendBox1, def.send.speed);
    p.send.code = positionOr(SendBox2, def.send.code);
    p.send.dataLength = positionOr(SendBox2a, def.send.dataLength);
    p.send.parity = positionOr(SendBox2b, def.send.parity);
    p.send.stopBits = positionOr(SendBox3, def.send.stopBits);
    p.send.signal = positionOr(SendBox5, def.send.signal);
    p.send.startChar = positionOr(SendBox6, def.send.startChar);
    p.send.endChar = positionOr(SendBox7, def.send.endChar);
    p.send.feed = positionOr(SendBox8, def.send.feed);
    p.send.buff = positionOr(SendBox9, def.send.buff);
    p.send.invTime = SendBox10->text().toInt();
    p.send.control = positionOr(SendBox11, def.send.control);
    p.send.chkCount = positionOr(SendBox12, def.send.chkCount);
    p.send.crlfType = positionOr(SendBox13, def.send.crlfType);
    p.send.dncSend = positionOr(SendBox14, def.send.dncSend);
    // A port the list cannot offer now (held by another program, or a
    // device path written by hand) stays as the profile names it; only
    // "設定ﾎﾟｰﾄ無し" clears it.
    if (ReadBox4->currentIndex() >= 0)
        p.read.port = ReadBox4->currentText();
    if (SendBox4->currentIndex() >= 0)
        p.send.port = SendBox4->currentText();
    p.send.sendMsg = OpLab1->text();
    p.send.fNon = OpLab2->text();
    p.send.nNon = OpLab3->text();
    p.setting.mailFlg = OpLab4->text();
    p.setting.mailAddress = OpLab5->text();
    p.setting.mailSubject = OpLab6->text();
    p.setting.dirPathSub = SRLab1->text();
    p.setting.name = Edit1->text();
    p.setting.fontChg = SRChkBox1->isChecked();
    p.setting.fontName = m_sampleFont.family();
    p.setting.fontSize = m_sampleFont.pointSize() > 0 ? m_sampleFont.pointSize() : def.setting.fontSize;
    p.setting.fontColor = bgrFromColour(m_sampleText);
    p.setting.screenColor = bgrFromColour(m_samplePaper);
    p.setting.posChg = SRChkBox2->isChecked();
    return p;
}

bool TSetdataForm::blockedByEmptyChoice() {
    // A value read from a hand-edited file that no list entry shows is not
    // written back, nor silently replaced: the operator chooses.
    for (QComboBox* b : m_choices) {
        if (b->currentIndex() >= 0 || !b->isVisibleTo(b->parentWidget()) || !b->isEnabled() ||
            b == ReadBox4 || b == SendBox4)
            continue;
        for (int i = 0; i < PageControl1->count(); ++i)
            if (PageControl1->widget(i)->isAncestorOf(b))
                PageControl1->setCurrentIndex(i);
        b->setFocus();
        m_host.notice(this, SetdataHost::Stop, Title, labelOf(b)->text() + u(u"を選択してください｡"));
        return true;
    }
    return false;
}

bool TSetdataForm::blockedByBadMapping() {
    // A device server address the port could never open is not stored; a
    // local path is (the adapter may be plugged in later).
    for (const auto& [name, value] : m_ports->changes()) {
        const platform::PortMapping m = platform::parsePortMapping(value);
        if (value.isEmpty() || m.kind != platform::PortMapping::Kind::Invalid)
            continue;
        for (PortSide* side : {m_read.get(), m_send.get()})
            if (comName(side->list->currentText()) == name) {
                PageControl1->setCurrentWidget(side->page);
                side->devices->setFocus();
            }
        m_host.notice(this, SetdataHost::Stop, Title, name + u(u"の割当: ") + m.error);
        return true;
    }
    return false;
}

bool TSetdataForm::Button1Click() {
    const QString wait = SendBox10->text();
    const bool digits = !wait.isEmpty() &&
                        std::all_of(wait.begin(), wait.end(), [](QChar c) { return c >= '0' && c <= '9'; });
    if (!digits) {
        PageControl1->setCurrentWidget(m_send->page);
        SendBox10->setFocus();
        if (!wait.isEmpty())
            m_host.notice(this, SetdataHost::Stop, Title, WaitTimeNotNumber);
        return false;
    }
    if (blockedByEmptyChoice() || blockedByBadMapping())
        return false;
    QString why;
    if (!m_host.saveProfile(m_input.number, record(), SRChkBox1->isChecked(), SRChkBox2->isChecked(), &why)) {
        m_host.notice(this, SetdataHost::Stop, Title, why);
        return false;
    }
    if (!m_ports->save(&why)) {
        m_host.notice(this, SetdataHost::Stop, Title,
                      platform::settingsNotWrittenText(m_input.optionFile, why));
        return false;
    }
    Button1->setEnabled(false);
    return true;
}

void TSetdataForm::Button2Click() {
    closeDialog();
}

void TSetdataForm::reject() {
    closeDialog();
}

void TSetdataForm::closeEvent(QCloseEvent* e) {
    e->ignore();
    closeDialog();
}

void TSetdataForm::closeDialog() {
    if (m_closing)
        return;
    m_closing = true;
    // Changes the operator did not want dropped stay on the screen when
    // they could not be saved.
    if (Button1->isEnabled() && !m_host.question(this, Title, UnsavedQuestion) && !Button1Click()) {
        m_closing = false;
        return;
    }
    QString why;
    if (!platform::storeDialogPosition(m_input.optionFile, PositionSection, pos(),
                                       {{"DirPath", m_browseStart}}, &why))
        m_host.notice(this, SetdataHost::Stop, Title,
                      platform::settingsNotWrittenText(m_input.optionFile, why));
    QDialog::done(QDialog::Accepted);
}

void TSetdataForm::OpBtnClick() {
    const QString to = OpLab5->text();
    if (to.isEmpty() || !to.contains('@')) {
        m_host.notice(this, SetdataHost::Information, MailTestTitle, MailAddressCheck);
        return;
    }
    platform::MailMessage m;
    m.to = to;
    m.subject = OpLab6->text();
    m.fromName = u(u"testです");
    m.readReceipt = true;
    m.body = TransferLog::formatStamp(QLocale::system(), QDateTime::currentDateTime()) + u(u"\nﾃｽﾄ送信");
    m_host.sendTestMail(m);
}

void TSetdataForm::SRBtn0Click() {
    QString start = SRLab1->text();
    if (!QFileInfo(start).isDir())
        start = QFileInfo(m_browseStart).isDir() ? m_browseStart : QDir::homePath();
    const QString folder = m_host.chooseFolder(this, u(u"現ﾃﾞｨﾚｸﾄﾘ ") + SRLab1->text(), start);
    if (folder.isEmpty())
        return;
    SRLab1->setText(folder);
    m_browseStart = folder;
}

void TSetdataForm::SRBtn1Click() {
    if (const auto c = m_host.chooseColour(this, m_sampleText)) {
        m_sampleText = *c;
        showSample();
        changed();
    }
}

void TSetdataForm::SRBtn2Click() {
    if (const auto c = m_host.chooseColour(this, m_samplePaper)) {
        m_samplePaper = *c;
        showSample();
        changed();
    }
}

void TSetdataForm::SRBtn3Click() {
    if (const auto f = m_host.chooseFont(this, m_sampleFont)) {
        m_sampleFont = *f;
        showSample();
        changed();
    }
}

// ---------------------------------------------------------------- keys

bool TSetdataForm::eventFilter(QObject* watched, QEvent* event) {
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const QString text = key->text();
    const bool typing = text.size() == 1 && text.at(0).isPrint();
    if (edit == SendBox10 || edit == OpLab2 || edit == OpLab3 || edit == OpLab4 || edit == SRLab1) {
        if (enter)
            return edit->text().isEmpty();
        if (!typing)
            return false; // Backspace, arrows and the other editing keys
    }
    if (edit == SendBox10)
        return text.at(0) < '0' || text.at(0) > '9';
    if (edit == OpLab2 || edit == OpLab3 || edit == OpLab4) {
        if (QStringLiteral("YNyn").contains(text.at(0)))
            edit->insert(text.toUpper());
        return true;
    }
    if (edit == SRLab1 && RefusedFolderCharacters.contains(text.at(0))) {
        m_host.notice(this, SetdataHost::Stop, RefusedTitle, RefusedFolderText);
        return true;
    }
    return false;
}

} // namespace tornyx
