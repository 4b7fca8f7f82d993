// Qt names the parts of its own dialogs (file dialog, message box buttons) itself; this sends
// those texts through the message file's "Qt" section, so they follow the game's language.
#pragma once

#include <QTranslator>

namespace tilex {

class QtTexts : public QTranslator {
  public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override;
};

} // namespace tilex
