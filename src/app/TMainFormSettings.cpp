// The main window's settings: the profile editor behind "設定", the option
// dialog and the user file types of the menu "設定", the port probe the
// editor lists its ports with, and the file dialogs that offer the file types.

#include "app/OptionRows.h"
#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "app/ui/TOptionForm.h"
#include "app/ui/TUser.h"
#include "platform/DialogPlacement.h"
#include "platform/SystemCommands.h"
#include "profiles/ui/TSetdataForm.h"

#include <QAction>
#include <QColorDialog>
#include <QFontDialog>

#include <Qsci/qsciscintilla.h>

namespace tornyx {

namespace {
const QString MailTestTitle = QStringLiteral(u"ﾃｽﾄ送信");
const QString MailTestFailed = QStringLiteral(u"ﾃｽﾄﾒｰﾙを送信できませんでした｡\nﾒｰﾙｺﾏﾝﾄﾞ: ");
} // namespace

// The window's side of the profile editor; owns the three dialogs, created
// once with the window.
class SettingsWiring : public QObject, public SetdataHost {
public:
    explicit SettingsWiring(TMainForm& w) : QObject(&w), m_w(w) {
        setdata = new TSetdataForm(*this, &w);
        option = new TOptionForm(w.prompts(), w.home().optionFile(), &w);
        user = new TUser(w.prompts(), w.home().optionFile(), &w);
    }

    bool question(QWidget* owner, const QString& title, const QString& text) override {
        return m_w.prompts().messageBox(owner, Prompts::Information, title, text,
                                        Prompts::Yes | Prompts::No) == Prompts::Yes;
    }
    void notice(QWidget* owner, Icon icon, const QString& title, const QString& text) override {
        m_w.prompts().messageBox(owner, icon == Stop ? Prompts::Error : Prompts::Information, title, text,
                                 Prompts::Ok);
    }
    QString chooseFolder(QWidget* owner, const QString& title, const QString& start) override {
        return m_w.prompts().folderName(owner, title, start);
    }
    std::optional<QColor> chooseColour(QWidget* owner, const QColor& initial) override {
        const QColor c = QColorDialog::getColor(initial, owner);
        return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
    }
    std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial) override {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, initial, owner);
        return ok ? std::optional<QFont>(f) : std::nullopt;
    }
    bool probePort(int n) override { return m_w.ProbePort(n); }
    bool saveProfile(int n, const CommProfile& record, bool writeFont, bool writePosition,
                     QString* error) override {
        m_w.desk().profiles()[n] = record;
        return m_w.SaveProfile(n, writeFont, writePosition, error);
    }
    void sendTestMail(const platform::MailMessage& mail) override {
        // The operator asked for this mail to see whether mail works: a
        // failure is told, unlike after a transfer.
        const platform::SystemCommands& commands = m_w.desk().commands();
        platform::sendMailInBackground(commands, mail, 30000, [w = &m_w, command = commands.mail](bool sent) {
            if (!sent)
                w->prompts().messageBox(w, Prompts::Error, MailTestTitle, MailTestFailed + command,
                                        Prompts::Ok);
        });
    }

    TSetdataForm* setdata;
    TOptionForm* option;
    TUser* user;

private:
    TMainForm& m_w;
};

void TMainForm::connectSettings() {
    m_settings = new SettingsWiring(*this);
    connect(Menu_setdata, &QAction::triggered, this, [this] { SpeedButton11Click(); });
    connect(setting_op, &QAction::triggered, this, [this] { setting_opClick(); });
    connect(User_op, &QAction::triggered, this, [this] { User_opClick(); });
}

bool TMainForm::ProbePort(int n) {
    const QString name = "COM" + QString::number(n);
    const Options& options = m_desk->options();
    for (const QString& excluded : {options.modemePort1, options.modemePort2})
        if (excluded.trimmed().toUpper() == name)
            return false;
    return probePort(n);
}

void TMainForm::SpeedButton11Click() {
    const Options& options = m_desk->options();
    SetdataInput in;
    in.number = activeProfile();
    in.profile = m_desk->profiles()[in.number];
    in.feedPointField = options.isOn(Opt::FeedPointField);
    in.sequenceField = options.isOn(Opt::SequenceField);
    in.editorFont = RichEdit1->font();
    in.editorText = RichEdit1->color();
    in.editorPaper = RichEdit1->paper();
    in.excludedPorts = {options.modemePort1, options.modemePort2};
    in.anchor = frameGeometry();
    in.optionFile = home().optionFile();
    m_settings->setdata->edit(in);
}

void TMainForm::setting_opClick() {
    Options& options = m_desk->options();
    m_settings->option->edit(frameGeometry(), optionRowValues(options),
                             [&options](const OptionRowValues& v) { applyOptionRowValues(options, v); });
    // The size unit and the caption follow the options at once.
    const DocumentState& doc = m_desk->document();
    if (doc.sizeValue > 0) {
        showSize(doc.sizeValue);
        setCaption(CaptionMode::Editing, doc.path);
    }
}

UserFileTypes TMainForm::userFileTypes() const {
    const Options& o = m_desk->options();
    return {o.user1Name, o.user1Mask, o.user2Name, o.user2Mask};
}

QString TMainForm::chooseOpenFile(QWidget* owner, const QString& title, const QString& folder) {
    FileTypeChoice types{userFileTypes(), m_desk->options().maskNo, m_desk->document().saveDialogDefaultExt};
    const QString path = m_prompts->openFileName(owner, title, folder, types);
    if (!path.isEmpty())
        m_desk->options().maskNo = types.index;
    return path;
}

QString TMainForm::chooseSaveFile(QWidget* owner, const QString& title, const QString& proposal) {
    FileTypeChoice types{userFileTypes(), m_desk->options().maskNo, m_desk->document().saveDialogDefaultExt};
    const QString path = m_prompts->saveFileName(owner, title, proposal, types);
    if (!path.isEmpty()) {
        m_desk->options().maskNo = types.index;
        m_desk->document().saveDialogDefaultExt = types.defaultExtension;
    }
    return path;
}

void TMainForm::User_opClick() {
    UserFileTypes types = userFileTypes();
    m_settings->user->edit(frameGeometry(), types);
    Options& options = m_desk->options();
    options.user1Name = types.name1;
    options.user1Mask = types.mask1;
    options.user2Name = types.name2;
    options.user2Mask = types.mask2;
}

} // namespace tornyx
