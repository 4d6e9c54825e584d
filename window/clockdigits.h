#pragma once

#include <QHash>
#include <QImage>
#include <QString>
#include <QVector>
#include <QWidget>

// The code of the fullscreen clock: one line of digits in the text colour on
// the background colour, as wide as the widget and at least as tall as asked.
// A code at full width in an ordinary font is barely a fifth of a wide
// screen's height, so where the two disagree the digits are drawn narrower
// rather than smaller. Each character is drawn once per size into an image
// of its cell, and the cells never move, so a new code costs a copy of the
// ink of the characters that changed (the frame digits, most of the time).
class ClockDigits : public QWidget
{
    Q_OBJECT
public:
    explicit ClockDigits(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);

    // The least height of a digit's ink, in pixels; never more than the
    // widget's height allows.
    void setMinimumDigitHeight(int pixels);
    // The ink height of a digit as drawn now.
    int digitHeight() const { return m_inkHeight; }
    // Where the code is drawn, all its cells.
    QRect codeRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void prepare();
    QVector<int> cellEdges(const QString &text) const;
    int cellWidth(QChar c) const;
    QRect cellRect(int index) const;
    const QImage &glyph(QChar c);
    // The part of a character's cell that its ink covers, in the cell.
    QRect ink(QChar c);

    QString m_text;
    QVector<int> m_x; // left edge of every cell, and the end of the last
    QHash<QChar, QImage> m_glyphs;
    QHash<QChar, QRect> m_inks;
    QFont m_font;
    qreal m_scaleX = 1;
    qreal m_baseline = 0;
    int m_minimumInk = 0;
    int m_inkHeight = 0;
    int m_digitCell = 0;
    int m_colonCell = 0;
    int m_cellHeight = 0;
    int m_top = 0;
};
