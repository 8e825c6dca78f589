#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "capture/CaptureActions.h"

namespace {

CommandLine Parse(std::vector<std::string> args, const std::string& cwd = "/home/u/pics") {
    return ParseCommandLine(args, cwd);
}

using Outcome = CommandLine::Outcome;

} // namespace

// The words desktop entries and key bindings use: each names its own action.
TEST(CommandLine, EveryCaptureActionHasItsOwnWord) {
    const std::pair<const char*, int> words[] = {
        {"active-window", 0}, {"client-area", 1}, {"control", 2}, {"square", 3}, {"rectangle", 4},
        {"circle", 5},        {"ellipse", 6},     {"polygon", 7}, {"menu", 8},   {"desktop", 9},
        {"window", 10},       {"repeat", 11},     {"default", 12}};
    std::set<std::string> seen;
    for (const auto& [word, index] : words) {
        const CommandLine line = Parse({"--capture", word});
        ASSERT_EQ(line.outcome, Outcome::Run) << word;
        EXPECT_EQ(line.request.captureAction, index) << word;
        EXPECT_EQ(Parse({std::string("--capture=") + word}).request, line.request);
        seen.insert(word);
    }
    EXPECT_EQ(seen.size(), size_t(CAPTURE_ACTION_COUNT));
    EXPECT_EQ(CaptureActionForName("Desktop"), nullptr);
}

TEST(CommandLine, FilesAreTakenFromTheSendersFolder) {
    EXPECT_TRUE(Parse({}).request.Empty());
    EXPECT_EQ(
        Parse({"a.png", "sub/b.gif", "/abs/c.bmp"}).request.files,
        (std::vector<std::string>{"/home/u/pics/a.png", "/home/u/pics/sub/b.gif", "/abs/c.bmp"}));
    EXPECT_EQ(Parse({"a.png"}, "/").request.files, std::vector<std::string>{"/a.png"});
    // After "--" a name may start with a dash; a lone dash is a name too.
    EXPECT_EQ(Parse({"--", "-x.png", "--help"}).request.files,
              (std::vector<std::string>{"/home/u/pics/-x.png", "/home/u/pics/--help"}));
    EXPECT_EQ(Parse({"-"}).request.files, std::vector<std::string>{"/home/u/pics/-"});
}

// A session manager restarts the program with -session, a user may add -style or -platform:
// those belong to the toolkit and must not be refused or taken for files.
TEST(CommandLine, ToolkitOptionsPassThrough) {
    const CommandLine line = Parse({"-session", "1234abc", "-platform", "xcb", "--style=fusion",
                                    "-reverse", "-display", ":3", "a.png"});
    ASSERT_EQ(line.outcome, Outcome::Run);
    EXPECT_EQ(line.request.files, std::vector<std::string>{"/home/u/pics/a.png"});
    EXPECT_EQ(line.platform, "xcb");
    EXPECT_EQ(line.display, ":3");
}

TEST(CommandLine, WrongCommandLinesAreRefusedWithTheReason) {
    const std::pair<std::vector<std::string>, const char*> wrong[] = {
        {{"--capture", "bogus"}, "bogus"},
        {{"--capture"}, "needs an action"},
        {{"--capture="}, "unknown capture action ''"},
        {{"--frob"}, "'--frob'"},
        {{"-reverse=1"}, "'-reverse=1'"},
        {{"--capture", "desktop", "--capture", "menu"}, "only once"},
        {{"a.png", "--capture", "desktop"}, "cannot be combined"},
        {{""}, "empty file name"},
        {{"--capture", "Desktop"}, "desktop, window"},
    };
    for (const auto& [args, text] : wrong) {
        const CommandLine line = Parse(args);
        EXPECT_EQ(line.outcome, Outcome::Error) << args[0];
        EXPECT_NE(line.error.find(text), std::string::npos) << line.error;
    }
    // Help and the version answer at once, whatever follows.
    EXPECT_EQ(Parse({"--help", "--frob"}).outcome, Outcome::Help);
    EXPECT_EQ(Parse({"a.png", "-h"}).outcome, Outcome::Help);
    EXPECT_EQ(Parse({"--version"}).outcome, Outcome::Version);
    EXPECT_NE(CommandLineHelp().find("ellipse"), std::string::npos);
}

TEST(CommandLine, TooManyFilesForOneRequestAreRefused) {
    std::vector<std::string> many(kMaxStartRequestBytes / 100, std::string(90, 'x'));
    const CommandLine line = Parse(many);
    EXPECT_EQ(line.outcome, Outcome::Error);
    many.resize(many.size() / 2);
    EXPECT_EQ(Parse(many).outcome, Outcome::Run);
}

TEST(StartRequestBytes, RoundTripKeepsEveryName) {
    StartRequest capture;
    capture.captureAction = 4;
    StartRequest files;
    // Any byte but NUL may be part of a file name, valid UTF-8 or not.
    files.files = {"/a b/new\nline.png", "/x/\xff\xfe.gif", "/x/ünï.jpg"};
    for (const StartRequest& request : {capture, files, StartRequest()}) {
        StartRequest back;
        back.captureAction = 7;
        ASSERT_TRUE(DecodeStartRequest(EncodeStartRequest(request), back));
        EXPECT_EQ(back, request);
    }
}

TEST(StartRequestBytes, AnythingElseIsRefused) {
    using namespace std::string_literals;
    const std::string tag = "orvane-request 1\0"s;
    const std::string bad[] = {
        ""s,
        "orvane-request 2\0"s,
        tag.substr(0, tag.size() - 1),
        tag + "capture\0desktop"s,
        tag + "capture\0"s,
        tag + "capture\0bogus\0"s,
        tag + "capture\0desktop\0capture\0menu\0"s,
        tag + "capture\0desktop\0open\0/a.png\0"s,
        tag + "open\0/a.png\0capture\0desktop\0"s,
        tag + "open\0relative.png\0"s,
        tag + "open\0\0"s,
        tag + "print\0/a.png\0"s,
        tag + "open\0/"s + std::string(kMaxStartRequestBytes, 'x') + "\0"s,
    };
    for (const std::string& bytes : bad) {
        StartRequest request;
        EXPECT_FALSE(DecodeStartRequest(bytes, request)) << bytes.substr(0, 60);
    }
}
