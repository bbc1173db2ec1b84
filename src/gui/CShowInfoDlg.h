#pragma once
// The progress dialog of a long operation: the status line fed from the operation's status
// queue, a bar with the count of items done of the total, the item at hand and an estimate
// of the time left (where the worker knows its total), and the stop button.
//
// When the worker ends and everything succeeded the dialog closes by itself; the last
// status text is the operation's summary (Summary()), which the window then shows in its
// status bar. When anything failed or the operation was stopped it stays open with the
// summary and the list of what failed, until the user closes it.
//
// Stop (also Escape and the close box) while the worker runs stops the operation, waits 2
// seconds, then waits until the worker has ended, with the event loop running all the
// time.

#include "base/longop.h"

#include <QDialog>
#include <QElapsedTimer>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
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
    QProgressBar* bar() const { return bar_; }
    QString CountText() const;
    QString ItemText() const;
    QString EstimateText() const;
    QStringList FailureLines() const;

    // The last status text the worker posted: what the operation did.
    QString Summary() const { return summary_; }
    // True once the worker ended with no failure and no stop: the dialog closed itself.
    bool EndedCleanly() const { return endedCleanly_; }

    // The stop sequence (or, once the worker has ended, closing the dialog).
    void Stop();
    // Told by the worker's thread as it ends: the dialog finishes at once instead of at its
    // next look (ten times a second).
    void WorkerEnded();

    // The wait after the stop flag is set (2000 ms).
    static int stopWaitMs;

    void accept() override;
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Pump();
    void ShowProgress();
    void Finish();
    LongOperation& op_;

    std::function<bool()> workerEnded_;
    QLabel* status_;
    QProgressBar* bar_;
    QLabel* count_;
    QLabel* item_;
    QLabel* estimate_;
    QLabel* failuresTitle_;
    QPlainTextEdit* failures_;
    QPushButton* stop_;
    QTimer* pump_;
    QTimer* watch_;
    QElapsedTimer clock_;
    QString summary_;
    bool stopping_ = false;
    bool ended_ = false;
    bool endedCleanly_ = false;
};

}  // namespace korvel
