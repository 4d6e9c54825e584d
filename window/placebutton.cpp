#include "placebutton.h"

#include <QPainter>

void PlaceButton::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    QFont bold = font();
    bold.setBold(selected);
    setFont(bold);
    update();
}

void PlaceButton::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    if (!m_selected)
        return;
    QPainter painter(this);
    QPen pen(palette().color(QPalette::ButtonText), FrameWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal edge = FrameInset + FrameWidth / 2.0;
    painter.drawRect(QRectF(rect()).adjusted(edge, edge, -edge, -edge));
}
