// The Resize, Scale and Stretch dialogs on a real document: Apply, Revert, Done and Escape
// against the picture and its history, the resampling each method stands for, the enable
// rules, and the folding in and out.
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <cstring>
#include <gtest/gtest.h>

#include "dialogs/ResizeDlg.h"
#include "editor/OperationDialogs.h"
#include "editor/Resample.h"
#include "tests/gui/ImageHost.h"

namespace {

// Runs the real dialogs; each test says what a person does in them.
class DialogHost : public ImageHost {
public:
    DialogHost() {
        InstalledOperationDialogs().resize = [this](int commandId, CTilletCaptureDoc& doc) {
            QTimer::singleShot(0, [this] {
                auto* dialog = dynamic_cast<CResizeTypeDlg*>(QApplication::activeModalWidget());
                ASSERT_NE(dialog, nullptr);
                script(*dialog);
                // A script that leaves the dialog open closes it as Escape does.
                if (dialog->isVisible()) dialog->reject();
            });
            RunResizeTypeDialog(commandId, doc, MainWindow());
        };
    }
    ~DialogHost() override { InstalledOperationDialogs().resize = nullptr; }
    void HelpTopic(int topic) override { helpTopics.push_back(topic); }
    std::function<void(CResizeTypeDlg&)> script;
    std::vector<int> helpTopics;
};

template <class W = QWidget> W* Ctl(QWidget& dialog, int id) {
    auto* w = dialog.findChild<W*>(QString::number(id));
    EXPECT_NE(w, nullptr) << id;
    return w;
}
QSpinBox* Edit(QWidget& dialog, int upDownId) {
    return Ctl<QSpinBox>(dialog, upDownId);
}
void Click(QWidget& dialog, int id) {
    Ctl<QAbstractButton>(dialog, id)->click();
}
bool Enabled(QWidget& dialog, int id) {
    return Ctl(dialog, id)->isEnabled();
}

bool SamePixels(const CPicture& a, const CPicture& b) {
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
        a.GetBitsPerPixel() != b.GetBitsPerPixel())
        return false;
    for (int y = 0; y < int(a.GetHeight()); ++y)
        if (std::memcmp(a.GetLineArray()[y], b.GetLineArray()[y], size_t(a.GetWidth()) * 4) != 0)
            return false;
    return true;
}

// The picture the resampling engine makes of source when called directly.
std::unique_ptr<CDisplayPicture> Resampled(const CPicture& source, ImageFilter&& filter) {
    auto out = std::make_unique<CDisplayPicture>();
    filter.Apply(source, *out);
    return out;
}

struct Fixture {
    explicit Fixture(int w = 200, int h = 150) {
        host.makePicture = [w, h](CDisplayPicture& p) { FillPattern(p, w, h); };
        doc = host.NewImage();
        doc->SetModifiedFlag(false);
        original.CopyWithDepth(*doc->GetPicture(), 0);
    }
    void Run(int id, std::function<void(CResizeTypeDlg&)> script) {
        host.script = std::move(script);
        doc->OnCmdMsg(id, nullptr);
        QCoreApplication::processEvents();
    }
    CDisplayPicture& Pic() { return *doc->GetPicture(); }

    DialogHost host;
    CTilletCaptureDoc* doc;
    CDisplayPicture original;
};

// Resize: width and height up-downs 1029 and 1031, Apply 4, Revert 3, Done 1.
void SetResizeSize(QWidget& d, int w, int h) {
    Edit(d, 1029)->setValue(w);
    Edit(d, 1031)->setValue(h);
}

} // namespace

TEST(ResizeDialogs, ApplyRevertDoneLeavesPictureAndHistoryUnchanged) {
    Fixture f;
    bool ran = false;
    f.Run(ID_OP_RESIZE, [&](CResizeTypeDlg& d) {
        ran = true;
        EXPECT_FALSE(Enabled(d, 4));
        EXPECT_FALSE(Enabled(d, 3));
        EXPECT_EQ(Edit(d, 1029)->value(), 200);
        EXPECT_EQ(Edit(d, 1031)->value(), 150);
        SetResizeSize(d, 400, 300);
        EXPECT_TRUE(Enabled(d, 4));
        Click(d, 4);
        // The document shows the result at once.
        EXPECT_EQ(f.Pic().GetWidth(), 400);
        EXPECT_EQ(f.Pic().GetHeight(), 300);
        EXPECT_FALSE(Enabled(d, 4));
        EXPECT_TRUE(Enabled(d, 3));
        EXPECT_TRUE(f.doc->IsModified());
        Click(d, 3);
        EXPECT_TRUE(SamePixels(f.Pic(), f.original));
        EXPECT_EQ(Edit(d, 1029)->value(), 200);
        EXPECT_FALSE(Enabled(d, 4));
        EXPECT_FALSE(Enabled(d, 3));
        Click(d, 1);
        EXPECT_FALSE(d.isVisible());
    });
    ASSERT_TRUE(ran);
    EXPECT_TRUE(SamePixels(f.Pic(), f.original));
    EXPECT_FALSE(f.doc->History().CanUndo());
    EXPECT_EQ(f.doc->History().GetTentative(), nullptr);
    EXPECT_EQ(f.doc->GetBackup(), nullptr);
    EXPECT_FALSE(f.doc->IsModified());
}

TEST(ResizeDialogs, ApplyDoneIsOneUndoStepBackToTheOldSize) {
    Fixture f;
    f.Run(ID_OP_RESIZE, [&](CResizeTypeDlg& d) {
        SetResizeSize(d, 400, 300);
        Click(d, 4);
        Click(d, 1);
    });
    EXPECT_EQ(f.Pic().GetWidth(), 400);
    EXPECT_EQ(f.doc->History().GetUndoCount(), 1);
    EXPECT_EQ(f.doc->History().GetTentative(), nullptr);
    EXPECT_EQ(f.host.Frame().statusBar()->currentMessage(),
              "Last command : Stretch the image to size specified in pixels");
    EXPECT_TRUE(f.doc->IsModified());
    f.doc->OnCmdMsg(ID_EDIT_UNDO, nullptr);
    EXPECT_TRUE(SamePixels(f.Pic(), f.original));
    EXPECT_FALSE(f.doc->History().CanUndo());
    EXPECT_FALSE(f.doc->IsModified());
}

TEST(ResizeDialogs, ASecondApplyResamplesThePictureTheDialogFound) {
    Fixture f;
    f.Run(ID_OP_RESIZE, [&](CResizeTypeDlg& d) {
        SetResizeSize(d, 400, 300);
        Click(d, 4);
        SetResizeSize(d, 90, 70);
        Click(d, 4);
        Click(d, 1);
    });
    EXPECT_TRUE(SamePixels(f.Pic(), *Resampled(f.original, BilinearResizeFilter(90, 70))));
    EXPECT_EQ(f.doc->History().GetUndoCount(), 1);
    f.doc->OnCmdMsg(ID_EDIT_UNDO, nullptr);
    EXPECT_TRUE(SamePixels(f.Pic(), f.original));
}

TEST(ResizeDialogs, EscapeTakesAnAppliedChangeBackAndRecordsNothing) {
    Fixture f;
    f.Run(ID_OP_STRETCH, [&](CResizeTypeDlg& d) {
        Edit(d, 1069)->setValue(50);
        Click(d, 1075);
        EXPECT_EQ(f.Pic().GetWidth(), 100);
        d.reject(); // Escape and the close button
    });
    EXPECT_TRUE(SamePixels(f.Pic(), f.original));
    EXPECT_FALSE(f.doc->History().CanUndo());
    EXPECT_EQ(f.doc->History().GetTentative(), nullptr);
    EXPECT_FALSE(f.doc->IsModified());
}

TEST(ResizeDialogs, StretchUsesTheCheckedKernelWithTheRadiusInHundredths) {
    struct Case {
        int methodId;
        std::function<std::unique_ptr<CDisplayPicture>(const CPicture&)> reference;
    };
    const Case cases[] = {
        {1079, [](const CPicture& p) { return Resampled(p, GaussianResizeFilter(150, 75, 2.37)); }},
        {1081, [](const CPicture& p) { return Resampled(p, HammingResizeFilter(150, 75, 2.37)); }},
    };
    std::vector<CDisplayPicture> results(2);
    for (size_t i = 0; i < 2; ++i) {
        Fixture f;
        f.Run(ID_OP_STRETCH, [&](CResizeTypeDlg& d) {
            Click(d, 1077); // A&dvance>>
            Click(d, cases[i].methodId);
            EXPECT_EQ(d.CurrentMethod(), cases[i].methodId);
            Edit(d, 1069)->setValue(75);
            Edit(d, 1072)->setValue(50);
            Ctl<QSlider>(d, 1084)->setValue(237);
            EXPECT_EQ(Edit(d, 1083)->value(), 237);
            Click(d, 1075);
            Click(d, 1);
        });
        EXPECT_TRUE(SamePixels(f.Pic(), *cases[i].reference(f.original))) << i;
        results[i].CopyWithDepth(f.Pic(), 0);
    }
    // The two kernels give different pictures, so each comparison above tells them apart.
    EXPECT_FALSE(SamePixels(results[0], results[1]));
}

TEST(ResizeDialogs, ScaleHonoursAllFourMethods) {
    struct Case {
        int methodId;
        std::function<std::unique_ptr<CDisplayPicture>(const CPicture&)> reference;
    };
    // 61 % of 200 x 150 is 122 x 91; the Scale dialog's radius starts at 1.00.
    const Case cases[] = {
        {1060, [](const CPicture& p) { return Resampled(p, BilinearResizeFilter(122, 91)); }},
        {1062, [](const CPicture& p) { return Resampled(p, BoxResizeFilter(122, 91, 1.0)); }},
        {1061, [](const CPicture& p) { return Resampled(p, GaussianResizeFilter(122, 91, 1.0)); }},
        {1063, [](const CPicture& p) { return Resampled(p, HammingResizeFilter(122, 91, 1.0)); }},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.Run(ID_OP_SCALE, [&](CResizeTypeDlg& d) {
            EXPECT_EQ(Edit(d, 1065)->value(), 100);
            Click(d, 1059);
            Click(d, c.methodId);
            Edit(d, 1055)->setValue(61);
            Click(d, 1056);
            Click(d, 1);
        });
        EXPECT_TRUE(SamePixels(f.Pic(), *c.reference(f.original))) << c.methodId;
        EXPECT_EQ(f.doc->History().GetUndoCount(), 1);
    }
}

TEST(ResizeDialogs, EnableRulesOfApplyMethodsAndRadius) {
    Fixture f;
    // Resize: the radius matters only to the kernels that have one.
    f.Run(ID_OP_RESIZE, [&](CResizeTypeDlg& d) {
        Click(d, 5);
        Edit(d, 1035)->setValue(300);
        EXPECT_FALSE(Enabled(d, 4));
        Click(d, 1041);
        EXPECT_TRUE(Enabled(d, 4));
        SetResizeSize(d, 50, 40);
        Click(d, 4);
        for (int id : {1040, 1041, 1042, 1043, 1034, 1036}) EXPECT_FALSE(Enabled(d, id)) << id;
        Click(d, 3);
        // Revert puts the restored size into the edits, which counts as an edit of the size.
        for (int id : {1040, 1041, 1042, 1043, 1034, 1036}) EXPECT_TRUE(Enabled(d, id)) << id;
        EXPECT_FALSE(Enabled(d, 4));
    });
    // Scale: the scale enables Apply only; the radius brings the methods back.
    f.Run(ID_OP_SCALE, [&](CResizeTypeDlg& d) {
        Click(d, 1059);
        Edit(d, 1055)->setValue(50);
        Click(d, 1056);
        EXPECT_FALSE(Enabled(d, 1062));
        Edit(d, 1055)->setValue(60);
        EXPECT_TRUE(Enabled(d, 1056));
        EXPECT_FALSE(Enabled(d, 1062));
        Edit(d, 1065)->setValue(150);
        EXPECT_TRUE(Enabled(d, 1062));
        EXPECT_TRUE(Enabled(d, 1064));
        Click(d, 1057);
        EXPECT_EQ(Edit(d, 1055)->value(), 100);
        Click(d, 1);
    });
    EXPECT_TRUE(SamePixels(f.Pic(), f.original));
}

TEST(ResizeDialogs, InitialValuesRangesAndEditLimits) {
    Fixture big(3000, 20);
    big.Run(ID_OP_RESIZE, [&](CResizeTypeDlg& d) {
        EXPECT_EQ(d.windowTitle(), "Resize Operation");
        EXPECT_EQ(Edit(d, 1029)->value(), 800);
        EXPECT_EQ(Edit(d, 1031)->value(), 20);
        EXPECT_EQ(Ctl<QSlider>(d, 1032)->maximum(), 2048);
        EXPECT_EQ(Ctl<QLineEdit>(d, 1028)->maxLength(), 4);
        EXPECT_EQ(Ctl<QLineEdit>(d, 1030)->maxLength(), 4);
        EXPECT_EQ(Ctl<QSlider>(d, 1036)->value(), 500);
        EXPECT_EQ(Ctl<QSlider>(d, 1036)->maximum(), 1000);
        EXPECT_EQ(d.CurrentMethod(), 1040);
        EXPECT_TRUE(Ctl<QRadioButton>(d, 1040)->isChecked());
    });
    Fixture f;
    f.Run(ID_OP_SCALE, [&](CResizeTypeDlg& d) {
        EXPECT_EQ(Ctl<QSlider>(d, 1054)->value(), 100);
        EXPECT_EQ(Ctl<QSlider>(d, 1054)->maximum(), 400);
        EXPECT_EQ(Ctl<QLineEdit>(d, 1053)->maxLength(), 3);
        EXPECT_EQ(Ctl<QLineEdit>(d, 1064)->maxLength(), 4);
        EXPECT_EQ(d.CurrentMethod(), 1060);
    });
    f.Run(ID_OP_STRETCH, [&](CResizeTypeDlg& d) {
        EXPECT_EQ(Ctl<QSlider>(d, 1070)->value(), 100);
        EXPECT_EQ(Ctl<QSlider>(d, 1073)->value(), 100);
        EXPECT_EQ(Ctl<QLineEdit>(d, 1071)->maxLength(), 3);
        EXPECT_EQ(Ctl<QSlider>(d, 1084)->value(), 500);
        EXPECT_EQ(d.CurrentMethod(), 1078);
    });
}

TEST(ResizeDialogs, TheCollapseDisablesExactlyTheControlsOutsideTheFrame) {
    struct Ids {
        int cmd, frame, toggle;
        std::vector<int> outside; // methods and radius
    };
    const Ids all[] = {
        {ID_OP_RESIZE, 1039, 5, {1040, 1041, 1042, 1043, 1034, 1035, 1036}},
        {ID_OP_SCALE, 1067, 1059, {1060, 1061, 1062, 1063, 1064, 1065, 1066}},
        {ID_OP_STRETCH, 1085, 1077, {1078, 1079, 1080, 1081, 1082, 1083, 1084}},
    };
    for (const Ids& ids : all) {
        Fixture f;
        f.Run(ids.cmd, [&](CResizeTypeDlg& d) {
            QWidget* frame = Ctl(d, ids.frame);
            const QRect fr = frame->geometry();
            EXPECT_FALSE(frame->isVisible());
            EXPECT_FALSE(d.IsExpanded());
            EXPECT_EQ(d.size(), QSize(fr.right() + 1, fr.bottom() + 1));
            EXPECT_EQ(Ctl<QPushButton>(d, ids.toggle)->text(), "A&dvanced >>");
            int outside = 0;
            for (QWidget* w : d.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                if (w == frame) continue;
                const bool out = !w->geometry().intersects(fr);
                outside += out;
                // Apply and Revert start disabled by their own rule; all else inside is usable.
                const bool ruleOff = w->objectName() == "4" || w->objectName() == "3" ||
                                     w->objectName() == "1056" || w->objectName() == "1057" ||
                                     w->objectName() == "1075" || w->objectName() == "1076";
                if (!ruleOff) {
                    EXPECT_EQ(w->isEnabled(), !out) << w->objectName().toStdString();
                }
            }
            EXPECT_GE(outside, int(ids.outside.size()));
            for (int id : ids.outside) EXPECT_FALSE(Enabled(d, id)) << id;

            Click(d, ids.toggle);
            EXPECT_TRUE(d.IsExpanded());
            EXPECT_GT(d.height(), fr.bottom() + 1);
            EXPECT_EQ(Ctl<QPushButton>(d, ids.toggle)->text(), "A&dvanced <<");
            for (int id : ids.outside) EXPECT_TRUE(Enabled(d, id)) << id;
            // Focus goes to the control after the toggle button: the first method.
            EXPECT_EQ(d.focusWidget(), Ctl(d, ids.outside[0]));
            Click(d, ids.toggle);
            EXPECT_FALSE(d.IsExpanded());
            for (int id : ids.outside) EXPECT_FALSE(Enabled(d, id)) << id;
        });
    }
}

TEST(ResizeDialogs, TheCommandsAreEnabledAndDoNothingWithoutAPictureOrAnAnswer) {
    Fixture f;
    for (int id : {ID_OP_RESIZE, ID_OP_SCALE, ID_OP_STRETCH}) {
        CCmdUI ui(id);
        ASSERT_TRUE(f.doc->OnCmdMsg(id, &ui));
        EXPECT_TRUE(ui.m_enabled);
    }
    // An 8-bit picture and No to the conversion: no dialog.
    CDisplayPicture grey;
    grey.CopyWithDepth(f.original, 8);
    f.Pic().CopyWithDepth(grey, 0);
    f.host.answer = QMessageBox::No;
    bool ran = false;
    f.Run(ID_OP_RESIZE, [&](CResizeTypeDlg&) { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_EQ(f.host.questions, 1);
    EXPECT_EQ(f.Pic().GetBitsPerPixel(), 8);
}

TEST(ResizeDialogs, HelpOpensTheResizeTopicInEachDialog) {
    Fixture f;
    f.Run(ID_OP_RESIZE, [&](CResizeTypeDlg& d) { Click(d, 1037); });
    f.Run(ID_OP_SCALE, [&](CResizeTypeDlg& d) { Click(d, 1058); });
    f.Run(ID_OP_STRETCH, [&](CResizeTypeDlg& d) { Click(d, 1074); });
    EXPECT_EQ(f.host.helpTopics, (std::vector<int>{2, 2, 2}));
}
