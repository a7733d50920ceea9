#pragma once
// Worker thread that adds the soundtrack to the rendered video (see MuxVideoAndSound). Its
// reports reach the main thread through Synchronize; Cancel is Terminate.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/os/U_Thread.h"

class TMuxThd : public TThread {
public:
    explicit TMuxThd(IMainThreadDispatcher* dispatcher = nullptr) : TThread(dispatcher) {}
    ~TMuxThd() override;

    std::string VideoFile;
    std::string SoundFile;
    std::string OutputFile;
    // Both run on the main thread; the worker waits until they return.
    std::function<void(std::int32_t Position, std::int32_t Max, const std::string& Text)>
        OnProgress;
    std::function<void(const std::string& Text)> OnLog;

    // True when a stop request ended the run; false after a complete run or an error (the
    // error is the thread's FatalException).
    bool Aborted() const { return aborted_.load(); }

protected:
    void Execute() override;

private:
    std::atomic<bool> aborted_{false};
};
