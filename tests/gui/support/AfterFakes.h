#pragma once
// Fakes of the outside party's programs for the after-processing tests: small shell scripts in
// a temporary folder, registered in a settings store and a lock folder of the test's own.
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace test {

// Points the settings store and the lock folder at fresh temporary folders for its lifetime,
// and records what goes to the desktop and the message boxes instead of showing anything.
class TAfterWorld {
public:
    TAfterWorld();
    ~TAfterWorld();
    TAfterWorld(const TAfterWorld&) = delete;
    TAfterWorld& operator=(const TAfterWorld&) = delete;

    std::string Root() const { return dir_.Path().string(); }
    std::string File(const std::string& name) const { return dir_.File(name); }
    // The lock file the fake burner holds while it runs.
    std::string BurnerLock() const;

    // Writes an executable "#!/bin/sh" script at `path` (folders made as needed).
    void WriteScript(const std::string& path, const std::string& body) const;
    // Sets a value under the outside party's key in the machine hive.
    void Register(const std::string& valueName, const std::string& value) const;

    // Answers given to Yes/No questions in turn (No when none is left).
    std::deque<int> Answers;
    struct TShown {
        QString Text;
        int Kind;
    };
    std::vector<TShown> Shown;
    QStringList Opened;  // targets handed to the desktop
    QStringList Started; // programs started through the shell hooks

private:
    TempDir dir_;
    std::string oldConfig_, oldRuntime_;
    bool hadConfig_, hadRuntime_;
};

// Runs the event loop until `done` holds or `ms` pass; returns `done()`.
bool WaitUntil(const std::function<bool()>& done, int ms = 5000);
// The file's text, or empty text when it cannot be read.
std::string ReadText(const std::string& path);
// Single-quotes `text` for a shell script.
std::string ShellQuote(const std::string& text);

} // namespace test
