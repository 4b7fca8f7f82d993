// A scan as the main window sees it: started from the Input buttons, watched with a progress
// window that offers Cancel, and ended with the end-of-scan notice (tool command 0x20). The
// component's worker wakes the window through a queued call; a timer also offers it events, so
// the end is noticed even when the window sits idle.
#pragma once

#include "scan_acquisition.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

class QProgressDialog;
class QWidget;

namespace tandemscan {

class ScanSession : public QObject {
    Q_OBJECT
  public:
    using Translate = std::function<QString(const QString& english)>;
    // Shows a translated failure text in an error box.
    using Report = std::function<void(const QString& text)>;

    // owner: the window the progress window stays above; it also owns the session.
    ScanSession(std::unique_ptr<ScanAcquisition> acquisition, QWidget* owner, Translate translate,
                Report report);
    // A running scan stops without a notice; the component is released.
    ~ScanSession() override;

    // Starts a scan; the notice follows in every case, at once when the scan cannot start.
    void start(const ScanRequest& request);
    // The progress window's Cancel.
    void cancel();

    ScanAcquisition& acquisition() { return *acquisition_; }
    QProgressDialog* progressWindow() const { return progress_; }
    // The text shown with a failure: the translated sentence, then the details on a new line.
    QString failureMessage() const;

    // How often the progress is read and the component offered an event while scanning.
    static constexpr int pollMilliseconds = 100;

  signals:
    // The end-of-scan notice: code 0x20 and 0 (the side's part file is ready) or 1 (nothing).
    void toolCommand(int code, int result);

  private:
    void offerEvent();
    void showProgress();
    void ended(ScanResult result);

    std::unique_ptr<ScanAcquisition> acquisition_;
    QPointer<QWidget> owner_;
    Translate translate_;
    Report report_;
    QTimer poll_;
    QProgressDialog* progress_ = nullptr;
};

} // namespace tandemscan
