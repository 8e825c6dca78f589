// The open dialog with its picture preview and the Save As dialog.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

#include "editor/ImageDoc.h"
#include "imagefile/DisplayPicture.h"
#include "imagefile/FilePreviewDlg.h"
#include "imagefile/PictureEncoder.h"

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

constexpr int kWait = 10000;

// A picture with something on every row, written as a file of the extension's format.
QString WritePicture(const QTemporaryDir& dir, const QString& name, int width, int height) {
    CDisplayPicture picture;
    picture.Create(width, height, 32, false);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            reinterpret_cast<uint32_t*>(picture.GetLineArray()[y])[x] =
                uint32_t(x * 2654435761u ^ y * 40503u);
    const QString path = dir.filePath(name);
    EXPECT_TRUE(EncodePictureByExtension(path.toStdString(), picture));
    return path;
}

bool AnyMessageBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w) && w->isVisible()) return true;
    return false;
}

class OpenDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_dialog = std::make_unique<CFilePreviewDlg>(nullptr, "Open");
        m_dialog->resize(900, 500);
        m_dialog->show();
    }
    void TearDown() override {
        if (!m_dialog) return;
        EXPECT_TRUE(QTest::qWaitFor([&] { return m_dialog->DecoderIdle(); }, kWait));
    }
    void ShowAndWait(const QString& path) {
        m_dialog->LoadSelection(path);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !m_dialog->DecodePending(); }, kWait));
    }
    QString ColorBits() const { return m_dialog->ColorBitsLabel()->text(); }
    QString ImageSize() const { return m_dialog->ImageSizeLabel()->text(); }

    QTemporaryDir m_dir;
    std::unique_ptr<CFilePreviewDlg> m_dialog;
};

TEST_F(OpenDialogTest, ListsTheReadableFormatsAndStartsWithAllOfThem) {
    EXPECT_EQ(m_dialog->windowTitle(), "Open");
    auto* combo = m_dialog->findChild<QComboBox*>("fileTypeCombo");
    ASSERT_TRUE(combo);
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
    EXPECT_EQ(shown, QStringList({"BMP File", "JPEG File", "PNG File", "PICT File", "TIFF File",
                                  "TARGA File", "Windows Metafile", "Windows Enhanced Metafile",
                                  "PCX File", "Portable Greymap File", "GIF File",
                                  "All supported graphic formats", "All Files (*.*)"}));
    EXPECT_EQ(combo->currentIndex(), 11);
    EXPECT_EQ(m_dialog->selectedNameFilter(), "All supported graphic formats");
    EXPECT_EQ(m_dialog->nameFilters().at(11),
              "All supported graphic formats (*.bmp *.dib *.rle *.jpg *.jpeg *.jif *.png *.pct "
              "*.tif *.eps *.tga *.wmf *.emf *.pcx *.pgm *.gif)");
    EXPECT_EQ(m_dialog->nameFilters().at(4), "TIFF File (*.tif *.eps)");
    EXPECT_EQ(m_dialog->nameFilters().at(12), "All Files (*.*) (*)");
}

TEST_F(OpenDialogTest, PreviewShowsDepthAndSizeAndUncheckingBlanksBoth) {
    const QString path = WritePicture(m_dir, "small.bmp", 40, 30);
    EXPECT_EQ(ColorBits(), "Color bits :  ");
    ShowAndWait(path);
    ASSERT_TRUE(m_dialog->Preview()->HasPicture());
    EXPECT_EQ(ColorBits(), "Color bits : 32");
    EXPECT_EQ(ImageSize(), "Image size : (40,30)");

    m_dialog->PreviewCheck()->click();
    EXPECT_FALSE(m_dialog->PreviewEnabled());
    EXPECT_FALSE(m_dialog->Preview()->HasPicture());
    EXPECT_EQ(ColorBits(), "Color bits :  ");
    EXPECT_EQ(ImageSize(), "Image size :  ");
    // Nothing is decoded while the preview is off; turning it on shows the selection again.
    m_dialog->LoadSelection(path);
    EXPECT_FALSE(m_dialog->DecodePending());
    m_dialog->PreviewCheck()->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_dialog->Preview()->HasPicture(); }, kWait));
    EXPECT_EQ(ImageSize(), "Image size : (40,30)");
}

TEST_F(OpenDialogTest, PictureIsShrunkToFitAndNeverEnlarged) {
    const QRect area(1, 1, 300, 200);
    EXPECT_EQ(PreviewPlacement({30, 20}, area), QRect(136, 91, 30, 20));
    EXPECT_EQ(PreviewPlacement({300, 200}, area), area);
    EXPECT_EQ(PreviewPlacement({3000, 500}, area), QRect(1, 76, 300, 50));
    EXPECT_EQ(PreviewPlacement({100, 800}, area), QRect(138, 1, 25, 200));

    ShowAndWait(WritePicture(m_dir, "wide.png", 2000, 500));
    const QRect inside = m_dialog->Preview()->Area();
    QRect drawn = m_dialog->Preview()->PictureRect();
    EXPECT_EQ(drawn.width(), inside.width());
    EXPECT_NEAR(drawn.height(), inside.width() / 4.0, 1.0);
    EXPECT_TRUE(inside.contains(drawn));

    ShowAndWait(WritePicture(m_dir, "tiny.gif", 12, 9));
    drawn = m_dialog->Preview()->PictureRect();
    EXPECT_EQ(drawn.size(), QSize(12, 9));
    const QPoint offCentre = drawn.center() - m_dialog->Preview()->Area().center();
    EXPECT_LE(offCentre.manhattanLength(), 2) << offCentre.x() << "," << offCentre.y();
    EXPECT_EQ(ColorBits(), "Color bits : 8");
}

TEST_F(OpenDialogTest, FolderOrBrokenFileLeavesThePreviewWithoutMessage) {
    QDir(m_dir.path()).mkdir("sub.png");
    m_dialog->LoadSelection(m_dir.filePath("sub.png"));
    EXPECT_FALSE(m_dialog->DecodePending());
    EXPECT_FALSE(m_dialog->Preview()->HasPicture());
    EXPECT_EQ(m_dialog->DecodeCount(), 0);

    QFile broken(m_dir.filePath("broken.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\x89PNG\r\n\x1a\n not really a picture");
    broken.close();
    ShowAndWait(broken.fileName());
    EXPECT_FALSE(m_dialog->Preview()->HasPicture());
    EXPECT_EQ(ColorBits(), "Color bits :  ");
    EXPECT_EQ(ImageSize(), "Image size :  ");
    EXPECT_FALSE(AnyMessageBox());

    // A folder selected after a picture leaves the picture.
    ShowAndWait(WritePicture(m_dir, "a.bmp", 5, 4));
    m_dialog->LoadSelection(m_dir.filePath("sub.png"));
    EXPECT_FALSE(m_dialog->DecodePending());
    EXPECT_EQ(ImageSize(), "Image size : (5,4)");
    // A broken file after a picture empties it.
    ShowAndWait(broken.fileName());
    EXPECT_FALSE(m_dialog->Preview()->HasPicture());
    EXPECT_FALSE(AnyMessageBox());
}

TEST_F(OpenDialogTest, NewerSelectionWinsOverAnOlderSlowDecode) {
    const QString big = WritePicture(m_dir, "big.png", 3840, 2160);
    const QString middle = WritePicture(m_dir, "middle.bmp", 64, 48);
    const QString small = WritePicture(m_dir, "small.bmp", 32, 16);
    m_dialog->LoadSelection(big);
    m_dialog->LoadSelection(middle);
    m_dialog->LoadSelection(small);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_dialog->DecodePending(); }, kWait));
    EXPECT_EQ(ImageSize(), "Image size : (32,16)");
    // The big picture, decoded or not, never reached the preview; the middle one, replaced
    // while it waited, was never decoded.
    EXPECT_EQ(m_dialog->PicturesShown(), 1);
    EXPECT_LE(m_dialog->DecodeCount(), 2);

    // A decode still running when the preview is turned off does not show its picture.
    m_dialog->LoadSelection(big);
    m_dialog->PreviewCheck()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_dialog->DecoderIdle(); }, kWait));
    QCoreApplication::processEvents();
    EXPECT_FALSE(m_dialog->Preview()->HasPicture());
    EXPECT_EQ(ImageSize(), "Image size :  ");
    EXPECT_EQ(m_dialog->PicturesShown(), 1);

    // The dialog closed while a big picture is being decoded: the decode finishes alone and its
    // result goes nowhere.
    m_dialog->PreviewCheck()->click();
    ShowAndWait(small);
    const int decodes = m_dialog->DecodeCount();
    m_dialog->LoadSelection(big);
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_dialog->DecodeCount() > decodes; }, kWait));
    m_dialog.reset();
    CFilePreviewDlg next(nullptr, "Open");
    next.LoadSelection(small);
    EXPECT_TRUE(QTest::qWaitFor([&] { return next.Preview()->HasPicture(); }, kWait));
}

TEST_F(OpenDialogTest, SelectingInTheListPreviews) {
    const QString path = WritePicture(m_dir, "listed.png", 70, 50);
    // The program's own captures are named Orvn00001.JPG: the filters ignore case.
    WritePicture(m_dir, "Orvn00001.JPG", 8, 8);
    m_dialog->setDirectory(m_dir.path());
    // Clicked in the list, as a person does: the list's current item changes.
    auto* list = m_dialog->findChild<QListView*>("listView");
    ASSERT_TRUE(list);
    QModelIndex item;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QModelIndex root = list->rootIndex();
            for (int r = 0; r < list->model()->rowCount(root); ++r) {
                item = list->model()->index(r, 0, root);
                if (item.data().toString() == "listed.png") return true;
            }
            return false;
        },
        kWait));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QModelIndex root = list->rootIndex();
            for (int r = 0; r < list->model()->rowCount(root); ++r)
                if (list->model()->index(r, 0, root).data().toString() == "Orvn00001.JPG")
                    return true;
            return false;
        },
        kWait));
    list->setCurrentIndex(item);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_dialog->Preview()->HasPicture(); }, kWait));
    EXPECT_EQ(ImageSize(), "Image size : (70,50)");
    // A bigger area gets the picture made again for its size, without a second decode.
    const int decodes = m_dialog->DecodeCount();
    m_dialog->resize(1100, 700);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !m_dialog->DecodePending(); }, kWait));
    EXPECT_EQ(m_dialog->DecodeCount(), decodes);
    EXPECT_EQ(m_dialog->Preview()->PictureRect().size(), QSize(70, 50));
    QMetaObject::invokeMethod(m_dialog.get(), "accept");
    EXPECT_EQ(m_dialog->selectedFiles(), QStringList{path});
}

TEST(SaveAsDialogTest, FiltersDefaultExtensionAndTheTypedExtensionDecides) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto save = [&](const QString& typed, int filter) {
        QFileDialog dialog(nullptr, "Save As");
        SetUpSaveAsDialog(dialog, "Orvcap1");
        EXPECT_EQ(dialog.nameFilters(), SaveAsFilters());
        EXPECT_EQ(dialog.selectedNameFilter(), "JPEG file (*.jpg)");
        EXPECT_EQ(dialog.defaultSuffix(), "jpg");
        EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        dialog.setDirectory(dir.path());
        dialog.show();
        dialog.selectNameFilter(SaveAsFilters().at(filter));
        auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
        EXPECT_TRUE(name);
        if (name) name->setText(typed);
        QMetaObject::invokeMethod(&dialog, "accept");
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        return dialog.selectedFiles().value(0);
    };
    EXPECT_EQ(SaveAsFilters(),
              QStringList({"JPEG file (*.jpg)", "BMP file (*.bmp)", "PNG file (*.png)",
                           "TIFF file (*.tif)", "GIF file (*.gif)"}));

    const QString bmp = save("x.bmp", 0);
    EXPECT_EQ(bmp, dir.filePath("x.bmp"));
    const QString jpg = save("plain", 1);
    EXPECT_EQ(jpg, dir.filePath("plain.jpg"));

    CDisplayPicture picture;
    picture.Create(8, 6, 32, false);
    SavePictureFile(bmp, picture);
    SavePictureFile(jpg, picture);
    auto head = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.read(2) : QByteArray();
    };
    EXPECT_EQ(head(bmp), "BM");
    EXPECT_EQ(head(jpg), QByteArray("\xFF\xD8", 2));
}

} // namespace
