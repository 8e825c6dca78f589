// Resident memory held by an undo history: one 3840x2160 capture, then ten recorded steps on
// it, each keeping its snapshot as the editor does. Prints the growth against the capture
// with no history, and the same for ten plain copies (what every step used to keep).
//
//   snapshot_memory [desktop|photo]

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "BenchPictures.h"
#include "editor/Command.h"
#include "editor/Filters.h"

namespace {

size_t ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return size_t(resident) * size_t(sysconf(_SC_PAGESIZE));
}

double Mb(double bytes) {
    return bytes / (1024.0 * 1024.0);
}

struct Document : CCommandDocument {
    CDibSectionPicture picture;
    bool modified = false;
    CPicture* GetPicture() override { return &picture; }
    bool IsModified() const override { return modified; }
    void SetModifiedFlag(bool m) override { modified = m; }
};

ImageFilter* Step(int i) {
    switch (i % 5) {
    case 0:
        return new InvertFilter;
    case 1:
        return new FlipHorizontalFilter;
    case 2:
        return new BrightnessFilter(10);
    case 3:
        return new FlipVerticalFilter;
    default:
        return new ContrastFilter(1.2, 128);
    }
}

} // namespace

int main(int argc, char** argv) {
    const bool photo = argc > 1 && std::string(argv[1]) == "photo";
    Document doc;
    if (photo)
        bench::MakePhotoLike(doc.picture, 3840, 2160);
    else
        bench::MakeDesktopLike(doc.picture, 3840, 2160);

    CCommandHistory history;
    // Each operation once, unrecorded, so that whatever memory the filters keep for the next
    // run is part of the baseline; then the picture as it was.
    CDibPicture original;
    original.CopyWithDepth(doc.picture, 0);
    for (int i = 0; i < 5; ++i) history.Do(new CTilletCommand(&doc, Step(i), "warm-up"), 0);
    doc.picture.CopyWithDepth(original, 0);
    original.Create(1, 1, 32, false);

    const size_t before = ResidentBytes();
    size_t stored = 0;
    for (int i = 0; i < CCommandHistory::HistorySlots; ++i) {
        auto* command = new CTilletCommand(&doc, Step(i), "step");
        history.Do(command, 1);
        command->GetSnapshot().WaitUntilSettled();
        stored += command->GetSnapshot().GetStoredBytes();
    }
    const size_t after = ResidentBytes();
    std::printf("%s 3840x2160, ten undo steps: resident +%.1f MB (snapshots hold %.1f MB, "
                "picture %.1f MB)\n",
                photo ? "photo" : "desktop", Mb(double(after) - double(before)), Mb(double(stored)),
                Mb(double(doc.picture.GetBytesPerLine()) * doc.picture.GetHeight()));

    history.Clear();
    const size_t cleared = ResidentBytes();
    std::vector<std::unique_ptr<CPictureSnapshot>> plain;
    for (int i = 0; i < CCommandHistory::HistorySlots; ++i)
        plain.push_back(
            std::make_unique<CPictureSnapshot>(doc.picture, CPictureSnapshot::Mode::Plain));
    std::printf("ten plain copies instead: resident +%.1f MB\n",
                Mb(double(ResidentBytes()) - double(cleared)));
    return 0;
}
