#pragma once
// What the device session calls on the parties that talk to the device: module windows in the
// program, module logic classes on the command line.

#include <QString>

class TSessionClient {
public:
    virtual ~TSessionClient() = default;

    // The fixed client id its orders go out with (TClientId).
    virtual int SessionClientId() const = 0;
    // 1 online, 0 offline, on every change.
    virtual void SetOnOffLine(int online) = 0;
    // Every tick of the status timer, interval in milliseconds.
    virtual void TimerEvent(int interval) = 0;
    // A finished order of this client: status 10 or 14, the sender's tag, the payload.
    virtual void RXData(int status, int tag, const QString& data) = 0;
};
