// The help window answers the keyboard also when a modal dialog's Help button opened it.

#include <QApplication>
#include <QDialog>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/HelpWindow.h"

namespace {

const QString kPage = QStringLiteral(ORVANE_TEST_DATA "/../../resources/help/dialog.htm");

// Presses Page Down in the window as the window system would deliver it, so that a window a modal
// dialog blocks does not get it, and reports whether the page scrolled.
bool ScrollsToEnd(QTextBrowser* help) {
    help->resize(300, 200);
    help->verticalScrollBar()->setValue(0);
    help->setFocus();
    if (!QTest::qWaitForWindowExposed(help)) return false;
    QTest::keyClick(help->windowHandle(), Qt::Key_PageDown);
    return QTest::qWaitFor([&] { return help->verticalScrollBar()->value() > 0; }, 2000);
}

TEST(HelpWindow, OpenedFromAModalDialogTakesInput) {
    QPointer<QTextBrowser> help;
    ASSERT_NE(ShowHelpPage(help, kPage, "Help"), nullptr);
    EXPECT_TRUE(ScrollsToEnd(help));

    QDialog dialog;
    bool scrolled = false;
    QTimer::singleShot(0, &dialog, [&] {
        ShowHelpPage(help, kPage + "#printlayout", "Help");
        scrolled = help && ScrollsToEnd(help);
        dialog.reject();
    });
    dialog.exec();
    EXPECT_TRUE(scrolled);
    EXPECT_EQ(ShowHelpPage(help, kPage + ".missing", "Help"), nullptr);
    delete help;
}

} // namespace
