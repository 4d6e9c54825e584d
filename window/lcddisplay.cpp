#include "lcddisplay.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPolygonF>
#include <QRegion>

namespace
{
// Segments a to g, clockwise from the top with the middle last, as bits.
quint8 segmentsOf(QChar c)
{
    static constexpr quint8 Digits[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66,
                                          0x6D, 0x7D, 0x07, 0x7F, 0x6F};
    if (c >= u'0' && c <= u'9')
        return Digits[c.unicode() - u'0'];
    if (c == u'-')
        return 0x40;
    return 0;
}

// A segment with pointed ends, from `from` to `to` (horizontal or vertical).
QPolygonF segment(QPointF from, QPointF to, qreal thickness)
{
    const qreal h = thickness / 2;
    // Along the segment and across it.
    const QPointF along = from.y() == to.y() ? QPointF(h, 0) : QPointF(0, h);
    const QPointF across = from.y() == to.y() ? QPointF(0, h) : QPointF(h, 0);
    return QPolygonF{{from, from + along - across, to - along - across, to, to - along + across,
                      from + along + across}};
}
} // namespace

LcdDisplay::LcdDisplay(int cells, const QString &text, QWidget *parent)
    : QWidget(parent), m_cells(cells), m_text(text)
{
    // The display fills its own background: a changed digit then repaints
    // this widget alone, not the window behind it as well.
    setAttribute(Qt::WA_OpaquePaintEvent);
    relayout();
}

QSize LcdDisplay::sizeHint() const
{
    return QSize(m_cells * 6 * 4 + 4, 10 * 4);
}

void LcdDisplay::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void LcdDisplay::relayout()
{
    // A cell is a segment wide with a fifth of one as the gap, two high.
    const int cells = qMax(m_cells, int(m_text.size()));
    m_segment = qMin(width() * 5.0 / (cells * 6 + 1), height() * 5.0 / 12);
    m_advance = m_segment * 6 / 5;
    m_left = (width() - cells * m_advance + m_segment / 5) / 2;
    m_top = (height() - 2 * m_segment) / 2;
}

QRect LcdDisplay::cellRect(int index) const
{
    const qreal t = m_segment / 5;
    return QRectF(m_left + index * m_advance - t, m_top - t, m_segment + 2 * t,
                  2 * m_segment + 2 * t)
        .toAlignedRect();
}

void LcdDisplay::setText(const QString &text)
{
    if (text == m_text)
        return;
    if (text.size() != m_text.size()) {
        m_text = text;
        relayout();
        update();
        return;
    }
    QRegion changed;
    for (int i = 0; i < text.size(); ++i)
        if (text.at(i) != m_text.at(i))
            changed += cellRect(i);
    m_text = text;
    update(changed);
}

void LcdDisplay::drawCharacter(QPainter &painter, QChar c, qreal left) const
{
    const qreal s = m_segment;
    const qreal t = qMax<qreal>(1, s / 5);
    if (c == u':' || c == u';') {
        for (const qreal y : {m_top + s / 2, m_top + 3 * s / 2})
            painter.drawRect(QRectF(left + (s - t) / 2, y - t / 2, t, t));
        // Drop-frame counting: the lower dot grows a tail, so the mark reads
        // as a semicolon from across the room.
        if (c == u';')
            painter.drawRect(QRectF(left + (s - t) / 2, m_top + 3 * s / 2, t / 2, s / 3));
        return;
    }
    const quint8 bits = segmentsOf(c);
    // Corners: top left, top right, middle left, middle right, bottom left, bottom right.
    const qreal g = t / 4; // a sliver between segments, as on a real display
    const QPointF tl(left, m_top), tr(left + s, m_top), ml(left, m_top + s),
        mr(left + s, m_top + s), bl(left, m_top + 2 * s), br(left + s, m_top + 2 * s);
    const QPointF dx(g, 0), dy(0, g);
    const QPolygonF segments[7] = {segment(tl + dx, tr - dx, t), segment(tr + dy, mr - dy, t),
                                   segment(mr + dy, br - dy, t), segment(bl + dx, br - dx, t),
                                   segment(ml + dy, bl - dy, t), segment(tl + dy, ml - dy, t),
                                   segment(ml + dx, mr - dx, t)};
    for (int i = 0; i < 7; ++i)
        if (bits & (1 << i))
            painter.drawPolygon(segments[i]);
}

void LcdDisplay::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().brush(backgroundRole()));
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette::ColorGroup group = !isEnabled()       ? QPalette::Disabled
                                       : isActiveWindow() ? QPalette::Active
                                                          : QPalette::Inactive;
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(group, foregroundRole()));
    for (int i = 0; i < m_text.size(); ++i)
        if (event->region().intersects(cellRect(i)))
            drawCharacter(painter, m_text.at(i), m_left + i * m_advance);
}
