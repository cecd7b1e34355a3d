#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

// A byte pipe to the station, opened by name. It knows nothing of frames.
class IoInterface : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual bool open(const QString &name, const QJsonObject &params) = 0;
    virtual bool close() = 0;
    virtual bool isOpen() const = 0;
    virtual bool write(const QByteArray &data) = 0;
    virtual QString errorString() const = 0;
    // The names that open() accepts.
    virtual QStringList availablePorts() const = 0;

signals:
    void opened(QString type, QString name);
    void closed(QString type, QString name);
    void sent(QByteArray rawData);
    void received(QByteArray rawData);
};
