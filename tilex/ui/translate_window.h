// Every visible text passes through the message file; these are the Qt helpers for it.
#pragma once

#include <QString>

class QMenu;
class QWidget;

namespace tilex {

QString tx(const char* text, const char* section);
QString tx(const QString& text, const char* section);
// First line, a blank line, second line: how every message box text is put together.
QString trMessage(const char* first, const char* second, const char* section = "Main");

// The window's title, then each control's text (combo and list items in place, keeping their
// data and the selection), then its menus.
void TranslateWindow(QWidget* window, const char* section);
void translateMenu(QMenu* menu, const char* section);

} // namespace tilex
