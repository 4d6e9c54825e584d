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
    // The display fills its own background: a changed digit then repaints
    // this widget alone, not the window and every widget behind it as well.
    setAttribute(Qt::WA_OpaquePaintEvent);
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
    const QFontMetricsF metrics(font());
    m_lineHeight = metrics.height();
    // Bold glyphs may reach past their advance; a margin keeps their edges.
    m_margin = qCeil(m_lineHeight / 16);
    m_x = positionsOf(m_text);
    m_top = (height() - m_lineHeight) / 2;
}

QRect CodeDisplay::cellRect(int index) const
{
    return QRectF(m_x[index] - m_margin, m_top - m_margin,
                  m_x[index + 1] - m_x[index] + 2 * m_margin, m_lineHeight + 2 * m_margin)
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
    painter.fillRect(event->rect(), palette().brush(backgroundRole()));
    painter.setFont(font());
    const QPalette::ColorGroup group = !isEnabled()       ? QPalette::Disabled
                                       : isActiveWindow() ? QPalette::Active
                                                          : QPalette::Inactive;
    painter.setPen(palette().color(group, foregroundRole()));
    for (int i = 0; i < m_text.size(); ++i) {
        if (!event->rect().intersects(cellRect(i)))
            continue;
        auto glyph = m_glyphs.find(m_text.at(i));
        if (glyph == m_glyphs.end()) {
            glyph = m_glyphs.insert(m_text.at(i), QStaticText(QString(m_text.at(i))));
            glyph->setTextFormat(Qt::PlainText);
            glyph->prepare(QTransform(), font());
        }
        // A static text is placed by its top left corner.
        painter.drawStaticText(QPointF(m_x[i], m_top), *glyph);
    }
}

void CodeDisplay::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        m_advance.clear();
        m_glyphs.clear();
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
