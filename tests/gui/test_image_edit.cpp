// Editing an image through its view and document: selection, drag, paste, crop, the
// true-colour question, undo and the modified mark.
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStatusBar>
#include <gtest/gtest.h>

#include "tests/gui/ImageHost.h"
#include "tests/unit/ImageTestUtil.h"

namespace {

// An image view of its own document, outside any frame, 400 x 400 client.
struct Editor {
    Editor(ImageHost& host, int width, int height) {
        host.makePicture = [width, height](CDisplayPicture& p) { FillPattern(p, width, height); };
        doc.OnNewDocument();
        view = new CTilletCaptureView;
        doc.AddView(view);
        view->resize(400, 400);
        view->show();
        view->OnInitialUpdate();
        QCoreApplication::processEvents();
    }
    ~Editor() { delete view; }

    void Mouse(QEvent::Type type, QPoint logical, Qt::KeyboardModifiers mods = {}) {
        const QPoint p = view->LogicalToDevice(logical);
        QMouseEvent e(type, QPointF(p), QPointF(view->viewport()->mapToGlobal(p)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, mods);
        QCoreApplication::sendEvent(view->viewport(), &e);
    }
    // Presses at from, moves in two steps and releases at to (picture coordinates).
    void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = {}) {
        Mouse(QEvent::MouseButtonPress, from, mods);
        Mouse(QEvent::MouseMove, (from + to) / 2, mods);
        Mouse(QEvent::MouseMove, to, mods);
        Mouse(QEvent::MouseButtonRelease, to, mods);
        QCoreApplication::processEvents();
    }
    void Run(int id) {
        if (!view->OnCmdMsg(id, nullptr)) doc.OnCmdMsg(id, nullptr);
        QCoreApplication::processEvents();
    }
    CCmdUI State(int id) {
        CCmdUI ui(id);
        if (!view->OnCmdMsg(id, &ui)) doc.OnCmdMsg(id, &ui);
        return ui;
    }
    CDisplayPicture& Pic() { return *doc.GetPicture(); }

    CTilletCaptureDoc doc;
    CTilletCaptureView* view;
};

} // namespace

TEST(ImageEdit, SelectionIsClippedToThePictureAndClearedWhenOutside) {
    ImageHost host;
    Editor e(host, 100, 50);
    e.Run(ID_EDIT_SELECT_REGION);
    ASSERT_TRUE(e.State(ID_EDIT_SELECT_REGION).m_checked);
    e.Drag(QPoint(80, 30), QPoint(130, 70));
    EXPECT_EQ(e.view->Selection(), QRect(QPoint(80, 30), QPoint(99, 49)));
    EXPECT_TRUE(e.State(ID_EDIT_COPY).m_enabled);

    e.Drag(QPoint(110, 60), QPoint(140, 90));
    EXPECT_TRUE(e.view->Selection().isEmpty());
    EXPECT_FALSE(e.State(ID_EDIT_COPY).m_enabled);
    EXPECT_FALSE(e.State(ID_EDIT_CUT).m_enabled);
}

TEST(ImageEdit, CropAtTwoHundredShowsTheResultAtOneToOneAndZoomInGoesOn) {
    ImageHost host;
    Editor e(host, 100, 50);
    e.view->SetZoom(2.0);
    e.Run(ID_EDIT_SELECT_REGION);
    e.Drag(QPoint(10, 5), QPoint(40, 25));
    e.Run(ID_OP_CROP);
    ASSERT_EQ(e.Pic().GetWidth(), 30);
    ASSERT_EQ(e.Pic().GetHeight(), 20);
    EXPECT_EQ(PixelAt(e.Pic(), 0, 0), 0x0A0507u);
    EXPECT_EQ(e.view->GetTotalDeviceSize(), QSize(30, 20));
    EXPECT_TRUE(e.State(ID_VIEW_ZOOM200).m_checked);
    EXPECT_TRUE(e.view->Selection().isEmpty());
    e.Run(ID_VIEW_ZOOM_IN);
    EXPECT_DOUBLE_EQ(e.view->GetZoomFactor(), 4.0);
    EXPECT_EQ(e.view->GetTotalDeviceSize(), QSize(120, 80));
}

TEST(ImageEdit, CropWithNothingSelectedCropsTheNextSelection) {
    ImageHost host;
    Editor e(host, 100, 50);
    e.Run(ID_OP_CROP);
    EXPECT_TRUE(e.view->InSelectionMode());
    EXPECT_TRUE(e.view->CropPending());
    EXPECT_EQ(e.Pic().GetWidth(), 100);
    e.Drag(QPoint(20, 10), QPoint(30, 40));
    EXPECT_FALSE(e.view->CropPending());
    EXPECT_EQ(e.Pic().GetWidth(), 10);
    EXPECT_EQ(e.Pic().GetHeight(), 30);
    EXPECT_EQ(PixelAt(e.Pic(), 0, 0), 0x140A07u);
}

TEST(ImageEdit, DragMovesTheSelectionAndCtrlDragCopiesIt) {
    ImageHost host;
    Editor e(host, 100, 50);
    e.Run(ID_EDIT_SELECT_REGION);
    e.Drag(QPoint(10, 10), QPoint(20, 20));
    // With Ctrl the pixels are copied: the starting place keeps them.
    e.Drag(QPoint(12, 12), QPoint(42, 22), Qt::ControlModifier);
    EXPECT_EQ(e.view->Selection(), QRect(40, 20, 10, 10));
    EXPECT_EQ(PixelAt(e.Pic(), 10, 10), 0x0A0A07u);
    EXPECT_EQ(PixelAt(e.Pic(), 40, 20), 0x0A0A07u);
    EXPECT_EQ(PixelAt(e.Pic(), 49, 29), 0x131307u);

    // Without it the starting place gets the image background colour; while the button is
    // held the view shows the hole and the pixels at their new place.
    e.Mouse(QEvent::MouseButtonPress, QPoint(41, 21));
    e.Mouse(QEvent::MouseMove, QPoint(71, 21));
    const QImage during = e.view->viewport()->grab().toImage();
    EXPECT_EQ(during.pixel(e.view->LogicalToDevice(QPoint(40, 20))) & 0xFFFFFF, 0x204080u);
    EXPECT_EQ(during.pixel(e.view->LogicalToDevice(QPoint(70, 20))) & 0xFFFFFF, 0x0A0A07u);
    EXPECT_EQ(PixelAt(e.Pic(), 40, 20), 0x0A0A07u); // nothing changed yet
    e.Mouse(QEvent::MouseButtonRelease, QPoint(71, 21));
    EXPECT_EQ(PixelAt(e.Pic(), 40, 20), 0x204080u);
    EXPECT_EQ(PixelAt(e.Pic(), 70, 20), 0x0A0A07u);
    EXPECT_EQ(e.view->Selection(), QRect(70, 20, 10, 10));

    e.Run(ID_EDIT_UNDO);
    EXPECT_EQ(PixelAt(e.Pic(), 40, 20), 0x0A0A07u);
}

TEST(ImageEdit, APastedPictureLargerThanTheDocumentIsSqueezedThenCommittedOneToOne) {
    ImageHost host;
    Editor e(host, 100, 50);
    QImage big(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) big.setPixel(x, y, qRgb(255 - x % 256, y, 200));
    QGuiApplication::clipboard()->setImage(big);
    ASSERT_TRUE(e.State(ID_EDIT_PASTE).m_enabled);
    e.Run(ID_EDIT_PASTE);
    ASSERT_TRUE(e.view->HasPasted());
    EXPECT_EQ(e.view->Selection(), QRect(0, 0, 100, 50));
    // Shown squeezed: the view's bottom-right picture pixel shows the pasted corner.
    const QImage shot = e.view->viewport()->grab().toImage();
    const QPoint corner = e.view->LogicalToDevice(QPoint(99, 49));
    const QRgb shown = shot.pixel(corner);
    EXPECT_NEAR(qRed(shown), 255 - 297 % 256, 3);
    EXPECT_NEAR(qGreen(shown), 197, 3);
    EXPECT_EQ(PixelAt(e.Pic(), 0, 0), 0x000007u);

    // A click outside the selection commits it at 1:1.
    e.Mouse(QEvent::MouseButtonPress, QPoint(150, 20));
    e.Mouse(QEvent::MouseButtonRelease, QPoint(150, 20));
    EXPECT_FALSE(e.view->HasPasted());
    EXPECT_EQ(e.Pic().GetWidth(), 100);
    EXPECT_EQ(PixelAt(e.Pic(), 0, 0), 0xFF00C8u);
    EXPECT_EQ(PixelAt(e.Pic(), 99, 49), uint32_t(qRgb(255 - 99, 49, 200)) & 0xFFFFFFu);
}

TEST(ImageEdit, DecliningTheConversionLeavesEverythingAndGreyAsksAgain) {
    ImageHost host;
    Editor e(host, 40, 30);
    e.doc.SetModifiedFlag(false);
    {
        CDisplayPicture copy;
        copy.CopyWithDepth(e.Pic(), 8);
        e.Pic().CopyWithDepth(copy, 0);
    }
    ASSERT_EQ(e.Pic().GetBitsPerPixel(), 8);
    const std::vector<uint8_t> before(e.Pic().GetLineArray()[0], e.Pic().GetLineArray()[0] + 40);
    host.answer = QMessageBox::No;
    e.Run(ID_OP_ROTATE_CW);
    EXPECT_EQ(host.questions, 1);
    EXPECT_TRUE(host.lastQuestion.contains("Resize operation")) << host.lastQuestion.toStdString();
    EXPECT_EQ(e.Pic().GetBitsPerPixel(), 8);
    EXPECT_EQ(e.Pic().GetWidth(), 40);
    EXPECT_EQ(std::vector<uint8_t>(e.Pic().GetLineArray()[0], e.Pic().GetLineArray()[0] + 40),
              before);
    EXPECT_FALSE(e.doc.History().CanUndo());
    EXPECT_FALSE(e.doc.IsModified());

    // Yes converts; grayscale makes it 8-bit again, so invert asks once more.
    host.answer = QMessageBox::Yes;
    e.Run(ID_OP_GRAYSCALE);
    EXPECT_EQ(host.questions, 2);
    EXPECT_EQ(e.Pic().GetBitsPerPixel(), 8);
    e.Run(ID_OP_INVERT);
    EXPECT_EQ(host.questions, 3);
    EXPECT_EQ(e.Pic().GetBitsPerPixel(), 32);
    EXPECT_EQ(e.doc.History().GetUndoCount(), 2);
}

TEST(ImageEdit, OperationsUndoAndRedoWithTheirDescriptions) {
    ImageHost host;
    Editor e(host, 40, 30);
    e.Run(ID_OP_ROTATE_CW);
    EXPECT_EQ(e.Pic().GetWidth(), 30);
    EXPECT_EQ(host.Frame().statusBar()->currentMessage(),
              "Last command : Rotate the image clockwise by 90 degree");
    e.Run(ID_OP_FLIP_H);
    EXPECT_EQ(e.view->GetTotalDeviceSize(), QSize(30, 40));
    EXPECT_TRUE(e.State(ID_EDIT_UNDO).m_enabled);
    EXPECT_FALSE(e.State(ID_EDIT_REDO).m_enabled);
    e.Run(ID_EDIT_UNDO);
    e.Run(ID_EDIT_UNDO);
    EXPECT_EQ(host.Frame().statusBar()->currentMessage(), "Last command : Undo last action");
    EXPECT_EQ(e.Pic().GetWidth(), 40);
    EXPECT_EQ(e.view->GetTotalDeviceSize(), QSize(40, 30));
    EXPECT_FALSE(e.State(ID_EDIT_UNDO).m_enabled);
    e.Run(ID_EDIT_REDO);
    EXPECT_EQ(e.Pic().GetWidth(), 30);
    EXPECT_EQ(host.Frame().statusBar()->currentMessage(), "Last command : Redo last action");
    // Every operation has its dialog now.
    for (int id : {ID_OP_RESIZE, ID_OP_SCALE, ID_OP_STRETCH, ID_OP_ROTATE_ANY, ID_OP_BRIGHTNESS,
                   ID_OP_CONTRAST, ID_OP_INTENSITY})
        EXPECT_TRUE(e.State(id).m_enabled) << id;
    EXPECT_TRUE(e.State(ID_OP_INVERT).m_enabled);
}

TEST(ImageEdit, ModifiedMarkFollowsFlagAndCleanPointAlsoAfterASave) {
    ImageHost host;
    const imagetest::TempDir dir;
    const QString path = QString::fromStdString(dir.File("mark.bmp"));
    {
        host.makePicture = [](CDisplayPicture& p) { FillPattern(p, 20, 10); };
        CTilletCaptureDoc* made = host.NewImage();
        ASSERT_NE(made, nullptr);
        EXPECT_TRUE(made->GetTitle().endsWith(" *")); // a new image is unsaved
        ASSERT_TRUE(made->DoSave(path));
        made->OnCloseDocument();
    }
    auto* doc = static_cast<CTilletCaptureDoc*>(host.GetDocManager()->OpenDocumentFile(path));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetTitle(), "mark.bmp");
    doc->OnCmdMsg(ID_OP_INVERT, nullptr);
    EXPECT_EQ(doc->GetTitle(), "mark.bmp *");
    doc->OnCmdMsg(ID_EDIT_UNDO, nullptr);
    EXPECT_EQ(doc->GetTitle(), "mark.bmp");
    EXPECT_FALSE(doc->IsModified());

    // Saved after a change, then undone: the file no longer holds what is shown, so the
    // document is modified and closing it asks; redo returns to what was saved.
    doc->OnCmdMsg(ID_OP_INVERT, nullptr);
    ASSERT_TRUE(doc->DoSave(path));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetTitle(), "mark.bmp"); // saved: no mark, though away from the open
    doc->OnCmdMsg(ID_EDIT_UNDO, nullptr);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetTitle(), "mark.bmp *");
    doc->OnCmdMsg(ID_EDIT_REDO, nullptr);
    EXPECT_FALSE(doc->IsModified());
    // A new command after the undo discards the saved state for good.
    doc->OnCmdMsg(ID_EDIT_UNDO, nullptr);
    doc->OnCmdMsg(ID_OP_FLIP_H, nullptr);
    doc->OnCmdMsg(ID_EDIT_UNDO, nullptr);
    EXPECT_TRUE(doc->IsModified());
}

TEST(ImageEdit, CutCopiesTheSelectionAndLeavesTheBackgroundColour) {
    ImageHost host;
    Editor e(host, 60, 40);
    e.Run(ID_EDIT_SELECT_REGION);
    e.Drag(QPoint(10, 5), QPoint(30, 15));
    e.Run(ID_EDIT_CUT);
    CDisplayPicture copied;
    ASSERT_TRUE(copied.CreateFromClipboard(CF_BITMAP));
    ASSERT_EQ(copied.GetWidth(), 20);
    ASSERT_EQ(copied.GetHeight(), 10);
    EXPECT_EQ(PixelAt(copied, 0, 0), 0x0A0507u);
    EXPECT_EQ(PixelAt(e.Pic(), 10, 5), 0x204080u);
    EXPECT_EQ(PixelAt(e.Pic(), 29, 14), 0x204080u);
    EXPECT_EQ(PixelAt(e.Pic(), 30, 15), 0x1E0F07u);
}

TEST(ImageEdit, KeysScrollByPagesLinesAndToTheEnds) {
    ImageHost host;
    Editor e(host, 2000, 1500);
    QScrollBar* h = e.view->horizontalScrollBar();
    QScrollBar* v = e.view->verticalScrollBar();
    auto key = [&](int k, Qt::KeyboardModifiers mods = {}) {
        QKeyEvent ev(QEvent::KeyPress, k, mods);
        QCoreApplication::sendEvent(e.view, &ev);
    };
    key(Qt::Key_PageDown);
    EXPECT_EQ(v->value(), 150);
    key(Qt::Key_Down);
    EXPECT_EQ(v->value(), 165);
    key(Qt::Key_Right);
    EXPECT_EQ(h->value(), 20);
    key(Qt::Key_End);
    EXPECT_EQ(h->value(), h->maximum());
    EXPECT_EQ(v->value(), 165);
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(v->value(), v->maximum());
    key(Qt::Key_Home);
    EXPECT_EQ(h->value(), 0);
    key(Qt::Key_PageUp);
    EXPECT_EQ(v->value(), v->maximum() - 150);
}
