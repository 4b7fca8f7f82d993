#include "qt_texts.h"

#include "message_file.h"

#include <cstring>

namespace tilex {

QString QtTexts::translate(const char* context, const char* sourceText, const char*, int) const {
    if (context == nullptr || sourceText == nullptr) return {};
    static const char* const ownDialogs[] = {"QFileDialog", "QFileSystemModel", "QPlatformTheme",
                                             "QMessageBox", "QDialogButtonBox"};
    bool known = false;
    for (const char* name : ownDialogs)
        known = known || std::strcmp(context, name) == 0;
    if (!known) return {};
    const std::string translated = translateText(sourceText, "Qt");
    // Empty tells Qt to keep its own text.
    return translated == sourceText ? QString() : QString::fromStdString(translated);
}

} // namespace tilex
