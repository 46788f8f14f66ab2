#pragma once

#include <QObject>

class QSocketNotifier;

namespace lumenarc {

// Turns SIGINT and SIGTERM into an orderly quit on the main thread, so that a show machine shut
// down from a script saves its settings like any other way of quitting. The handler only writes
// a byte to a pipe; the event loop reads it and quits.
class SignalQuit : public QObject {
    Q_OBJECT
public:
    explicit SignalQuit(QObject* parent = nullptr);
    ~SignalQuit() override;

private:
    static void handle(int signalNumber);
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace lumenarc
