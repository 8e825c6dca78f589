#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/InstanceChecker.h"

// The lock lives in a private runtime folder; a second process stands for the other instance.
TEST(InstanceLock, StaleFileDoesNotBlockAndALiveHolderIsFound) {
    char tmpl[] = "/tmp/orvane-run-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    const std::string path = CInstanceChecker::LockFilePath("Orvane Screen", ":7.0");
    EXPECT_EQ(path, dir + "/CInstanceChecker_MMF_Orvane Screen:7");

    // Left behind by an instance that crashed: its content must not matter.
    std::ofstream(path) << "4242\n";

    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CInstanceChecker first("Orvane Screen", ":7");
        char c = first.PreviousInstanceRunning(777) ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(release[0], &c, 1);
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    EXPECT_EQ(answer, 'n'); // the stale file did not stop the first instance

    CInstanceChecker second("Orvane Screen", ":7");
    EXPECT_TRUE(second.PreviousInstanceRunning(1));
    EXPECT_EQ(second.PreviousWindowId(), 777u);

    // When the first instance ends (however it ends) the next start is a first instance.
    (void)!write(release[1], "x", 1);
    int status = 0;
    waitpid(child, &status, 0);
    CInstanceChecker third("Orvane Screen", ":7");
    EXPECT_FALSE(third.PreviousInstanceRunning(5));
    // The same user on another display is not stopped by this instance's lock.
    CInstanceChecker otherDisplay("Orvane Screen", "unix:8.1");
    EXPECT_FALSE(otherDisplay.PreviousInstanceRunning(6));
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
    unsetenv("XDG_RUNTIME_DIR");
    std::filesystem::remove_all(dir);
}

// Every spelling of one X server names one lock; different servers never share one.
TEST(InstanceLock, NameFollowsTheDisplay) {
    const std::string prefix = "CInstanceChecker_MMF_Orvane Screen";
    EXPECT_EQ(CInstanceChecker::LockName("Orvane Screen", ":1"), prefix + ":1");
    EXPECT_EQ(CInstanceChecker::LockName("Orvane Screen", ":1.0"), prefix + ":1");
    EXPECT_EQ(CInstanceChecker::LockName("Orvane Screen", "unix:1.2"), prefix + ":1");
    EXPECT_EQ(CInstanceChecker::LockName("Orvane Screen", ":10"), prefix + ":10");
    EXPECT_EQ(CInstanceChecker::LockName("Orvane Screen", "remote.example:10.0"),
              prefix + "remote.example:10");
    EXPECT_EQ(CInstanceChecker::LockName("Orvane Screen", "/tmp/launch-x/org.x:0"),
              prefix + "_tmp_launch-x_org.x:0");
    EXPECT_EQ(CInstanceChecker::LockName("Orvane Screen", ""), prefix);
}
