#include "clockdigits.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QtMath>

#include <algorithm>

namespace
{
const QString Digits = QStringLiteral("0123456789");
const QString WidestCode = QStringLiteral("88:88:88:88");
// Sizes are worked out at this size and scaled: metrics grow linearly.
constexpr qreal ReferencePixels = 100;
// The share of the width the code fills, and of the height the ink may take.
constexpr qreal WidthShare = 0.96;
constexpr qreal HeightShare = 0.84;
// Narrower than this, or wider, digits stop reading as digits.
constexpr qreal LeastScale = 0.45;
constexpr qreal MostScale = 1.3;
// A colon's cell against a digit's: enough air around its two dots.
constexpr qreal ColonShare = 0.45;

bool isColon(QChar c)
{
    return c == u':' || c == u';' || c == u'.';
}
} // namespace

ClockDigits::ClockDigits(QWidget *parent) : QWidget(parent)
{
    // Every pixel is painted here, by a cell's image or the background.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ClockDigits::setMinimumDigitHeight(int pixels)
{
    if (pixels == m_minimumInk)
        return;
    m_minimumInk = pixels;
    prepare();
    update();
}

int ClockDigits::cellWidth(QChar c) const
{
    return isColon(c) ? m_colonCell : m_digitCell;
}

QVector<int> ClockDigits::cellEdges(const QString &text) const
{
    int total = 0;
    for (const QChar c : text)
        total += cellWidth(c);
    QVector<int> x(text.size() + 1);
    x[0] = (width() - total) / 2;
    for (int i = 0; i < text.size(); ++i)
        x[i + 1] = x[i] + cellWidth(text.at(i));
    return x;
}

QRect ClockDigits::codeRect() const
{
    if (m_x.size() < 2 || m_cellHeight <= 0)
        return QRect();
    return QRect(m_x.first(), m_top, m_x.last() - m_x.first(), m_cellHeight);
}

QRect ClockDigits::cellRect(int index) const
{
    return QRect(m_x[index], m_top, m_x[index + 1] - m_x[index], m_cellHeight);
}

// Picks the font size and horizontal scale for the widget's size, and drops
// the images of the last size.
void ClockDigits::prepare()
{
    m_glyphs.clear();
    m_inks.clear();
    QFont font = this->font();
    font.setBold(true);
    font.setPixelSize(int(ReferencePixels));
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.tightBoundingRect(Digits);
    qreal digitAdvance = metrics.horizontalAdvance(QLatin1Char('-'));
    for (const QChar c : Digits)
        digitAdvance = std::max(digitAdvance, metrics.horizontalAdvance(c));
    // The code's width and a digit's ink height per pixel of font size.
    const qreal widthPerPixel = digitAdvance * (8 + 3 * ColonShare) / ReferencePixels;
    const qreal inkPerPixel = ink.height() / ReferencePixels;
    if (width() <= 0 || height() <= 0 || widthPerPixel <= 0 || inkPerPixel <= 0)
        return;

    // As wide as the widget at the font's own proportions, unless that is
    // shorter than asked; never taller than the widget.
    const qreal fullWidth = width() * WidthShare;
    qreal pixels = fullWidth / widthPerPixel;
    pixels = std::max(pixels, m_minimumInk / inkPerPixel);
    pixels = std::min(pixels, height() * HeightShare / inkPerPixel);
    m_scaleX = std::clamp(fullWidth / (pixels * widthPerPixel), LeastScale, MostScale);
    // Still too wide at the narrowest: smaller, then.
    if (pixels * widthPerPixel * m_scaleX > width())
        pixels = width() / (widthPerPixel * m_scaleX);
    if (pixels < 1)
        return;

    m_font = font;
    m_font.setPixelSize(qMax(1, qRound(pixels)));
    const qreal factor = m_font.pixelSize() / ReferencePixels;
    m_inkHeight = qCeil(ink.height() * factor);
    const int margin = qCeil(m_inkHeight * 0.04);
    m_cellHeight = m_inkHeight + 2 * margin;
    m_baseline = margin - ink.top() * factor;
    m_digitCell = qRound(digitAdvance * factor * m_scaleX);
    m_colonCell = qRound(digitAdvance * factor * m_scaleX * ColonShare);
    m_top = (height() - m_cellHeight) / 2;
    m_x = cellEdges(m_text);
}

const QImage &ClockDigits::glyph(QChar c)
{
    auto found = m_glyphs.find(c);
    if (found != m_glyphs.end())
        return *found;
    const qreal ratio = devicePixelRatioF();
    const int cell = cellWidth(c);
    QImage image(QSize(cell, m_cellHeight) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(palette().color(QPalette::Window));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(m_font);
    painter.setPen(palette().color(QPalette::WindowText));
    // Centred on its ink, so a narrow "1" or a colon sits in the middle.
    const QRectF ink = QFontMetricsF(m_font).tightBoundingRect(QString(c));
    painter.translate(cell / 2.0, m_baseline);
    painter.scale(m_scaleX, 1);
    painter.drawText(QPointF(-ink.center().x(), 0), QString(c));
    painter.end();
    return *m_glyphs.insert(c, image);
}

QRect ClockDigits::ink(QChar c)
{
    auto found = m_inks.find(c);
    if (found != m_inks.end())
        return *found;
    const QImage &image = glyph(c);
    const QRgb background = palette().color(QPalette::Window).rgb();
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xFFFFFF) == (background & 0xFFFFFF))
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    QRect box;
    if (right >= 0) {
        const qreal ratio = image.devicePixelRatio();
        box = QRectF(left / ratio, top / ratio, (right - left + 1) / ratio,
                     (bottom - top + 1) / ratio)
                  .toAlignedRect();
    }
    return *m_inks.insert(c, box);
}

void ClockDigits::setText(const QString &text)
{
    if (text == m_text)
        return;
    const QVector<int> x = cellEdges(text);
    if (x != m_x || m_cellHeight <= 0) {
        m_text = text;
        m_x = x;
        update();
        return;
    }
    // Each cell's image covers the old ink with background, so only where
    // either character has ink is drawn again.
    QRegion changed;
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == m_text.at(i))
            continue;
        const QPoint cell = cellRect(i).topLeft();
        changed += ink(m_text.at(i)).united(ink(text.at(i))).translated(cell);
    }
    m_text = text;
    update(changed);
}

void ClockDigits::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    QRegion rest = event->region();
    if (m_cellHeight > 0) {
        for (int i = 0; i < m_text.size(); ++i) {
            const QRect cell = cellRect(i);
            if (!rest.intersects(cell))
                continue;
            painter.drawImage(cell.topLeft(), glyph(m_text.at(i)));
            rest -= cell;
        }
    }
    for (const QRect &r : rest)
        painter.fillRect(r, palette().color(QPalette::Window));
}

void ClockDigits::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    prepare();
}

void ClockDigits::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange) {
        prepare();
        update();
    }
    QWidget::changeEvent(event);
}
