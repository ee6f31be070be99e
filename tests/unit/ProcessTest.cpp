// WinExec against real files and processes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Process.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

class WinExecTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ARGV_RECORD", record().c_str(), 1);
        savedPath_ = std::getenv("PATH") ? std::getenv("PATH") : "";
    }
    void TearDown() override {
        unsetenv("ARGV_RECORD");
        setenv("PATH", savedPath_.c_str(), 1);
    }
    fs::path record() const { return dir_ / "argv.record"; }
    fs::path PlaceRecorder(const std::string& name) {
        const fs::path target = dir_ / name;
        fs::create_directories(target.parent_path());
        fs::copy_file(ARGV_RECORDER_PATH, target);
        return target;
    }
    std::vector<std::string> RecordedArgv() {
        if (!WaitForFile(record(), std::chrono::seconds(10))) return {};
        return SplitRecord(ReadFile(record()));
    }

    TempDir dir_{"winexec"};
    std::string savedPath_;
};

}  // namespace

TEST_F(WinExecTest, StartsTheProgramWithTheArgvOfTheWindowsRules) {
    const fs::path launcher = PlaceRecorder("game dir/velmo_tolqa_launch.exe");
    const std::string line =
        "\"" + launcher.string() + "\" ,id^a b,auth_key^\"q\";$(touch pwned)`id`|cat\t\\\"x";
    ASSERT_EQ(platform::WinExec(line), platform::kWinExecStarted);
    EXPECT_EQ(RecordedArgv(),
              (std::vector<std::string>{launcher.string(), ",id^a", "b,auth_key^q;$(touch",
                                        "pwned)`id`|cat", "\"x"}));
    EXPECT_FALSE(fs::exists(dir_ / "pwned"));
    EXPECT_FALSE(fs::exists("pwned"));
}

TEST_F(WinExecTest, RefusesFilesThatCannotRun) {
    WriteFile(dir_ / "empty.exe", "", 0755);
    WriteFile(dir_ / "not-executable.exe",
              "\x7f"
              "ELF0000",
              0644);
    WriteFile(dir_ / "unknown.exe", "just some text", 0755);
    fs::create_directory(dir_ / "directory.exe");
    const struct {
        std::string name;
        unsigned error;
    } cases[] = {
        {"missing.exe", platform::ERROR_FILE_NOT_FOUND},
        {"empty.exe", platform::ERROR_BAD_FORMAT},
        {"not-executable.exe", platform::ERROR_ACCESS_DENIED},
        {"unknown.exe", platform::ERROR_BAD_FORMAT},
        {"directory.exe", platform::ERROR_ACCESS_DENIED},
        {"missing-dir/x.exe", platform::ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::WinExec("\"" + (dir_ / c.name).string() + "\" ,id^1,auth_key^2"),
                  c.error);
    }
    EXPECT_EQ(platform::WinExec(""), platform::ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(fs::exists(record()));
}

TEST_F(WinExecTest, WindowsExecutableRunsThroughWineFromPath) {
    const fs::path wine = PlaceRecorder("bin/wine");
    WriteFile(dir_ / "game.exe", "MZ\x90\x00 windows program", 0755);
    setenv("PATH", (dir_ / "bin").c_str(), 1);
    ASSERT_EQ(platform::WinExec("\"" + (dir_ / "game.exe").string() + "\" ,id^1,auth_key^k"),
              platform::kWinExecStarted);
    EXPECT_EQ(RecordedArgv(), (std::vector<std::string>{wine.string(), (dir_ / "game.exe").string(),
                                                        ",id^1,auth_key^k"}));
}

TEST_F(WinExecTest, WindowsExecutableWithoutWineIsAFailedStart) {
    WriteFile(dir_ / "game.exe", "MZ\x90\x00 windows program", 0755);
    fs::create_directory(dir_ / "empty-bin");
    setenv("PATH", (dir_ / "empty-bin").c_str(), 1);
    EXPECT_EQ(platform::WinExec("\"" + (dir_ / "game.exe").string() + "\" ,id^1,auth_key^k"),
              platform::ERROR_BAD_FORMAT);
}

TEST_F(WinExecTest, ScriptWithInterpreterLineRuns) {
    const fs::path recorder = PlaceRecorder("recorder");
    WriteFile(dir_ / "launch.sh", "#!" + recorder.string() + "\n", 0755);
    ASSERT_EQ(platform::WinExec("\"" + (dir_ / "launch.sh").string() + "\" ,id^1,auth_key^k"),
              platform::kWinExecStarted);
    EXPECT_EQ(RecordedArgv(),
              (std::vector<std::string>{recorder.string(), (dir_ / "launch.sh").string(),
                                        ",id^1,auth_key^k"}));
}
