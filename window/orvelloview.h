#pragma once

#include "statusfacts.h"
#include "timecode.h"

#include <QColor>
#include <QString>

class QAction;
class QButtonGroup;
class CodeDisplay;
class QFont;
class QLabel;
class QLCDNumber;
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

    void showCode(quint8 hour, quint8 minute, quint8 second, quint8 frame);
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

    static QString codeText(quint8 hour, quint8 minute, quint8 second, quint8 frame);
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
    QPushButton *systemTimeButton = nullptr;
    QPushButton *placeButtons[PlaceButtons] = {};
    QPushButton *followButton = nullptr;

    CodeDisplay *label = nullptr;
    QLCDNumber *lcd = nullptr;
    QLabel *versionLabel = nullptr;
    QLabel *linkLabel = nullptr;
    // Art-Net, MIDI and another source, in StatusFact::Topic order.
    QLabel *statusLabels[StatusFact::TopicCount] = {};

    QColor normalColour;

private:
    QString m_shownText;

    void buildActions(QMainWindow *window);
    QWidget *buildCentral(QMainWindow *window, bool useLcd);
    void buildStatusLine(QMainWindow *window);
};

// The update page the link label points at, as an HTML anchor.
QString updateLinkText();
