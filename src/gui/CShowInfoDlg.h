#pragma once
// The progress dialog of a long operation: a status line fed from the operation's status
// queue and the stop button. It never closes by itself: stop (also Enter, Escape and the
// close box) stops the operation, waits 2 seconds, then waits until the worker has ended,
// with the event loop running all the time, and only then closes.

#include "base/longop.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace korvel {

class CShowInfoDlg : public QDialog {
    Q_OBJECT
public:
    // The dialog of op; workerEnded tells whether the worker thread has finished.
    CShowInfoDlg(LongOperation& op, std::function<bool()> workerEnded, QWidget* parent = nullptr);

    QString StatusText() const;
    QPushButton* stopButton() const { return stop_; }

    // The stop sequence.
    void Stop();

    // The wait after the stop flag is set (2000 ms).
    static int stopWaitMs;

    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Pump();
    LongOperation& op_;

    std::function<bool()> workerEnded_;
    QLabel* status_;
    QPushButton* stop_;
    QTimer* pump_;
    bool stopping_ = false;
};

}  // namespace korvel
