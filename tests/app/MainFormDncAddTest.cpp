#include "app/TMainForm.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "support/FakePrompts.h"
#include "support/SafeServices.h"
#include "support/TempHome.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace tornyx;
using test::FakePrompts;
using test::TempHome;

namespace {

QStringList items(const QComboBox* c) {
    QStringList l;
    for (int i = 0; i < c->count(); ++i)
        l << c->itemText(i);
    return l;
}

QStringList calls(const QListWidget* l) {
    QStringList out;
    for (int i = 0; i < l->count(); ++i)
        out << l->item(i)->text() + (l->item(i)->checkState() == Qt::Checked ? "+" : "-");
    return out;
}

struct DncAdd : ::testing::Test {
    TempHome home;
    FakePrompts prompts;
    test::SafeServices safe{home, &prompts};
    std::unique_ptr<TMainForm> form;
    std::unique_ptr<TDncForm> dnc;

    // The document calls O100 and O200; only O200 is in it.
    void start() {
        home.write("MAIN.NC", "%\r\nO1\r\nM98 P100\r\nM98 P200\r\nM30\r\nO200\r\nM99\r\n%\r\n");
        home.write("SUB.NC", "O100\r\nG00X1.\r\nM99\r\n");
        form = std::make_unique<TMainForm>(QStringList{}, safe.services);
        form->show();
        QApplication::processEvents();
        prompts.fileNames.push_back(home.file("MAIN.NC"));
        form->FileOpenClick();
        form->desk().programs().cancelExtraction();
        form->Timer4Timer();
        prompts.boxes.clear();
        dnc = std::make_unique<TDncForm>(form.get(), home.file("Tornyx.INI"));
        form->connectDncForm(*dnc);
        dnc->ComboBox1->addItems(items(form->controls().ComboBox1));
    }
    ~DncAdd() override {
        dnc.reset();
        if (form) {
            form->setModified(false);
            form->close();
        }
    }
};

} // namespace

TEST_F(DncAdd, AppendedFileResolvesTheMissingCallAndLeavesTheDocumentUnmodified) {
    start();
    dnc->Button3Click();
    ASSERT_EQ(calls(dnc->CheckListBox1), (QStringList{"00003:M98P100-", "00004:M98P200+"}));
    ASSERT_TRUE(dnc->Button4->isEnabled());
    const int before = form->controls().RichEdit1->lineCount();

    prompts.fileNames.push_back(home.file("SUB.NC"));
    dnc->Button4->click();
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_FALSE(form->isModified());
    EXPECT_TRUE(form->controls().StatusBar1->text(4).isEmpty());
    EXPECT_EQ(form->desk().document().path, home.file("MAIN.NC")) << "the document stays the opened file";
    EXPECT_EQ(form->controls().RichEdit2->length(), 0);
    // Old text, a line feed, then the file's text at the end.
    const int n = form->controls().RichEdit1->lineCount();
    ASSERT_GE(n, before + 3);
    EXPECT_EQ(form->controls().RichEdit1->lineText(before - 1), "");
    EXPECT_EQ(form->controls().RichEdit1->lineText(before), "O100");
    EXPECT_EQ(form->controls().RichEdit1->lineText(before + 2), "M99");
    const QString entry = QString("%1-O100").arg(before + 1, 5, 10, QChar('0'));
    EXPECT_EQ(items(dnc->ComboBox1), (QStringList{"00002-O1", "00006-O200", entry}));
    EXPECT_EQ(dnc->ComboBox1->currentIndex(), -1) << "the start program is chosen again";
    EXPECT_FALSE(dnc->Button1->isEnabled());
    EXPECT_FALSE(dnc->Button4->isEnabled());
    EXPECT_EQ(dnc->CheckListBox1->count(), 0);
    EXPECT_TRUE(dnc->Label2->text().isEmpty());

    dnc->Button3Click();
    EXPECT_EQ(calls(dnc->CheckListBox1), (QStringList{"00003:M98P100+", "00004:M98P200+"}));
    EXPECT_EQ(dnc->Label2->text(), QStringLiteral(u"すべて見つかりました｡"));
}

TEST_F(DncAdd, MissingFileAndAutomaticIndexOff) {
    start();
    dnc->Button3Click();
    prompts.fileNames.push_back(home.file("GONE.NC"));
    dnc->Button4Click();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].kind, Prompts::Error);
    EXPECT_EQ(prompts.boxes[0].text,
              QStringLiteral(u"呼出ﾃﾞｰﾀ\n") + home.file("GONE.NC") + QStringLiteral(u"が見つかりません｡"));
    EXPECT_EQ(form->controls().RichEdit1->lineCount(), 9) << "the document is left alone";
    EXPECT_TRUE(dnc->Button4->isEnabled());

    // With the automatic extraction off the wait must not hang: the list is
    // made at once.
    form->desk().options().autoIndexOff = true;
    prompts.fileNames.push_back(home.file("SUB.NC"));
    dnc->Button4Click();
    EXPECT_FALSE(form->controls().Timer4->isActive());
    EXPECT_EQ(items(dnc->ComboBox1).size(), 3);
    EXPECT_FALSE(form->isModified());
}

TEST_F(DncAdd, ClosingWritesTheDialogsPosition) {
    start();
    dnc->move(123, 45);
    const QPoint at = dnc->pos();
    dnc->reject();
    platform::IniFile ini(home.file("Tornyx.INI"));
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readInteger("DncPos", "Left", -1), at.x());
    EXPECT_EQ(ini.readInteger("DncPos", "Top", -1), at.y());
    dnc->move(7, 8);
    dnc->accept();
    ASSERT_TRUE(ini.load());
    EXPECT_EQ(ini.readInteger("DncPos", "Left", -1), dnc->x());
    EXPECT_EQ(ini.readInteger("DncPos", "Top", -1), dnc->y());
    EXPECT_NE(dnc->x(), at.x());
}
