#pragma once

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
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
    void TearDown() override {
        for (const auto& [name, value] : savedEnv) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        std::filesystem::remove_all(dir);
    }

    // Sets an environment variable until the test ends, even when an assertion ends it early.
    void SetEnv(const std::string& name, const std::string& value) {
        if (!savedEnv.count(name)) {
            const char* old = getenv(name.c_str());
            savedEnv[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        setenv(name.c_str(), value.c_str(), 1);
    }
    // The user's home, and the settings folder in it, are home for the rest of the test.
    void UseHome(const std::string& home) {
        SetEnv("HOME", home);
        SetEnv("XDG_CONFIG_HOME", home + "/.config");
    }

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

private:
    std::map<std::string, std::optional<std::string>> savedEnv;
};
