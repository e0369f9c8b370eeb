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
    SettingsWiring(TMainForm& w, const MainFormServices& services)
        : QObject(&w), m_w(w),
          m_commands(services.commands
                         ? *services.commands
                         : platform::SystemCommands::loadFromOptionFile(w.home().optionFile())) {
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
        m_w.profiles[n] = record;
        return m_w.SaveProfile(n, writeFont, writePosition, error);
    }
    void sendTestMail(const platform::MailMessage& mail) override {
        // The operator asked for this mail to see whether mail works: a
        // failure is told, unlike after a transfer.
        const QString command = m_commands.mail;
        platform::sendMailInBackground(m_commands, mail, 30000, [w = &m_w, command](bool sent) {
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
    platform::SystemCommands m_commands;
};

void TMainForm::connectSettings(const MainFormServices& services) {
    m_settings = new SettingsWiring(*this, services);
    connect(Menu_setdata, &QAction::triggered, this, [this] { SpeedButton11Click(); });
    connect(setting_op, &QAction::triggered, this, [this] { setting_opClick(); });
    connect(User_op, &QAction::triggered, this, [this] { User_opClick(); });
}

bool TMainForm::ProbePort(int n) {
    const QString name = "COM" + QString::number(n);
    for (const QString& excluded : {options.modemePort1, options.modemePort2})
        if (excluded.trimmed().toUpper() == name)
            return false;
    return probeAllPorts(n);
}

void TMainForm::SpeedButton11Click() {
    SetdataInput in;
    in.number = activeProfile();
    in.profile = profiles[in.number];
    in.feedPointField = options.isOn(Opt::FeedPointField);
    in.sequenceField = options.isOn(Opt::SequenceField);
    in.editorFont = RichEdit1->font();
    in.editorText = RichEdit1->color();
    in.editorPaper = RichEdit1->paper();
    in.excludedPorts = {options.modemePort1, options.modemePort2};
    in.anchor = frameGeometry();
    in.optionFile = m_home.optionFile();
    m_settings->setdata->edit(in);
}

void TMainForm::setting_opClick() {
    m_settings->option->edit(frameGeometry(), optionRowValues(options),
                             [this](const OptionRowValues& v) { applyOptionRowValues(options, v); });
    // The size unit and the caption follow the options at once.
    if (sizeValue > 0) {
        showSize(sizeValue);
        setCaption(1, documentPath);
    }
}

UserFileTypes TMainForm::userFileTypes() const {
    return {options.user1Name, options.user1Mask, options.user2Name, options.user2Mask};
}

QString TMainForm::chooseOpenFile(QWidget* owner, const QString& title, const QString& folder) {
    FileTypeChoice types{userFileTypes(), options.maskNo, saveDialogDefaultExt};
    const QString path = m_prompts->openFileName(owner, title, folder, types);
    if (!path.isEmpty())
        options.maskNo = types.index;
    return path;
}

QString TMainForm::chooseSaveFile(QWidget* owner, const QString& title, const QString& proposal) {
    FileTypeChoice types{userFileTypes(), options.maskNo, saveDialogDefaultExt};
    const QString path = m_prompts->saveFileName(owner, title, proposal, types);
    if (!path.isEmpty()) {
        options.maskNo = types.index;
        saveDialogDefaultExt = types.defaultExtension;
    }
    return path;
}

void TMainForm::User_opClick() {
    UserFileTypes types = userFileTypes();
    m_settings->user->edit(frameGeometry(), types);
    options.user1Name = types.name1;
    options.user1Mask = types.mask1;
    options.user2Name = types.name2;
    options.user2Mask = types.mask2;
}

} // namespace tornyx
