#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "platform/base/U_Errors.h"
#include "platform/base/U_Rounding.h"
#include "platform/base/U_StringList.h"
#include "platform/os/U_Thread.h"

TEST(Rounding, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundToInt(0.5), 0);
    EXPECT_EQ(RoundToInt(1.5), 2);
    EXPECT_EQ(RoundToInt(2.5), 2);
    EXPECT_EQ(RoundToInt(-1.5), -2);
    EXPECT_EQ(RoundToInt(-0.5), 0);
    EXPECT_EQ(RoundToInt(2.5000001), 3);
}

TEST(Errors, AssertionMessageNamesUnitAndLine) {
    const int line = __LINE__ + 2;
    try {
        RaiseAssert("ICCompress failed.", "U_BmpToAvi");
        FAIL() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), "ICCompress failed.");
        EXPECT_EQ(e.Unit(), "U_BmpToAvi");
        EXPECT_EQ(std::string(e.what()),
                  "ICCompress failed. (U_BmpToAvi, ligne " + std::to_string(e.Line()) + ")");
        EXPECT_EQ(e.Line(), line) << "the caller's line, not the helper's";
    }
    EXPECT_EQ(HexCode(0x80044065u), "$80044065");
    EXPECT_EQ(HexCode(0xABCu), "$00000ABC");
}

TEST(StringList, SeveralWatchersAndUnsubscribe) {
    TStringList list;
    int a = 0, b = 0;
    auto subA = list.Subscribe([&] { ++a; });
    {
        auto subB = list.Subscribe([&] { ++b; });
        list.Add("one");
        list.Insert(0, "zero");
        EXPECT_EQ(a, 2);
        EXPECT_EQ(b, 2);
    }
    list.Move(0, 1);
    EXPECT_EQ(list[0], "one");
    EXPECT_EQ(list[1], "zero");
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 2) << "a destroyed subscription must not be told";
    EXPECT_THROW(list.At(2), EListIndexError);
    EXPECT_THROW(list.At(-1), EListIndexError);
    EXPECT_THROW(list.Delete(5), EListIndexError);
    EXPECT_EQ(a, 3) << "a failed change tells nobody";
}

TEST(StringList, SubscriptionMayOutliveList) {
    TStringList::TSubscription sub;
    {
        TStringList list;
        sub = list.Subscribe([] {});
    }
    sub.Reset(); // must not touch the freed list
    SUCCEED();
}

namespace {
class CountingThread : public TThread {
public:
    using TThread::TThread;
    std::atomic<int> Steps{0};
    std::atomic<int> SyncCalls{0};
    bool Fail = false;
    int StopAt = -1; // the main thread asks for a stop while handling this report

protected:
    void Execute() override {
        for (int i = 0; i < 1000 && !Terminated(); ++i) {
            ++Steps;
            Synchronize([this] {
                if (++SyncCalls == StopAt) Terminate();
            });
            if (Fail && i == 2) throw EMorvantaError("step failed");
        }
    }
};
} // namespace

TEST(Thread, EndHandlerRunsOnDispatcherThreadAndKeepsError) {
    TEventQueueDispatcher dispatcher;
    CountingThread thread(&dispatcher);
    thread.Fail = true;
    std::thread::id handlerThread;
    bool ended = false;
    thread.OnTerminate = [&](TThread& t) {
        handlerThread = std::this_thread::get_id();
        ended = true;
        EXPECT_EQ(t.FatalMessage(), "step failed");
    };
    thread.Start();
    dispatcher.ProcessUntil([&] { return thread.Finished(); });
    thread.WaitFor();
    EXPECT_TRUE(ended);
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
    EXPECT_EQ(thread.Steps, 3);
    EXPECT_EQ(thread.SyncCalls, 3);
    EXPECT_EQ(thread.FatalMessage(), "step failed");
}

TEST(Thread, TerminateStopsAtNextCheck) {
    TEventQueueDispatcher dispatcher;
    CountingThread thread(&dispatcher);
    thread.StopAt = 5;
    thread.Start();
    dispatcher.ProcessUntil([&] { return thread.Finished(); });
    thread.WaitFor();
    EXPECT_EQ(thread.Steps, 5);
    EXPECT_FALSE(thread.FatalException());
}
