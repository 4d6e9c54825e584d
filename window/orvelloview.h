#pragma once

#include "placebutton.h"
#include "statusfacts.h"
#include "timecode.h"
#include "transportstate.h"

#include <QColor>
#include <QKeySequence>
#include <QList>
#include <QString>

#include <utility>

class QAction;
class QAbstractButton;
class QButtonGroup;
class CodeDisplay;
class StatusFactsView;
class QFont;
class QLabel;
class LcdDisplay;
class QMainWindow;
class QMenu;
class QPushButton;
class QRadioButton;
class QSize;
class QWidget;
struct SettingStruct;

// The main window's controls: builds them into the window and knows how they
// look (texts, icons, colours, the display). What they do is the window's job.
// Every widget is a child of the window, which deletes them.
class OrvelloView
{
public:
    static constexpr int PlaceButtons = 9;

    // Actions and menu first, then the controls, the display and the place buttons.
    void build(QMainWindow *window, bool useLcd);

    // Checks the frame-format selector of a format 0..3; others check nothing.
    void checkFormat(int format);
    void showPlayPause(bool paused);
    // One label per topic on the status line; a topic not in `facts` is blank.
    void showStatus(const QList<StatusFact> &facts);
    static QColor errorColour();
    // The state and the source in words beside the display.
    void showTransport(const TransportState &transport);

    // `dropFrame` shows the ";" of true drop-frame labels before the frames.
    void showCode(quint8 hour, quint8 minute, quint8 second, quint8 frame, bool dropFrame = false);
    QString displayText() const;
    QWidget *display() const;
    void setDisplayShown(bool shown);
    // Label display only: the largest bold font that leaves a third of the
    // label free in height and width.
    void fitDisplayFont();

    // Remembers the settings button's window colour as the unselected colour.
    void takeNormalColour();
    void updatePlaceButtons(const SettingStruct &settings);
    // selected: -3 system time, 0..8 places 1..9, -1 none.
    void colourPlaceButtons(const SettingStruct &settings, int selected);
    // Green while the followed clock is locked, amber while it freewheels,
    // red with no input; the tip says which clock.
    void colourFollowButton(bool selected, FollowTracker::State state, const QString &text);

    static QString codeText(quint8 hour, quint8 minute, quint8 second, quint8 frame,
                            bool dropFrame = false);
    // number: 1..9
    static QString placeToolTip(int number, const SettingStructItem &place);
    static QString placeIconPath(const SettingStructItem &place);
    static QColor placeColour(const SettingStructItem &place, bool selected, const QColor &normal);
    // Font size by the fitting rule for a label of `size` showing `text`.
    static int fittingFontSize(const QFont &base, const QString &text, const QSize &size);

    QAction *actionNew = nullptr;
    QAction *actionImport = nullptr;
    QAction *actionExport = nullptr;
    QAction *actionEdit = nullptr;
    QAction *actionCheckUpdate = nullptr;
    QAction *actionHelp = nullptr;
    QAction *actionAbout = nullptr;
    QAction *actionAboutQt = nullptr;
    QAction *actionQuit = nullptr;
    QAction *actionFullscreen = nullptr;
    QMenu *menu = nullptr;

    QButtonGroup *formatGroup = nullptr;
    QRadioButton *fps24 = nullptr;
    QRadioButton *fps25 = nullptr;
    QRadioButton *fps30Drop = nullptr;
    QRadioButton *fps30 = nullptr;

    QPushButton *resetButton = nullptr;
    QPushButton *freezeButton = nullptr;
    QPushButton *playPauseButton = nullptr;
    QPushButton *settingsButton = nullptr;
    PlaceButton *systemTimeButton = nullptr;
    PlaceButton *placeButtons[PlaceButtons] = {};
    PlaceButton *followButton = nullptr;

    CodeDisplay *label = nullptr;
    LcdDisplay *lcd = nullptr;
    QLabel *versionLabel = nullptr;
    QLabel *linkLabel = nullptr;
    // "RUNNING" and "Place 3  01:00:00 to 01:20:00" beneath the display.
    QLabel *stateLabel = nullptr;
    QLabel *sourceLabel = nullptr;
    StatusFactsView *statusFacts = nullptr;
    // Art-Net, MIDI and another source, in StatusFact::Topic order.
    QLabel *statusLabels[StatusFact::TopicCount] = {};

    // Every key that clicks a control, so another window can lend them.
    QList<std::pair<QKeySequence, QAbstractButton *>> keyBindings;

    QColor normalColour;

private:
    QString m_shownText;

    void buildActions(QMainWindow *window);
    QWidget *buildCentral(QMainWindow *window, bool useLcd);
    void buildStatusLine(QMainWindow *window);
    void bindKey(QAbstractButton *button, const QKeySequence &key);
    QPushButton *makeButton(QWidget *parent, const char *icon, const QKeySequence &shortcut,
                            const QString &toolTip, const QString &name, const char *objectName,
                            bool checkable = false);
    QRadioButton *makeFormat(QWidget *parent, const QString &text, int format,
                             const QKeySequence &shortcut, const QString &toolTip);
    // Names for screen readers, a visible focus ring and Return pressing
    // the focused control, for every control of the window.
    void makeOperable(QMainWindow *window);
};

// The update page the link label points at, as an HTML anchor.
QString updateLinkText();
