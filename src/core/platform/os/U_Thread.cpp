#include "platform/os/U_Thread.h"

#include "platform/base/U_Errors.h"

void TEventQueueDispatcher::RunSync(const std::function<void()>& call) {
    Pending pending{&call, nullptr, false};
    std::unique_lock lock(mutex_);
    queue_.push_back(&pending);
    changed_.notify_all();
    changed_.wait(lock, [&] { return pending.Finished; });
    if (pending.Error) std::rethrow_exception(pending.Error);
}

void TEventQueueDispatcher::ProcessUntil(const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    for (;;) {
        while (!queue_.empty()) {
            Pending* pending = queue_.front();
            queue_.pop_front();
            lock.unlock();
            try {
                (*pending->Call)();
            } catch (...) {
                pending->Error = std::current_exception();
            }
            lock.lock();
            pending->Finished = true;
            changed_.notify_all();
        }
        lock.unlock();
        const bool finished = done();
        lock.lock();
        if (finished && queue_.empty()) return;
        changed_.wait(lock, [&] { return !queue_.empty() || woken_; });
        woken_ = false;
    }
}

void TEventQueueDispatcher::Wake() {
    std::lock_guard lock(mutex_);
    woken_ = true;
    changed_.notify_all();
}

TThread::~TThread() {
    if (thread_.joinable()) {
        Terminate();
        thread_.join();
    }
}

void TThread::Start() {
    if (thread_.joinable() || finished_) throw EMorvantaError("Thread already started");
    thread_ = std::thread([this] { Run(); });
}

void TThread::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

std::string TThread::FatalMessage() const {
    return ExceptionMessage(fatal_);
}

void TThread::Synchronize(const std::function<void()>& call) {
    if (dispatcher_)
        dispatcher_->RunSync(call);
    else
        call();
}

void TThread::Run() {
    try {
        Execute();
    } catch (...) {
        fatal_ = std::current_exception();
    }
    if (OnTerminate) {
        try {
            Synchronize([this] { OnTerminate(*this); });
        } catch (...) {
            if (!fatal_) fatal_ = std::current_exception();
        }
    }
    finished_.store(true);
    if (dispatcher_) dispatcher_->Wake();
}
