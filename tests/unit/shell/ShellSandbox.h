#pragma once
// A private home, XDG folders, temporary folder, shared data folder and
// program folder for one test, so that no test ever touches the real ones.

#include "platform/ProgramFile.h"
#include "platform/ShellFolders.h"
#include "shell/uApplicationFolders.h"
#include "shell/uApplicationSpecifical.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

class ShellSandbox : public ::testing::Test {
protected:
    static constexpr int CommonAppData = 35;

    void SetUp() override {
        std::string base = ::testing::TempDir();
        while (base.size() > 1 && base.back() == '/')
            base.pop_back();
        std::string templ = base + "/qvshell.XXXXXX";
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        root = templ;
        home = root + "/home";
        shared = root + "/shared";
        bin = root + "/bin";
        for (const std::string& d : {home, shared, bin, root + "/tmp"})
            std::filesystem::create_directories(d);
        SetEnv("HOME", home);
        SetEnv("TMPDIR", root + "/tmp");
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            SetEnv(name, std::nullopt);
        // The machine's settings folders (/etc/xdg) are no part of a test.
        machineConfig = root + "/etc-xdg";
        std::filesystem::create_directories(machineConfig);
        SetEnv("XDG_CONFIG_DIRS", machineConfig);
        platform::OverrideShellFolder(CommonAppData, shared);
        platform::OverrideProgramFilePath(bin + "/quorvet");
    }

    void TearDown() override {
        uApplicationFolders::FinalizeAppFolders();
        uApplicationSpecifical::ResetIdentity();
        platform::OverrideShellFolder(CommonAppData, std::nullopt);
        platform::OverrideProgramFilePath(std::nullopt);
        for (const auto& [name, value] : savedEnv_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    void SetEnv(const std::string& name, const std::optional<std::string>& value) {
        if (!savedEnv_.count(name)) {
            const char* old = std::getenv(name.c_str());
            savedEnv_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }

    static void WriteFile(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    void WriteIni(const std::string& text) const { WriteFile(bin + "/Quorvet.ini", text); }

    static bool IsDir(const std::string& path) { return std::filesystem::is_directory(path); }

    std::string root, home, shared, bin, machineConfig;

private:
    std::map<std::string, std::optional<std::string>> savedEnv_;
};
