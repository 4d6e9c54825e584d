#include "orvello.h"

#include "timecodecalculator.h"
#include "version.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace
{
constexpr int BlinkPausedMs = 400;
constexpr int BlinkFrozenMs = 200;
// Stop requests are queued to the workers; this bounds how long the window's
// destruction waits for their threads before the application goes away.
constexpr int ThreadWaitMs = 2000;
} // namespace

Orvello::Orvello(const QStringList &arguments, QWidget *parent)
    : QMainWindow(parent), m_options(CommandLineParser::parse(arguments)), m_generator(m_options)
{
    m_updateLink = updateLinkText();

    m_keys.load();
    m_paused = true;
    m_frozen = false;

    setWindowTitle(tr("Orvello"));
    m_view.build(this, m_keys.UseLcd);
    m_view.checkFormat(m_keys.FrameFormat);
    m_view.updatePlaceButtons(settings());
    connectControls();
    setWindowIcon(QIcon(QStringLiteral(":/images/artnetorvello.png")));

    if (!m_options.noupdatecheck)
        CheckForSoftwareUpdate(false);

    m_view.takeNormalColour();
    m_view.colourPlaceButtons(settings(), -1);

    connectGenerator();
    m_generator.start(startFormat());
    applyCommandLine();

    // Settle the size constraints while no native window exists yet; set
    // later, they are pushed to the platform window, which some platform
    // plugins answer with a warning.
    layout()->activate();
}

Orvello::~Orvello()
{
    closeSettingsWindow();
    releaseAboutWindow();
    stopWorkers();
    // Update checker: released here once it exists.
    m_generator.waitForWorkers(ThreadWaitMs);
    m_keys.save();
}

void Orvello::connectControls()
{
    connect(m_view.actionNew, &QAction::triggered, this, &Orvello::slotSettingsNew);
    connect(m_view.actionImport, &QAction::triggered, this, &Orvello::slotSettingsImport);
    connect(m_view.actionExport, &QAction::triggered, this, &Orvello::slotSettingsExport);
    connect(m_view.actionEdit, &QAction::triggered, this, &Orvello::slotSettingsEdit);
    connect(m_view.actionCheckUpdate, &QAction::triggered, this,
            qOverload<>(&Orvello::CheckForSoftwareUpdate));
    connect(m_view.actionHelp, &QAction::triggered, this, &Orvello::slotHelp);
    connect(m_view.actionAbout, &QAction::triggered, this, &Orvello::slotAbout);
    connect(m_view.actionAboutQt, &QAction::triggered, qApp, &QApplication::aboutQt);
    connect(m_view.actionQuit, &QAction::triggered, qApp, &QCoreApplication::quit);

    connect(m_view.settingsButton, &QPushButton::clicked, this, &Orvello::slotSettingsEdit);
    connect(m_view.systemTimeButton, &QPushButton::clicked, this, &Orvello::slotClickedFile0);
    void (Orvello::*const places[OrvelloView::PlaceButtons])() = {
        &Orvello::slotClickedFile1, &Orvello::slotClickedFile2, &Orvello::slotClickedFile3,
        &Orvello::slotClickedFile4, &Orvello::slotClickedFile5, &Orvello::slotClickedFile6,
        &Orvello::slotClickedFile7, &Orvello::slotClickedFile8, &Orvello::slotClickedFile9};
    for (int i = 0; i < OrvelloView::PlaceButtons; ++i)
        connect(m_view.placeButtons[i], &QPushButton::clicked, this, places[i]);

    Generator *generator = &m_generator;
    connect(m_view.playPauseButton, &QPushButton::clicked, generator,
            &Generator::slotChangedPlayPause);
    connect(m_view.freezeButton, &QPushButton::clicked, generator, &Generator::slotChangedFreeze);
    connect(m_view.resetButton, &QPushButton::clicked, generator, &Generator::slotChangedTimeReset);
    const std::pair<QRadioButton *, TimeCodeFormat> formats[] = {{m_view.fps24, Frame24},
                                                                 {m_view.fps25, Frame25},
                                                                 {m_view.fps30Drop, Frame30Drop},
                                                                 {m_view.fps30, Frame30}};
    for (const auto &[button, format] : formats)
        connect(button, &QRadioButton::clicked, generator,
                [generator, format = format]() { generator->slotChangedFrames(format); });
}

// What the calculator reports reaches the window through the generator.
void Orvello::connectGenerator()
{
    Generator *generator = &m_generator;
    connect(generator, &Generator::signalChangedFreeze, this, &Orvello::slotBlinkTimecode);
    connect(generator, &Generator::signalChangedPlayPause, this, &Orvello::slotBlinkTimecode);
    connect(generator, &Generator::signalChangedPlayPause, this, &Orvello::slotChangedPlayPause);
    connect(generator, &Generator::signalChangedFile, this, &Orvello::slotChangedFile);
    connect(generator, &Generator::signalArtnetCheckDmxIn, this, &Orvello::slotArtnetCheckDmxIn);
    connect(generator, &Generator::signalSendTimecodeTimeOut, this,
            &Orvello::slotSendTimecodeTimeOut);
    connect(generator, &Generator::signalChangedTimeReset, this, &Orvello::slotChangedTimeReset);
    connect(generator, &Generator::signalClose, this, &QWidget::close);
}

int Orvello::startFormat() const
{
    const int format = m_options.formatPresent ? m_options.format : m_keys.FrameFormat;
    return format >= Frame24 && format <= Frame30 ? format : -1;
}

void Orvello::applyCommandLine()
{
    if (m_options.formatPresent)
        m_view.checkFormat(m_options.format);
    if (m_options.placePresent)
        slotClickedFile(m_options.place);
    // The protocol options were put into the record before the workers were wired.
}

void Orvello::closeSettingsWindow()
{
    // Settings window: closed and released here once it exists.
}

void Orvello::releaseAboutWindow()
{
    // About window: hidden and released here once it exists.
}

void Orvello::stopWorkers()
{
    // The all-ports name is what gets saved with the window's keys at exit.
    m_generator.stop(&m_keys.MidiInterfaceName);
}

void Orvello::refreshPlaceButtons(int selected)
{
    m_view.colourPlaceButtons(settings(), selected);
}

void Orvello::applySettings()
{
    m_generator.apply();
    m_view.updatePlaceButtons(settings());
    refreshPlaceButtons(-1);
}

void Orvello::closeEvent(QCloseEvent *event)
{
    closeSettingsWindow();
    releaseAboutWindow();
    stopWorkers();
    // Update checker: deleteLater() here once it exists.
    event->accept();
}

void Orvello::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_view.fitDisplayFont();
}

void Orvello::contextMenuEvent(QContextMenuEvent *event)
{
    m_view.menu->popup(event->globalPos());
    event->accept();
}

void Orvello::slotBlinkTimecode(bool bPause, bool bFreeze)
{
    m_paused = bPause;
    m_frozen = bFreeze;
    if (!m_blinkTimer) {
        m_blinkTimer = new QTimer(this);
        m_blinkTimer->setObjectName(QStringLiteral("blink"));
        connect(m_blinkTimer, &QTimer::timeout, this, qOverload<>(&Orvello::slotBlinkingTimecode));
    }
    if (bFreeze) {
        m_blinkTimer->start(BlinkFrozenMs);
    } else if (bPause) {
        m_blinkTimer->start(BlinkPausedMs);
    } else {
        m_blinkTimer->stop();
        slotBlinkingTimecode(true);
    }
}

void Orvello::slotBlinkingTimecode(bool ForceEnable)
{
    m_displayShown = ForceEnable ? true : !m_displayShown;
    m_view.setDisplayShown(m_displayShown);
}

void Orvello::slotBlinkingTimecode()
{
    slotBlinkingTimecode(false);
}

void Orvello::slotSendTimecodeTimeOut(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame,
                                      quint8 Type)
{
    Q_UNUSED(Type)
    m_view.showCode(Hour, Minute, Seconds, Frame);
}

void Orvello::slotMessageUpdateCheckMessage(QString sMessageUpdateInfo)
{
    // Shown by the update check once it exists.
    Q_UNUSED(sMessageUpdateInfo)
}

void Orvello::slotArtnetCheckDmxIn()
{
    // Reads the Art-Net node's DMX input; without a node there is nothing to read.
}

void Orvello::slotChangedTimeReset()
{
    refreshPlaceButtons(-1);
}

void Orvello::slotChangedPlayPause(bool bPause)
{
    m_paused = bPause;
    m_view.showPlayPause(bPause);
}

void Orvello::CheckForSoftwareUpdate(bool GiveInfoForNoUpdates)
{
    // The update checker is started here once it exists.
    Q_UNUSED(GiveInfoForNoUpdates)
}

void Orvello::CheckForSoftwareUpdate()
{
    CheckForSoftwareUpdate(true);
}

void Orvello::slotHelp()
{
    // The help window is opened here once it exists.
}

void Orvello::slotAbout()
{
    // The about window is opened here once it exists.
}

void Orvello::slotSettingsNew()
{
    settings().setDefaults();
    // Playlist scheduler: clearItems() here; its enabled flag stays.
}

void Orvello::slotSettingsImport()
{
    // The configuration file import runs here once it exists.
}

void Orvello::slotSettingsExport()
{
    // The configuration file export runs here once it exists.
}

void Orvello::slotSettingsEdit()
{
    // The settings window is opened here once it exists.
}

void Orvello::slotSettingsChanged()
{
    applySettings();
    closeSettingsWindow();
}

void Orvello::slotSettingsChangedCancel()
{
    closeSettingsWindow();
}

void Orvello::slotSettingsChangedToDefaultExtern()
{
    SettingStruct::eraseStore();
    settings().setDefaults();
    // Playlist scheduler: its enabled flag is cleared here.
    m_view.updatePlaceButtons(settings());
    refreshPlaceButtons(-1);
    closeSettingsWindow();
    applySettings();
    m_view.updatePlaceButtons(settings());
    refreshPlaceButtons(-1);
    releaseAboutWindow();
}

void Orvello::slotActivatedPlaylistItem(int iPlace)
{
    if (iPlace == -3)
        slotClickedFile(Place::SystemTime);
    else if (iPlace == -2)
        close();
    else if (iPlace >= 1)
        slotClickedFile(iPlace - 1);
}

void Orvello::slotClickedFile0()
{
    slotClickedFile(Place::SystemTime);
}
void Orvello::slotClickedFile1()
{
    slotClickedFile(0);
}
void Orvello::slotClickedFile2()
{
    slotClickedFile(1);
}
void Orvello::slotClickedFile3()
{
    slotClickedFile(2);
}
void Orvello::slotClickedFile4()
{
    slotClickedFile(3);
}
void Orvello::slotClickedFile5()
{
    slotClickedFile(4);
}
void Orvello::slotClickedFile6()
{
    slotClickedFile(5);
}
void Orvello::slotClickedFile7()
{
    slotClickedFile(6);
}
void Orvello::slotClickedFile8()
{
    slotClickedFile(7);
}
void Orvello::slotClickedFile9()
{
    slotClickedFile(8);
}

void Orvello::slotClickedFile(int iFileNumber)
{
    m_generator.slotClickedFile(iFileNumber);
}

void Orvello::slotChangedFile(int iFileNumber)
{
    if (iFileNumber == Place::SystemTime || Place::isStoredPlace(iFileNumber))
        refreshPlaceButtons(iFileNumber);
}
