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
    const std::string path = CInstanceChecker::LockFilePath("Orvane Screen");
    EXPECT_EQ(path, dir + "/CInstanceChecker_MMF_Orvane Screen");

    // Left behind by an instance that crashed: its content must not matter.
    std::ofstream(path) << "4242\n";

    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CInstanceChecker first("Orvane Screen");
        char c = first.PreviousInstanceRunning(777) ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(release[0], &c, 1);
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    EXPECT_EQ(answer, 'n'); // the stale file did not stop the first instance

    CInstanceChecker second("Orvane Screen");
    EXPECT_TRUE(second.PreviousInstanceRunning(1));
    EXPECT_EQ(second.PreviousWindowId(), 777u);

    // When the first instance ends (however it ends) the next start is a first instance.
    (void)!write(release[1], "x", 1);
    int status = 0;
    waitpid(child, &status, 0);
    CInstanceChecker third("Orvane Screen");
    EXPECT_FALSE(third.PreviousInstanceRunning(5));
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
    unsetenv("XDG_RUNTIME_DIR");
    std::filesystem::remove_all(dir);
}
