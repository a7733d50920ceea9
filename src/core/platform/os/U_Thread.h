#pragma once
// Worker threads: created idle, started once, asked to stop through a flag they poll, and ended
// by an end handler that runs on the main thread. A thread keeps the error that ended it.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Runs calls on the program's main thread. The GUI installs a Qt-backed one; the terminal
// program and the tests use TEventQueueDispatcher.
class IMainThreadDispatcher {
public:
    virtual ~IMainThreadDispatcher() = default;
    // Runs `call` on the main thread and returns once it has run (rethrows what it threw).
    virtual void RunSync(const std::function<void()>& call) = 0;
    // Tells a main thread that waits for workers that one of them has ended.
    virtual void Wake() {}
};

// A plain queue: workers enqueue and wait; the main thread drains it with ProcessUntil.
class TEventQueueDispatcher : public IMainThreadDispatcher {
public:
    void RunSync(const std::function<void()>& call) override;
    // Runs queued calls on the calling thread until `done` holds (checked after every call and
    // whenever the queue is woken), or until Wake() with `done` true.
    void ProcessUntil(const std::function<bool()>& done);
    void Wake() override;

private:
    struct Pending {
        const std::function<void()>* Call;
        std::exception_ptr Error;
        bool Finished = false;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Pending*> queue_;
    bool woken_ = false;
};

class TThread {
public:
    // Without a dispatcher, Synchronize and the end handler run on the worker itself.
    explicit TThread(IMainThreadDispatcher* dispatcher = nullptr) : dispatcher_(dispatcher) {}
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts the body once. OnTerminate runs (through the dispatcher) after Execute returns.
    void Start();
    // Asks the body to stop at its next check.
    void Terminate() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }
    // Waits for the thread to end. Never call it from the main thread while the worker may
    // still be synchronising with a dispatcher that only that main thread drains.
    void WaitFor();
    bool Finished() const { return finished_.load(); }

    // The error that ended Execute, if any.
    std::exception_ptr FatalException() const { return fatal_; }
    std::string FatalMessage() const;

    std::function<void(TThread&)> OnTerminate;

protected:
    virtual void Execute() = 0;
    void Synchronize(const std::function<void()>& call);

private:
    void Run();

    IMainThreadDispatcher* dispatcher_;
    std::thread thread_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::exception_ptr fatal_;
};
