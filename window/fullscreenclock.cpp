#include "fullscreenclock.h"

#include "clockdigits.h"
#include "operatorwords.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
// Shares of the screen's height. The digits' ink is at least a quarter of it
// (a little more, for rounding), in a band that leaves the lines beneath
// room; the state word is the largest line, to be read first.
constexpr qreal DigitsBand = 0.42;
constexpr qreal LeastInk = 0.27;
// At 1080 lines the source's capitals stand about 65 pixels tall, 1.8 cm on
// a 24 inch screen: good eyes read 1.5 cm at 10 m.
constexpr qreal StateLine = 0.12;
constexpr qreal SourceLine = 0.085;
constexpr qreal FormatLine = 0.085;
constexpr qreal FrameShare = 1.0 / 45;
constexpr int LeastFrame = 6;

QLabel *makeLine(QWidget *parent, const char *name, bool bold)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignCenter);
    label->setTextFormat(Qt::PlainText);
    // The clock sets each line's size from the screen, not from its text.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    QFont font = label->font();
    font.setBold(bold);
    label->setFont(font);
    return label;
}
} // namespace

FullscreenClock::FullscreenClock(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("fullscreen_clock"));
    setWindowTitle(tr("Orvello Clock"));
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette colours = palette();
    for (const QPalette::ColorGroup group :
         {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        colours.setColor(group, QPalette::Window, Qt::black);
        colours.setColor(group, QPalette::WindowText, Qt::white);
    }
    setPalette(colours);

    m_digits = new ClockDigits(this);
    m_digits->setObjectName(QStringLiteral("clock_digits"));
    m_digits->setText(QStringLiteral("--:--:--:--"));
    m_state = makeLine(this, "clock_state", true);
    m_source = makeLine(this, "clock_source", false);
    m_format = makeLine(this, "clock_format", false);

    auto *column = new QVBoxLayout(this);
    column->setSpacing(0);
    column->addStretch(1);
    column->addWidget(m_digits);
    column->addWidget(m_state);
    column->addWidget(m_source);
    column->addWidget(m_format);
    column->addStretch(1);
}

QColor FullscreenClock::frameColour()
{
    return QColor(220, 0, 0);
}

int FullscreenClock::frameWidth() const
{
    return std::max(LeastFrame, qRound(height() * FrameShare));
}

void FullscreenClock::showCode(const QString &text)
{
    m_digits->setText(text);
}

void FullscreenClock::showTransport(const TransportState &transport)
{
    m_state->setText(OperatorWords::state(transport));
    m_source->setText(OperatorWords::source(transport));
    m_format->setText(OperatorWords::format(transport.format));
    fitLine(m_source, SourceLine);
    const bool framed = transport.run() != TransportState::Run::Running;
    if (framed != m_framed) {
        m_framed = framed;
        update(frameRegion());
    }
}

void FullscreenClock::addKey(const QKeySequence &key, QAbstractButton *button)
{
    auto *shortcut = new QShortcut(key, this);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(false);
    connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
}

void FullscreenClock::fitLine(QLabel *label, qreal heightShare)
{
    const int room = width() - 2 * (frameWidth() + layout()->contentsMargins().left());
    int pixels = std::max(1, qRound(height() * heightShare));
    QFont font = label->font();
    font.setPixelSize(pixels);
    const int textWidth = QFontMetrics(font).horizontalAdvance(label->text());
    if (room > 0 && textWidth > room) {
        pixels = std::max(1, pixels * room / textWidth);
        font.setPixelSize(pixels);
    }
    label->setFont(font);
    label->setFixedHeight(QFontMetrics(font).height());
}

void FullscreenClock::fitAll()
{
    const int frame = frameWidth();
    layout()->setContentsMargins(frame * 2, frame, frame * 2, frame);
    m_digits->setFixedHeight(qRound(height() * DigitsBand));
    m_digits->setMinimumDigitHeight(qCeil(height() * LeastInk));
    fitLine(m_state, StateLine);
    fitLine(m_source, SourceLine);
    fitLine(m_format, FormatLine);
}

QRegion FullscreenClock::frameRegion() const
{
    const int frame = frameWidth();
    return QRegion(rect()) - QRegion(rect().adjusted(frame, frame, -frame, -frame));
}

void FullscreenClock::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        emit leaveRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FullscreenClock::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    if (!m_framed)
        return; // the background is filled already
    QPainter painter(this);
    for (const QRect &r : frameRegion())
        painter.fillRect(r, frameColour());
}

void FullscreenClock::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitAll();
}

void FullscreenClock::closeEvent(QCloseEvent *event)
{
    event->accept();
    emit leaveRequested();
}

void FullscreenClock::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_menu)
        m_menu->popup(event->globalPos());
    event->accept();
}
