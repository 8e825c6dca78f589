// The parameter dialogs with a live preview (Rotate Any Angle, Brightness, Contrast,
// Intensity): the control wiring, the preview, and what the document does with OK.
#include <QApplication>
#include <QColorDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QValidator>
#include <cmath>
#include <deque>
#include <gtest/gtest.h>

#include "dialogs/AdjustDlg.h"
#include "dialogs/RotateDlg.h"
#include "editor/Filters.h"
#include "editor/Resample.h"
#include "tests/gui/ImageHost.h"

namespace {

// Runs each step on the modal dialog of its type once that dialog is up (nested dialogs
// included), waiting for the dialog rather than for a time.
class ModalScript {
public:
    template <class Dialog> void Then(std::function<void(Dialog&)> step) {
        m_steps.push_back([step](QWidget* w) -> std::function<void()> {
            auto* d = dynamic_cast<Dialog*>(w);
            if (!d) return {};
            return [step, d] { step(*d); };
        });
    }
    ModalScript() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_steps.empty() || m_pending) return;
            std::function<void()> run = m_steps.front()(QApplication::activeModalWidget());
            if (!run) return;
            m_steps.pop_front();
            // A step may open a nested dialog: it runs outside this timer, which cannot fire
            // again while its own handler waits.
            m_pending = true;
            QTimer::singleShot(0, [this, run] {
                m_pending = false;
                run();
            });
        });
        m_timer.start(2);
    }
    bool Done() const { return m_steps.empty() && !m_pending; }

private:
    std::deque<std::function<std::function<void()>(QWidget*)>> m_steps;
    bool m_pending = false;
    QTimer m_timer;
};

void Click(QWidget& dialog, const char* id) {
    auto* button = dialog.findChild<QPushButton*>(id);
    ASSERT_NE(button, nullptr) << id;
    button->click();
}

QLineEdit* EditOf(QWidget& dialog, int id) {
    return dialog.findChild<QLineEdit*>(QString::number(id));
}

// A photograph-like picture: smooth gradients and some texture, many colours.
void FillPhoto(CDisplayPicture& p, int width, int height) {
    p.Create(width, height, 32, false);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = p.GetLineArray()[y];
        for (int x = 0; x < width; ++x) {
            row[4 * x] = uint8_t(x * 255 / width);
            row[4 * x + 1] = uint8_t(y * 255 / height);
            row[4 * x + 2] = uint8_t(128 + 100 * std::sin(x * 0.05) * std::cos(y * 0.07));
            row[4 * x + 3] = 255;
        }
    }
}

bool SamePixels(const CPicture& a, const CPicture& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
    for (int y = 0; y < a.GetHeight(); ++y)
        for (int x = 0; x < a.GetWidth(); ++x)
            if (PixelAt(a, x, y) != PixelAt(b, x, y)) return false;
    return true;
}

struct DialogTest : ::testing::Test {
    void SetUp() override {
        InstallOperationDialogs();
        host.makePicture = [](CDisplayPicture& p) { FillPhoto(p, 120, 90); };
        doc = host.NewImage();
        original.CopyWithDepth(*doc->GetPicture(), 0);
    }
    // Runs the command with the script answering its dialogs; the script must be used up.
    void Run(int id) {
        doc->OnCmdMsg(id, nullptr);
        QCoreApplication::processEvents();
        EXPECT_TRUE(script.Done());
    }
    // The picture as the filter turns the picture before the command.
    const CPicture& Expected(ImageFilter&& filter) {
        filter.Apply(original, expected);
        return expected;
    }
    void ExpectOneUndoStepBack() {
        EXPECT_EQ(doc->History().GetUndoCount(), 1);
        doc->OnCmdMsg(ID_EDIT_UNDO, nullptr);
        EXPECT_TRUE(SamePixels(*doc->GetPicture(), original));
        EXPECT_FALSE(doc->History().CanUndo());
    }

    ImageHost host;
    ModalScript script;
    CTilletCaptureDoc* doc = nullptr;
    CDisplayPicture original, expected;
};

} // namespace

TEST_F(DialogTest, UntouchedDialogsPerformNothingOnOk) {
    script.Then<CBrightnessDlg>([](CBrightnessDlg& d) { Click(d, "1"); });
    Run(ID_OP_BRIGHTNESS);
    script.Then<CContrastDlg>([](CContrastDlg& d) { Click(d, "1"); });
    Run(ID_OP_CONTRAST);
    script.Then<CIntensityDlg>([](CIntensityDlg& d) { Click(d, "1"); });
    Run(ID_OP_INTENSITY);
    EXPECT_FALSE(doc->History().CanUndo());
    EXPECT_TRUE(SamePixels(*doc->GetPicture(), original));
}

TEST_F(DialogTest, RotateWithOnlyANewBackgroundPerformsNothing) {
    script.Then<CRotateDlg>([](CRotateDlg& d) {
        EXPECT_EQ(d.m_background, 0x00FF00FFu); // the capture's transparent colour
        Click(d, "1050");
    });
    script.Then<QColorDialog>([](QColorDialog& c) {
        c.setCurrentColor(QColor(10, 200, 30));
        c.accept();
    });
    script.Then<CRotateDlg>([](CRotateDlg& d) {
        EXPECT_EQ(d.m_background, 0x001EC80Au);
        EXPECT_EQ(d.Swatch()->Color(), 0x001EC80Au);
        Click(d, "1");
    });
    Run(ID_OP_ROTATE_ANY);
    EXPECT_FALSE(doc->History().CanUndo());
    EXPECT_TRUE(SamePixels(*doc->GetPicture(), original));
}

TEST_F(DialogTest, RotateRunsTheFullSizeRotationWithTheChosenBackground) {
    script.Then<CRotateDlg>([](CRotateDlg& d) { Click(d, "1050"); });
    script.Then<QColorDialog>([](QColorDialog& c) {
        c.setCurrentColor(QColor(10, 200, 30));
        c.accept();
    });
    script.Then<CRotateDlg>([](CRotateDlg& d) {
        EditOf(d, 1046)->setText("30");
        Click(d, "1");
    });
    Run(ID_OP_ROTATE_ANY);
    EXPECT_TRUE(SamePixels(*doc->GetPicture(),
                           Expected(RotateFilter(30 * 0.01745329255555556, 0xFF0AC81E))));
    EXPECT_EQ(PixelAt(*doc->GetPicture(), 0, 0), 0x0AC81Eu);
    ExpectOneUndoStepBack();
}

TEST_F(DialogTest, BrightnessTruncatesItsValueTimesPointThirtySix) {
    // 7 x 0.36 = 2.52: the filter gets 2, not 3.
    script.Then<CBrightnessDlg>([](CBrightnessDlg& d) {
        d.Rows()[0]->Trackbar()->setValue(7);
        Click(d, "1");
    });
    Run(ID_OP_BRIGHTNESS);
    EXPECT_TRUE(SamePixels(*doc->GetPicture(), Expected(BrightnessFilter(2))));
    ExpectOneUndoStepBack();
}

TEST_F(DialogTest, ContrastAndIntensityPassTheirTrackbarsInTenths) {
    script.Then<CContrastDlg>([](CContrastDlg& d) {
        d.Rows()[0]->Trackbar()->setValue(15);
        d.Rows()[1]->Trackbar()->setValue(140);
        Click(d, "1");
    });
    Run(ID_OP_CONTRAST);
    EXPECT_TRUE(SamePixels(*doc->GetPicture(), Expected(ContrastFilter(15 * 0.1, 140))));
    ExpectOneUndoStepBack();

    script.Then<CIntensityDlg>([](CIntensityDlg& d) {
        d.Rows()[0]->Trackbar()->setValue(90);
        d.Rows()[1]->Trackbar()->setValue(60);
        d.Rows()[2]->Trackbar()->setValue(15);
        Click(d, "1");
    });
    Run(ID_OP_INTENSITY);
    EXPECT_TRUE(SamePixels(*doc->GetPicture(), Expected(IntensityFilter(90, 60, 15 * 0.1))));
    ExpectOneUndoStepBack();
}

TEST_F(DialogTest, CancelAfterAChangePerformsNothing) {
    script.Then<CBrightnessDlg>([](CBrightnessDlg& d) {
        d.Rows()[0]->Trackbar()->setValue(50);
        Click(d, "2");
    });
    Run(ID_OP_BRIGHTNESS);
    EXPECT_FALSE(doc->History().CanUndo());
    EXPECT_TRUE(SamePixels(*doc->GetPicture(), original));
}

TEST(PreviewDialog, TrackbarEditAndUpDownFollowEachOther) {
    CBrightnessDlg d(nullptr);
    CParamRow& row = *d.Rows()[0];
    EXPECT_EQ(row.Edit()->text(), "0");
    row.Trackbar()->setValue(-100);
    EXPECT_EQ(row.Edit()->text(), "-100"); // longer than a person may type
    QString typed = "-100";
    int at = 4;
    EXPECT_EQ(row.Edit()->validator()->validate(typed, at), QValidator::Invalid);
    row.Edit()->setText("42");
    EXPECT_EQ(row.Trackbar()->value(), 42);
    EXPECT_EQ(d.m_brightness, 42);
    row.UpDown()->UpButton()->click();
    EXPECT_EQ(row.Edit()->text(), "43");
    EXPECT_EQ(row.Trackbar()->value(), 43);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(row.Edit(), &down);
    EXPECT_EQ(row.Trackbar()->value(), 42);
    row.Edit()->setText("7x");
    EXPECT_EQ(d.m_brightness, 7);
    row.Edit()->setText("-");
    EXPECT_EQ(d.m_brightness, 7); // no number: the value stays
    row.UpDown()->SetPos(100);
    row.UpDown()->UpButton()->click();
    EXPECT_EQ(row.Edit()->text(), "100"); // the range holds
    EXPECT_TRUE(d.IsChanged());
}

TEST(PreviewDialog, PreviewShowsTheFilterAsTheValueChanges) {
    CDisplayPicture picture;
    FillPhoto(picture, 1200, 800);
    CIntensityDlg d(nullptr);
    ASSERT_EQ(d.Preview()->HasPicture(), false);
    d.Preview()->SetSource(&picture);
    const CPicture& source = d.Preview()->Source();
    // Reduced to fit the area, aspect kept.
    EXPECT_LE(source.GetWidth(), d.Preview()->PictureArea().width());
    EXPECT_NEAR(double(source.GetWidth()) / source.GetHeight(), 1.5, 0.02);
    EXPECT_TRUE(SamePixels(d.Preview()->Picture(), source));

    d.Rows()[0]->Trackbar()->setValue(120);
    CDisplayPicture expected;
    IntensityFilter(120, 128, 1.0).Apply(source, expected);
    EXPECT_TRUE(SamePixels(d.Preview()->Picture(), expected));
    d.Rows()[2]->Edit()->setText("20");
    IntensityFilter(120, 128, 2.0).Apply(source, expected);
    EXPECT_TRUE(SamePixels(d.Preview()->Picture(), expected));
}

// The reduced copy is worth it only if it shows what the full-size result shrunk would show.
TEST(PreviewDialog, ReducedPreviewLooksLikeTheFullSizeResultShrunk) {
    CDisplayPicture picture;
    FillPhoto(picture, 1600, 900);
    CBrightnessDlg d(nullptr);
    d.Preview()->SetSource(&picture);
    const int w = d.Preview()->Source().GetWidth(), h = d.Preview()->Source().GetHeight();
    auto check = [&](ImageFilter& filter) {
        d.Preview()->ApplyFilter(filter);
        CDisplayPicture full, shrunk;
        filter.Apply(picture, full);
        BoxResizeFilter(w, h, 0.5).Apply(full, shrunk);
        const CPicture& shown = d.Preview()->Picture();
        ASSERT_EQ(shown.GetWidth(), w);
        double sum = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < 4 * w; ++x)
                if (x % 4 != 3)
                    sum += std::abs(shown.GetLineArray()[y][x] - shrunk.GetLineArray()[y][x]);
        EXPECT_LT(sum / (3.0 * w * h), 1.5); // mean difference per channel, of 255
    };
    BrightnessFilter brightness(30);
    ContrastFilter contrast(2.5, 160);
    IntensityFilter intensity(200, 60, 2.0);
    check(brightness);
    check(contrast);
    check(intensity);
}

TEST(PreviewDialog, WithoutADocumentThereIsNothingToPreview) {
    CDisplayPicture picture;
    FillPhoto(picture, 40, 30);
    CContrastDlg d(nullptr);
    d.Preview()->SetSource(&picture);
    ASSERT_TRUE(d.Preview()->HasPicture());
    d.SetDocument(nullptr);
    EXPECT_FALSE(d.Preview()->HasPicture());
    d.Rows()[0]->Trackbar()->setValue(30);
    EXPECT_FALSE(d.Preview()->HasPicture());
    EXPECT_TRUE(d.IsChanged());
}

TEST(PreviewDialog, HelpButtonsOpenTheirTopicsAndIntensityHasNone) {
    struct HelpHost : ImageHost {
        void HelpTopic(int topic) override { topics.push_back(topic); }
        std::vector<int> topics;
    } host;
    CRotateDlg rotate(nullptr);
    Click(rotate, "3");
    CBrightnessDlg brightness(nullptr);
    Click(brightness, "1091");
    CContrastDlg contrast(nullptr);
    Click(contrast, "1091");
    CIntensityDlg intensity(nullptr);
    Click(intensity, "1091");
    EXPECT_EQ(host.topics, (std::vector<int>{3, 6, 5}));
}
