#pragma once

#include <QString>

class QBoxLayout;
class QFormLayout;
class QLabel;
class QWidget;

// The pieces the screen's tool windows (the details, the summary) are built of.
namespace Cli_Vop31600 {

// Names and titles a tool window over the screen, which shows without taking the keys from it.
void setUpToolWindow(QWidget& window, const char* objectName, const QString& title);
// A bold label at the top of a window (the file or directory it is about).
QLabel* addHeadingLabel(QWidget& window, QBoxLayout& layout, const char* objectName);
// A "caption: value" row whose value can be selected with the mouse; the value label is returned.
QLabel* addValueRow(QFormLayout& form, const QString& caption, const char* objectName);

} // namespace Cli_Vop31600
