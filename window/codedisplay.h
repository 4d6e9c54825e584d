#pragma once

#include <QHash>
#include <QStaticText>
#include <QString>
#include <QVector>
#include <QWidget>

// The large timecode display of the label kind: one centred line of text in
// the widget's font. It repaints only the characters a new code changed (the
// frame digits, most of the time), and the size it asks for does not depend
// on the code shown, so a new code never re-lays out the window.
class CodeDisplay : public QWidget
{
    Q_OBJECT
public:
    explicit CodeDisplay(const QString &text, QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Left edge of every character of `text` and its end, centred in the widget.
    QVector<qreal> positionsOf(const QString &text) const;
    qreal advanceOf(QChar c) const;
    QRect cellRect(int index) const;
    void relayout();

    QString m_text;
    QVector<qreal> m_x;
    qreal m_top = 0;
    qreal m_lineHeight = 0;
    qreal m_margin = 0;
    // Each character laid out once per font; painting then shapes nothing.
    QHash<QChar, QStaticText> m_glyphs;
    // Per-character advances of the current font: a code is digits, colons
    // and dashes, so a handful of lookups replace shaping the whole line.
    mutable QVector<qreal> m_advance;
};
