// The main window and the desktop: the version and the system in the caption,
// the launcher and the file managers' entries, the help, the web page and the
// About box.

#include "app/Prompts.h"
#include "app/TMainForm.h"
#include "platform/DesktopShell.h"
#include "platform/ProgramInfo.h"
#include "platform/SystemInfo.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QUrl>

namespace tornyx {

namespace {

QString u(const char16_t* s) {
    return QString::fromUtf16(s);
}

} // namespace

QIcon programIcon() {
    QIcon icon;
    // One picture per size the build rendered, named by its size ("48.png").
    for (const QString& name : QDir(":/icons").entryList()) {
        const int size = QFileInfo(name).baseName().toInt();
        icon.addFile(":/icons/" + name, QSize(size, size));
    }
    return icon;
}

void TMainForm::setUpShell() {
    setWindowIcon(programIcon());
    connect(DeskTop_set, &QAction::triggered, this, [this] { DeskTop_setClick(); });
    connect(SendTo_set, &QAction::triggered, this, [this] { SendTo_setClick(); });
    connect(Menu_help1, &QAction::triggered, this, [this] { Menu_help1Click(); });
    connect(Menu_hp, &QAction::triggered, this, [this] { Menu_hpClick(); });
    connect(Menu_ver, &QAction::triggered, this, [this] { Menu_verClick(); });
}

void TMainForm::showStartCaption() {
    m_versionText = platform::versionText();
    const platform::OsInfo os = m_services.osReleaseFiles.isEmpty()
                                    ? platform::readOsInfo()
                                    : platform::readOsInfo(m_services.osReleaseFiles);
    m_osText = os.text;
    setCaption(CaptionMode::Idle, QString());
    if (os.osClass != -1)
        setWindowTitle(windowTitle() + QString(10, ' ') + m_osText);
}

namespace {

QString executableOf(const MainFormServices& services) {
    return services.executable.isEmpty() ? QCoreApplication::applicationFilePath() : services.executable;
}

platform::ToolRunner runnerOf(const MainFormServices& services) {
    if (services.runTool)
        return services.runTool;
    return platform::runToolDetached;
}

} // namespace

// Both stay silent, as a shortcut does when the shell refuses it.
void TMainForm::DeskTop_setClick() {
    platform::createDesktopShortcut(executableOf(m_services), platform::ShellFolders::fromEnvironment(),
                                    runnerOf(m_services));
}

void TMainForm::SendTo_setClick() {
    platform::registerSendTo(executableOf(m_services), platform::ShellFolders::fromEnvironment(),
                             runnerOf(m_services));
}

void TMainForm::Menu_help1Click() {
    const QString help = platform::findHelpFile(QFileInfo(executableOf(m_services)).absolutePath());
    if (help.isEmpty()) {
        m_prompts->messageBox(this, Prompts::Exclamation, u(u"ｴﾗｰ"), u(u"ﾍﾙﾌﾟﾌｧｲﾙが見つかりません｡"),
                              Prompts::Ok);
        return;
    }
    // Without a desktop handler (no xdg-open) the command would otherwise do
    // nothing visible; the operator learns where the file is.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(help)))
        m_prompts->messageBox(this, Prompts::Exclamation, u(u"ｴﾗｰ"), help + u(u"\nを開けませんでした｡"),
                              Prompts::Ok);
}

void TMainForm::Menu_hpClick() {
    const QString page = QString::fromLatin1(platform::program::HomePage);
    if (!QDesktopServices::openUrl(QUrl(page)))
        m_prompts->messageBox(this, Prompts::Exclamation, u(u"ｴﾗｰ"), page + u(u"\nを開けませんでした｡"),
                              Prompts::Ok);
}

void TMainForm::Menu_verClick() {
    // Not modal to the whole program: the box must not hold a transfer's
    // event pumping up, and it closes with the window.
    auto* box = new QMessageBox(this);
    box->setObjectName("AboutBox");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(u(u"ﾊﾞｰｼﾞｮﾝ情報"));
    box->setIconPixmap(programIcon().pixmap(64, 64));
    const QString page = QString::fromLatin1(platform::program::HomePage);
    box->setTextFormat(Qt::RichText);
    box->setText("<p style='font-size:large'><b>Tornyx" + m_versionText.toHtmlEscaped() + "</b></p>" +
                 u(u"<p>NCﾌﾟﾛｸﾞﾗﾑをRS-232C回線でPCと工作機械の間に受け渡す、<br>"
                   u"現場のためのﾌﾟﾛｸﾞﾗﾑです｡送信・受信・DNC運転と、<br>その間の編集ができます｡</p>") +
                 "<p><a href='" + page.toHtmlEscaped() + "'>" + page.toHtmlEscaped() + "</a></p>");
    box->setInformativeText((m_osText.isEmpty() ? QString() : m_osText.toHtmlEscaped() + "<br>") + "Qt " +
                            QString::fromLatin1(qVersion()));
    box->setStandardButtons(QMessageBox::Ok);
    box->setWindowModality(Qt::WindowModal);
    box->open();
}

} // namespace tornyx
