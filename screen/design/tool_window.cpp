#include "screen/design/tool_window.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QLabel>
#include <QWidget>

namespace Cli_Vop31600 {

void setUpToolWindow(QWidget& window, const char* objectName, const QString& title)
{
    window.setObjectName(QString::fromLatin1(objectName));
    window.setWindowTitle(title);
    window.setAttribute(Qt::WA_ShowWithoutActivating);
}

QLabel* addHeadingLabel(QWidget& window, QBoxLayout& layout, const char* objectName)
{
    auto* label = new QLabel(&window);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    layout.addWidget(label);
    return label;
}

QLabel* addValueRow(QFormLayout& form, const QString& caption, const char* objectName)
{
    auto* value = new QLabel(form.parentWidget());
    value->setObjectName(QString::fromLatin1(objectName));
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form.addRow(caption, value);
    return value;
}

} // namespace Cli_Vop31600
