#include "confirmloss.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

bool confirmLoss(QWidget *parent, const QString &title, const QString &question,
                 const QString &consequences)
{
    QMessageBox box(QMessageBox::Warning, title, question, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setObjectName(QStringLiteral("confirm_loss"));
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(consequences);
    // Qt's own button texts are not translated here.
    box.button(QMessageBox::Yes)->setText(QCoreApplication::translate("confirmLoss", "&Yes"));
    box.button(QMessageBox::No)->setText(QCoreApplication::translate("confirmLoss", "&No"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
