#include "status/ui/StatusBars.h"

#include <QLabel>

#include <gtest/gtest.h>

using namespace tornyx;

namespace {
QString q(const char16_t* s) {
    return QString::fromUtf16(s);
}

std::vector<int> widths(const StatusPanels& b) {
    std::vector<int> w;
    for (int i = 0; i < b.count(); ++i)
        w.push_back(b.panel(i)->width());
    return w;
}
std::vector<bool> centred(const StatusPanels& b) {
    std::vector<bool> c;
    for (int i = 0; i < b.count(); ++i)
        c.push_back(b.panel(i)->alignment() & Qt::AlignHCenter);
    return c;
}
} // namespace

TEST(EditingStatusBar, PanelsAndTheirSetter) {
    EditingStatusBar b;
    b.resize(800, 20);
    b.show();
    EXPECT_EQ(b.objectName(), "StatusBar1");
    EXPECT_EQ(widths(b), (std::vector<int>{120, 60, 55, 60, 55, 55, 130}));
    EXPECT_EQ(centred(b), (std::vector<bool>{false, true, true, true, false, true, false}));
    EXPECT_EQ(b.text(0), q(u"ｻｲｽﾞ"));
    b.setEditingPanel(0, q(u"1.500KB"));
    EXPECT_EQ(b.text(0), q(u"ｻｲｽﾞ : 1.500KB"));
    b.setEditingPanel(1, "7 , 3");
    EXPECT_EQ(b.text(1), "1 , 1");
    b.setEditingPanel(4, q(u"<変更>"));
    EXPECT_EQ(b.text(4), q(u"<変更>"));
}

TEST(TransferStatusBar, PanelsProgressBarAndElapsedTime) {
    TransferStatusBar b;
    b.resize(800, 22);
    b.show();
    EXPECT_EQ(b.objectName(), "StatusBar2");
    // Seven fixed panels, then the drip-feed warning over the rest of the row.
    std::vector<int> w = widths(b);
    ASSERT_EQ(w.size(), 8u);
    EXPECT_GT(w.back(), 100);
    w.pop_back();
    EXPECT_EQ(w, (std::vector<int>{100, 180, 100, 80, 40, 50, 50}));
    EXPECT_EQ(centred(b), (std::vector<bool>{false, false, true, false, true, false, false, false}));
    EXPECT_EQ(b.panel(0)->frameStyle(), int(QFrame::NoFrame));
    EXPECT_EQ(b.text(6), q(u"送信:"));

    QProgressBar* p = b.startProgress();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->parentWidget(), b.panel(0));
    EXPECT_EQ(p->geometry().left(), 1);
    EXPECT_EQ(p->geometry().top(), 2);
    EXPECT_EQ(p->width(), 99);
    EXPECT_EQ(p->height(), b.panel(0)->height() - 2);
    QProgressBar* second = b.startProgress();
    EXPECT_EQ(b.panel(0)->findChildren<QProgressBar*>().size(), 1);

    b.showElapsed();
    EXPECT_EQ(b.progressBar(), nullptr);
    EXPECT_TRUE(b.panel(0)->findChildren<QProgressBar*>().isEmpty());
    EXPECT_EQ(b.text(0), q(u"経過時間 00:00:00"));
    (void)second;
}
