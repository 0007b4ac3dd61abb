#include "platform/common/thread.h"
#include "platform/common/wait_hook.h"

#include <QElapsedTimer>

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

class Worker : public Platform::TThread {
public:
    std::function<void(Worker&)> body;
    using Platform::TThread::Synchronize;

protected:
    void Execute() override { body(*this); }
};

std::shared_ptr<Worker> start(std::function<void(Worker&)> body, std::weak_ptr<Worker>& watch)
{
    auto worker = std::make_shared<Worker>();
    worker->body = std::move(body);
    watch = worker;
    worker->Start(Platform::TThreadPriority::tpLower);
    return worker;
}

} // namespace

TEST(Thread, SynchronizeRunsOnTheGuiThreadAndTheWorkerFreesItself)
{
    std::atomic<bool> ranOnGui{false};
    std::weak_ptr<Worker> watch;
    {
        auto worker = start([&](Worker& self) {
            self.Synchronize([&] { ranOnGui = QThread::currentThread() == QCoreApplication::instance()->thread(); });
        }, watch);
    }  // only the running thread holds it now
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.expired(); }, 5000));
    EXPECT_TRUE(ranOnGui);
}

TEST(Thread, AWorkerRunsBelowTheNormalPriorityOfItsProcess)
{
    const int processNice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    std::atomic<int> workerNice{-100};
    std::weak_ptr<Worker> watch;
    {
        auto worker = start([&](Worker&) {
            workerNice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
        }, watch);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.expired(); }, 5000));
    if (processNice < 19) {
        EXPECT_GT(workerNice.load(), processNice);
    }
}

TEST(Thread, TerminateIsARequestTheWorkerPolls)
{
    std::atomic<int> polls{0};
    std::weak_ptr<Worker> watch;
    auto worker = start([&](Worker& self) {
        while (!self.Terminated()) {
            ++polls;
            QThread::msleep(1);
        }
    }, watch);
    EXPECT_TRUE(QTest::qWaitFor([&] { return polls > 3; }, 5000));
    EXPECT_FALSE(worker->Finished());
    worker->Terminate();
    worker->WaitFor();
    EXPECT_TRUE(worker->Finished());
}

TEST(Thread, ExceptionsNeverLeaveTheThread)
{
    std::weak_ptr<Worker> watch;
    auto worker = start([](Worker&) { throw std::runtime_error("boom"); }, watch);
    worker->WaitFor();
    EXPECT_TRUE(worker->Finished());
}

// Must run last in this program: it stops synchronised calls for good.
TEST(Thread, ZShutdownReleasesAWorkerWaitingOnTheGuiThread)
{
    std::atomic<bool> returned{false};
    std::atomic<bool> result{true};
    std::weak_ptr<Worker> watch;
    auto worker = start([&](Worker& self) {
        result = self.Synchronize([] {});
        returned = true;
    }, watch);
    // The GUI thread never turns its event loop here: only the shutdown can release the worker.
    QThread::msleep(50);
    Platform::TThread::ShutdownSynchronize();
    worker->WaitFor();
    EXPECT_TRUE(returned);
    EXPECT_FALSE(result);
}

// A screen client's wait serves events, but a worker's synchronised call or progress post that
// arrives meanwhile must not reach the waiting client: both run after the wait, in their order.
TEST(Thread, CallsArrivingDuringAScreenClientWaitRunAfterItInOrder)
{
    std::vector<std::string> order;
    std::atomic<bool> posted{false};
    std::weak_ptr<Worker> watch;
    {
        auto worker = start([&](Worker& self) {
            Platform::postToGuiThread([&] { order.push_back("progress"); });
            posted = true;
            self.Synchronize([&] { order.push_back("synchronize"); });
        }, watch);
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) {
        Platform::GuiWaitScope waiting;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(5);
    }
    EXPECT_TRUE(posted);
    order.push_back("wait ended");
    EXPECT_TRUE(QTest::qWaitFor([&] { return watch.expired(); }, 5000));
    EXPECT_EQ(order, (std::vector<std::string>{"wait ended", "progress", "synchronize"}));
}
