#pragma once

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>

#include "platform/Registry.h"

// Every test gets its own folder for the registry files, the program and its output, so the
// real user's files are never touched.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/orvane-reg-XXXXXX";
        dir = mkdtemp(tmpl);
        userFile = dir + "/config/Orvane/user.reg";
        machineFile = dir + "/machine.reg";
        Registry::Instance().SetFile(RegRoot::CurrentUser, userFile);
        Registry::Instance().SetFile(RegRoot::LocalMachine, machineFile);
        std::filesystem::create_directories(dir + "/bin");
        programPath = dir + "/bin/OrvaneScreen";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // A fresh process: the registry forgets what it loaded and reads the files again.
    void Reload() {
        Registry::Instance().SetFile(RegRoot::CurrentUser, userFile);
        Registry::Instance().SetFile(RegRoot::LocalMachine, machineFile);
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static void Write(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path) << text;
    }

    std::string dir, userFile, machineFile, programPath;
};
