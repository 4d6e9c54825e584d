#pragma once

#include "transportstate.h"

#include <QWidget>

class ClockDigits;
class QAbstractButton;
class QLabel;
class QMenu;

// The code across a whole screen, to be read across a room: the digits as
// wide as the screen and at least a quarter of its height, beneath them the
// state in words, the source and the frame format; white on black, with a
// red frame while the code stands still (paused or frozen). Nothing blinks.
// A window of its own above the main window, which lends it its menu and its
// keys, so every shortcut works here as there. Escape asks to leave.
class FullscreenClock : public QWidget
{
    Q_OBJECT
public:
    explicit FullscreenClock(QWidget *parent = nullptr);

    void showCode(const QString &text);
    void showTransport(const TransportState &transport);

    // A key of the main window that clicks `button` there clicks it here too.
    void addKey(const QKeySequence &key, QAbstractButton *button);
    // The menu a right click opens.
    void setMenu(QMenu *menu) { m_menu = menu; }

    ClockDigits *digits() const { return m_digits; }
    QLabel *stateLabel() const { return m_state; }
    QLabel *sourceLabel() const { return m_source; }
    QLabel *formatLabel() const { return m_format; }
    // The red frame is drawn: the code stands still.
    bool isFramed() const { return m_framed; }
    int frameWidth() const;

    static QColor frameColour();

signals:
    // Escape, or the window manager closed the window.
    void leaveRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // Each line in its share of the height, smaller only if its text would
    // not fit the width.
    void fitLine(QLabel *label, qreal heightShare);
    void fitAll();
    QRegion frameRegion() const;

    ClockDigits *m_digits = nullptr;
    QLabel *m_state = nullptr;
    QLabel *m_source = nullptr;
    QLabel *m_format = nullptr;
    QMenu *m_menu = nullptr;
    bool m_framed = true;
};
