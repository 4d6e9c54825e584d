#pragma once

#include <QObject>
#include <QProxyStyle>

class QAbstractButton;

// Keyboard operation of the main window's controls, for an operator who works
// without a mouse or in the dark.

// Draws the keyboard focus as a solid two-pixel ring in the highlight colour
// at the control's edge: the framework's own hint (a one-pixel tint) vanishes
// on the orange and green place buttons. Mouse users see no ring, as usual.
class FocusRingStyle : public QProxyStyle
{
    Q_OBJECT
public:
    static constexpr int RingWidth = 2;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;

private:
    static void drawRing(const QRect &area, const QStyleOption *option, QPainter *painter);
};

// Return or Enter presses the focused button once, at the press, as a click
// does; a held key does not repeat it. Space stays the play/pause key of the
// whole window and is left alone.
class ReturnPresses : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    // Installs the filter on `button`.
    void watch(QAbstractButton *button);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
