#pragma once

#include "serialport.h"
#include "tqattrvalue.h"
#include "tqcommoncmd.h"

#include <QObject>
#include <QPointer>

#include <memory>

class TQFrameDetector;

// The link to the station: finds the serial port whose device reports a given serial number,
// keeps it open, sends requests and turns the station's replies into signals.
class CompositeIo : public QObject
{
    Q_OBJECT

public:
    explicit CompositeIo(QObject *parent = nullptr);
    ~CompositeIo() override;

    // Tries each candidate port in turn, asking for the serial number four times 300 ms apart,
    // and keeps the first whose answer equals `sn` open. Runs a nested event loop. A search that
    // starts while another is still waiting is refused at once.
    bool searchCompositeIo(const QString &sn);
    void closeCompositeIo();
    bool isConnected() const { return connected; }

    void getAttrIdList();
    void getAllAttrPara();
    void getAttrPara(uint16_t attrId);
    void setAttrPara(uint16_t attrId, const QByteArray &attrPara);
    void getAttrCmdExecRes(uint16_t attrId, uint8_t attrTrackingId);

signals:
    void sigFrameDetector(TQCommonCmd commonCmd);
    void sigAllAttrPara(QMap<uint16_t, QByteArray> attrParaMap);
    void sigAttrPara(uint16_t attrId, QByteArray attrPara);
    void sigAttrCmdExec(uint16_t attrId, uint8_t attrTrackingId);
    void sigAttrCmdExecRes(uint16_t attrId, uint8_t attrState);
    // The open link's port closed by itself (the station went away or the port failed).
    void sigLinkLost();

private:
    void send(TQCommonCmd command);
    bool askPort(const QString &name, const QString &sn);
    void dispatchReply(const TQCommonCmd &command);

    std::shared_ptr<SerialPort> serialPort;
    QPointer<TQFrameDetector> frameDetector;
    bool connected = false;
    bool searching = false;
};
