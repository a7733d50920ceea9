#pragma once
// Runs workers' synchronised calls on the Qt main thread: a blocking queued invocation, so
// the worker waits until its call has run; what the call throws goes back to the worker.
#include "platform/os/U_Thread.h"

#include <QObject>

class TQtDispatcher : public QObject, public IMainThreadDispatcher {
    Q_OBJECT
public:
    explicit TQtDispatcher(QObject* parent = nullptr) : QObject(parent) {}
    void RunSync(const std::function<void()>& call) override;
};
