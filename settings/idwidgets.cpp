#include "idwidgets.h"

PushButtonId::PushButtonId(const QIcon &icon, const QString &text, uint id, QWidget *parent)
    : QPushButton(icon, text, parent), m_id(id)
{
    connect(this, &QPushButton::clicked, this, &PushButtonId::clickedButton);
}

PushButtonId::PushButtonId(const QString &text, uint id, QWidget *parent)
    : PushButtonId(QIcon(), text, id, parent)
{
}

PushButtonId::PushButtonId(uint id, QWidget *parent) : PushButtonId(QIcon(), QString(), id, parent)
{
}

void PushButtonId::clickedButton()
{
    emit clickedId(m_id);
}

TimeEditId::TimeEditId(const QTime &time, uint id, QWidget *parent)
    : QTimeEdit(time, parent), m_id(id)
{
    connect(this, &QTimeEdit::timeChanged, this, &TimeEditId::timeChangedEdit);
}

TimeEditId::TimeEditId(uint id, QWidget *parent) : QTimeEdit(parent), m_id(id)
{
    connect(this, &QTimeEdit::timeChanged, this, &TimeEditId::timeChangedEdit);
}

void TimeEditId::timeChangedEdit(QTime Time)
{
    emit timeChangedId(Time, m_id);
}

CheckBoxId::CheckBoxId(const QString &text, uint id, QWidget *parent)
    : QCheckBox(text, parent), m_id(id)
{
    connect(this, &QCheckBox::clicked, this, &CheckBoxId::clickedButton);
}

CheckBoxId::CheckBoxId(uint id, QWidget *parent) : CheckBoxId(QString(), id, parent) {}

void CheckBoxId::clickedButton(bool Checked)
{
    emit clickedId(Checked, m_id);
}
