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

Orvello::Orvello(const QStringList &arguments, QWidget *parent) : QMainWindow(parent)
{
    m_options = CommandLineParser::parse(arguments);
    m_verbose = m_options.verbosePresent && m_options.verbose;
    m_updateLink = updateLinkText();

    m_settings.setDefaults();
    m_settings.loadFromStore();
    // The protocol options override the stored switches before any worker is
    // wired, so the outputs start as the command line asked.
    if (m_options.artnetPresent)
        m_settings.artnet_protocol_on = m_options.artnet;
    if (m_options.midiPresent)
        m_settings.midi_protocol_on = m_options.midi;

    m_keys.load();
    m_paused = true;
    m_frozen = false;

    setWindowTitle(tr("Orvello"));
    m_view.build(this, m_keys.UseLcd);
    m_view.checkFormat(m_keys.FrameFormat);
    m_view.updatePlaceButtons(m_settings);
    connectControls();
    setWindowIcon(QIcon(QStringLiteral(":/images/artnetorvello.png")));

    if (!m_options.noupdatecheck)
        CheckForSoftwareUpdate(false);

    m_view.takeNormalColour();
    m_view.colourPlaceButtons(m_settings, -1);

    createWorkers();
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
    m_threads.waitAll(ThreadWaitMs);
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
}

void Orvello::createWorkers()
{
    createArtnetNode();
    createMidiOutput();
    createCalculator();
    // Playlist scheduler: created last, with its thread at normal priority.
}

void Orvello::createCalculator()
{
    auto *calculator = new TimecodeCalculator;
    m_calculator = calculator;
    QThread *thread = m_threads.adopt(calculator);
    thread->setObjectName(QStringLiteral("calculator"));

    // adopt() already made destroyed -> quit and finished -> deleteLater.
    connect(thread, &QThread::started, calculator, &TimecodeCalculator::slotChangedTimeReset);
    connect(thread, &QThread::started, calculator, &TimecodeCalculator::slotStart);
    connect(calculator, &TimecodeCalculator::stoped, calculator, &QObject::deleteLater);
    connect(m_view.playPauseButton, &QPushButton::clicked, calculator,
            &TimecodeCalculator::slotChangedPlayPause);
    connect(m_view.freezeButton, &QPushButton::clicked, calculator,
            &TimecodeCalculator::slotChangedFreeze);
    connect(this, &Orvello::signalClickedFile, calculator, &TimecodeCalculator::slotChangedFile);
    connect(m_view.fps24, &QRadioButton::clicked, calculator,
            &TimecodeCalculator::slotChangedFrame24);
    connect(m_view.fps25, &QRadioButton::clicked, calculator,
            &TimecodeCalculator::slotChangedFrame25);
    connect(m_view.fps30, &QRadioButton::clicked, calculator,
            &TimecodeCalculator::slotChangedFrame30);
    connect(m_view.fps30Drop, &QRadioButton::clicked, calculator,
            &TimecodeCalculator::slotChangedFrame30Drop);
    connect(m_view.resetButton, &QPushButton::clicked, calculator,
            &TimecodeCalculator::slotChangedTimeReset);
    connect(calculator, &TimecodeCalculator::signalChangedFreeze, this,
            &Orvello::slotBlinkTimecode);
    connect(calculator, &TimecodeCalculator::signalChangedPlayPause, this,
            &Orvello::slotBlinkTimecode);
    connect(calculator, &TimecodeCalculator::signalChangedPlayPause, this,
            &Orvello::slotChangedPlayPause);
    connect(calculator, &TimecodeCalculator::signalChangedFile, this, &Orvello::slotChangedFile);
    connectArtnetOutput();
    connect(calculator, &TimecodeCalculator::signalArtnetCheckDmxIn, this,
            &Orvello::slotArtnetCheckDmxIn);
    connectMidiOutput();
    connect(calculator, &TimecodeCalculator::signalSendTimecodeTimeOut, this,
            &Orvello::slotSendTimecodeTimeOut);
    connect(calculator, &TimecodeCalculator::signalChangedTimeReset, this,
            &Orvello::slotChangedTimeReset);
    connect(calculator, &TimecodeCalculator::signalClose, this, &QWidget::close);

    // The generator starts paused at 00:00:00:00. These run on this thread,
    // so the pause answer reaches the blinking and the play button at once.
    calculator->setPause(true);
    calculator->slotChangedTimeReset();
    // The checked format button and the generator must agree from the first
    // frame on, not only after the operator clicks a format.
    const int format = startFormat();
    if (format >= 0)
        calculator->slotChangedFrames(TimeCodeFormat(format));

    thread->start(QThread::HighPriority);
}

void Orvello::createArtnetNode()
{
    m_artnet = new artnet(m_verbose);
    m_artnet->setShareAddress(true);
    m_artnet->setVersInfoH(2);
    m_artnet->setVersInfoL(0);
    m_artnet->setOemHi(0x0C);
    m_artnet->setOemLo(0x11);
    m_artnet->setNodeNames(QStringLiteral("Orvello"),
                           QStringLiteral("Orvello ") + CommandLineParser::versionText() +
                               QStringLiteral(" by ") + QLatin1String(Maker::WebAddress));
    // Binds the socket here, so it moves to the node's thread with the node.
    m_artnet->setPollReplyEnabled(true);
    m_artnet->setDmxInUniverse(quint32(m_settings.dmx_in_universe - 1));
    m_artnet->selectInterface(m_settings.artnet_interface_name);
    QThread *thread = m_threads.adopt(m_artnet);
    thread->setObjectName(QStringLiteral("artnet"));
    thread->start(QThread::HighPriority);
}

// Codes go from the calculator's thread straight to the node's thread; the
// window only shows them.
void Orvello::connectArtnetOutput()
{
    if (m_calculator && m_artnet && m_settings.artnet_protocol_on)
        connect(m_calculator, &TimecodeCalculator::signalSendTimecodeTimeOut, m_artnet,
                qOverload<quint8, quint8, quint8, quint8, quint8>(&artnet::slotSendTimeCode),
                Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
}

void Orvello::rewireArtnet()
{
    if (!m_artnet)
        return;
    if (m_calculator)
        disconnect(m_calculator, &TimecodeCalculator::signalSendTimecodeTimeOut, m_artnet,
                   qOverload<quint8, quint8, quint8, quint8, quint8>(&artnet::slotSendTimeCode));
    m_artnet->setDmxInUniverse(quint32(m_settings.dmx_in_universe - 1));
    m_artnet->selectInterface(m_settings.artnet_interface_name);
    connectArtnetOutput();
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
    // Playlist scheduler: requestStop() first.
    if (m_calculator) {
        m_calculator->requestStop();
        m_calculator = nullptr;
    }
    if (m_artnet) {
        m_artnet->deleteLater();
        m_artnet = nullptr;
    }
    stopMidiOutput();
}

void Orvello::createMidiOutput()
{
    auto *output = new midi;
    m_midi = output;
    output->setTimecodeType(m_settings.midi_timecode_type);
    output->selectOutputDevice(m_settings.midi_interface_name);
    QThread *thread = m_threads.adopt(output);
    thread->setObjectName(QStringLiteral("midi"));
    thread->start(QThread::HighPriority);
}

// Codes go from the calculator's thread straight to the MIDI thread; whether
// they go at all is the existence of this connection.
void Orvello::connectMidiOutput()
{
    if (m_calculator && m_midi && m_settings.midi_protocol_on)
        connect(m_calculator, &TimecodeCalculator::signalSendTimecodeTimeOut, m_midi,
                &midi::slotSendTimeCode,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
}

void Orvello::rewireMidi()
{
    if (!m_midi)
        return;
    if (m_calculator)
        disconnect(m_calculator, &TimecodeCalculator::signalSendTimecodeTimeOut, m_midi,
                   &midi::slotSendTimeCode);
    // Direct calls into the worker's thread; midi guards these itself.
    m_midi->setTimecodeType(m_settings.midi_timecode_type);
    m_midi->selectOutputDevice(m_settings.midi_interface_name);
    connectMidiOutput();
}

void Orvello::stopMidiOutput()
{
    if (!m_midi)
        return;
    // The all-ports name is what gets saved with the window's keys at exit.
    m_midi->outputDeviceName(-1, m_keys.MidiInterfaceName);
    m_midi->deleteLater();
    m_midi = nullptr;
}

void Orvello::refreshPlaceButtons(int selected)
{
    m_view.colourPlaceButtons(m_settings, selected);
}

void Orvello::applySettings()
{
    m_settings.saveToStore();
    // Playlist scheduler: savePlaylistToStore() here.
    rewireArtnet();
    rewireMidi();
    m_view.updatePlaceButtons(m_settings);
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
    m_settings.setDefaults();
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
    m_settings.setDefaults();
    // Playlist scheduler: its enabled flag is cleared here.
    m_view.updatePlaceButtons(m_settings);
    refreshPlaceButtons(-1);
    closeSettingsWindow();
    applySettings();
    m_view.updatePlaceButtons(m_settings);
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
    if (iFileNumber == Place::SystemTime) {
        emit signalClickedFile(nullptr, Place::SystemTime);
    } else if (Place::isStoredPlace(iFileNumber)) {
        // Nobody listening would leak the record it carries.
        if (!m_calculator)
            return;
        auto *record = new SettingStructItem;
        m_settings.copyPlace(iFileNumber, record);
        emit signalClickedFile(record, iFileNumber);
    }
}

void Orvello::slotChangedFile(int iFileNumber)
{
    if (iFileNumber == Place::SystemTime || Place::isStoredPlace(iFileNumber))
        refreshPlaceButtons(iFileNumber);
}
