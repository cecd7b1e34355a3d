#include "tqjrpcservicebase.h"
#include "waitwitheventloop.h"

#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>

using namespace TQJrpc;

namespace {

// Answers every request with its id after an optional delay, recording the handling thread.
class EchoService : public TQJrpcServiceBase
{
public:
    EchoService() : TQJrpcServiceBase(QString()) {}

    int firstDelayMs = 0;
    QStringList handled;
    QThread *handlerThread = nullptr;

protected:
    void _recvResquest(const QString &requestId, const QString &, const QString &method,
                       const QJsonValue &, const QString &client_key) override
    {
        handlerThread = QThread::currentThread();
        if (handled.isEmpty() && firstDelayMs > 0)
            QThread::msleep(firstDelayMs);
        handled << requestId;
        emit sendResponse(requestId, method, client_key);
    }
};

} // namespace

TEST(ServiceBase, EmitNotificationQualifiesTheNameInOnePass)
{
    struct Case
    {
        const char *ns, *name, *qualified;
    } cases[] = {{"global", "notifyUpdateState", "global.notifyUpdateState"},
                 {"", "n", ".n"},
                 {"a%2b", "n", "a%2b.n"},
                 {"ns", "%1", "ns.%1"}};
    EchoService service;
    QSignalSpy spy(&service, &TQJrpcServiceBase::sendNotification);
    for (const auto &c : cases)
        service.emitNotification(c.ns, c.name, 3, QString());
    ASSERT_EQ(spy.count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(spy.at(i).at(0).toString(), cases[i].qualified);
        EXPECT_EQ(spy.at(i).at(1).value<QJsonValue>(), QJsonValue(3));
        EXPECT_EQ(spy.at(i).at(2).toString(), "");
    }
}

TEST(ServiceBase, RequestsReachTheHandlerQueuedInItsThreadAndInOrder)
{
    QThread worker;
    EchoService service;
    service.firstDelayMs = 200;
    service.moveToThread(&worker);
    worker.start();
    // Responses are collected in this thread, queued, so the list is never shared between threads.
    QObject receiver;
    QStringList responses;
    QObject::connect(&service, &TQJrpcServiceBase::sendResponse, &receiver,
                     [&](const QString &requestId) { responses << requestId; });

    emit service.recvResquest("1", "ns", "slow", QJsonValue(), "k");
    emit service.recvResquest("2", "ns", "fast", QJsonValue(), "k");

    for (int i = 0; i < 50 && responses.size() < 2; ++i)
        waitWithEventLoop(20);
    worker.quit();
    worker.wait();
    EXPECT_EQ(responses, (QStringList{"1", "2"}));
    EXPECT_EQ(service.handlerThread, &worker);
}
