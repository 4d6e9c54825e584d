#include "orvelloview.h"

#include "codedisplay.h"
#include "commandlineoptions.h"
#include "keyboardaccess.h"
#include "lcddisplay.h"
#include "operatorwords.h"
#include "orvello.h"
#include "settingstruct.h"
#include "statusfactsview.h"
#include "updateserver.h"
#include "version.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QHBoxLayout>
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
const QColor Freewheeling(255, 200, 0);
const QColor NoInput(255, 80, 80);

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

// A button's own shortcut clicks it by its animation, about 100 ms after the
// key, and moves the focus to it; on a push button the key's release then
// clicks it a second time. So the key is a window shortcut of its own that
// clicks the button at the press, without the animation or a focus change.
// It is the button's child, so it is found with the button and goes with it.
void OrvelloView::bindKey(QAbstractButton *button, const QKeySequence &key)
{
    auto *shortcut = new QShortcut(key, button);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(false);
    QObject::connect(shortcut, &QShortcut::activated, button, &QAbstractButton::click);
    keyBindings.append({key, button});
}

// `name` is what a screen reader says for a button that shows only an icon;
// its tool tip is the longer description.
QPushButton *OrvelloView::makeButton(QWidget *parent, const char *icon,
                                     const QKeySequence &shortcut, const QString &toolTip,
                                     const QString &name, const char *objectName, bool checkable)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QLatin1String(objectName));
    button->setIcon(QIcon(QLatin1String(icon)));
    if (!shortcut.isEmpty())
        bindKey(button, shortcut);
    button->setToolTip(toolTip);
    button->setAccessibleName(name);
    button->setCheckable(checkable);
    return button;
}

QRadioButton *OrvelloView::makeFormat(QWidget *parent, const QString &text, int format,
                                      const QKeySequence &shortcut, const QString &toolTip)
{
    auto *radio = new QRadioButton(text, parent);
    radio->setObjectName(QStringLiteral("format_%1").arg(format));
    bindKey(radio, shortcut);
    radio->setToolTip(toolTip);
    formatGroup->addButton(radio, format);
    return radio;
}

void OrvelloView::build(QMainWindow *window, bool useLcd)
{
    m_shownText = QStringLiteral("--:--:--:--");
    buildActions(window);
    window->setCentralWidget(buildCentral(window, useLcd));
    buildStatusLine(window);
    makeOperable(window);
}

void OrvelloView::makeOperable(QMainWindow *window)
{
    // Made after every control, so the window deletes it after them.
    auto *style = new FocusRingStyle;
    style->setParent(window);
    auto *returnPresses = new ReturnPresses(window);
    for (QAbstractButton *button : window->centralWidget()->findChildren<QAbstractButton *>()) {
        button->setStyle(style);
        returnPresses->watch(button);
    }
    // The link is a control too: Tab reaches it and Return opens it.
    linkLabel->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    linkLabel->setAccessibleName(Orvello::tr("Homepage"));
    // A label draws no focus of its own: the same ring as the buttons', with
    // a clear border of the same width so the text does not move.
    linkLabel->setStyleSheet(QStringLiteral("QLabel { border: %1px solid transparent; }"
                                            "QLabel:focus { border-color: palette(highlight); }")
                                 .arg(FocusRingStyle::RingWidth));
    linkLabel->setAccessibleDescription(linkLabel->toolTip());
}

// The status bar also shows the actions' status tips, which QMainWindow routes
// there by itself; a tip covers the labels only while it is shown.
void OrvelloView::buildStatusLine(QMainWindow *window)
{
    QStatusBar *bar = window->statusBar();
    bar->setSizeGripEnabled(false);
    statusFacts = new StatusFactsView(bar);
    for (int i = 0; i < StatusFact::TopicCount; ++i)
        statusLabels[i] = statusFacts->label(i);
    bar->addWidget(statusFacts, 1);
}

QColor OrvelloView::errorColour()
{
    return StatusFactsView::errorColour();
}

void OrvelloView::showStatus(const QList<StatusFact> &facts)
{
    if (statusFacts)
        statusFacts->showFacts(facts);
}

void OrvelloView::showTransport(const TransportState &transport)
{
    if (!stateLabel || !sourceLabel)
        return;
    stateLabel->setText(OperatorWords::state(transport));
    QPalette palette = stateLabel->parentWidget()->palette();
    if (transport.run() != TransportState::Run::Running)
        palette.setColor(QPalette::WindowText, errorColour());
    stateLabel->setPalette(palette);
    sourceLabel->setText(OperatorWords::source(transport));
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
    actionFullscreen =
        makeAction(window, Orvello::tr("Fullscreen Clock"), QKeySequence(Qt::Key_F11),
                   Orvello::tr("F11 shows the code across the whole screen; F11 or Escape returns"),
                   nullptr, "action_fullscreen");
    actionFullscreen->setCheckable(true);

    menu = new QMenu(window);
    const QList<QAction *> all{actionNew,   actionImport,      actionExport,
                               actionEdit,  actionCheckUpdate, actionHelp,
                               actionAbout, actionAboutQt,     actionQuit};
    // The clock heads the menu, apart from the settings and program actions,
    // so the operator finds it first in the dark.
    menu->addAction(actionFullscreen);
    menu->addSeparator();
    menu->addActions(all);
    // Added to the window too, so their shortcuts work wherever the focus is.
    window->addActions(all);
    window->addAction(actionFullscreen);
}

QWidget *OrvelloView::buildCentral(QMainWindow *window, bool useLcd)
{
    auto *central = new QWidget(window);
    auto *column = new QVBoxLayout(central);

    if (useLcd) {
        lcd = new LcdDisplay(11, m_shownText, central);
        lcd->setObjectName(QStringLiteral("display"));
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
    display()->setAccessibleName(Orvello::tr("Timecode"));

    // What runs, in words, right under the code: it stays readable when a
    // reset or applied settings take the green from the place buttons.
    auto *words = new QHBoxLayout;
    words->addStretch(1);
    stateLabel = new QLabel(central);
    stateLabel->setObjectName(QStringLiteral("transport_state"));
    QFont bold = stateLabel->font();
    bold.setBold(true);
    stateLabel->setFont(bold);
    sourceLabel = new QLabel(central);
    sourceLabel->setObjectName(QStringLiteral("transport_source"));
    sourceLabel->setWordWrap(true);
    // Room for two lines whatever the words: the window's least height does
    // not count a wrapped second line, which was then laid over the code
    // display's lower edge (and repainted with every code).
    sourceLabel->setMinimumHeight(2 * sourceLabel->fontMetrics().lineSpacing());
    words->addWidget(stateLabel);
    words->addWidget(sourceLabel);
    words->addStretch(1);
    column->addLayout(words);

    formatGroup = new QButtonGroup(central);
    formatGroup->setExclusive(true);
    auto *formats = new QHBoxLayout;
    fps24 = makeFormat(central, Orvello::tr("24 FPS"), Frame24,
                       QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_1),
                       Orvello::tr("Ctrl+Alt+1 - sending with 24 frames"));
    fps25 = makeFormat(central, Orvello::tr("25 FPS"), Frame25,
                       QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_2),
                       Orvello::tr("Ctrl+Alt+2 - sending with 25 frames"));
    fps30Drop = makeFormat(central, Orvello::tr("30 Drop"), Frame30Drop,
                           QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_3),
                           Orvello::tr("Ctrl+Alt+3 - sending with 30 dropped frames"));
    fps30 = makeFormat(central, Orvello::tr("30 FPS"), Frame30,
                       QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_4),
                       Orvello::tr("Ctrl+Alt+4 - sending with 30 frames"));
    for (QRadioButton *radio : {fps24, fps25, fps30Drop, fps30})
        formats->addWidget(radio);
    column->addLayout(formats);

    auto *transport = new QHBoxLayout;
    resetButton =
        makeButton(central, ":/images/reset.xpm", QKeySequence(Qt::CTRL | Qt::Key_R),
                   Orvello::tr("Ctrl+R - resets the Start Code"), Orvello::tr("Reset"), "reset");
    freezeButton = makeButton(central, ":/images/freeze.xpm", QKeySequence(Qt::CTRL | Qt::Key_F),
                              Orvello::tr("Ctrl+F - freezes the System Time or Start Code"),
                              Orvello::tr("Freeze"), "freeze", true);
    // Space is the window's key: it plays and pauses whatever has the focus.
    playPauseButton = makeButton(
        central, ":/images/play.xpm", QKeySequence(Qt::Key_Space),
        Orvello::tr("Space Key - starts/pauses the Start Code") + QLatin1Char('\n') +
            Orvello::tr("Space plays and pauses whichever control has the focus; Return or "
                        "Enter presses the focused button."),
        Orvello::tr("Play"), "play_pause", true);
    settingsButton = makeButton(central, ":/images/edit.xpm", QKeySequence(),
                                Orvello::tr("Ctrl+E - opens the settings window"),
                                Orvello::tr("Settings"), "settings");
    settingsButton->addAction(actionEdit);
    for (QPushButton *button : {resetButton, freezeButton, playPauseButton, settingsButton})
        transport->addWidget(button);
    column->addLayout(transport);

    auto *firstRow = new QHBoxLayout;
    systemTimeButton = new PlaceButton(central);
    systemTimeButton->setObjectName(QStringLiteral("place_0"));
    systemTimeButton->setIcon(QIcon(QStringLiteral(":/images/clock.xpm")));
    bindKey(systemTimeButton, QKeySequence(Qt::CTRL | Qt::Key_0));
    systemTimeButton->setToolTip(Orvello::tr("Ctrl+0 - initializes Systemtime"));
    systemTimeButton->setAccessibleName(Orvello::tr("System time"));
    limitSize(systemTimeButton, central);
    firstRow->addWidget(systemTimeButton);
    auto *secondRow = new QHBoxLayout;
    for (int i = 0; i < PlaceButtons; ++i) {
        const int number = i + 1;
        auto *button = new PlaceButton(QString::number(number), central);
        button->setObjectName(QStringLiteral("place_%1").arg(number));
        bindKey(button, QKeySequence(Qt::CTRL | (Qt::Key_0 + number)));
        button->setToolTip(Orvello::tr("Ctrl+%1 - initializes Start Code %1").arg(number));
        // "3" alone says little to a screen reader.
        button->setAccessibleName(Orvello::tr("Place %1").arg(number));
        limitSize(button, central);
        placeButtons[i] = button;
        (number <= 4 ? firstRow : secondRow)->addWidget(button);
    }
    // After the nine places: Ctrl+0..9 are taken by them and the system time.
    followButton = new PlaceButton(Orvello::tr("Follow"), central);
    followButton->setObjectName(QStringLiteral("follow"));
    bindKey(followButton, QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_0));
    followButton->setToolTip(Orvello::tr("Ctrl+Alt+0 - follows another clock"));
    limitSize(followButton, central);
    secondRow->addWidget(followButton);
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
    // Named for what a press does, as the icon shows.
    playPauseButton->setAccessibleName(paused ? Orvello::tr("Play") : Orvello::tr("Pause"));
    playPauseButton->setChecked(paused);
}

// Runs once per frame on the window's thread: digits appended by hand, with
// none of the allocations and translation look-ups of a formatted string.
QString OrvelloView::codeText(quint8 hour, quint8 minute, quint8 second, quint8 frame,
                              bool dropFrame)
{
    QString text;
    text.reserve(11);
    const quint8 fields[] = {hour, minute, second, frame};
    for (int i = 0; i < 4; ++i) {
        const quint8 v = fields[i];
        // Drop-frame labels are told apart by the separator before the frames.
        if (i > 0)
            text += dropFrame && i == 3 ? u';' : u':';
        if (v >= 100)
            text += QChar(u'0' + v / 100);
        text += QChar(u'0' + v / 10 % 10); // a single digit gets its leading zero
        text += QChar(u'0' + v % 10);
    }
    return text;
}

void OrvelloView::showCode(quint8 hour, quint8 minute, quint8 second, quint8 frame, bool dropFrame)
{
    m_shownText = codeText(hour, minute, second, frame, dropFrame);
    if (label)
        label->setText(m_shownText);
    else if (lcd)
        lcd->setText(m_shownText);
}

QString OrvelloView::displayText() const
{
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

void OrvelloView::colourFollowButton(bool selected, FollowTracker::State state, const QString &text)
{
    if (!followButton)
        return;
    QColor colour = normalColour;
    if (selected && state == FollowTracker::State::Locked)
        colour = Selected;
    else if (selected &&
             (state == FollowTracker::State::Freewheel || state == FollowTracker::State::RunOn))
        colour = Freewheeling;
    else if (selected)
        colour = NoInput;
    setButtonColour(followButton, colour);
    // The colour says locked, freewheeling or no input; the frame and the
    // description say it without colour.
    followButton->setSelected(selected);
    followButton->setAccessibleDescription(text);
    followButton->setToolTip(Orvello::tr("Ctrl+Alt+0 - follows another clock") +
                             (text.isEmpty() ? QString() : QStringLiteral("\n") + text));
}

void OrvelloView::colourPlaceButtons(const SettingStruct &settings, int selected)
{
    setButtonColour(systemTimeButton, selected == Place::SystemTime ? Selected : normalColour);
    if (systemTimeButton)
        systemTimeButton->setSelected(selected == Place::SystemTime);
    for (int i = 0; i < PlaceButtons; ++i) {
        setButtonColour(placeButtons[i],
                        placeColour(settings.places[i], selected == i, normalColour));
        if (placeButtons[i])
            placeButtons[i]->setSelected(selected == i);
    }
}
