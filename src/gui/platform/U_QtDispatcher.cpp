#include "U_QtDispatcher.h"

#include <QMetaObject>
#include <QThread>
#include <exception>

void TQtDispatcher::RunSync(const std::function<void()>& call) {
    // On the main thread already (a worker without its own thread, or a direct call).
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    std::exception_ptr error;
    QMetaObject::invokeMethod(
        this,
        [&] {
            try {
                call();
            } catch (...) {
                error = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (error) std::rethrow_exception(error);
}
