// The window's restart and budget entries on the emulated line: what the
// operator sees before anything is sent, and that a refused restart sends
// nothing at all.
#include "app/TMainForm.h"
#include "nc/ui/TBudgetForm.h"
#include "nc/ui/TRestartForm.h"
#include "platform/TextCodec.h"
#include "support/FakePrompts.h"
#include "support/SafeServices.h"
#include "support/TempHome.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tornyx;
using test::FakePrompts;
using test::TempHome;

namespace {

struct Window {
    TempHome home;
    FakePrompts prompts;
    test::SafeServices safe{home, &prompts};
    std::unique_ptr<TMainForm> form;

    void open(const QList<QByteArray>& lines, bool dnc) {
        home.write("Setting.ini", dnc ? "[Send1]\r\nDNC_Send=1\r\n" : "[Send1]\r\nDNC_Send=0\r\n");
        home.write("PROG.NC", lines.join("\r\n") + "\r\n");
        form = std::make_unique<TMainForm>(QStringList{home.file("PROG.NC")}, safe.services);
        form->show();
        QElapsedTimer t;
        t.start();
        while (!form->desk().programs().isExtractionFinished() && t.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    ~Window() {
        if (form) {
            form->setModified(false);
            form->close();
        }
    }
    void trigger(const char* name) {
        QAction* a = form->controls().PopupMenu1->findChild<QAction*>(name);
        ASSERT_NE(a, nullptr) << name;
        a->trigger();
    }
    template <class D> void whenShown(std::function<void(D&)> f) {
        QTimer::singleShot(50, form.get(), [f] {
            auto* d = dynamic_cast<D*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr) << (QApplication::activeModalWidget()
                                          ? QApplication::activeModalWidget()->metaObject()->className()
                                          : "none");
            f(*d);
        });
    }
};

// A comment line as the block: the dialog says why, and closing it sends
// nothing and leaves the window as it was.
TEST(MainFormRestart, CommentLineSendsNothing) {
    Window w;
    w.open({"O1", "(ROUGHING)", "G01 X1. F100.", "M30"}, false);
    w.form->controls().RichEdit1->setCursorPosition(1, 0);
    QString said;
    bool sendable = true;
    w.whenShown<TRestartForm>([&](TRestartForm& d) {
        said = d.Label2->text();
        sendable = d.Button1->isEnabled();
        d.Button2->click();
    });
    w.trigger("restart_s");
    EXPECT_EQ(said, QStringLiteral(u"行2 は注釈(又は空)の行です｡指令のあるﾌﾞﾛｯｸを選んで下さい｡"));
    EXPECT_FALSE(sendable);
    EXPECT_TRUE(w.safe.port.written().isEmpty());
    EXPECT_TRUE(w.form->controls().SpeedButton[10]->isEnabled());
}

// A DNC restart needs a start program: without program numbers the
// operator is told so.
TEST(MainFormRestart, DncWithoutProgramNumbers) {
    Window w;
    w.open({"G01 X1. F100.", "M30"}, true);
    w.trigger("restart_s");
    ASSERT_EQ(w.prompts.boxes.size(), 1u);
    EXPECT_EQ(w.prompts.boxes[0].text,
              QStringLiteral(u"ﾌﾟﾛｸﾞﾗﾑ番号が有りません｡\nDNC運転にはｽﾀｰﾄﾌﾟﾛｸﾞﾗﾑが必要です｡"));
}

// The budget from the popup menu reads the DNC run from its start program
// at the profile's line (4800 bit/s, ISO, 2 stop bits by default).
TEST(MainFormRestart, BudgetFromThePopupMenu) {
    Window w;
    QList<QByteArray> lines = {
        "O100", "G91 G01 F3000.", "X0.500 Y0.000", "X0.500 Y0.000", "M99", "O1", "M98 P100 L5", "M30"};
    w.open(lines, true);
    QString rate;
    int regions = -1;
    QString first;
    w.whenShown<TBudgetForm>([&](TBudgetForm& d) {
        rate = d.Label1->text();
        regions = d.Grid1->rowCount();
        first = regions > 0 ? d.Grid1->item(0, 0)->text() + " x" + d.Grid1->item(0, 1)->text() : QString();
        d.Button1->click();
    });
    w.trigger("budget_s"); // O100 is the first program: it never ends, the start must be O1
    EXPECT_EQ(rate, QStringLiteral(u"通信: 4800bps 8N2 (436.4文字/秒)"));
    EXPECT_EQ(regions, 1);
    EXPECT_EQ(first, QStringLiteral("3-4 x5"));
}

} // namespace
