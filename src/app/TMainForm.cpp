#include "app/TMainForm.h"

#include "app/Prompts.h"
#include "editor/ui/NcEditor.h"
#include "platform/AtomicFile.h"
#include "platform/DialogPlacement.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/ProgramInfo.h"
#include "platform/TextCodec.h"
#include "profiles/ProfileStore.h"
#include "profiles/ui/TSetdataForm.h"
#include "status/ui/StatusBars.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <Qsci/qsciscintilla.h>

namespace tornyx {

using platform::IniFile;

namespace {

constexpr int MinimumWidth = 626;
constexpr int MinimumHeight = 400;

QString u(const char16_t* s) {
    return QString::fromUtf16(s);
}

QByteArray readAll(const QString& path, bool* ok = nullptr) {
    QFile f(path);
    const bool opened = f.open(QIODevice::ReadOnly);
    if (ok)
        *ok = opened;
    return opened ? f.readAll() : QByteArray();
}

} // namespace

// ---------------------------------------------------------------- LabeledEdit

LabeledEdit::LabeledEdit(const QString& name, const QString& label, QWidget* parent) : QWidget(parent) {
    setObjectName(name);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    m_label = new QLabel(label, this);
    m_edit = new QLineEdit(QString::fromUtf16(u" ●"), this);
    m_edit->setReadOnly(true);
    m_edit->setFixedWidth(34);
    m_edit->setFocusPolicy(Qt::NoFocus);
    m_label->setBuddy(m_edit);
    row->addWidget(m_label);
    row->addWidget(m_edit);
}

void LabeledEdit::setText(const QString& text) {
    m_edit->setText(text);
}
QString LabeledEdit::text() const {
    return m_edit->text();
}

void LabeledEdit::setTextColor(const QColor& c) {
    QPalette p = m_edit->palette();
    p.setColor(QPalette::Text, c);
    m_edit->setPalette(p);
}

QColor LabeledEdit::textColor() const {
    return m_edit->palette().color(QPalette::Text);
}

// ---------------------------------------------------------------- creation

TMainForm::TMainForm(const QStringList& arguments, MainFormServices services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)), m_prompts(m_services.prompts) {
    if (!m_prompts) {
        m_ownPrompts = std::make_unique<QtPrompts>();
        m_prompts = m_ownPrompts.get();
    }
    setObjectName("TMainForm");
    setMinimumSize(MinimumWidth, MinimumHeight);
    buildMenus();
    buildToolbar();
    buildClient();
    setUpTransfers();
    setUpSplit();
    connectDocument();
    connectSettings();
    setUpPrintSearch();
    connectEditCommands();
    setUpShell();
    FormCreate(arguments);
}

void TMainForm::FormCreate(const QStringList& arguments) {
    DocumentState& doc = m_desk->document();
    Options& options = m_desk->options();
    doc.path = u(u"無題");

    IniFile ini(home().optionFile());
    ini.load();
    options.load(ini);
    move(options.left, options.top);
    resize(options.width, options.height);
    m_rememberedGeometry = windowGeometryForStore();

    // Word wrap off and a 10-pixel margin on both sides of the text.
    RichEdit1->setWrapMode(QsciScintilla::WrapNone);
    RichEdit1->SendScintilla(QsciScintilla::SCI_SETMARGINLEFT, 0, 10);
    RichEdit1->SendScintilla(QsciScintilla::SCI_SETMARGINRIGHT, 0, 10);

    if (const auto ext = startExtension(options.maskNo, userFileTypes()))
        doc.saveDialogDefaultExt = *ext;
    doc.saveDialogFileName = u(u"無題");
    StatusBar1->setText(1, QString());
    m_desk->programs().clear();
    Label2->hide();
    LabeledEdit1->hide();
    LabeledEdit2->hide();
    StatusBar2->hide();
    SpeedButton[13]->setEnabled(false);
    SpeedButton[14]->setEnabled(false);
    m_commandLineOpened = false;

    showStartCaption();

    // A fresh, empty transfer list for this start. A list that cannot be
    // emptied may be one from an earlier start: no multi-file send uses it.
    CommandLineState st;
    platform::writeFileAtomically(home().transferList(), {}, &st.transferListError);
    st.lastFolder = options.dirPath;
    st.activeProfile = options.setNo;
    processCommandLine(arguments, st, *this, home().transferList());
    options.setNo = st.activeProfile;
    m_desk->setOrder(st);
    m_commandLineOpened = false;
}

void TMainForm::buildMenus() {
    // An entry whose command belongs to a subsystem of the window (edit,
    // search, print, settings, shell, log) is connected in that subsystem's
    // file, next to the command.
    auto entry = [](QMenu* menu, const char* name, const QString& caption, QKeySequence key = {}) {
        auto* a = menu->addAction(caption);
        a->setObjectName(name);
        if (!key.isEmpty())
            a->setShortcut(key);
        return a;
    };
    auto action = [this, entry](QMenu* menu, const char* name, const QString& caption, auto slot,
                                QKeySequence key = {}) {
        QAction* a = entry(menu, name, caption, key);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };

    FileNew = menuBar()->addMenu(u(u"ﾌｧｲﾙ(&F)"));
    FileNew->setObjectName("FileNew");
    open1 = action(
        FileNew, "open1", u(u"新規作成"), [this] { open1Click(); }, QKeySequence::New);
    FileOpen = action(
        FileNew, "FileOpen", u(u"開く"), [this] { FileOpenClick(); }, QKeySequence::Open);
    FileSave = action(
        FileNew, "FileSave", u(u"上書き保存"), [this] { FileSaveClick(); }, QKeySequence::Save);
    FileSaveAs = action(FileNew, "FileSaveAs", u(u"名前を付けて保存"), [this] { saveAs(); });
    FileNew->addSeparator();
    opSave = action(FileNew, "opSave", u(u"ｏ番号分割保存"), [this] { opSaveClick(); });
    FileSearch = entry(FileNew, "FileSearch", u(u"ﾌｧｲﾙ検索から開く"));
    FileNew->addSeparator();
    PrintSetting = entry(FileNew, "PrintSetting", u(u"印刷設(ﾌﾟﾘﾝﾀ)"));
    FilePrint = entry(FileNew, "FilePrint", u(u"印刷"), QKeySequence::Print);
    FileNew->addSeparator();
    for (int i = 0; i < 5; ++i) {
        MenuFile[i] = action(FileNew, qPrintable("MenuFile" + QString::number(i)), QString(),
                             [this, i] { openRecent(i + 1); });
        MenuFile[i]->setData(i + 1); // tag
    }
    FileNew->addSeparator();
    FileExit1 = action(FileNew, "FileExit1", u(u"終了"), [this] { FileExit1Click(); });

    EditMenu = menuBar()->addMenu(u(u"編集(&E)"));
    EditMenu->setObjectName("EditMenu");
    EditUndo = action(
        EditMenu, "EditUndo", u(u"元に戻す"), [this] { RichEdit1->undo(); }, QKeySequence::Undo);
    EditMenu->addSeparator();
    EditCut = action(
        EditMenu, "EditCut", u(u"切り取り"), [this] { RichEdit1->cut(); }, QKeySequence::Cut);
    EditCopy = action(
        EditMenu, "EditCopy", u(u"コピー"), [this] { RichEdit1->copy(); }, QKeySequence::Copy);
    EditPaste = action(
        EditMenu, "EditPaste", u(u"貼り付け"), [this] { RichEdit1->paste(); }, QKeySequence::Paste);
    EditDelete = action(
        EditMenu, "EditDelete", u(u"削除"), [this] { RichEdit1->removeSelectedText(); },
        QKeySequence(Qt::CTRL | Qt::Key_Delete));
    EditMenu->addSeparator();
    EditAll = action(
        EditMenu, "EditAll", u(u"すべて選択"), [this] { RichEdit1->selectAll(); }, QKeySequence::SelectAll);
    EditMenu->addSeparator();
    EditDateTime = entry(EditMenu, "EditDateTime", u(u"日付と時刻を挿入"));
    EditDate = entry(EditMenu, "EditDate", u(u"日付を挿入"));

    FindMenu = menuBar()->addMenu(u(u"検索(&S)"));
    FindMenu->setObjectName("FindMenu");
    FindDo = entry(FindMenu, "FindDo", u(u"検索"), QKeySequence::Find);
    // F3 belongs to the editor: it finds again only when there is a text.
    FindNext = entry(FindMenu, "FindNext", u(u"次を検索(F3)"));
    Replace = entry(FindMenu, "Replace", u(u"置換"), QKeySequence::Replace);
    FindMenu->addSeparator();
    FileSearch1 = entry(FindMenu, "FileSearch1", u(u"ﾌｧｲﾙ検索"));
    FindMenu->addSeparator();
    jump = entry(FindMenu, "jump", u(u"飛び先検索(GOTO,G65,M98)"));
    jump_bp = entry(FindMenu, "jump_bp", u(u"ﾌﾞﾚｰｸﾎﾟｲﾝﾄに移動"));

    SetMenu = menuBar()->addMenu(u(u"通信設定選択"));
    SetMenu->setObjectName("SetMenu");
    m_profileGroup = new QActionGroup(this);
    m_profileGroup->setExclusive(true);
    const char shortcutKeys[] = "123456789AOP";
    for (int n = 1; n <= ProfileCount; ++n) {
        if (n == 11)
            SetMenu->addSeparator();
        Set[n] = action(
            SetMenu, qPrintable("Set" + QString::number(n)), defaultProfileName(n),
            [this, n] { SelectProfile(n); },
            QKeySequence(QString("Shift+Alt+") + QChar(shortcutKeys[n - 1])));
        Set[n]->setCheckable(true);
        Set[n]->setData(n);
        m_profileGroup->addAction(Set[n]);
    }

    OpMenu = menuBar()->addMenu(u(u"設定(&O)"));
    OpMenu->setObjectName("OpMenu");
    Menu_setdata = entry(OpMenu, "Menu_setdata", u(u"通信設定"));
    setting_op = entry(OpMenu, "setting_op", u(u"オプション設定"));
    User_op = entry(OpMenu, "User_op", u(u"ﾕｰｻﾞ定義(拡張子)"));
    OpMenu->addSeparator();
    send_step = action(OpMenu, "send_step", u(u"ｽﾃｯﾌﾟ送信有効"),
                       [this] { m_desk->options().stepSendEnabled = send_step->isChecked(); });
    send_step->setCheckable(true);
    ono_op = action(OpMenu, "ono_op", u(u"ﾌﾟﾛｸﾞﾗﾑ番号自動検索無効"),
                    [this] { m_desk->options().autoIndexOff = ono_op->isChecked(); });
    ono_op->setCheckable(true);
    OpMenu->addSeparator();
    DeskTop_set = entry(OpMenu, "DeskTop_set", u(u"ﾃﾞｨｽｸﾄｯﾌﾟにｼｮｰﾄｶｯﾄ作成"));
    SendTo_set = entry(OpMenu, "SendTo_set", u(u"SendTo(送る)に登録"));

    Menu_log = menuBar()->addMenu(u(u"通信ﾛｸﾞ"));
    Menu_log->setObjectName("Menu_log");
    Menu_send = entry(Menu_log, "Menu_send", u(u"送信(PCからNC)"));
    Menu_send->setData(1);
    Menu_read = entry(Menu_log, "Menu_read", u(u"受信(NCからPC)"));
    Menu_read->setData(2);
    Menu_dnc = entry(Menu_log, "Menu_dnc", u(u"DNC(ｻﾌﾞﾌﾟﾛｸﾞﾗﾑ呼出)"));
    Menu_dnc->setData(3);
    Menu_log->addSeparator();
    Menu_log_e = entry(Menu_log, "Menu_log_e", u(u"ログ表示終了"));
    Menu_log_e->setData(4);

    Menu_help = menuBar()->addMenu(u(u"ﾍﾙﾌﾟ(&H)"));
    Menu_help->setObjectName("Menu_help");
    Menu_help1 = entry(Menu_help, "Menu_help1", u(u"ヘルプ目次(&H)"));
    Menu_hp = entry(Menu_help, "Menu_hp", u(u"作者ホームページ"));
    Menu_help->addSeparator();
    Menu_ver = entry(Menu_help, "Menu_ver", u(u"ﾊﾞｰｼﾞｮﾝ情報"));

    // The editor's popup menu repeats the edit commands under names of its own.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    struct Pop {
        const char* name;
        QAction* same;
    };
    const Pop pops[] = {{"EditUndo_s", EditUndo},         {"EditCut_s", EditCut},
                        {"EditCopy_s", EditCopy},         {"EditPaste_s", EditPaste},
                        {"EditDelete_s", EditDelete},     {"EditAll_s", EditAll},
                        {"EditDateTime_s", EditDateTime}, {"EditDate_s", EditDate}};
    for (const Pop& p : pops) {
        QString caption = p.same->text();
        if (QLatin1String(p.name) == QLatin1String("EditAll_s"))
            caption = u(u"全て選択");
        auto* a = PopupMenu1->addAction(caption);
        a->setObjectName(p.name);
        connect(a, &QAction::triggered, p.same, &QAction::trigger);
    }
    PopupMenu1->addSeparator();
    entry(PopupMenu1, "FileNukidasi", u(u"ﾌﾟﾛｸﾞﾗﾑ選択(ｶｰｿﾙ位置)"));
    PopupMenu1->addSeparator();
    auto* fs = PopupMenu1->addAction(FindDo->text());
    fs->setObjectName("FindDo_s");
    connect(fs, &QAction::triggered, FindDo, &QAction::trigger);
    auto* rs = PopupMenu1->addAction(Replace->text());
    rs->setObjectName("Replace_s");
    connect(rs, &QAction::triggered, Replace, &QAction::trigger);
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(jump);
    PopupMenu1->addAction(jump_bp);
    buildRestartMenus();
}

void TMainForm::buildToolbar() {
    auto* bar = addToolBar(u(u"ﾂｰﾙﾊﾞｰ"));
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // Fifteen buttons must fit the smallest window width.
    bar->setStyleSheet("QToolButton { padding: 0px 1px; margin: 0px; }");
    bar->setIconSize(QSize(1, 1));
    struct B {
        const char16_t* caption;
        const char16_t* hint;
    };
    const B buttons[16] = {
        {u"", u""},
        {u"新規", u"新規作成します。"},
        {u"開く", u"ﾌｧｲﾙを開きます。"},
        {u"保存", u"上書き保存します。"},
        {u"切取", u"選択範囲を切り取ります。"},
        {u"ｺﾋﾟｰ", u"選択範囲をｺﾋﾟｰします。"},
        {u"貼付", u"貼り付けます。"},
        {u"戻す", u"元に戻します。"},
        {u"印刷", u"印刷します。"},
        {u"受信", u"NC機からﾃﾞｰﾀを受信します。"},
        {u"送信", u"NC機へﾃﾞｰﾀを送信します。"},
        {u"設定", u"通信設定を変更します。"},
        {u"検索", u"次を検索します。"},
        {u"中止", u"送信(受信)を中止します。"},
        {u"ｽﾃｯﾌﾟ", u"ｽﾃｯﾌﾟ送信出来ます。"},
        {u"ﾘﾋﾟｰﾄ", u"繰り返し送信します。"},
    };
    for (int i = 1; i <= 15; ++i) {
        auto* b = new QToolButton(bar);
        b->setObjectName("SpeedButton" + QString::number(i));
        b->setText(u(buttons[i].caption));
        b->setToolTip(u(buttons[i].hint));
        b->setAutoRaise(true);
        bar->addWidget(b);
        SpeedButton[i] = b;
    }
    connect(SpeedButton[1], &QToolButton::clicked, open1, &QAction::trigger);
    connect(SpeedButton[2], &QToolButton::clicked, FileOpen, &QAction::trigger);
    connect(SpeedButton[3], &QToolButton::clicked, FileSave, &QAction::trigger);
    connect(SpeedButton[4], &QToolButton::clicked, EditCut, &QAction::trigger);
    connect(SpeedButton[5], &QToolButton::clicked, EditCopy, &QAction::trigger);
    connect(SpeedButton[6], &QToolButton::clicked, EditPaste, &QAction::trigger);
    connect(SpeedButton[7], &QToolButton::clicked, EditUndo, &QAction::trigger);
    connect(SpeedButton[8], &QToolButton::clicked, FilePrint, &QAction::trigger);
    connect(SpeedButton[9], &QToolButton::clicked, this, [this] { SpeedButton9Click(); });
    connect(SpeedButton[10], &QToolButton::clicked, this, [this] { SpeedButton10Click(); });
    connect(SpeedButton[11], &QToolButton::clicked, Menu_setdata, &QAction::trigger);
    connect(SpeedButton[12], &QToolButton::clicked, FindNext, &QAction::trigger);
}

void TMainForm::buildClient() {
    auto* client = new QWidget(this);
    client->setObjectName("ClientArea");
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(2, 2, 2, 0);
    column->setSpacing(2);

    auto* top = new QHBoxLayout;
    Label1 = new QLabel(u(u"データ内のプログラム番号"), client);
    Label1->setObjectName("Label1");
    ComboBox1 = new QComboBox(client);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setMinimumWidth(260);
    BitBtn1 = new QToolButton(client);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setText(u(u"抽出"));
    BitBtn1->setToolTip(u(u"手動でﾌﾟﾛｸﾞﾗﾑ番号を抽出します。"));
    Label2 = new QLabel(client);
    Label2->setObjectName("Label2");
    top->addWidget(Label1);
    top->addWidget(ComboBox1);
    top->addWidget(BitBtn1);
    top->addStretch(1);
    top->addWidget(Label2);
    LabeledEdit1 = new LabeledEdit("LabeledEdit1", "DSR", client);
    LabeledEdit2 = new LabeledEdit("LabeledEdit2", "CTS", client);
    top->addWidget(LabeledEdit1);
    top->addWidget(LabeledEdit2);
    column->addLayout(top);

    auto* editRow = new QHBoxLayout;
    editRow->setSpacing(0);
    Panel3 = new QWidget(client);
    Panel3->setObjectName("Panel3");
    Panel3->setFixedWidth(0);
    RichEdit3 = new QWidget(Panel3);
    RichEdit3->setObjectName("RichEdit3");
    RichEdit1 = new NcEditor(client);
    RichEdit1->setObjectName("RichEdit1");
    RichEdit1->setUtf8(true);
    RichEdit1->SendScintilla(QsciScintilla::SCI_SETCODEPAGE, QsciScintilla::SC_CP_UTF8);
    RichEdit1->setEolMode(QsciScintilla::EolUnix);
    RichEdit1->setTabIndents(false);
    RichEdit1->setIndentationsUseTabs(true);
    RichEdit1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RichEdit1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { PopupMenu1->popup(RichEdit1->mapToGlobal(p)); });
    editRow->addWidget(Panel3);
    editRow->addWidget(RichEdit1, 1);
    column->addLayout(editRow, 1);

    RichEdit2 = new NcEditor(client);
    RichEdit2->setObjectName("RichEdit2");
    RichEdit2->setUtf8(true);
    RichEdit2->setWrapMode(QsciScintilla::WrapNone);
    RichEdit2->hide();
    column->addWidget(RichEdit2, 1);

    StatusBar1 = new EditingStatusBar(client);
    StatusBar2 = new TransferStatusBar(client);
    column->addWidget(StatusBar1);
    column->addWidget(StatusBar2);
    setCentralWidget(client);

    Timer4 = new QTimer(this);
    Timer4->setObjectName("Timer4");
    Timer4->setSingleShot(true);
}

// ---------------------------------------------------------------- show, idle

void TMainForm::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TMainForm::FormShow() {
    Options& options = m_desk->options();
    setAcceptDrops(true);
    refreshRecentMenu();
    StatusBar1->setText(3, u(u"挿入"));
    RichEdit1->setOverwriteMode(false);
    RichEdit1->SendScintilla(QsciScintilla::SCI_EMPTYUNDOBUFFER);
    LoadProfile(options.setNo);
    QTimer::singleShot(0, this, [this] { AppIdle(); });
    send_step->setChecked(options.stepSendEnabled);
    ono_op->setChecked(options.autoIndexOff);

    m_completionList.clear();
    const QString def = home().completionList();
    if (options.isOn(Opt::Completion) && QFileInfo(def).isFile()) {
        const QString text = platform::fromSjis(readAll(def));
        for (QString line : text.split('\n')) {
            if (line.endsWith('\r'))
                line.chop(1);
            m_completionList << line;
        }
        if (!m_completionList.isEmpty() && m_completionList.back().isEmpty())
            m_completionList.removeLast();
    } else {
        options.setOn(Opt::Completion, false);
    }
    jump_bp->setEnabled(false);
    RichEdit1->setFocus();
}

void TMainForm::AppIdle() {
    if (m_idleDone)
        return;
    m_idleDone = true;
    m_desk->firstIdle();
}

// ---------------------------------------------------------------- profiles

void TMainForm::LoadProfile(int n) {
    ProfileTable& profiles = m_desk->profiles();
    IniFile ini(home().profileFile());
    ini.load();
    loadProfileRecord(ini, n, profiles);
    for (int i = 1; i <= ProfileCount; ++i)
        Set[i]->setText(profiles[i].setting.name);
    applyProfilePresentation(profiles[n]);
    applyProfileGeometry(profiles[n]);
    Set[n]->setChecked(true);
    SetMenu->setTitle(u(u"通信設定切換(") + profiles[n].setting.name + ")");
}

void TMainForm::applyProfilePresentation(const CommProfile& p) {
    const bool wasModified = isModified();
    QFont font(p.setting.fontName);
    font.setPointSize(p.setting.fontSize > 0 ? p.setting.fontSize : 12);
    font.setStyleHint(QFont::Monospace);
    const QColor text = colourFromBgr(p.setting.fontColor);
    const QColor paper = colourFromBgr(p.setting.screenColor);
    for (QsciScintilla* e :
         {static_cast<QsciScintilla*>(RichEdit1), static_cast<QsciScintilla*>(RichEdit2)}) {
        e->setFont(font);
        e->SendScintilla(QsciScintilla::SCI_STYLESETFONT, QsciScintilla::STYLE_DEFAULT,
                         font.family().toUtf8().constData());
        e->SendScintilla(QsciScintilla::SCI_STYLESETSIZE, QsciScintilla::STYLE_DEFAULT, font.pointSize());
        // Scintilla takes colours as 0x00BBGGRR, the profile's own form. The
        // default style is set first and copied to every style, so no style
        // keeps the control's black text.
        e->SendScintilla(QsciScintilla::SCI_STYLESETFORE, QsciScintilla::STYLE_DEFAULT,
                         static_cast<long>(p.setting.fontColor & 0xFFFFFF));
        e->SendScintilla(QsciScintilla::SCI_STYLESETBACK, QsciScintilla::STYLE_DEFAULT,
                         static_cast<long>(p.setting.screenColor & 0xFFFFFF));
        e->SendScintilla(QsciScintilla::SCI_STYLECLEARALL);
        e->setColor(text);
        e->setPaper(paper);
        e->setCaretForegroundColor(text);
    }
    RichEdit3->setFont(font);
    QPalette pal = Panel3->palette();
    pal.setColor(QPalette::Window, text);
    Panel3->setPalette(pal);
    Panel3->setAutoFillBackground(true);
    if (!wasModified) {
        setModified(false);
        StatusBar1->setText(4, QString());
    }
    RichEdit1->SendScintilla(QsciScintilla::SCI_SETMARGINLEFT, 0, 10);
    RichEdit1->SendScintilla(QsciScintilla::SCI_SETMARGINRIGHT, 0, 10);
    RichEdit1->refreshGutter();
}

void TMainForm::applyProfileGeometry(const CommProfile& p) {
    QRect g;
    if (p.setting.posChg) {
        g = QRect(p.setting.posLeft, p.setting.posTop, p.setting.posWidth, p.setting.posHeight);
    } else {
        IniFile ini(home().optionFile());
        ini.load();
        const QRect& r = m_rememberedGeometry;
        g = QRect(ini.readInteger("Main", "Left", r.left()), ini.readInteger("Main", "Top", r.top()),
                  ini.readInteger("Main", "Width", r.width()), ini.readInteger("Main", "Height", r.height()));
    }
    // Keep the window on the work area; move it, never resize it.
    if (const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        const QRect wa = s->availableGeometry();
        if (g.top() < wa.top() || g.top() + g.height() > wa.bottom() + 1)
            g.moveTop(wa.top());
        if (g.left() < wa.left() || g.left() + g.width() > wa.right() + 1)
            g.moveLeft(wa.left());
    }
    move(g.topLeft());
    resize(g.size());
}

QRect TMainForm::windowGeometryForStore() const {
    return QRect(pos(), size());
}

void TMainForm::SelectProfile(int n) {
    if (n < 1 || n > ProfileCount)
        return;
    Options& options = m_desk->options();
    const int m = options.setNo;
    const QRect g = windowGeometryForStore();
    if (m_desk->profiles()[m].setting.posChg) {
        IniFile ini(home().profileFile());
        ini.load();
        saveProfilePosition(ini, m, g);
        QString why;
        if (!ini.save(&why))
            reportSaveFailure(ini.path(), why);
    } else {
        IniFile ini(home().optionFile());
        ini.load();
        Options geometry = options;
        geometry.left = g.left();
        geometry.top = g.top();
        geometry.width = g.width();
        geometry.height = g.height();
        geometry.saveGeometry(ini);
        QString why;
        if (!ini.save(&why))
            reportSaveFailure(ini.path(), why);
    }
    options.setNo = n;
    m_rememberedGeometry = g;
    LoadProfile(n);
}

bool TMainForm::SaveProfile(int n, bool writeFont, bool writePosition, QString* error) {
    IniFile ini(home().profileFile());
    ini.load();
    saveProfileRecord(ini, n, m_desk->profiles()[n], writeFont, writePosition, windowGeometryForStore());
    QString why;
    const bool saved = ini.save(&why);
    if (!saved && error)
        *error = platform::settingsNotWrittenText(ini.path(), why);
    else if (!saved)
        reportSaveFailure(ini.path(), why);
    LoadProfile(n);
    return saved;
}

void TMainForm::reportSaveFailure(const QString& path, const QString& reason) {
    m_prompts->messageBox(this, Prompts::Error, "Tornyx", platform::settingsNotWrittenText(path, reason),
                          Prompts::Ok);
}

// ---------------------------------------------------------------- documents

void TMainForm::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* e) {
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    dropFiles(paths);
    e->acceptProposedAction();
}

// ---------------------------------------------------------------- command line

bool TMainForm::fileExists(const QString& path) {
    return QFileInfo(path).isFile();
}

void TMainForm::errorBox(const QString& text) {
    m_prompts->messageBox(this, Prompts::Error, "Tornyx", text, Prompts::Yes);
}

bool TMainForm::warningQuestion(const QString& text) {
    return m_prompts->messageBox(this, Prompts::Warning, "Tornyx", text, Prompts::Yes | Prompts::No) ==
           Prompts::Yes;
}

bool TMainForm::appendToTransferList(const QString& path, QString* error) {
    clearEditor();
    // A member that cannot be read would leave a list that only looks whole.
    if (loadDocument(path) < 0) {
        *error = path + ": cannot be read";
        return false;
    }
    m_desk->document().saveDialogFileName = m_desk->document().path = path;
    QByteArray bytes = RichEdit1->encodeForFile().bytes;
    // Files are joined into one program text: a last line without its line
    // break must not run into the first line of the next file.
    if (!bytes.isEmpty() && !bytes.endsWith("\r\n"))
        bytes += "\r\n";
    // The whole list is written anew each time, so it holds every member so
    // far or, when that fails, the previous ones unchanged.
    const QString list = home().transferList();
    bool readable = false;
    const QByteArray before = readAll(list, &readable);
    if (!readable) {
        *error = list + ": cannot be read back";
        return false;
    }
    return platform::writeFileAtomically(list, before + bytes, error);
}

void TMainForm::loadForSend(const QString& path) {
    const qint64 size = loadDocument(path);
    showSize(static_cast<double>(qMax<qint64>(size, 0)));
    // The file to be sent is the document, as a plain path would be: its
    // name is what the log and the OSP file-name header give.
    m_desk->document().saveDialogFileName = m_desk->document().path = path;
    setCaption(CaptionMode::Editing, path);
    StatusBar1->setText(4, QString());
    StatusBar1->setText(1, QString());
    addRecent(path);
    setModified(false);
}

void TMainForm::openPlainPath(const QString& path) {
    openFileAsDocument(path);
}

// ---------------------------------------------------------------- closing

void TMainForm::closeEvent(QCloseEvent* e) {
    // Closing while a transfer runs is a stop request; the desk closes the
    // window once the run has ended through its stop path and closed the port.
    if (m_desk->requestClose()) {
        e->ignore();
        return;
    }
    if (!FormCloseQuery()) {
        e->ignore();
        return;
    }
    FormClose();
    e->accept();
}

bool TMainForm::FormCloseQuery() {
    if (!isModified())
        return true;
    DocumentState& doc = m_desk->document();
    const int r = m_prompts->messageBox(this, Prompts::Exclamation, u(u"編集"),
                                        doc.saveDialogFileName + u(u" への変更を保存しますか？"),
                                        Prompts::Yes | Prompts::No | Prompts::Cancel);
    if (r == Prompts::Cancel)
        return false;
    if (r == Prompts::Yes) {
        doc.saveDialogTitle = u(u"ﾃﾞｰﾀ保存");
        saveAs();
        doc.saveDialogTitle.clear();
        if (isModified())
            return false;
    }
    clearEditor();
    return true;
}

void TMainForm::FileExit1Click() {
    if (isModified()) {
        DocumentState& doc = m_desk->document();
        const int r = m_prompts->messageBox(this, Prompts::Exclamation, u(u"編集"),
                                            doc.saveDialogFileName + u(u" への変更を保存しますか？"),
                                            Prompts::Yes | Prompts::No | Prompts::Cancel);
        if (r == Prompts::Cancel)
            return;
        if (r == Prompts::Yes) {
            doc.saveDialogTitle = u(u"ﾃﾞｰﾀ保存");
            saveAs();
            doc.saveDialogTitle.clear();
            if (isModified()) {
                close(); // the close query asks again
                return;
            }
        }
    }
    clearEditor();
    setCaption(CaptionMode::Closing, QString());
    close();
}

void TMainForm::FormClose() {
    if (m_closing)
        return;
    m_closing = true;
    m_desk->programs().cancelExtraction();
    Options& options = m_desk->options();
    const ProfileTable& profiles = m_desk->profiles();

    IniFile ini(home().optionFile());
    ini.load();
    const QRect g = windowGeometryForStore();
    if (!profiles[options.setNo].setting.posChg) {
        options.left = g.left();
        options.top = g.top();
        options.width = g.width();
        options.height = g.height();
        options.saveGeometry(ini);
    }
    options.save(ini);
    QString why;
    if (!ini.save(&why))
        reportSaveFailure(ini.path(), why);
    m_desk->document().saveDialogFileName = u(u"無題");

    if (profiles[options.setNo].setting.posChg) {
        IniFile set(home().profileFile());
        set.load();
        saveProfilePosition(set, options.setNo, g);
        if (!set.save(&why))
            reportSaveFailure(set.path(), why);
    }

    // Probe every port that is not excluded; the probe changes nothing and
    // leaves a port another program holds alone.
    for (int n = 1; n <= 30; ++n) {
        const QString name = "COM" + QString::number(n);
        if (name.compare(options.modemePort1.trimmed(), Qt::CaseInsensitive) == 0 ||
            name.compare(options.modemePort2.trimmed(), Qt::CaseInsensitive) == 0)
            continue;
        probePort(n);
    }
}

int runProgram(QApplication& app) {
    QApplication::setApplicationName("Tornyx");
    QApplication::setApplicationVersion(platform::program::Version);
    QGuiApplication::setDesktopFileName(platform::program::AppId);
    QApplication::setWindowIcon(programIcon());
    QStringList args = app.arguments();
    args.removeFirst();
    TMainForm w(args);
    w.show();
    // For the start-up benchmark: leave as soon as the window is shown and
    // the first idle moment has come, without the close steps.
    if (qEnvironmentVariableIsSet("TORNYX_QUIT_AFTER_SHOW"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}

} // namespace tornyx
