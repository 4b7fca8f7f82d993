// The help pages (TShelp/html/ in the program folder) in a window of their own, with the About
// box that describes the program.
#pragma once

#include <QDialog>
#include <QString>

class CMutiLang;
class QTextBrowser;

namespace tandemscan {

class HelpWindow : public QDialog {
    Q_OBJECT
  public:
    HelpWindow(QWidget* parent, CMutiLang* language, const QString& helpFolder);

    // Shows a page given relative to the help folder, e.g. "html/Quick.htm"; false when it is
    // not there (the window then says so).
    bool showTopic(const QString& topic);
    QTextBrowser* browser() const { return browser_; }
    QString currentTopic() const;
    void showAbout();

  private:
    CMutiLang* language_;
    QString folder_;
    QTextBrowser* browser_ = nullptr;
};

} // namespace tandemscan
