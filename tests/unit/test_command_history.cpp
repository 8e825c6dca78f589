#include <gtest/gtest.h>

#include "EditorTestSupport.h"
#include "editor/Command.h"
#include "editor/Filters.h"
#include "editor/RefObject.h"
#include "editor/Resample.h"

using namespace edtest;

namespace {

// A document as the history sees it, recording what it is told.
struct TestDocument : CHistoryDocument {
    CDibSectionPicture picture;
    bool modified = false;
    int titleUpdates = 0;
    std::vector<int> viewHints;
    std::string status;

    CPicture* GetPicture() override { return &picture; }
    bool IsModified() const override { return modified; }
    void SetModifiedFlag(bool m) override { modified = m; }
    void UpdateTitle() override { ++titleUpdates; }
    void UpdateAllViews(int hint, CCommand*) override { viewHints.push_back(hint); }
    void SetStatusText(const std::string& text) override { status = text; }
};

// Counts live instances so that the tests see exactly which commands were deleted.
struct Counted : CCommand {
    static inline int alive = 0;
    int result;
    explicit Counted(int r = 1) : result(r) { ++alive; }
    ~Counted() override { --alive; }
    int GetKind() const override { return Ordinary; }
    int Execute() override { return result; }
    CCommand* CreateUndoCommand() override { return new Counted; }
    CCommand* CreateRedoCommand() override { return new Counted; }
    void GetDescription(std::string& out) const override { out = "counted"; }
};

void ExpectCounters(const CCommandHistory& h, int pos, int undo, int redo, int clean) {
    EXPECT_EQ(h.GetPosition(), pos);
    EXPECT_EQ(h.GetUndoCount(), undo);
    EXPECT_EQ(h.GetRedoCount(), redo);
    EXPECT_EQ(h.GetCleanDistance(), clean);
}

CTilletCommand* Invert(TestDocument& doc) {
    return new CTilletCommand(&doc, new InvertFilter, "Invert the image");
}

} // namespace

TEST(CommandHistory, WorkedSequenceDiscardsTheRedoBranch) {
    {
        CCommandHistory h;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(h.Do(new Counted, 1), 1);
        ExpectCounters(h, 3, 3, 0, 3);
        h.Undo();
        h.Undo();
        ExpectCounters(h, 1, 1, 2, 1);
        EXPECT_EQ(Counted::alive, 3); // the undo commands were deleted after running
        h.Do(new Counted, 1);
        ExpectCounters(h, 2, 2, 0, 2);
        EXPECT_EQ(Counted::alive, 2);
        EXPECT_EQ(h.GetSlot(2), nullptr);
        EXPECT_FALSE(h.CanRedo());
    }
    EXPECT_EQ(Counted::alive, 0);
}

TEST(CommandHistory, ElevenOperationsThenTenUndos) {
    CCommandHistory h;
    for (int i = 0; i < 11; ++i) h.Do(new Counted, 1);
    EXPECT_EQ(Counted::alive, 10); // the first was discarded
    ExpectCounters(h, 1, 10, 0, 11);
    int undone = 0;
    while (h.Undo()) ++undone;
    EXPECT_EQ(undone, 10);
    ExpectCounters(h, 1, 0, 10, 1); // the opened state is out of reach
    for (int i = 0; i < 10; ++i) EXPECT_EQ(h.Redo(), 1);
    EXPECT_EQ(h.Redo(), 0);
    ExpectCounters(h, 1, 10, 0, 11);
}

TEST(CommandHistory, FailedCommandsAreDeletedAndChangeNothing) {
    CCommandHistory h;
    EXPECT_EQ(h.Do(new Counted(0), 1), 0);
    EXPECT_EQ(h.Do(new Counted(0), 0), 0);
    EXPECT_EQ(h.DoTentative(new Counted(0), 1), 0);
    EXPECT_EQ(Counted::alive, 0);
    ExpectCounters(h, 0, 0, 0, 0);
    EXPECT_EQ(h.GetTentative(), nullptr);
    EXPECT_EQ(h.Undo(), 0);
    EXPECT_EQ(h.Redo(), 0);
}

TEST(CommandHistory, UndoRestoresPictureAndModifiedFlagAndTitleNotifications) {
    TestDocument doc;
    FillRandom(doc.picture, 7, 5, 1);
    const auto original = PixelBytes(doc.picture);
    CDocCommandHistory h(&doc);
    h.Do(new CTilletCommand(&doc, new GrayscaleFilter, "Convert the image to grayscale picture"),
         1);
    EXPECT_EQ(doc.picture.GetBitsPerPixel(), 8);
    EXPECT_TRUE(doc.modified);
    EXPECT_EQ(doc.status, "Last command : Convert the image to grayscale picture");
    h.Do(Invert(doc), 1); // the command widens nothing by itself: grayscale in, 32-bit out
    EXPECT_EQ(doc.picture.GetBitsPerPixel(), 32);
    h.Undo();
    EXPECT_EQ(doc.status, "Last command : Undo last action");
    EXPECT_EQ(doc.picture.GetBitsPerPixel(), 8);
    h.Undo();
    EXPECT_EQ(doc.picture.GetBitsPerPixel(), 32);
    EXPECT_EQ(PixelBytes(doc.picture), original);
    EXPECT_FALSE(doc.modified);
    EXPECT_EQ(h.GetCleanDistance(), 0);
    h.Redo();
    EXPECT_EQ(doc.status, "Last command : Redo last action");
    EXPECT_EQ(doc.picture.GetBitsPerPixel(), 8);
    EXPECT_TRUE(doc.modified);
    EXPECT_GE(doc.titleUpdates, 5);
}

TEST(CommandHistory, RedoOfAResizeRunsTheResamplingAgain) {
    TestDocument doc;
    FillRandom(doc.picture, 40, 30, 2);
    CDocCommandHistory h(&doc);
    h.Do(new CTilletCommand(&doc, new BoxResizeFilter(17, 11, 1.5), "resize"), 1);
    const auto resized = PixelBytes(doc.picture);
    h.Undo();
    EXPECT_EQ(doc.picture.GetWidth(), 40);
    h.Redo();
    EXPECT_EQ(doc.picture.GetWidth(), 17);
    EXPECT_EQ(doc.picture.GetHeight(), 11);
    EXPECT_EQ(PixelBytes(doc.picture), resized);
}

TEST(CommandHistory, TentativeApplyRevertAndDone) {
    TestDocument doc;
    FillRandom(doc.picture, 20, 10, 3);
    const auto original = PixelBytes(doc.picture);
    CDocCommandHistory h(&doc);
    // Apply, Revert, Done: unchanged and nothing recorded.
    h.DoTentative(new CTilletCommand(&doc, new BilinearResizeFilter(40, 30), "resize"), 1);
    EXPECT_EQ(doc.picture.GetWidth(), 40);
    EXPECT_EQ(doc.viewHints.back(), 1);
    EXPECT_EQ(h.UndoTentative(), 1);
    EXPECT_EQ(PixelBytes(doc.picture), original);
    EXPECT_EQ(h.CommitTentative(0), 1);
    EXPECT_FALSE(h.CanUndo());
    EXPECT_EQ(h.UndoTentative(), 0);
    // Apply, Done: one undo step restores the old size.
    h.DoTentative(new CTilletCommand(&doc, new BilinearResizeFilter(40, 30), "resize"), 1);
    h.CommitTentative(1);
    EXPECT_EQ(h.GetUndoCount(), 1);
    h.Undo();
    EXPECT_EQ(PixelBytes(doc.picture), original);
}

// Large enough to be cut into many bands and compressed; the states are compared with the
// palette and every byte of the pixel block.
TEST(CommandHistory, UndoAndRedoThroughCompressedSnapshots) {
    struct State {
        int width, height, bpp;
        std::vector<RGBAPIXEL> palette;
        std::vector<uint8_t> block;
        bool operator==(const State&) const = default;
    };
    TestDocument doc;
    const auto state = [&doc] {
        const CPicture& p = doc.picture;
        const uint8_t* bits = p.GetBits();
        return State{
            p.GetWidth(), p.GetHeight(), p.GetBitsPerPixel(),
            std::vector<RGBAPIXEL>(p.GetPalette(), p.GetPalette() + p.GetPaletteSize()),
            std::vector<uint8_t>(bits, bits + size_t(p.GetBytesPerLine()) * p.GetHeight())};
    };
    doc.picture.Create(1237, 999, 8, false);
    for (int y = 0; y < 999; ++y)
        for (int x = 0; x < 1237; ++x)
            doc.picture.GetLineArray()[y][x] = uint8_t((x / 9 + y / 7) * 3);
    for (int i = 0; i < 256; ++i)
        doc.picture.SetPaletteEntry(i, uint8_t(i * 7), uint8_t(255 - i), 40);

    CDocCommandHistory h(&doc);
    std::vector<State> states{state()};
    std::vector<ImageFilter*> filters{new FlipHorizontalFilter, new InvertFilter,
                                      new CropFilter(3, 1100, 5, 901), new GrayscaleFilter};
    for (ImageFilter* f : filters) {
        auto* c = new CTilletCommand(&doc, f, "step");
        h.Do(c, 1);
        c->GetSnapshot().WaitUntilSettled();
        EXPECT_TRUE(c->GetSnapshot().IsCompressed());
        states.push_back(state());
    }
    for (int i = int(states.size()) - 2; i >= 0; --i) {
        ASSERT_EQ(h.Undo(), 1);
        EXPECT_TRUE(state() == states[size_t(i)]) << "after undo to state " << i;
    }
    for (size_t i = 1; i < states.size(); ++i) {
        ASSERT_EQ(h.Redo(), 1);
        EXPECT_TRUE(state() == states[i]) << "after redo to state " << i;
    }
    // An undo at once, while the new step's snapshot is still being compressed.
    h.Do(new CTilletCommand(&doc, new FlipVerticalFilter, "step"), 1);
    h.Undo();
    EXPECT_TRUE(state() == states.back());
}

TEST(CommandHistory, MacroMembersAreReportedOneByOne) {
    struct Listener : CCommandHistory {
        int executed = 0;
        void OnCommandExecuted(CCommand*) override { ++executed; }
    } h;
    auto* macro = new CCommandMacro;
    macro->Add(new Counted);
    macro->Add(new Counted);
    macro->Add(new Counted);
    h.Do(macro, 1);
    EXPECT_EQ(h.executed, 3);
    h.Undo(); // a macro of three undo commands
    EXPECT_EQ(h.executed, 6);
    h.Clear();
    EXPECT_EQ(Counted::alive, 0);
}

TEST(RefObList, HoldsOneReferencePerElement) {
    static int deleted = 0;
    struct Obj : CRefObject {
        ~Obj() override { ++deleted; }
    };
    auto* shared = new Obj;
    shared->AddRef(); // the test's own reference
    {
        CRefObList a;
        a.AddTail(shared);
        a.AddTail(new Obj);
        EXPECT_EQ(a.GetCount(), 2);
        EXPECT_EQ(shared->GetRefCount(), 2);
    }
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(shared->GetRefCount(), 1);
    shared->Release();
    EXPECT_EQ(deleted, 2);
}
