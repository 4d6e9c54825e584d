#include "keyboardaccess.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyleOption>

namespace
{
bool hasKeyboardFocus(const QStyleOption *option)
{
    return (option->state & QStyle::State_HasFocus) &&
           (option->state & QStyle::State_KeyboardFocusChange);
}
} // namespace

void FocusRingStyle::drawRing(const QRect &area, const QStyleOption *option, QPainter *painter)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    QPen pen(option->palette.color(QPalette::Highlight), RingWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    const qreal half = RingWidth / 2.0;
    painter->drawRect(QRectF(area).adjusted(half, half, -half, -half));
    painter->restore();
}

// Radio buttons and the like ask for a focus rectangle round their text.
void FocusRingStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                   QPainter *painter, const QWidget *widget) const
{
    if (element != PE_FrameFocusRect) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    if (option->state & State_KeyboardFocusChange)
        drawRing(option->rect, option, painter);
}

// A push button only tints its outline; the ring goes round the whole button.
void FocusRingStyle::drawControl(ControlElement element, const QStyleOption *option,
                                 QPainter *painter, const QWidget *widget) const
{
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton && hasKeyboardFocus(option))
        drawRing(option->rect, option, painter);
}

void ReturnPresses::watch(QAbstractButton *button)
{
    if (button)
        button->installEventFilter(this);
}

bool ReturnPresses::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
        modifiers != Qt::NoModifier)
        return QObject::eventFilter(watched, event);
    auto *button = qobject_cast<QAbstractButton *>(watched);
    if (button && button->isEnabled() && !key->isAutoRepeat())
        button->click();
    return true;
}
