#include "codedisplay.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QtMath>

namespace
{
// What the display asks room for: as wide as a code in most fonts.
const QString WidestCode = QStringLiteral("88:88:88:88");
constexpr int CachedChars = 128;
} // namespace

CodeDisplay::CodeDisplay(const QString &text, QWidget *parent) : QWidget(parent), m_text(text)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    relayout();
}

qreal CodeDisplay::advanceOf(QChar c) const
{
    if (c.unicode() >= CachedChars)
        return QFontMetricsF(font()).horizontalAdvance(c);
    if (m_advance.isEmpty())
        m_advance.fill(-1, CachedChars);
    qreal &advance = m_advance[c.unicode()];
    if (advance < 0)
        advance = QFontMetricsF(font()).horizontalAdvance(c);
    return advance;
}

QVector<qreal> CodeDisplay::positionsOf(const QString &text) const
{
    QVector<qreal> x(text.size() + 1);
    qreal total = 0;
    for (int i = 0; i < text.size(); ++i)
        total += advanceOf(text.at(i));
    x[0] = (width() - total) / 2;
    for (int i = 0; i < text.size(); ++i)
        x[i + 1] = x[i] + advanceOf(text.at(i));
    return x;
}

void CodeDisplay::relayout()
{
    m_x = positionsOf(m_text);
    m_top = (height() - QFontMetricsF(font()).height()) / 2;
}

QRect CodeDisplay::cellRect(int index) const
{
    const QFontMetricsF metrics(font());
    // Bold glyphs may reach past their advance; a margin keeps their edges.
    const qreal margin = qCeil(metrics.height() / 16);
    return QRectF(m_x[index] - margin, m_top - margin, m_x[index + 1] - m_x[index] + 2 * margin,
                  metrics.height() + 2 * margin)
        .toAlignedRect();
}

void CodeDisplay::setText(const QString &text)
{
    if (text == m_text)
        return;
    const QVector<qreal> x = positionsOf(text);
    if (text.size() != m_text.size() || x != m_x) {
        m_text = text;
        m_x = x;
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

QSize CodeDisplay::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSizeF(metrics.horizontalAdvance(WidestCode), metrics.height()).toSize();
}

QSize CodeDisplay::minimumSizeHint() const
{
    return sizeHint();
}

void CodeDisplay::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setFont(font());
    const QPalette::ColorGroup group = !isEnabled()       ? QPalette::Disabled
                                       : isActiveWindow() ? QPalette::Active
                                                          : QPalette::Inactive;
    painter.setPen(palette().color(group, foregroundRole()));
    const qreal baseline = m_top + QFontMetricsF(font()).ascent();
    for (int i = 0; i < m_text.size(); ++i)
        if (event->rect().intersects(cellRect(i)))
            painter.drawText(QPointF(m_x[i], baseline), QString(m_text.at(i)));
}

void CodeDisplay::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        m_advance.clear();
        relayout();
        update();
    }
    QWidget::changeEvent(event);
}

void CodeDisplay::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}
