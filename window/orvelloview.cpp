#include "orvelloview.h"

#include "codedisplay.h"
#include "commandlineoptions.h"
#include "orvello.h"
#include "settingstruct.h"
#include "updateserver.h"
#include "version.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLCDNumber>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
constexpr int DisplayPointSize = 22;
constexpr int FontSearchLimit = 1000;
const QColor Selected(0, 255, 0);
const QColor StartAndEnd(255, 128, 0);
const QColor StartOnly(255, 172, 0);
const QColor EndOnly(205, 128, 0);

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

QAction *makeAction(QMainWindow *window, const QString &text, const QKeySequence &shortcut,
                    const QString &statusTip, const char *icon, const char *name)
{
    auto *action = new QAction(text, window);
    action->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    if (!statusTip.isEmpty())
        action->setStatusTip(statusTip);
    if (icon)
        action->setIcon(QIcon(QLatin1String(icon)));
    return action;
}

// A button's own shortcut clicks it by its animation, about 100 ms after the
// key, and moves the focus to it; on a push button the key's release then
// clicks it a second time. So the key is a window shortcut of its own that
// clicks the button at the press, without the animation or a focus change.
// It is the button's child, so it is found with the button and goes with it.
void bindKey(QAbstractButton *button, const QKeySequence &key)
{
    auto *shortcut = new QShortcut(key, button);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(false);
    QObject::connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
}

QPushButton *makeButton(QWidget *parent, const char *icon, const QKeySequence &shortcut,
                        const QString &toolTip, const char *name, bool checkable = false)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(QIcon(QLatin1String(icon)));
    if (!shortcut.isEmpty())
        bindKey(button, shortcut);
    button->setToolTip(toolTip);
    button->setCheckable(checkable);
    return button;
}

QRadioButton *makeFormat(QWidget *parent, QButtonGroup *group, const QString &text, int format,
                         const QKeySequence &shortcut, const QString &toolTip)
{
    auto *radio = new QRadioButton(text, parent);
    radio->setObjectName(QStringLiteral("format_%1").arg(format));
    bindKey(radio, shortcut);
    radio->setToolTip(toolTip);
    group->addButton(radio, format);
    return radio;
}

// The system time and place buttons are kept small: their maximum height is
// that of a freshly made child widget, so the rows stay compact.
void limitSize(QPushButton *button, QWidget *parent)
{
    QWidget probe(parent);
    button->setMaximumSize(45, probe.height());
}

void setButtonColour(QPushButton *button, const QColor &colour)
{
    if (button)
        button->setPalette(QPalette(colour));
}
} // namespace

QString updateLinkText()
{
    return UpdateServer::updateLink();
}

void OrvelloView::build(QMainWindow *window, bool useLcd)
{
    m_shownText = QStringLiteral("--:--:--:--");
    buildActions(window);
    window->setCentralWidget(buildCentral(window, useLcd));
    buildStatusLine(window);
}

// The status bar also shows the actions' status tips, which QMainWindow routes
// there by itself; a tip covers the labels only while it is shown.
void OrvelloView::buildStatusLine(QMainWindow *window)
{
    QStatusBar *bar = window->statusBar();
    bar->setSizeGripEnabled(false);
    // One fact a line, wrapped at the window's width, so the window keeps its
    // width and the operator still reads every address. The height is fixed
    // (room for one wrapped fact) so a fact that comes or goes never resizes
    // the window under the operator's hand.
    auto *facts = new QWidget(bar);
    auto *column = new QVBoxLayout(facts);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    const char *names[StatusFact::TopicCount] = {"status_artnet",       "status_midi",
                                                 "status_other_source", "status_ltc",
                                                 "status_store",        "status_remote"};
    for (int i = 0; i < StatusFact::TopicCount; ++i) {
        statusLabels[i] = new QLabel(facts);
        statusLabels[i]->setObjectName(QLatin1String(names[i]));
        statusLabels[i]->setWordWrap(true);
        statusLabels[i]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        column->addWidget(statusLabels[i]);
    }
    column->addStretch(1);
    facts->setFixedHeight(4 * facts->fontMetrics().lineSpacing());
    bar->addWidget(facts, 1);
}

QColor OrvelloView::errorColour()
{
    return QColor(200, 0, 0);
}

void OrvelloView::showStatus(const QList<StatusFact> &facts)
{
    for (int i = 0; i < StatusFact::TopicCount; ++i) {
        QLabel *label = statusLabels[i];
        if (!label)
            continue;
        const auto fact = std::find_if(facts.begin(), facts.end(),
                                       [i](const StatusFact &f) { return f.topic == i; });
        // An absent fact takes no line, so the ones shown sit together at the top.
        label->setVisible(fact != facts.end());
        if (fact == facts.end()) {
            label->clear();
            continue;
        }
        label->setText(fact->text);
        QPalette palette = label->parentWidget()->palette();
        if (fact->failure)
            palette.setColor(QPalette::WindowText, errorColour());
        label->setPalette(palette);
    }
}

void OrvelloView::buildActions(QMainWindow *window)
{
    actionNew =
        makeAction(window, Orvello::tr("New Settings"), QKeySequence(Qt::CTRL | Qt::Key_N),
                   Orvello::tr("Ctrl+N New Configuration"), ":/images/filenew.xpm", "action_new");
    actionImport = makeAction(
        window, Orvello::tr("Import Settings"), QKeySequence(Qt::CTRL | Qt::Key_L),
        Orvello::tr("Ctrl+L Import Configuration"), ":/images/fileopen.xpm", "action_import");
    actionExport = makeAction(
        window, Orvello::tr("Export Settings"), QKeySequence(Qt::CTRL | Qt::Key_S),
        Orvello::tr("Ctrl+S Export Configuration"), ":/images/filesave.xpm", "action_export");
    actionEdit =
        makeAction(window, Orvello::tr("Edit Configuration"), QKeySequence(Qt::CTRL | Qt::Key_E),
                   Orvello::tr("Ctrl+E Edit Configuration"), ":/images/edit.xpm", "action_edit");
    actionCheckUpdate =
        makeAction(window, Orvello::tr("Check for Updates"), QKeySequence(Qt::CTRL | Qt::Key_U),
                   Orvello::tr("checks if a newer software version is available online"),
                   ":/images/check_update.xpm", "action_check_update");
    actionHelp = makeAction(window, Orvello::tr("Help..."), QKeySequence(Qt::Key_F1),
                            Orvello::tr("opens the Help"), ":/images/helpHelp.xpm", "action_help");
    actionAbout =
        makeAction(window, Orvello::tr("About %1...").arg(QLatin1String(Version::ProductName)),
                   QKeySequence(), Orvello::tr("opens the About window"), nullptr, "action_about");
    actionAboutQt =
        makeAction(window, Orvello::tr("About Qt..."), QKeySequence(),
                   Orvello::tr("opens the About Qt window"), nullptr, "action_about_qt");
    actionQuit = makeAction(window, Orvello::tr("Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q),
                            QString(), ":/images/off.xpm", "action_quit");
    actionQuit->setToolTip(Orvello::tr("exits this software"));

    menu = new QMenu(window);
    const QList<QAction *> all{actionNew,   actionImport,      actionExport,
                               actionEdit,  actionCheckUpdate, actionHelp,
                               actionAbout, actionAboutQt,     actionQuit};
    menu->addActions(all);
    // Added to the window too, so their shortcuts work wherever the focus is.
    window->addActions(all);
}

QWidget *OrvelloView::buildCentral(QMainWindow *window, bool useLcd)
{
    auto *central = new QWidget(window);
    auto *column = new QVBoxLayout(central);

    if (useLcd) {
        lcd = new QLCDNumber(11, central);
        lcd->setObjectName(QStringLiteral("display"));
        lcd->setSegmentStyle(QLCDNumber::Flat);
        lcd->setFrameShape(QFrame::NoFrame);
        lcd->display(m_shownText);
        column->addWidget(lcd, 2);
    } else {
        label = new CodeDisplay(m_shownText, central);
        label->setObjectName(QStringLiteral("display"));
        label->setFont(QFont(label->font().family(), DisplayPointSize, QFont::Bold));
        // Pinned at the 22-point size: the fitted font grows with the window
        // and must not raise the window's minimum, or it could never shrink back.
        label->setMinimumSize(label->minimumSizeHint());
        column->addWidget(label, 2);
    }

    formatGroup = new QButtonGroup(central);
    formatGroup->setExclusive(true);
    auto *formats = new QHBoxLayout;
    fps24 = makeFormat(central, formatGroup, Orvello::tr("24 FPS"), Frame24,
                       QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_1),
                       Orvello::tr("Ctrl+Alt+1 - sending with 24 frames"));
    fps25 = makeFormat(central, formatGroup, Orvello::tr("25 FPS"), Frame25,
                       QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_2),
                       Orvello::tr("Ctrl+Alt+2 - sending with 25 frames"));
    fps30Drop = makeFormat(central, formatGroup, Orvello::tr("30 Drop"), Frame30Drop,
                           QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_3),
                           Orvello::tr("Ctrl+Alt+3 - sending with 30 dropped frames"));
    fps30 = makeFormat(central, formatGroup, Orvello::tr("30 FPS"), Frame30,
                       QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_4),
                       Orvello::tr("Ctrl+Alt+4 - sending with 30 frames"));
    for (QRadioButton *radio : {fps24, fps25, fps30Drop, fps30})
        formats->addWidget(radio);
    column->addLayout(formats);

    auto *transport = new QHBoxLayout;
    resetButton = makeButton(central, ":/images/reset.xpm", QKeySequence(Qt::CTRL | Qt::Key_R),
                             Orvello::tr("Ctrl+R - resets the Start Code"), "reset");
    freezeButton =
        makeButton(central, ":/images/freeze.xpm", QKeySequence(Qt::CTRL | Qt::Key_F),
                   Orvello::tr("Ctrl+F - freezes the System Time or Start Code"), "freeze", true);
    playPauseButton =
        makeButton(central, ":/images/play.xpm", QKeySequence(Qt::Key_Space),
                   Orvello::tr("Space Key - starts/pauses the Start Code"), "play_pause", true);
    settingsButton = makeButton(central, ":/images/edit.xpm", QKeySequence(),
                                Orvello::tr("Ctrl+E - opens the settings window"), "settings");
    settingsButton->addAction(actionEdit);
    // Return on the focused play button acts like its Space: once, at the press.
    for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto *shortcut = new QShortcut(QKeySequence(key), playPauseButton);
        shortcut->setContext(Qt::WidgetShortcut);
        shortcut->setAutoRepeat(false);
        QObject::connect(shortcut, &QShortcut::activated, playPauseButton, &QAbstractButton::click);
    }
    for (QPushButton *button : {resetButton, freezeButton, playPauseButton, settingsButton})
        transport->addWidget(button);
    column->addLayout(transport);

    auto *firstRow = new QHBoxLayout;
    systemTimeButton = makeButton(central, ":/images/clock.xpm", QKeySequence(Qt::CTRL | Qt::Key_0),
                                  Orvello::tr("Ctrl+0 - initializes Systemtime"), "place_0");
    limitSize(systemTimeButton, central);
    firstRow->addWidget(systemTimeButton);
    auto *secondRow = new QHBoxLayout;
    for (int i = 0; i < PlaceButtons; ++i) {
        const int number = i + 1;
        auto *button = new QPushButton(QString::number(number), central);
        button->setObjectName(QStringLiteral("place_%1").arg(number));
        bindKey(button, QKeySequence(Qt::CTRL | (Qt::Key_0 + number)));
        button->setToolTip(Orvello::tr("Ctrl+%1 - initializes Start Code %1").arg(number));
        limitSize(button, central);
        placeButtons[i] = button;
        (number <= 4 ? firstRow : secondRow)->addWidget(button);
    }
    column->addLayout(firstRow);
    column->addLayout(secondRow);

    versionLabel = new QLabel(Orvello::tr("%1 %2").arg(QLatin1String(Version::ProductName),
                                                       CommandLineParser::versionText()),
                              central);
    versionLabel->setObjectName(QStringLiteral("version"));
    versionLabel->setAlignment(Qt::AlignCenter);
    column->addWidget(versionLabel);

    linkLabel = new QLabel(updateLinkText(), central);
    linkLabel->setObjectName(QStringLiteral("link"));
    linkLabel->setAlignment(Qt::AlignCenter);
    linkLabel->setTextFormat(Qt::RichText);
    linkLabel->setOpenExternalLinks(true);
    linkLabel->setToolTip(
        Orvello::tr("Visit the homepage to access software updates and the help."));
    column->addWidget(linkLabel);
    return central;
}

void OrvelloView::checkFormat(int format)
{
    if (QAbstractButton *button = formatGroup ? formatGroup->button(format) : nullptr)
        button->setChecked(true);
}

void OrvelloView::showPlayPause(bool paused)
{
    if (!playPauseButton)
        return;
    playPauseButton->setIcon(
        QIcon(paused ? QStringLiteral(":/images/play.xpm") : QStringLiteral(":/images/pause.xpm")));
    playPauseButton->setChecked(paused);
}

// Runs once per frame on the window's thread: digits appended by hand, with
// none of the allocations and translation look-ups of a formatted string.
QString OrvelloView::codeText(quint8 hour, quint8 minute, quint8 second, quint8 frame)
{
    QString text;
    text.reserve(11);
    for (const quint8 v : {hour, minute, second, frame}) {
        if (!text.isEmpty())
            text += u':';
        if (v >= 100)
            text += QChar(u'0' + v / 100);
        text += QChar(u'0' + v / 10 % 10); // a single digit gets its leading zero
        text += QChar(u'0' + v % 10);
    }
    return text;
}

void OrvelloView::showCode(quint8 hour, quint8 minute, quint8 second, quint8 frame)
{
    m_shownText = codeText(hour, minute, second, frame);
    if (label)
        label->setText(m_shownText);
    else if (lcd)
        lcd->display(m_shownText);
}

QString OrvelloView::displayText() const
{
    // QLCDNumber keeps no text of its own, so the last one shown is kept here.
    return m_shownText;
}

QWidget *OrvelloView::display() const
{
    if (label)
        return label;
    return lcd;
}

void OrvelloView::setDisplayShown(bool shown)
{
    if (QWidget *widget = display())
        widget->setEnabled(shown);
}

int OrvelloView::fittingFontSize(const QFont &base, const QString &text, const QSize &size)
{
    const int maxHeight = (2 * size.height()) / 3;
    const int maxWidth = (2 * size.width()) / 3;
    for (int n = DisplayPointSize + 1; n < FontSearchLimit; ++n) {
        const QFontMetrics metrics(QFont(base.family(), n, QFont::Bold));
        if (metrics.height() >= maxHeight || metrics.horizontalAdvance(text) >= maxWidth)
            return n - 1;
    }
    return DisplayPointSize;
}

void OrvelloView::fitDisplayFont()
{
    if (!label)
        return;
    const int size = fittingFontSize(label->font(), label->text(), label->size());
    label->setFont(QFont(label->font().family(), size, QFont::Bold));
}

void OrvelloView::takeNormalColour()
{
    if (settingsButton)
        normalColour = settingsButton->palette().color(QPalette::Window);
}

QString OrvelloView::placeToolTip(int number, const SettingStructItem &place)
{
    QString tip = Orvello::tr("Ctrl+%1").arg(number) + Orvello::tr(" - Start Code %1:%2:%3")
                                                           .arg(twoDigits(place.StartHour),
                                                                twoDigits(place.StartMinute),
                                                                twoDigits(place.StartSecond));
    if (place.hasEndCode()) {
        tip += Orvello::tr(" - Stop Code %1:%2:%3")
                   .arg(twoDigits(place.EndHour), twoDigits(place.EndMinute),
                        twoDigits(place.EndSecond));
        if (place.ExitAtEnd)
            tip += Orvello::tr(" - and exits software");
    }
    return tip;
}

QString OrvelloView::placeIconPath(const SettingStructItem &place)
{
    if (place.hasStartCode() && place.hasEndCode())
        return QStringLiteral(":/images/timecode_start_end.xpm");
    if (place.hasStartCode())
        return QStringLiteral(":/images/timecode_start.xpm");
    if (place.hasEndCode())
        return QStringLiteral(":/images/timecode_end.xpm");
    return QString();
}

QColor OrvelloView::placeColour(const SettingStructItem &place, bool selected, const QColor &normal)
{
    if (selected)
        return Selected;
    if (place.hasStartCode() && place.hasEndCode())
        return StartAndEnd;
    if (place.hasStartCode())
        return StartOnly;
    if (place.hasEndCode())
        return EndOnly;
    return normal;
}

void OrvelloView::updatePlaceButtons(const SettingStruct &settings)
{
    for (int i = 0; i < PlaceButtons; ++i) {
        if (!placeButtons[i])
            continue;
        placeButtons[i]->setToolTip(placeToolTip(i + 1, settings.places[i]));
        const QString icon = placeIconPath(settings.places[i]);
        placeButtons[i]->setIcon(icon.isEmpty() ? QIcon() : QIcon(icon));
    }
}

void OrvelloView::colourPlaceButtons(const SettingStruct &settings, int selected)
{
    setButtonColour(systemTimeButton, selected == Place::SystemTime ? Selected : normalColour);
    for (int i = 0; i < PlaceButtons; ++i)
        setButtonColour(placeButtons[i],
                        placeColour(settings.places[i], selected == i, normalColour));
}
