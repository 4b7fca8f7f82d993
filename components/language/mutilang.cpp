#include "mutilang.h"

#include "message_catalog.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <string>

struct CMutiLang::Impl {
    tandemscan::MessageCatalog catalog;

    QString translate(const QString& text, std::string_view section) const {
        if (text.isEmpty() || catalog.empty()) return text;
        return QString::fromStdString(catalog.translate(text.toStdString(), section));
    }

    void translateWidget(QWidget* widget, std::string_view section) const {
        if (const auto tip = widget->toolTip(); !tip.isEmpty()) widget->setToolTip(translate(tip, section));
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            button->setText(translate(button->text(), section));
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            label->setText(translate(label->text(), section));
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            group->setTitle(translate(group->title(), section));
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // Item texts change in place, so the items' data and the current choice stay.
            for (int i = 0; i < combo->count(); ++i)
                combo->setItemText(i, translate(combo->itemText(i), section));
        } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
            for (int i = 0; i < tabs->count(); ++i)
                tabs->setTabText(i, translate(tabs->tabText(i), section));
        }
    }

    void translateChildren(QWidget* parent, std::string_view section) const {
        for (auto* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            // A child window translates itself with its own section when it opens.
            if (child->isWindow()) continue;
            translateWidget(child, section);
            translateChildren(child, section);
        }
    }

    void translateMenu(QMenu* menu) const {
        menu->setTitle(translate(menu->title(), "Menu"));
        for (auto* action : menu->actions()) {
            if (action->isSeparator()) continue;
            if (auto* sub = action->menu()) {
                translateMenu(sub);
                continue;
            }
            action->setText(translate(action->text(), "Menu"));
            if (const auto tip = action->toolTip(); !tip.isEmpty() && tip != action->text()) {
                action->setToolTip(translate(tip, "Menu"));
            }
        }
    }
};

CMutiLang::CMutiLang() : impl_(std::make_unique<Impl>()) {}

CMutiLang::~CMutiLang() = default;

void CMutiLang::PowerOn(const char* path) {
    impl_->catalog.clear();
    if (path && *path) impl_->catalog.load(path);
}

int CMutiLang::InitMultiLangDlg(QWidget* dialog) {
    if (!dialog) return 0;
    std::string section = dialog->objectName().toStdString();
    if (section.empty()) section = dialog->metaObject()->className();
    if (const auto title = dialog->windowTitle(); !title.isEmpty()) {
        dialog->setWindowTitle(impl_->translate(title, section));
    }
    impl_->translateChildren(dialog, section);
    return 1;
}

void CMutiLang::trans2local(const char* src, char* dst, int size) {
    if (!dst || size <= 0) return;
    const std::string result =
        src ? impl_->catalog.translate(src, tandemscan::MessageCatalog::commonSection) : std::string();
    auto length = std::min(result.size(), static_cast<std::size_t>(size - 1));
    // Never leave half of a multi-byte character at the end.
    while (length > 0 && length < result.size() &&
           (static_cast<unsigned char>(result[length]) & 0xC0) == 0x80) {
        --length;
    }
    std::memmove(dst, result.data(), length);
    dst[length] = '\0';
}

int CMutiLang::menutrans(QMenu* menu, QWidget* /*owner*/) {
    if (!menu) return 0;
    impl_->translateMenu(menu);
    return 1;
}

void CMutiLang::PowerOff() {
    impl_->catalog.clear();
}

QString CMutiLang::translate(const QString& text, const char* section) const {
    return impl_->translate(text, section && *section ? section : tandemscan::MessageCatalog::commonSection);
}

bool CMutiLang::hasTranslations() const {
    return !impl_->catalog.empty();
}
