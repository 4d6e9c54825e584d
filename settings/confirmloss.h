#pragma once

#include <QString>

class QWidget;

// Asks before a command that throws away part of the show. The safe answer,
// No, is the default button and the answer to Escape, so a Return pressed
// out of habit loses nothing. True only for Yes.
bool confirmLoss(QWidget *parent, const QString &title, const QString &question,
                 const QString &consequences);
