// Saving the image document over an existing file when the write cannot be finished.

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sys/resource.h>

#include "editor/ImageDoc.h"
#include "tests/unit/ImageTestUtil.h"

using namespace imagetest;

namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A file-size limit for the test's own process, and the signal it sends ignored, as a full
// disk would fail a write without one. Both are restored afterwards.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

TEST(ImageDocSave, AFailedSaveKeepsTheOldFileAndTheDocumentModified) {
    const TempDir dir;
    const std::string path = dir.File("picture.bmp");
    const std::string old(5000, 'x');
    WriteFile(path, std::vector<uint8_t>(old.begin(), old.end()));

    CTilletCaptureDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    doc.GetPicture()->Create(200, 100, 32, false);
    ASSERT_TRUE(doc.IsModified());

    QString shown;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    answer.start(10);
    {
        const FileSizeLimit limit(2048);
        EXPECT_FALSE(doc.DoSave(QString::fromStdString(path)));
    }
    EXPECT_TRUE(shown.startsWith("Error saving the file: ")) << shown.toStdString();
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.GetPicture() && doc.GetPicture()->GetWidth() == 200);
    EXPECT_TRUE(doc.GetPathName().isEmpty());
    EXPECT_TRUE(Contents(path) == old); // not printed: 5000 bytes
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("")),
                            std::filesystem::directory_iterator()),
              1);

    // Without the limit the same save replaces the file.
    ASSERT_TRUE(doc.DoSave(QString::fromStdString(path)));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(Contents(path).size(), 14u + 40u + 200u * 100u * 3u);
}
