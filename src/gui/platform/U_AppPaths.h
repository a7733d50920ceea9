#pragma once
// Where the program's own files go: the log beside the executable when that folder can be
// written, else in the user's state folder; read-only data beside the executable, then in the
// installed share folder, then in the user's data folder.
#include <string>
#include <vector>

// The running program's full path ("" when the system does not tell).
std::string ExecutablePath();

// $XDG_STATE_HOME/Morvanta/, else $HOME/.local/state/Morvanta/ ("" when neither is set).
std::string StateFolder();
// The folders searched for read-only data, in order, each with a trailing '/'.
std::vector<std::string> DataFolders(const std::string& executableFolder);
// The first existing `name` in DataFolders, or "".
std::string FindDataFile(const std::string& executableFolder, const std::string& name);

// The log file: `fileName` in `executableFolder` when a file can be opened for writing there,
// else in `stateFolder` (created as needed), else the executable folder's name all the same
// (the log then reports the failure when it first writes).
std::string ChooseLogFileName(const std::string& executableFolder, const std::string& stateFolder,
                              const std::string& fileName);
