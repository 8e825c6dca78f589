// The tool bar and the capture commands show an image on a desktop without an icon theme,
// each its own.
#include <QIcon>
#include <QImage>
#include <gtest/gtest.h>
#include <map>

#include "framework/Commands.h"
#include "shell/Menus.h"

namespace {

// Pixels that are not fully transparent: an image that draws nothing has none.
int Drawn(const QImage& image) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) != 0;
    return n;
}

} // namespace

TEST(CommandImages, EveryToolBarAndCaptureCommandHasItsOwnImageWithoutATheme) {
    const QStringList paths = QIcon::themeSearchPaths();
    const QString theme = QIcon::themeName();
    QIcon::setThemeSearchPaths({});
    QIcon::setThemeName(QStringLiteral("no-theme-at-all"));

    std::vector<int> ids;
    for (int id : MainToolBar())
        if (id != 0) ids.push_back(id);
    // The second tool bar's buttons, shown beside their items in the Capture menu.
    ids.push_back(ID_CAPTURE_MENU);
    ids.push_back(ID_CAPTURE_SINGLE_WINDOW);

    std::map<int, QImage> images;
    for (int id : ids) {
        const QIcon icon = CommandIcon(id);
        ASSERT_FALSE(icon.isNull()) << id;
        for (int size : {16, 32}) {
            const QImage image = icon.pixmap(size, size).toImage();
            EXPECT_EQ(image.size(), QSize(size, size)) << id;
            EXPECT_GT(Drawn(image), size * size / 10) << id << " at " << size;
        }
        images[id] = icon.pixmap(16, 16).toImage();
    }
    // Two commands drawn alike would leave the user guessing which button is which.
    for (auto a = images.begin(); a != images.end(); ++a)
        for (auto b = std::next(a); b != images.end(); ++b)
            EXPECT_NE(a->second, b->second) << a->first << " and " << b->first;

    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName(theme);
}
