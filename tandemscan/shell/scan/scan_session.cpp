#include "scan_session.h"

#include <QProgressDialog>
#include <QWidget>
#include <QWindow>

namespace tandemscan {

ScanSession::ScanSession(std::unique_ptr<ScanAcquisition> acquisition, QWidget* owner, Translate translate,
                         Report report)
    : QObject(owner), acquisition_(std::move(acquisition)), owner_(owner), translate_(std::move(translate)),
      report_(std::move(report)) {
    setObjectName(QStringLiteral("scanSession"));
    if (!translate_) translate_ = [](const QString& english) { return english; };
    acquisition_->setNoticeHandler([this](ScanResult result) { ended(result); });
    // Runs on the component's worker: only a queued call may leave it.
    acquisition_->setWakeHandler(
        [this] { QMetaObject::invokeMethod(this, &ScanSession::offerEvent, Qt::QueuedConnection); });
    poll_.setInterval(pollMilliseconds);
    connect(&poll_, &QTimer::timeout, this, [this] {
        offerEvent();
        showProgress();
    });
}

ScanSession::~ScanSession() {
    // The worker is joined here, before this object stops taking queued calls.
    acquisition_->close();
    delete progress_;
}

void ScanSession::start(const ScanRequest& request) {
    if (acquisition_->scanning()) return;
    if (!progress_) {
        // A window of its own: the owner is disabled while scanning, and its children with it.
        progress_ = new QProgressDialog();
        progress_->setObjectName(QStringLiteral("scanProgress"));
        progress_->setWindowModality(Qt::ApplicationModal);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        progress_->setMinimumDuration(0);
        connect(progress_, &QProgressDialog::canceled, this, &ScanSession::cancel);
    }
    progress_->setWindowTitle(translate_(QStringLiteral("Scanning")));
    progress_->setLabelText(translate_(request.side == 0 ? QStringLiteral("Scanning the left part...")
                                                         : QStringLiteral("Scanning the right part...")));
    progress_->setCancelButtonText(translate_(QStringLiteral("Cancel")));
    progress_->setRange(0, 0); // busy until the device knows the height
    progress_->setValue(0);
    if (!acquisition_->start(request)) return; // ended() has run
    if (owner_) {
        progress_->winId();
        if (owner_->window()->windowHandle())
            progress_->windowHandle()->setTransientParent(owner_->window()->windowHandle());
    }
    progress_->show();
    poll_.start();
}

void ScanSession::cancel() {
    if (acquisition_->scanning()) acquisition_->cancel();
}

void ScanSession::offerEvent() {
    if (acquisition_->scanning()) acquisition_->filterEvent();
}

void ScanSession::showProgress() {
    if (!progress_ || !acquisition_->scanning()) return;
    const ScanAcquisition::Progress now = acquisition_->progress();
    if (now.rowsExpected == 0) return;
    progress_->setMaximum(static_cast<int>(now.rowsExpected));
    progress_->setValue(static_cast<int>(std::min(now.rowsRead, now.rowsExpected)));
}

QString ScanSession::failureMessage() const {
    const char* sentence = scanFailureText(acquisition_->failure());
    if (*sentence == '\0') return {};
    QString text = translate_(QString::fromUtf8(sentence));
    const std::string& detail = acquisition_->failureDetail();
    if (!detail.empty()) text += QLatin1Char('\n') + QString::fromStdString(detail);
    return text;
}

void ScanSession::ended(ScanResult result) {
    poll_.stop();
    if (progress_) progress_->hide();
    emit toolCommand(scanNoticeCode, static_cast<int>(result));
    const QString why = failureMessage();
    if (!why.isEmpty() && report_) report_(why);
}

} // namespace tandemscan
