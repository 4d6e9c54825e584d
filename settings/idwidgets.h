#pragma once

#include <QCheckBox>
#include <QPushButton>
#include <QTimeEdit>

// Cell widgets of the settings tables that carry a fixed id (their row) and
// repeat their change signal with it, so one slot serves a whole column.

class PushButtonId : public QPushButton
{
    Q_OBJECT
public:
    PushButtonId(const QIcon &icon, const QString &text, uint id, QWidget *parent = nullptr);
    PushButtonId(const QString &text, uint id, QWidget *parent = nullptr);
    explicit PushButtonId(uint id, QWidget *parent = nullptr);
    uint id() const { return m_id; }

signals:
    void clickedId(uint Id);

private slots:
    void clickedButton();

private:
    const uint m_id;
};

class TimeEditId : public QTimeEdit
{
    Q_OBJECT
public:
    TimeEditId(const QTime &time, uint id, QWidget *parent = nullptr);
    explicit TimeEditId(uint id, QWidget *parent = nullptr);
    uint id() const { return m_id; }

signals:
    void timeChangedId(QTime Time, uint Id);

private slots:
    void timeChangedEdit(QTime Time);

private:
    const uint m_id;
};

class CheckBoxId : public QCheckBox
{
    Q_OBJECT
public:
    CheckBoxId(const QString &text, uint id, QWidget *parent = nullptr);
    explicit CheckBoxId(uint id, QWidget *parent = nullptr);
    uint id() const { return m_id; }

signals:
    void clickedId(bool Checked, uint Id);

private slots:
    void clickedButton(bool Checked);

private:
    const uint m_id;
};
