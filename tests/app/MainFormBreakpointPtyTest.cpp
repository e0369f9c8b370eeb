// A breakpoint set with the mouse in the gutter holds a real send over a
// pseudo-terminal at its line; the stop keys end a run from the editor.
#include "app/TMainForm.h"
#include "editor/ui/FindDialogs.h"
#include "platform/TextCodec.h"
#include "support/EditorClicks.h"
#include "support/FakePrompts.h"
#include "support/JapaneseText.h"
#include "support/PtyMainForm.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace tornyx;
using test::FakePrompts;
using test::u;

namespace {

const QString BreakpointBox = QString::fromUtf16(u"ﾌﾞﾚｰｸﾎﾟｲﾝﾄで一時停止中です\n[はい]で再開します\n");

// Holds the breakpoint box open for a while, the way an operator reads it,
// and notes what the window offered meanwhile.
struct OperatorPrompts : FakePrompts {
    int holdMs = 800;
    bool cutEnabled = true;
    bool hadSelection = false;
    int messageBox(QWidget* owner, Kind kind, const QString& title, const QString& text,
                   int buttons) override {
        if (text == BreakpointBox) {
            auto* form = static_cast<TMainForm*>(owner);
            emit form->controls().EditMenu->aboutToShow();
            cutEnabled = form->controls().EditCut->isEnabled();
            hadSelection = form->controls().RichEdit1->hasSelectedText();
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < holdMs)
                QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return FakePrompts::messageBox(owner, kind, title, text, buttons);
    }
};

struct BreakpointPty : test::PtyMainForm<OperatorPrompts> {
    void start(const QByteArray& document) {
        PtyMainForm::start({"--timeout", "20000", "--idle", "1500", "--times", home.file("times.txt")},
                           document);
    }
    // The bytes the machine received, parity stripped, and when each came
    // (microseconds from the first).
    QByteArray received() const {
        QByteArray text = home.read("raw.bin");
        for (char& c : text)
            c = char(c & 0x7f);
        return text;
    }
    std::vector<qint64> arrivals() const {
        std::vector<qint64> out;
        for (const QByteArray& l : home.read("times.txt").split('\n'))
            if (!l.isEmpty())
                out.push_back(l.toLongLong());
        return out;
    }
};

} // namespace

TEST_F(BreakpointPty, AClickedBreakpointHoldsTheSendBeforeItsLine) {
    start("O1\r\nN1 G01 X1.\r\nN2 G01 X2.\r\nN3 G01 X3.\r\nN4 G01 X4.\r\nM30\r\n");
    test::clickGutter(*form->controls().RichEdit1, 3);
    ASSERT_EQ(form->desk().document().breakpointLine, 4);
    sendAndWait();

    const auto asked = std::count_if(prompts.boxes.begin(), prompts.boxes.end(),
                                     [](const FakePrompts::Box& b) { return b.text == BreakpointBox; });
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(prompts.hadSelection) << "the run shows the line it is at";
    EXPECT_FALSE(prompts.cutEnabled) << "no cutting while a transfer runs";
    EXPECT_EQ(lastLogLine(), u(u"送信完了"));

    const QByteArray text = received();
    ASSERT_EQ(text.left(36).toStdString(), "\nO1\nN1 G01 X1.\nN2 G01 X2.\nN3 G01 X3.");
    const std::vector<qint64> at = arrivals();
    ASSERT_EQ(at.size(), static_cast<size_t>(text.size()));
    // The longest silence on the line lies just before N3 and lasts about as
    // long as the box was open.
    const qsizetype n3 = text.indexOf("N3");
    size_t longest = 1;
    for (size_t i = 1; i < at.size(); ++i)
        if (at[i] - at[i - 1] > at[longest] - at[longest - 1])
            longest = i;
    EXPECT_EQ(longest, static_cast<size_t>(n3));
    EXPECT_GT(at[n3] - at[n3 - 1], 600'000) << "microseconds";
}

TEST_F(BreakpointPty, F3InTheEditorStopsARunAndFindsNothing) {
    QByteArray doc = "O1\r\n";
    for (int i = 0; i < 200; ++i)
        doc += "G01X" + QByteArray::number(i) + ".Y1.\r\n";
    start(doc + "M30\r\n");
    // A text that is nowhere: F3 in the editor would say so if it searched.
    form->controls().FindDialog1->setFindText("ZZZ");
    QTimer::singleShot(400, form.get(), [this] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
        QApplication::sendEvent(form->controls().RichEdit1, &press);
    });
    form->controls().SpeedButton[10]->click(); // returns when the run has ended
    waitUntilIdle();
    EXPECT_TRUE(lastLogLine().startsWith(u(u"送信中止"))) << lastLogLine().toStdString();
    EXPECT_LT(home.read("raw.bin").size(), 2000);
    const auto notFound =
        std::count_if(prompts.boxes.begin(), prompts.boxes.end(), [](const FakePrompts::Box& b) {
            return b.text == QString::fromUtf16(u"検索文字列が見当たりません！");
        });
    EXPECT_EQ(notFound, 0);
}
