#pragma once

#include <QString>
#include <QWidget>

// The large timecode display of the LCD kind: flat seven-segment digits, one
// cell per character, scaled to the widget as a QLCDNumber lays them out. A
// new code repaints only the cells whose character changed (the frame digits,
// most of the time), where a QLCDNumber repaints the whole widget.
class LcdDisplay : public QWidget
{
    Q_OBJECT
public:
    explicit LcdDisplay(int cells, const QString &text, QWidget *parent = nullptr);

    int cellCount() const { return m_cells; }
    QString text() const { return m_text; }
    void setText(const QString &text);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void relayout();
    // What a cell covers, its segments' ends included.
    QRect cellRect(int index) const;
    void drawCharacter(QPainter &painter, QChar c, qreal left) const;

    int m_cells;
    QString m_text;
    // Cell geometry for the current size.
    qreal m_segment = 0;
    qreal m_advance = 0;
    qreal m_left = 0;
    qreal m_top = 0;
};
