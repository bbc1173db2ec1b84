#include "gui/CShowInfoDlg.h"

#include "base/longop.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace korvel {

int CShowInfoDlg::stopWaitMs = 2000;

namespace {
// One second of texts at the pump's pace of one text per 10 ms.
constexpr int kMaxBacklog = 100;
}  // namespace

CShowInfoDlg::CShowInfoDlg(LongOperation& op, std::function<bool()> workerEnded, QWidget* parent)
    : QDialog(parent), op_(op), workerEnded_(std::move(workerEnded)) {
    setWindowTitle(QStringLiteral("Dialog"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    status_ = new QLabel(QStringLiteral("running"), this);
    status_->setAlignment(Qt::AlignCenter);
    status_->setMinimumWidth(360);
    status_->setTextFormat(Qt::PlainText);
    stop_ = new QPushButton(QStringLiteral("停止(CANCEL)"), this);
    stop_->setDefault(true);
    connect(stop_, &QPushButton::clicked, this, &CShowInfoDlg::Stop);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(stop_);
    row->addStretch(1);
    auto* top = new QVBoxLayout(this);
    top->addWidget(status_);
    top->addLayout(row);

    // The status pump: 10 ms after a text was shown, 1000 ms when the queue was empty.
    pump_ = new QTimer(this);
    pump_->setSingleShot(true);
    connect(pump_, &QTimer::timeout, this, &CShowInfoDlg::Pump);
}

QString CShowInfoDlg::StatusText() const { return status_->text(); }

void CShowInfoDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!pump_->isActive()) pump_->start(0);  // texts posted before the dialog show first
}

void CShowInfoDlg::Pump() {
    QString text;
    if (op_.Take(text) == 0) {
        // A worker that posts faster than the line can show (an import posts every file)
        // would otherwise leave the line minutes behind the work, showing "finish" long
        // after the walk ended. Keep at most one second of texts waiting: skip older ones.
        while (op_.Pending() > kMaxBacklog) op_.Take(text);
        status_->setText(text);
        pump_->start(10);
    } else {
        pump_->start(1000);
    }
}

void CShowInfoDlg::Stop() {
    if (stopping_) return;
    stopping_ = true;
    stop_->setEnabled(false);
    op_.RequestStop();
    {
        QEventLoop wait;
        QTimer::singleShot(stopWaitMs, &wait, &QEventLoop::quit);
        wait.exec();
    }
    // Workers test the flag between entries; wait for the current one to finish.
    while (workerEnded_ && !workerEnded_()) {
        QEventLoop wait;
        QTimer::singleShot(20, &wait, &QEventLoop::quit);
        wait.exec();
    }
    pump_->stop();
    QDialog::done(QDialog::Accepted);
}

void CShowInfoDlg::accept() { Stop(); }

void CShowInfoDlg::reject() { Stop(); }

void CShowInfoDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    Stop();
}

}  // namespace korvel
