#pragma once

#include "statusfacts.h"

#include <QList>
#include <QWidget>

class QLabel;

// The status facts, one a line in the window's status bar, each wrapped at
// the window's width and never cut: the area is at least as high as four
// one-line facts, so facts that come and go do not move the window, and
// grows when long facts need more lines; a word longer than a line (a file
// path) widens the window instead of being cut.
class StatusFactsView : public QWidget
{
    Q_OBJECT
public:
    explicit StatusFactsView(QWidget *parent = nullptr);

    // One label per topic; a topic not in `facts` takes no line.
    void showFacts(const QList<StatusFact> &facts);
    QLabel *label(int topic) const { return m_labels[topic]; }

    static QColor errorColour();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // The height every shown fact needs at the current width.
    void fitHeight();

    QLabel *m_labels[StatusFact::TopicCount] = {};
    int m_reservedHeight = 0;
};
