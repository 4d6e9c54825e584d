#include "statusfactsview.h"

#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
constexpr int ReservedLines = 4;
}

StatusFactsView::StatusFactsView(QWidget *parent) : QWidget(parent)
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    const char *names[StatusFact::TopicCount] = {
        "status_artnet", "status_shared_port", "status_midi",   "status_other_source",
        "status_ltc",    "status_store",       "status_follow", "status_remote"};
    for (int i = 0; i < StatusFact::TopicCount; ++i) {
        m_labels[i] = new QLabel(this);
        m_labels[i]->setObjectName(QLatin1String(names[i]));
        m_labels[i]->setWordWrap(true);
        // Their width is the window's; the view sets the least width itself.
        m_labels[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        m_labels[i]->setVisible(false);
    }
    // What the code follows comes first: while following, it is what the
    // operator watches.
    column->addWidget(m_labels[StatusFact::Follow]);
    for (int i = 0; i < StatusFact::TopicCount; ++i)
        if (i != StatusFact::Follow)
            column->addWidget(m_labels[i]);
    column->addStretch(1);
    m_reservedHeight = ReservedLines * fontMetrics().lineSpacing();
    setFixedHeight(m_reservedHeight);
}

QColor StatusFactsView::errorColour()
{
    return QColor(200, 0, 0);
}

void StatusFactsView::showFacts(const QList<StatusFact> &facts)
{
    int widestWord = 0;
    for (int i = 0; i < StatusFact::TopicCount; ++i) {
        QLabel *label = m_labels[i];
        const auto fact = std::find_if(facts.begin(), facts.end(),
                                       [i](const StatusFact &f) { return f.topic == i; });
        // An absent fact takes no line, so the ones shown sit together at the top.
        label->setVisible(fact != facts.end());
        if (fact == facts.end()) {
            label->clear();
            continue;
        }
        if (fact->segments.isEmpty()) {
            // A topic may bring more than one fact (the follow state and its
            // input's trouble): each gets a line of the same label.
            QStringList lines;
            for (auto f = fact; f != facts.end(); ++f)
                if (f->topic == i)
                    lines << f->text;
            label->setTextFormat(Qt::PlainText);
            label->setText(lines.join(QLatin1Char('\n')));
        } else {
            // Only the failing parts (one destination of several) take the error colour.
            QString html;
            for (const StatusFact::Segment &segment : fact->segments) {
                const QString text = segment.text.toHtmlEscaped();
                html += segment.failure ? QStringLiteral("<span style=\"color:%1\">%2</span>")
                                              .arg(errorColour().name(), text)
                                        : text;
            }
            label->setTextFormat(Qt::RichText);
            label->setText(html);
        }
        QPalette palette = this->palette();
        if (fact->failure)
            palette.setColor(QPalette::WindowText, errorColour());
        label->setPalette(palette);
        // A wrapped label's least width is its longest word.
        widestWord = std::max(widestWord, label->minimumSizeHint().width());
    }
    setMinimumWidth(widestWord);
    fitHeight();
}

void StatusFactsView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitHeight();
}

// Depends on the width only, so setting it from a resize settles at once.
void StatusFactsView::fitHeight()
{
    int needed = 0;
    for (const QLabel *label : m_labels)
        if (!label->isHidden())
            needed += label->heightForWidth(width());
    const int height = std::max(m_reservedHeight, needed);
    if (height != this->height() || height != minimumHeight())
        setFixedHeight(height);
}
