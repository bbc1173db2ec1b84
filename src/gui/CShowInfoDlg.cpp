#include "gui/CShowInfoDlg.h"

#include "base/longop.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace korvel {

int CShowInfoDlg::stopWaitMs = 2000;

namespace {
// One second of texts at the pump's pace of one text per 10 ms.
constexpr int kMaxBacklog = 100;

QString DurationText(double seconds) {
    const qint64 s = static_cast<qint64>(std::ceil(seconds));
    if (s < 60) return QStringLiteral("%1 秒(s)").arg(s);
    if (s < 3600) return QStringLiteral("%1 分 %2 秒(min s)").arg(s / 60).arg(s % 60);
    return QStringLiteral("%1 小时 %2 分(h min)").arg(s / 3600).arg((s % 3600) / 60);
}
}  // namespace

CShowInfoDlg::CShowInfoDlg(LongOperation& op, std::function<bool()> workerEnded, QWidget* parent)
    : QDialog(parent), op_(op), workerEnded_(std::move(workerEnded)) {
    setWindowTitle(QStringLiteral("进度(PROGRESS)"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    status_ = new QLabel(QStringLiteral("running"), this);
    status_->setAlignment(Qt::AlignCenter);
    status_->setMinimumWidth(420);
    status_->setTextFormat(Qt::PlainText);
    status_->setWordWrap(true);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 0);  // busy until the worker names a total
    bar_->setTextVisible(false);
    count_ = new QLabel(this);
    count_->setTextFormat(Qt::PlainText);
    estimate_ = new QLabel(this);
    estimate_->setTextFormat(Qt::PlainText);
    estimate_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    item_ = new QLabel(this);
    item_->setTextFormat(Qt::PlainText);
    item_->setMinimumWidth(420);
    item_->setMaximumWidth(640);
    failuresTitle_ = new QLabel(QStringLiteral("失败(FAILED):"), this);
    failures_ = new QPlainTextEdit(this);
    failures_->setReadOnly(true);
    failures_->setMinimumHeight(120);
    failuresTitle_->setBuddy(failures_);
    failuresTitle_->hide();
    failures_->hide();
    stop_ = new QPushButton(QStringLiteral("停止(CANCEL)"), this);
    stop_->setDefault(true);
    connect(stop_, &QPushButton::clicked, this, &CShowInfoDlg::Stop);

    auto* counts = new QHBoxLayout;
    counts->addWidget(count_, 1);
    counts->addWidget(estimate_, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(stop_);
    row->addStretch(1);
    auto* top = new QVBoxLayout(this);
    top->addWidget(status_);
    top->addWidget(bar_);
    top->addLayout(counts);
    top->addWidget(item_);
    top->addWidget(failuresTitle_);
    top->addWidget(failures_, 1);
    top->addLayout(row);

    // The status pump: 10 ms after a text was shown, 1000 ms when the queue was empty.
    pump_ = new QTimer(this);
    pump_->setSingleShot(true);
    connect(pump_, &QTimer::timeout, this, &CShowInfoDlg::Pump);
    // The bar, the count and the end of the worker, ten times a second.
    watch_ = new QTimer(this);
    watch_->setInterval(100);
    connect(watch_, &QTimer::timeout, this, [this] {
        ShowProgress();
        if (!ended_ && !stopping_ && workerEnded_ && workerEnded_()) Finish();
    });
    clock_.start();
}

QString CShowInfoDlg::StatusText() const { return status_->text(); }
QString CShowInfoDlg::CountText() const { return count_->text(); }
QString CShowInfoDlg::ItemText() const { return item_->text(); }
QString CShowInfoDlg::EstimateText() const { return estimate_->text(); }
QStringList CShowInfoDlg::FailureLines() const {
    const QString text = failures_->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

void CShowInfoDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!pump_->isActive()) pump_->start(0);  // texts posted before the dialog show first
    if (!watch_->isActive()) watch_->start();
}

void CShowInfoDlg::Pump() {
    QString text;
    if (op_.Take(text) == 0) {
        // A worker that posts faster than the line can show (an import posts every file)
        // would otherwise leave the line minutes behind the work, showing "finish" long
        // after the walk ended. Keep at most one second of texts waiting: skip older ones.
        while (op_.Pending() > kMaxBacklog) op_.Take(text);
        status_->setText(text);
        summary_ = text;
        pump_->start(10);
    } else {
        pump_->start(ended_ ? 100 : 1000);
    }
}

void CShowInfoDlg::ShowProgress() {
    const ProgressState p = op_.Progress();
    if (p.total > 0) {
        // The bar counts in thousandths, so that totals beyond the int range fit.
        if (bar_->maximum() != 1000) bar_->setRange(0, 1000);
        bar_->setValue(static_cast<int>(std::min<qint64>(1000, p.done * 1000 / p.total)));
        bar_->setTextVisible(true);
        bar_->setFormat(QStringLiteral("%p%"));
        count_->setText(QStringLiteral("%1 / %2").arg(p.done).arg(p.total));
        const double left = EstimateSecondsLeft(p.done, p.total, clock_.elapsed() / 1000.0);
        estimate_->setText(left < 0 || ended_ ? QString() : QStringLiteral("剩余约(about) %1").arg(DurationText(left)));
    } else if (p.done > 0) {
        count_->setText(QString::number(p.done));
    }
    item_->setText(item_->fontMetrics().elidedText(p.item, Qt::ElideMiddle, item_->maximumWidth()));
    item_->setToolTip(p.item);
    if (!p.failures.isEmpty() && FailureLines().size() != p.failures.size()) {
        failures_->setPlainText(p.failures.join(u'\n'));
        failuresTitle_->show();
        failures_->show();
    }
}

void CShowInfoDlg::Finish() {
    ended_ = true;
    // The texts the worker posted last: the summary is the very last one.
    QString text;
    while (op_.Take(text) == 0) {
        status_->setText(text);
        summary_ = text;
    }
    ShowProgress();
    const ProgressState p = op_.Progress();
    if (p.total > 0)
        bar_->setValue(static_cast<int>(std::min<qint64>(1000, p.done * 1000 / p.total)));
    else if (p.failures.isEmpty() && !op_.StopRequested()) {
        bar_->setRange(0, 1);  // a worker without a total: full at the end
        bar_->setValue(1);
    }
    estimate_->clear();
    if (p.failures.isEmpty() && !op_.StopRequested()) {
        endedCleanly_ = true;
        watch_->stop();
        pump_->stop();
        QDialog::done(QDialog::Accepted);
        return;
    }
    // Something failed or was stopped: the dialog stays with the summary and the failures.
    if (op_.StopRequested() && !summary_.contains(QStringLiteral("已停止(stopped)")))
        status_->setText(summary_.isEmpty() ? QStringLiteral("已停止(stopped)")
                                            : summary_ + QStringLiteral("\n已停止(stopped)"));
    stop_->setText(QStringLiteral("关闭(CLOSE)"));
    stop_->setEnabled(true);
}

void CShowInfoDlg::WorkerEnded() {
    if (!ended_ && !stopping_) Finish();
}

void CShowInfoDlg::Stop() {
    if (ended_) {
        watch_->stop();
        pump_->stop();
        QDialog::done(QDialog::Accepted);
        return;
    }
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
    stopping_ = false;
    Finish();
}

void CShowInfoDlg::accept() { Stop(); }

void CShowInfoDlg::reject() { Stop(); }

void CShowInfoDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    Stop();
}

}  // namespace korvel
