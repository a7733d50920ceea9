#pragma once
// The program's log: the most recent lines in memory, newest first, and the whole file
// rewritten after every line so that it is complete at any moment.
#include <deque>
#include <string>

class TKLog {
public:
    // The existing file is not read; the first line added replaces it.
    TKLog(std::string fileName, int maxLines, bool verboseEnabled);

    // Level 0 "Verbose" (dropped unless enabled), 1 "Info", 2 "Error"; above 2 counts as 2.
    // Throws EMorvantaError when the file cannot be written, after the line was added.
    void Add(const std::string& message, int level);
    // Writes every line, newest first, each ended by CR LF, replacing the file at once: a failed
    // write leaves the previous file as it was.
    void Save() const;

    int ErrorCount() const { return errorCount_; }
    const std::deque<std::string>& Lines() const { return lines_; }
    const std::string& FileName() const { return fileName_; }
    int MaxLines() const { return maxLines_; }
    bool VerboseEnabled() const { return verboseEnabled_; }

private:
    int errorCount_ = 0;
    std::deque<std::string> lines_;
    std::string fileName_;
    int maxLines_;
    bool verboseEnabled_;
};
