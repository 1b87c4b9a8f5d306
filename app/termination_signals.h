#pragma once
// SIGTERM, SIGHUP and SIGINT (logout, `kill`, a closed terminal, Ctrl-C)
// turned into an ordinary Qt signal, so the window program treats them as the operator
// closing the window: mid-run the rows so far are saved, then it exits 0.
//
// The handler only writes the signal's number into a pipe; a socket
// notifier on the pipe's other end delivers it on the UI thread, also from
// inside a run's event processing. No Qt call happens in the handler.

#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>

namespace quillmere::app {

class TerminationSignals final : public QObject {
    Q_OBJECT

public:
    // Installs the handlers; one instance at a time. The previous handlers
    // come back when it is destroyed.
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe or a handler could not be set up; the signals
    // then keep the handling they had, and failure() says why.
    bool installed() const { return handlersSet_; }
    const QString& failure() const { return failure_; }

signals:
    void received(int signal);

private:
    void drain();

    bool handlersSet_ = false;
    QString failure_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quillmere::app
