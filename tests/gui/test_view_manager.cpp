// The open-file tab bar over real image windows: tab order, the selection following the
// active window, the colours and tool tips of the tabs, and what a closing window leaves.
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "ImageHost.h"
#include "framework/LogicalFont.h"
#include "platform/RegProfile.h"
#include "shell/EditorBackground.h"
#include "shell/ViewManager.h"
#include "shell/WindowsDlg.h"

namespace {

class ViewManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.makePicture = [](CDisplayPicture& p) { FillPattern(p, 40, 30); };
        bar = new CViewManager(&host.Frame(), host.Frame().MDIClient());
        host.Frame().addToolBar(bar);
    }
    QStringList Titles() {
        QStringList titles;
        for (int i = 0; i < bar->TabCtrl()->count(); ++i) titles << bar->TabCtrl()->tabText(i);
        return titles;
    }
    QMdiSubWindow* Child(CDocument* doc) {
        for (QMdiSubWindow* w : host.Frame().MDIClient()->subWindowList())
            if (dynamic_cast<CMDIChildWnd*>(w)->GetActiveDocument() == doc) return w;
        return nullptr;
    }

    ImageHost host;
    CViewManager* bar = nullptr;
};

TEST_F(ViewManagerTest, TabsInOpeningOrderFollowTheActiveWindowWithColoursAndTips) {
    CDocument* a = host.NewImage();
    CDocument* b = host.NewImage();
    CDocument* c = host.NewImage();
    bar->OnIdleUpdate();
    ASSERT_EQ(bar->GetCount(), 3);
    EXPECT_EQ(Titles(), (QStringList{a->GetTitle(), b->GetTitle(), c->GetTitle()}));
    CViewTabCtrl* tabs = bar->TabCtrl();
    EXPECT_EQ(tabs->currentIndex(), 2);

    host.Frame().MDIClient()->setActiveSubWindow(Child(a));
    bar->OnIdleUpdate();
    EXPECT_EQ(tabs->currentIndex(), 0);
    // A new capture counts as modified; as if each had just been saved.
    for (CDocument* d : {a, b, c}) d->SetModifiedFlag(false);
    EXPECT_EQ(tabs->TextColor(0), QColor(0, 0, 255));
    EXPECT_EQ(tabs->TextColor(1), QColor(0x32, 0x32, 0x32));
    EXPECT_TRUE(tabs->TextFont(0) != tabs->TextFont(1));
    // Each title fits beside its icon in whichever font it is drawn, the selected one too.
    for (int selected : {0, 2}) {
        host.Frame().MDIClient()->setActiveSubWindow(Child(selected ? c : a));
        bar->OnIdleUpdate();
        for (int i = 0; i < 3; ++i) {
            const QRect text = tabs->TextRect(i);
            EXPECT_GE(text.width(),
                      QFontMetrics(tabs->TextFont(i)).horizontalAdvance(tabs->tabText(i)))
                << i;
            EXPECT_GT(text.left(), tabs->IconRect(i).right()) << i;
            EXPECT_TRUE(tabs->tabRect(i).contains(text)) << i;
        }
    }
    host.Frame().MDIClient()->setActiveSubWindow(Child(a));
    bar->OnIdleUpdate();
    b->SetModifiedFlag(true);
    a->SetModifiedFlag(true);
    EXPECT_EQ(tabs->TextColor(1), QColor(255, 0, 0));
    EXPECT_EQ(tabs->TextColor(0), QColor(255, 0, 0));

    EXPECT_EQ(tabs->tabToolTip(2), "A new unsaved file");
    c->SetPathName("/tmp/some/shot.bmp", false);
    bar->OnIdleUpdate();
    EXPECT_EQ(tabs->tabToolTip(2), "/tmp/some/shot.bmp");

    // Clicking a tab activates its window.
    tabs->setCurrentIndex(1);
    EXPECT_EQ(host.Frame().MDIClient()->activeSubWindow(), Child(b));
}

TEST_F(ViewManagerTest, ClosingWindowsKeepsTheOrderAndTheRowHidesWithoutActiveWindow) {
    std::vector<CDocument*> docs;
    for (int i = 0; i < 6; ++i) docs.push_back(host.NewImage());
    bar->OnIdleUpdate();
    // A narrow row is full at once: the tail is laid out again on each removal.
    bar->TabCtrl()->setFixedWidth(bar->TabCtrl()->tabRect(0).width() * 2);
    host.Frame().MDIClient()->setActiveSubWindow(Child(docs[4]));
    bar->OnIdleUpdate();

    docs[1]->OnCloseDocument();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    docs.erase(docs.begin() + 1);
    QStringList expected;
    for (CDocument* d : docs) expected << d->GetTitle();
    EXPECT_EQ(Titles(), expected);
    EXPECT_EQ(bar->GetCount(), 5);
    bar->OnIdleUpdate();
    EXPECT_EQ(bar->TabCtrl()->Window(bar->TabCtrl()->currentIndex()),
              host.Frame().MDIClient()->activeSubWindow());

    host.Frame().MDIClient()->setActiveSubWindow(nullptr);
    bar->OnIdleUpdate();
    EXPECT_TRUE(bar->TabCtrl()->isHidden());

    for (CDocument* d : docs) d->OnCloseDocument();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(bar->GetCount(), 0);
    EXPECT_EQ(bar->TabCtrl()->count(), 0);
}

// The tab's own menu is the only one: the main window's menu of bars must not open on top.
TEST_F(ViewManagerTest, RightClickActivatesTheTabsWindowAndOpensOnlyTheTabMenu) {
    CDocument* a = host.NewImage();
    host.NewImage();
    bar->OnIdleUpdate();
    CViewTabCtrl* tabs = bar->TabCtrl();
    std::vector<QPoint> menus;
    tabs->onContextMenu = [&](const QPoint& at) { menus.push_back(at); };
    const QPoint at = tabs->tabRect(0).center();
    QTest::mouseClick(tabs, Qt::RightButton, {}, at);
    EXPECT_EQ(host.Frame().MDIClient()->activeSubWindow(), Child(a));
    EXPECT_EQ(tabs->currentIndex(), 0);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0], tabs->mapToGlobal(at));

    struct Count : QObject {
        int menus = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() != QEvent::ContextMenu) return false;
            ++menus;
            return true;
        }
    } frameMenus;
    host.Frame().installEventFilter(&frameMenus);
    bar->installEventFilter(&frameMenus);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, tabs->mapToGlobal(at));
    QApplication::sendEvent(tabs, &event);
    EXPECT_EQ(frameMenus.menus, 0);
}

TEST_F(ViewManagerTest, WindowsDialogEnablesBySelectionAndClosesUpwardsUntilACancel) {
    std::vector<CDocument*> docs;
    for (int i = 0; i < 4; ++i) docs.push_back(host.NewImage());
    for (CDocument* d : docs) d->SetModifiedFlag(false);
    docs[1]->SetModifiedFlag(true);
    host.answer = QMessageBox::Cancel;

    CWindowsDlg dialog(host.Frame().MDIClient(), &host.Frame());
    QListWidget* list = dialog.List();
    ASSERT_EQ(list->count(), 4);
    auto enabled = [&dialog] {
        QString on;
        for (int id : {1000, 1, 1002, 1001, 1005, 1003, 1006, 1004})
            on += dialog.Button(id)->isEnabled() ? '1' : '0';
        return on;
    };
    EXPECT_TRUE(list->item(3)->isSelected()) << "the active window's line";
    EXPECT_EQ(enabled(), "11110001");
    list->clearSelection();
    EXPECT_EQ(enabled(), "01000000");
    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    EXPECT_EQ(enabled(), "01111111");

    list->selectAll();
    dialog.OnCloseWindows();
    // The last two closed; the cancelled save question of the second stopped it there.
    EXPECT_EQ(host.questions, 1);
    ASSERT_EQ(host.Frame().MDIClient()->subWindowList().size(), 2);
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), Child(docs[0])->windowTitle());
    EXPECT_EQ(list->item(1)->text(), Child(docs[1])->windowTitle());
}

TEST_F(ViewManagerTest, BackgroundStretchesItsPictureUnderTheProductLineAndKeepsItsValues) {
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    CEditorBackground background(host.Frame().MDIClient());
    const QRect client(0, 0, 640, 400);
    const QRect line = background.ProductLineRect(client);
    const QFontMetrics metrics(background.logoFont);
    EXPECT_EQ(line.bottomRight(), client.bottomRight());
    EXPECT_EQ(line.left(), 640 - metrics.averageCharWidth() / 2 -
                               metrics.horizontalAdvance(CEditorBackground::ProductLine()));

    background.backColor = QColor(10, 20, 30);
    QImage out(client.size(), QImage::Format_RGB32);
    {
        QPainter painter(&out);
        background.Paint(painter, client);
    }
    EXPECT_EQ(out.pixelColor(5, 5), QColor(10, 20, 30));

    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(QColor(200, 0, 100));
    const QString bmp = dir.filePath("back.bmp");
    ASSERT_TRUE(picture.save(bmp, "BMP"));
    background.SetBitmapFile(dir.filePath("missing.bmp"));
    EXPECT_TRUE(background.bitmap.isNull()) << "the plain background";
    background.SetBitmapFile(bmp);
    background.dispType = CEditorBackground::Stretch;
    {
        QPainter painter(&out);
        background.Paint(painter, client);
    }
    EXPECT_EQ(out.pixelColor(5, 5), QColor(200, 0, 100));
    EXPECT_EQ(out.pixelColor(600, 10), QColor(200, 0, 100));
    // The product line is drawn over a stretched picture, not over a tiled one.
    const auto inkInLine = [&] {
        int ink = 0;
        const QRect seen = line & client;
        for (int y = seen.top(); y <= seen.bottom(); ++y)
            for (int x = seen.left(); x <= seen.right(); ++x)
                ink += out.pixelColor(x, y) != QColor(200, 0, 100);
        return ink;
    };
    EXPECT_GT(inkInLine(), 0);
    background.dispType = CEditorBackground::Tile;
    {
        QPainter painter(&out);
        background.Paint(painter, client);
    }
    EXPECT_EQ(inkInLine(), 0);
    background.dispType = CEditorBackground::Stretch;

    // The logo font is stored as a record of its own and read back the same.
    EXPECT_EQ(background.logoRecord.lfWeight, FW_BOLD);
    EXPECT_EQ(background.logoRecord.lfHeight, -MulDiv(18, ScreenDpiY(), 72));
    EXPECT_EQ(background.logoFont.pixelSize(), MulDiv(18, ScreenDpiY(), 72));
    background.logoFont.setItalic(true);
    background.logoFont.setPixelSize(31);

    {
        CRegProfile profile(host.RegNames(), false);
        ASSERT_TRUE(profile.OpenRootCreate(RegRoot::CurrentUser));
        background.Save(profile);
    }
    CEditorBackground again(host.Frame().MDIClient());
    CRegProfile profile(host.RegNames(), true);
    ASSERT_TRUE(profile.OpenRootReadOnly(RegRoot::CurrentUser));
    again.Load(profile);
    EXPECT_EQ(again.backColor, QColor(10, 20, 30));
    EXPECT_EQ(again.dispType, CEditorBackground::Stretch);
    EXPECT_EQ(again.fileName, bmp);
    EXPECT_FALSE(again.bitmap.isNull());
    EXPECT_EQ(again.logoFont, background.logoFont);
    EXPECT_EQ(again.logoRecord.lfFaceName, "Times New Roman");
    EXPECT_EQ(again.logoRecord.lfHeight, -31);
    EXPECT_EQ(again.logoRecord.lfPitchAndFamily, FF_ROMAN);
}

} // namespace

namespace {

bool Enabled(ImageHost& host, int id) {
    CCmdUI ui(id);
    return host.RouteCommand(id, &ui) && ui.m_enabled;
}

} // namespace

// Minimized windows dragged about go back into rows along the bottom, in opening order, the
// open ones staying where they are.
TEST_F(ViewManagerTest, ArrangeIconsLinesUpMinimizedWindowsAlongTheBottom) {
    EXPECT_FALSE(Enabled(host, ID_WINDOW_ARRANGE));
    std::vector<QMdiSubWindow*> windows;
    for (int i = 0; i < 5; ++i) windows.push_back(Child(host.NewImage()));
    EXPECT_TRUE(Enabled(host, ID_WINDOW_ARRANGE));
    QMdiArea* mdi = host.Frame().MDIClient();
    windows[4]->showNormal();
    windows[4]->setGeometry(100, 50, 200, 150);
    for (int i = 0; i < 4; ++i) {
        windows[i]->showMinimized();
        windows[i]->move(40 * i + 7, 30 * i + 11);
    }
    QCoreApplication::processEvents();
    // Room for three minimized windows a row.
    const int w = windows[0]->width();
    const int h = windows[0]->height();
    host.Frame().resize(3 * w + w / 2 + host.Frame().width() - mdi->viewport()->width(),
                        host.Frame().height());
    QCoreApplication::processEvents();
    const int bottom = mdi->viewport()->height();
    const int perRow = std::max(1, mdi->viewport()->width() / w);
    EXPECT_EQ(perRow, 3);

    host.Frame().ExecuteCommand(ID_WINDOW_ARRANGE);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(windows[i]->geometry(),
                  QRect(i % perRow * w, bottom - (i / perRow + 1) * h, w, h))
            << i;
    EXPECT_EQ(windows[4]->geometry(), QRect(100, 50, 200, 150));
    EXPECT_TRUE(windows[0]->isMinimized());
}
