#include "compositeio.h"

#include "tqattrtable.h"
#include "tqcommands.h"
#include "tqframedetector.h"

#include <QDebug>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

namespace {

constexpr int kBaudRate = 115200;
constexpr int kSerialQueries = 4;
constexpr int kSerialQueryIntervalMs = 300;

QByteArray hexPairs(const QByteArray &bytes)
{
    return bytes.toHex(' ');
}

QByteArray idListText(const QList<uint16_t> &ids)
{
    QJsonArray array;
    for (uint16_t id : ids)
        array.append(id);
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

} // namespace

CompositeIo::CompositeIo(QObject *parent)
    : QObject(parent), serialPort(std::make_shared<SerialPort>())
{
    qRegisterMetaType<TQCommonCmd>("TQCommonCmd");
    qRegisterMetaType<QMap<uint16_t, QByteArray>>(
        QMetaObject::normalizedType("QMap<uint16_t, QByteArray>"));

    frameDetector = new TQFrameDetector(
        [this](TQCommonCmd command) {
            qDebug() << "recv" << hexPairs(command.getRawData()).constData();
            emit sigFrameDetector(command);
        },
        false);

    connect(serialPort.get(), &IoInterface::received, this,
            [this](const QByteArray &rawData) { frameDetector->pushData(rawData); });
    connect(serialPort.get(), &IoInterface::sent, this,
            [](const QByteArray &rawData) { qDebug() << "send" << hexPairs(rawData).constData(); });
    connect(this, &CompositeIo::sigFrameDetector, this, &CompositeIo::dispatchReply,
            Qt::QueuedConnection);
    // Requests on a port that failed would go nowhere, and a self-test waiting for its answer
    // would wait for ever; the link counts as closed until the next search.
    connect(serialPort.get(), &IoInterface::closed, this, [this] {
        if (searching || !connected)
            return;
        connected = false;
        emit sigLinkLost();
    });
}

CompositeIo::~CompositeIo()
{
    // The port closes as it is released below, when this object is no longer there to hear it.
    serialPort->disconnect(this);
    frameDetector->stop();
    frameDetector->deleteLater();
}

bool CompositeIo::searchCompositeIo(const QString &sn)
{
    if (searching) {
        qDebug() << "searchCompositeIo refused: a search is already running";
        return false;
    }
    searching = true;
    connected = false;
    const QStringList names = serialPort->availablePorts();
    serialPort->close();
    for (const QString &name : names) {
        if (askPort(name, sn))
            break;
        serialPort->close();
    }
    searching = false;
    qDebug() << "searchCompositeIo res:" << connected;
    return connected;
}

bool CompositeIo::askPort(const QString &name, const QString &sn)
{
    QEventLoop loop;
    QTimer timer;
    int counter = 0;
    serialPort->open(name, QJsonObject{{QStringLiteral("baudrate"), kBaudRate}});
    connect(&timer, &QTimer::timeout, &loop, [&] {
        if (counter < kSerialQueries) {
            getAttrPara(TQAttrId::DeviceSerial);
            timer.start(kSerialQueryIntervalMs);
        } else {
            loop.quit();
        }
        ++counter;
    });
    const QMetaObject::Connection answer = connect(this, &CompositeIo::sigAttrPara, &loop,
                                                   [&](uint16_t attrId, const QByteArray &value) {
                                                       if (attrId != TQAttrId::DeviceSerial)
                                                           return;
                                                       if (QString::fromUtf8(value) == sn)
                                                           connected = true;
                                                       loop.quit();
                                                   });
    timer.start(1);
    loop.exec();
    disconnect(answer);
    return connected;
}

void CompositeIo::closeCompositeIo()
{
    connected = false;
    serialPort->close();
}

void CompositeIo::getAttrIdList()
{
    send(TQCommand::attrIdListRequest());
}

void CompositeIo::getAllAttrPara()
{
    send(TQCommand::allAttrParaRequest());
}

void CompositeIo::getAttrPara(uint16_t attrId)
{
    send(TQCommand::attrParaRequest(attrId));
}

void CompositeIo::setAttrPara(uint16_t attrId, const QByteArray &attrPara)
{
    if (const std::optional<TQCommonCmd> request = TQCommand::attrWriteRequest(attrId, attrPara))
        send(*request);
}

void CompositeIo::getAttrCmdExecRes(uint16_t attrId, uint8_t attrTrackingId)
{
    send(TQCommand::attrCmdExecResRequest(attrId, attrTrackingId));
}

void CompositeIo::send(TQCommonCmd command)
{
    if (serialPort && serialPort->isOpen())
        serialPort->write(command.encode());
}

void CompositeIo::dispatchReply(const TQCommonCmd &command)
{
    if (!TQCommand::isStationReply(command))
        return;
    const QByteArray &payload = command.getPayload();
    switch (command.getCmdId()) {
    case TQCommand::AttrIdList:
        if (const auto ids = TQCommand::parseAttrIdList(payload))
            qDebug() << idListText(*ids).constData();
        break;
    case TQCommand::AllAttrPara:
        if (!payload.isEmpty())
            emit sigAllAttrPara(parseAttrEntries(payload));
        break;
    case TQCommand::AttrPara: {
        const AttrParaMap map = parseAttrEntries(payload);
        if (!map.isEmpty())
            emit sigAttrPara(map.firstKey(), map.first());
        break;
    }
    case TQCommand::ExecAttrCmd:
        if (const auto reply = TQCommand::parseAttrCmdReply(payload))
            emit sigAttrCmdExec(reply->attrId, reply->value);
        break;
    case TQCommand::AttrCmdExecRes:
        if (const auto reply = TQCommand::parseAttrCmdReply(payload))
            emit sigAttrCmdExecRes(reply->attrId, reply->value);
        break;
    default:
        break;
    }
}
