#pragma once

#include "iointerface.h"

#include <QList>
#include <QSerialPort>

#include <functional>

// What the system tells about one serial port, as far as choosing the station's port needs.
struct SerialPortEntry
{
    QString name;
    bool hasVendorIdentifier = false;
    quint16 vendorIdentifier = 0;
};

constexpr quint16 kStationVendorId = 0x3746;

// The names of the ports whose USB vendor id is the station's, in the given order.
QStringList stationPortNames(const QList<SerialPortEntry> &ports);

// The station's USB serial interface through Qt Serial Port. Only the baud rate is set; the
// library's defaults give 8 data bits, no parity, 1 stop bit and no flow control.
class SerialPort : public IoInterface
{
    Q_OBJECT

public:
    using PortLister = std::function<QStringList()>;

    explicit SerialPort(QObject *parent = nullptr);
    ~SerialPort() override;

    // {"baudrate": n}; a null baud rate refuses at once.
    bool open(const QString &name, const QJsonObject &params) override;
    bool close() override;
    bool isOpen() const override;
    bool write(const QByteArray &data) override;
    QString errorString() const override;
    QStringList availablePorts() const override;

    // Replaces how every SerialPort lists its candidates (tests hand in pseudo-terminals); an
    // empty lister restores the system's list filtered by the station's vendor id.
    static void setPortLister(PortLister lister);
    // The serial link of a simulated station: a pseudo-terminal, which the system's list never
    // shows. While the path exists it is offered after the system's station ports (not to a
    // replaced lister); empty for none.
    static void setSimulatedStationLink(const QString &path);

private:
    void onReadyRead();
    void onErrorOccurred(QSerialPort::SerialPortError error);

    QSerialPort *port;
    const QString type = QStringLiteral("Serial");
    QString name;
};
