#include "AfterFakes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "after/U_ExternalPrograms.h"
#include "platform/U_LockProbe.h"
#include "platform/U_Shell.h"
#include "platform/os/U_Settings.h"

namespace test {

namespace {

bool SaveEnv(const char* name, std::string& value) {
    const char* old = std::getenv(name);
    if (old) value = old;
    return old != nullptr;
}

void RestoreEnv(const char* name, bool had, const std::string& value) {
    if (had)
        setenv(name, value.c_str(), 1);
    else
        unsetenv(name);
}

} // namespace

TAfterWorld::TAfterWorld() {
    hadConfig_ = SaveEnv("MORVANTA_CONFIG_DIR", oldConfig_);
    hadRuntime_ = SaveEnv("XDG_RUNTIME_DIR", oldRuntime_);
    std::filesystem::create_directories(dir_.Path() / "config");
    std::filesystem::create_directories(dir_.Path() / "run");
    setenv("MORVANTA_CONFIG_DIR", File("config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", File("run").c_str(), 1);
    ShellHooks().MessageBox = [this](QWidget*, const QString& text, const QString&, bool yesNo,
                                     int kind) {
        Shown.push_back({text, kind});
        if (!yesNo) return idOk;
        if (Answers.empty()) return idNo;
        const int answer = Answers.front();
        Answers.pop_front();
        return answer;
    };
    ShellHooks().OpenUrl = [this](const QString& target) {
        Opened << target;
        return true;
    };
    const auto realStart = ShellHooks().StartProgram;
    ShellHooks().StartProgram = [this, realStart](const QString& program,
                                                  const QStringList& arguments) {
        Started << program;
        return realStart(program, arguments);
    };
}

TAfterWorld::~TAfterWorld() {
    ResetShellHooks();
    RestoreEnv("MORVANTA_CONFIG_DIR", hadConfig_, oldConfig_);
    RestoreEnv("XDG_RUNTIME_DIR", hadRuntime_, oldRuntime_);
}

std::string TAfterWorld::BurnerLock() const {
    return LockFilePath(ResolveLockFolder(File("run"), "/nonexistent", 0), "BURNDECK_RUNNING");
}

void TAfterWorld::WriteScript(const std::string& path, const std::string& body) const {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteText(path, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::group_exec);
}

void TAfterWorld::Register(const std::string& valueName, const std::string& value) const {
    if (!WriteStringValue(TSettingsHive::Machine, DalvexKey, valueName, value))
        throw std::runtime_error("cannot write the settings store");
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace test
