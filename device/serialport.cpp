#include "serialport.h"

#include <QDebug>
#include <QFileInfo>
#include <QJsonValue>
#include <QMetaEnum>
#include <QMutex>
#include <QSerialPortInfo>

namespace {

QMutex listerMutex;
SerialPort::PortLister portLister;
QString simulatedStationLink;

QStringList systemStationPorts()
{
    QList<SerialPortEntry> entries;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        entries.append({info.portName(), info.hasVendorIdentifier(), info.vendorIdentifier()});
    return stationPortNames(entries);
}

} // namespace

QStringList stationPortNames(const QList<SerialPortEntry> &ports)
{
    QStringList names;
    for (const SerialPortEntry &entry : ports) {
        if (entry.hasVendorIdentifier && entry.vendorIdentifier == kStationVendorId)
            names.append(entry.name);
    }
    return names;
}

SerialPort::SerialPort(QObject *parent) : IoInterface(parent), port(new QSerialPort(this))
{
    connect(port, &QSerialPort::readyRead, this, &SerialPort::onReadyRead);
    connect(port, &QSerialPort::errorOccurred, this, &SerialPort::onErrorOccurred);
    connect(this, &IoInterface::opened, this,
            [](const QString &type, const QString &name) { qDebug() << type << "open:" << name; });
    connect(this, &IoInterface::closed, this,
            [](const QString &type, const QString &name) { qDebug() << type << "close:" << name; });
}

SerialPort::~SerialPort()
{
    if (port->isOpen())
        close();
}

bool SerialPort::open(const QString &portName, const QJsonObject &params)
{
    const QJsonValue baudrate = params.value(QStringLiteral("baudrate"));
    if (baudrate.isNull())
        return false;
    name = portName;
    port->setPortName(portName);
    if (!port->open(QIODevice::ReadWrite))
        return false;
    if (!port->setBaudRate(baudrate.toInt(), QSerialPort::AllDirections)) {
        close();
        return false;
    }
    emit opened(type, name);
    return true;
}

bool SerialPort::close()
{
    port->close();
    emit closed(type, name);
    return true;
}

bool SerialPort::isOpen() const
{
    return port->isOpen();
}

bool SerialPort::write(const QByteArray &data)
{
    if (!port->isOpen() || port->write(data) < data.size())
        return false;
    emit sent(data);
    return true;
}

QString SerialPort::errorString() const
{
    return port->errorString();
}

QStringList SerialPort::availablePorts() const
{
    QMutexLocker locker(&listerMutex);
    if (portLister)
        return portLister();
    QStringList names = systemStationPorts();
    if (!simulatedStationLink.isEmpty() && QFileInfo::exists(simulatedStationLink))
        names.append(simulatedStationLink);
    return names;
}

void SerialPort::setPortLister(PortLister lister)
{
    QMutexLocker locker(&listerMutex);
    portLister = std::move(lister);
}

void SerialPort::setSimulatedStationLink(const QString &path)
{
    QMutexLocker locker(&listerMutex);
    simulatedStationLink = path;
}

void SerialPort::onReadyRead()
{
    if (port->isOpen())
        emit received(port->readAll());
}

void SerialPort::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // Qt also reports the clearing of an error; that must not close a healthy port.
    if (error == QSerialPort::NoError)
        return;
    qDebug().nospace() << "QSerialPort Error: "
                       << QMetaEnum::fromType<QSerialPort::SerialPortError>().valueToKey(error);
    if (port->isOpen())
        close();
}
