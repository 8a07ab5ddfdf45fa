#include "ConvertTool.h"

#include "widgets/NumberEdit.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace
{
QLineEdit *resultField(const char *name, const QString &start, QWidget *parent)
{
    auto *field = new QLineEdit(start, parent);
    field->setObjectName(QLatin1String(name));
    field->setReadOnly(true);
    return field;
}
} // namespace

ConvertTool::ConvertTool(QWidget *parent) : QGroupBox(QStringLiteral("Convert Tool"), parent)
{
    edDec = new NumberEdit(0, 255, this);
    edDec->setObjectName(QStringLiteral("edDec"));
    edDec->setMaxLength(3);
    edDec->setText(QStringLiteral("255"));
    edHex = resultField("edHex", QStringLiteral("FF"), this);
    edBinar = resultField("edBinar", QStringLiteral("11111111"), this);
    Button2 = new QPushButton(QStringLiteral("Calculate"), this);
    Button2->setObjectName(QStringLiteral("Button2"));

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(2);
    grid->addWidget(new QLabel(QStringLiteral("Dec"), this), 0, 0);
    grid->addWidget(edDec, 0, 1);
    grid->addWidget(Button2, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Hex"), this), 1, 0);
    grid->addWidget(edHex, 1, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Bin"), this), 2, 0);
    grid->addWidget(edBinar, 2, 1, 1, 2);
    edDec->setFixedWidth(40);
}
