#include "help_window.h"

#include "mutilang.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tandemscan {

HelpWindow::HelpWindow(QWidget* parent, CMutiLang* language, const QString& helpFolder)
    : QDialog(parent), language_(language), folder_(helpFolder) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Tandemscan Help"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
    auto* back = new QPushButton(QStringLiteral("&Back"), this);
    auto* forward = new QPushButton(QStringLiteral("&Forward"), this);
    auto* about = new QPushButton(QStringLiteral("&About Tandemscan..."), this);
    about->setObjectName(QStringLiteral("about"));
    for (auto* button : {contents, back, forward})
        row->addWidget(button);
    row->addStretch();
    row->addWidget(about);
    layout->addLayout(row);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setOpenExternalLinks(true);
    browser_->setSearchPaths({folder_, folder_ + QStringLiteral("/html")});
    layout->addWidget(browser_);
    connect(contents, &QPushButton::clicked, this, [this] { showTopic(QStringLiteral("html/index.htm")); });
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    connect(about, &QPushButton::clicked, this, &HelpWindow::showAbout);
    back->setEnabled(false);
    forward->setEnabled(false);
    resize(640, 560);
    if (language_) language_->InitMultiLangDlg(this);
}

bool HelpWindow::showTopic(const QString& topic) {
    QString path = QDir(folder_).filePath(topic);
    // A language names the folder of its own pages; a page it lacks is shown in English.
    const QString pages = QStringLiteral("html");
    const QString translated = language_ ? language_->translate(pages, "HelpWindow") : pages;
    if (translated != pages && topic.startsWith(pages + QLatin1Char('/'))) {
        const QString local = QDir(folder_).filePath(translated + topic.mid(pages.size()));
        if (QFileInfo::exists(local)) path = local;
    }
    if (!QFileInfo::exists(path)) {
        const QString missing =
            language_ ? language_->translate(QStringLiteral("The help page is missing:"), "HelpWindow")
                      : QStringLiteral("The help page is missing:");
        browser_->setHtml(QStringLiteral("<p>%1<br><code>%2</code></p>")
                              .arg(missing.toHtmlEscaped(), path.toHtmlEscaped()));
        return false;
    }
    browser_->setSource(QUrl::fromLocalFile(path));
    return true;
}

QString HelpWindow::currentTopic() const {
    const QString local = browser_->source().toLocalFile();
    return local.isEmpty() ? QString() : QDir(folder_).relativeFilePath(local);
}

void HelpWindow::showAbout() {
    const auto tr = [this](const char* text) {
        const QString english = QString::fromUtf8(text);
        return language_ ? language_->translate(english, "HelpWindow") : english;
    };
    QMessageBox::about(
        this, tr("About Tandemscan"),
        QStringLiteral("<h3>Tandemscan %1</h3><p>%2</p>")
            .arg(QCoreApplication::applicationVersion(),
                 tr("Scan a sheet larger than the scanner glass in two passes and join the parts.")));
}

} // namespace tandemscan
