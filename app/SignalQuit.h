#pragma once

#include <QObject>

class QSocketNotifier;

namespace lumenarc {

class QuitRequest;

// Turns SIGINT and SIGTERM into an orderly quit on the main thread, so that a show machine shut
// down from a script saves its settings like any other way of quitting. The handler only writes
// a byte to a pipe; an event loop (the main one, or that of an alert up at start) reads it and
// requests the quit.
class SignalQuit : public QObject {
    Q_OBJECT
public:
    explicit SignalQuit(QuitRequest& quit, QObject* parent = nullptr);
    ~SignalQuit() override;

private:
    static void handle(int signalNumber);
    void readSignal();

    QuitRequest& m_quit;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace lumenarc
