// The explanation shown the first time the move tool is chosen, with "Don't show again".
#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;

namespace tandemscan {

class MoveExplanationDialog : public QDialog {
    Q_OBJECT
  public:
    explicit MoveExplanationDialog(const std::function<QString(const QString&)>& translate = {},
                                   QWidget* parent = nullptr);
    // Whether the explanation should be shown next time.
    bool showAgain() const;

  private:
    QCheckBox* dontShow_ = nullptr;
};

} // namespace tandemscan
