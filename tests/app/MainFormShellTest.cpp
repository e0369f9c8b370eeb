#include "app/InfoOptions.h"
#include "app/TMainForm.h"
#include "platform/ProgramInfo.h"
#include "support/FakePrompts.h"
#include "support/JapaneseText.h"
#include "support/SafeServices.h"
#include "support/TempDesktop.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

using namespace tornyx;
using test::FakePrompts;
using test::TempDesktop;
using test::TempHome;
using test::u;

namespace {

const QString Version = QStringLiteral(" Ver") + TORNYX_TEST_VERSION;

// Stands in for the desktop's handler of web pages and files: what the
// window asks to open is recorded, nothing is opened.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
    OpenedUrls() {
        for (const char* scheme : {"file", "http", "https"})
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~OpenedUrls() override {
        for (const char* scheme : {"file", "http", "https"})
            QDesktopServices::unsetUrlHandler(scheme);
    }
public slots:
    void open(const QUrl& url) { urls << url; }
};

struct MainFormShell : ::testing::Test {
    TempDesktop user;
    TempHome home;
    FakePrompts prompts;
    test::SafeServices safe{home, &prompts};
    OpenedUrls opened;
    QStringList tools;
    std::unique_ptr<TMainForm> form;

    MainFormShell() {
        home.write("os-release", "NAME=Test\nPRETTY_NAME=\"Test Linux 7 (shop)\"\n");
        safe.services.osReleaseFiles = {home.file("os-release")};
        safe.services.executable = user.home() + "/apps/bin/tornyx";
        safe.services.runTool = [this](const QString& program, const QStringList& args) {
            tools << program + ' ' + args.join(' ');
        };
    }
    void start(const QStringList& args = {}) {
        form = std::make_unique<TMainForm>(args, safe.services);
        form->show();
        QApplication::processEvents();
    }
    void trigger(QAction* a) {
        a->trigger();
        QApplication::processEvents();
    }
    void writeFile(const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

} // namespace

TEST_F(MainFormShell, StartCaptionNamesTheVersionAndTheSystem) {
    start();
    EXPECT_EQ(form->versionText(), Version);
    EXPECT_EQ(form->windowTitle(),
              "Tornyx" + Version + " (Win2000/XP/Vista)" + QString(10, ' ') + "OS=Test Linux 7 (shop)");

    // The caption of a document with the title option (file name only).
    form->desk().options().setOn(Opt::FileNameCaption, true);
    writeFile(home.file("work/P1.NC"), "%\nO0001\n%\n");
    form->loadAsDocument(home.file("work/P1.NC"));
    EXPECT_EQ(form->windowTitle(), u(u"<編集>P1.NC - Tornyx") + Version);
}

TEST_F(MainFormShell, UnreadableSystemLeavesTheSystemOutOfTheCaption) {
    safe.services.osReleaseFiles = {home.file("missing-os-release")};
    start();
    EXPECT_EQ(form->windowTitle(), "Tornyx" + Version + " (Win2000/XP/Vista)");
}

TEST_F(MainFormShell, DesktopShortcutTwiceLeavesOneLauncherAndSaysNothing) {
    start();
    trigger(form->controls().DeskTop_set);
    trigger(form->controls().DeskTop_set);
    EXPECT_EQ(QDir(user.desktop()).entryList(QDir::Files), QStringList{"Tornyx.desktop"});
    QFile launcher(user.desktop() + "/Tornyx.desktop");
    ASSERT_TRUE(launcher.open(QIODevice::ReadOnly));
    EXPECT_TRUE(launcher.readAll().contains("\nExec=" + safe.services.executable.toUtf8() + " %f\n"));

    QDir(user.desktop()).removeRecursively(); // fails, and still says nothing
    trigger(form->controls().DeskTop_set);
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(MainFormShell, SendToRegistersTheProgramWithTheFileManagers) {
    start();
    trigger(form->controls().SendTo_set);
    QFile entry(user.dataHome() + "/applications/" + QString::fromLatin1(platform::program::AppId) +
                ".desktop");
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\nExec=" + safe.services.executable.toUtf8() + " %f\n"));
    EXPECT_TRUE(tools.contains("update-mime-database " + user.dataHome() + "/mime"));
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(MainFormShell, HelpOpensBesideTheProgramOrSaysItIsMissing) {
    start();
    trigger(form->controls().Menu_help1);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Exclamation);
    EXPECT_EQ(prompts.boxes[0].title, u(u"ｴﾗｰ"));
    EXPECT_EQ(prompts.boxes[0].text, u(u"ﾍﾙﾌﾟﾌｧｲﾙが見つかりません｡"));
    EXPECT_EQ(prompts.boxes[0].buttons, int(Prompts::Ok));
    EXPECT_TRUE(opened.urls.isEmpty());

    // Installed under a prefix: <prefix>/share/tornyx/help beside <prefix>/bin.
    const QString help = user.home() + "/apps/share/tornyx/help/index.html";
    writeFile(help, "<html lang=ja></html>");
    trigger(form->controls().Menu_help1);
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(help)});
    EXPECT_EQ(prompts.boxes.size(), 1u);
}

TEST_F(MainFormShell, HomePageOpensInTheBrowser) {
    start();
    trigger(form->controls().Menu_hp);
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl(QString::fromLatin1(platform::program::HomePage))});
}

TEST_F(MainFormShell, AboutBoxShowsIconVersionAndTheSystem) {
    start();
    trigger(form->controls().Menu_ver);
    auto* box = form->findChild<QMessageBox*>("AboutBox");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->windowTitle(), u(u"ﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_FALSE(box->iconPixmap().isNull());
    EXPECT_TRUE(box->text().contains("<b>Tornyx" + Version + "</b>")) << box->text().toStdString();
    EXPECT_TRUE(box->text().contains(QString::fromLatin1(platform::program::HomePage)));
    EXPECT_TRUE(box->informativeText().contains("OS=Test Linux 7 (shop)"));
    box->accept();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(form->findChild<QMessageBox*>("AboutBox"), nullptr) << "closed and gone";
}

TEST(InfoOptions, VersionAndHelpOnlyAsTheOnlyArgument) {
    const char* version[] = {"tornyx", "--version"};
    EXPECT_EQ(infoOptionAnswer(2, version), "Tornyx " + std::string(TORNYX_TEST_VERSION) + "\n");
    const char* help[] = {"tornyx", "--help"};
    ASSERT_TRUE(infoOptionAnswer(2, help).has_value());
    EXPECT_EQ(infoOptionAnswer(2, help)->rfind("Usage: tornyx ", 0), 0u);
    const char* withFile[] = {"tornyx", "--version", "/nc/P1.NC"};
    EXPECT_FALSE(infoOptionAnswer(3, withFile).has_value()) << "a command line for the window";
    const char* plain[] = {"tornyx", "/nc/P1.NC"};
    EXPECT_FALSE(infoOptionAnswer(2, plain).has_value());
}

#include "MainFormShellTest.moc"
