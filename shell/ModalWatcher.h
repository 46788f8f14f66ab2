#pragma once

#include <QObject>
#include <functional>

namespace lumenarc {

// Tells when the first modal window (an alert, a sheet, a dialog) comes up and when the last
// one goes away. Watches the application's windows showing and hiding; the answer is taken
// once the toolkit has finished with the event, when its list of modal windows is up to date.
class ModalWatcher : public QObject {
    Q_OBJECT
public:
    using Changed = std::function<void(bool modalUp)>;
    explicit ModalWatcher(Changed changed);
    ~ModalWatcher() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void check();

    Changed m_changed;
    bool m_modalUp = false;
    bool m_checkPending = false;
};

} // namespace lumenarc
