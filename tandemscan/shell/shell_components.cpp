#include "shell_components.h"

#include "mutilang.h"

#include <QCoreApplication>

namespace tandemscan {

namespace {

// Qt names the buttons of its standard message boxes (Yes, No, Cancel, OK) and the parts of its
// file dialogs itself; without this they stay English in a translated run. Only those texts pass
// through the language catalogue.
class StandardButtonTexts : public QTranslator {
  public:
    explicit StandardButtonTexts(const CMutiLang& language) : language_(language) {}
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override {
        if (!context || !sourceText) return {};
        if (qstrcmp(context, "QPlatformTheme") != 0 && qstrcmp(context, "QFileDialog") != 0 &&
            qstrcmp(context, "QFileSystemModel") != 0)
            return {};
        const QString english = QString::fromUtf8(sourceText);
        const QString translated = language_.translate(english);
        return translated == english ? QString() : translated;
    }

  private:
    const CMutiLang& language_;
};

} // namespace

ShellLanguage::ShellLanguage() = default;

ShellLanguage::~ShellLanguage() {
    if (standardTexts_) QCoreApplication::removeTranslator(standardTexts_.get());
    standardTexts_.reset();
    if (language_) language_->PowerOff();
}

void ShellLanguage::powerOn(const std::filesystem::path& messageFile) {
    language_ = std::make_unique<CMutiLang>();
    language_->PowerOn(messageFile.c_str());
    standardTexts_ = std::make_unique<StandardButtonTexts>(*language_);
    QCoreApplication::installTranslator(standardTexts_.get());
}

} // namespace tandemscan
