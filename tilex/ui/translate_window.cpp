#include "translate_window.h"

#include "message_file.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace tilex {

QString tx(const char* text, const char* section) {
    return QString::fromStdString(translateText(text, section));
}

QString tx(const QString& text, const char* section) {
    return QString::fromStdString(translateText(text.toStdString(), section));
}

QString trMessage(const char* first, const char* second, const char* section) {
    return tx(first, section) + tx("\n\n", section) + tx(second, section);
}

void translateMenu(QMenu* menu, const char* section) {
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) continue;
        if (action->menu()) translateMenu(action->menu(), section);
        action->setText(tx(action->text(), section));
    }
}

void TranslateWindow(QWidget* window, const char* section) {
    window->setWindowTitle(tx(window->windowTitle(), section));
    // Qt nests controls in group boxes where a dialog template lists them side by side, so every
    // descendant counts as a control of the window.
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (auto* combo = qobject_cast<QComboBox*>(child)) {
            for (int i = 0; i < combo->count(); ++i)
                combo->setItemText(i, tx(combo->itemText(i), section));
        } else if (auto* list = qobject_cast<QListWidget*>(child)) {
            for (int i = 0; i < list->count(); ++i)
                list->item(i)->setText(tx(list->item(i)->text(), section));
        } else if (auto* button = qobject_cast<QAbstractButton*>(child)) {
            button->setText(tx(button->text(), section));
        } else if (auto* label = qobject_cast<QLabel*>(child)) {
            label->setText(tx(label->text(), section));
        } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
            group->setTitle(tx(group->title(), section));
        }
    }
    if (auto* bar = window->findChild<QMenuBar*>()) {
        for (QAction* action : bar->actions()) {
            if (action->menu()) translateMenu(action->menu(), section);
            action->setText(tx(action->text(), section));
        }
    }
}

} // namespace tilex
