#include "orvello.h"

#include "followinputs.h"

#include "configfile.h"
#include "confirmloss.h"
#include "fullscreenclock.h"
#include "settings.h"
#include "settingsplaylist.h"
#include "timecodecalculator.h"
#include "updateserver.h"
#include "version.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

namespace
{
constexpr int BlinkPausedMs = 400;
constexpr int BlinkFrozenMs = 200;
// Stop requests are queued to the update checker; this bounds how long the
// window's destruction waits for its thread before the application goes away.
constexpr int ThreadWaitMs = 2000;
// The automatic check waits a little, so it never competes with the start.
constexpr uint AutomaticCheckDelaySeconds = 30;
} // namespace

Orvello::Orvello(const QStringList &arguments, QWidget *parent)
    : Orvello(arguments, GeneratorPlatform(), parent)
{
}

Orvello::Orvello(const QStringList &arguments, const GeneratorPlatform &platform, QWidget *parent)
    : QMainWindow(parent), m_options(CommandLineParser::parse(arguments)),
      m_generator(m_options, platform)
{
    m_updateLink = UpdateServer::updateLink();
    m_helpLink = UpdateServer::helpLink();

    m_paused = true;
    m_frozen = false;

    setWindowTitle(tr("Orvello"));
    m_view.build(this, m_generator.keys().UseLcd);
    // The command line's format, else the stored one; an invalid stored
    // value leaves every format button unchecked.
    m_view.checkFormat(m_options.formatPresent ? m_options.format : m_generator.keys().FrameFormat);
    m_view.updatePlaceButtons(settings());
    connectControls();
    setWindowIcon(QIcon(QStringLiteral(":/images/artnetorvello.png")));

    if (!m_options.noupdatecheck)
        CheckForSoftwareUpdate(false);

    m_view.takeNormalColour();
    m_view.colourPlaceButtons(settings(), -1);

    buildFullscreenClock();
    connectGenerator();
    m_generator.start();
    showTransport();
    if (m_options.fullscreen) {
        // Once the window is shown, so the clock opens on the window's screen.
        QTimer::singleShot(0, this, [this]() { m_view.actionFullscreen->setChecked(true); });
    }
    connect(&m_remote, &RemoteControl::commandRequested, this, &Orvello::slotRemoteCommand);
    m_remote.apply();

    // Settle the size constraints while no native window exists yet; set
    // later, they are pushed to the platform window, which some platform
    // plugins answer with a warning.
    layout()->activate();
}

Orvello::~Orvello()
{
    closeSettingsWindow(false);
    releaseAboutWindow();
    releaseUpdateChecker();
    m_generator.finish();
    m_updateThread.waitAll(ThreadWaitMs);
}

void Orvello::connectControls()
{
    // A dialog would open behind the clock, and a modal one would leave the
    // operator stuck in it: what opens a window leaves the clock first.
    const auto leaveClock = [this]() { m_view.actionFullscreen->setChecked(false); };
    for (QAction *action : {m_view.actionImport, m_view.actionExport, m_view.actionEdit,
                            m_view.actionHelp, m_view.actionAbout, m_view.actionAboutQt})
        connect(action, &QAction::triggered, this, leaveClock);
    connect(m_view.settingsButton, &QPushButton::clicked, this, leaveClock);
    connect(m_view.actionFullscreen, &QAction::toggled, this, &Orvello::slotFullscreenClock);

    connect(m_view.actionNew, &QAction::triggered, this, &Orvello::confirmSettingsNew);
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
    connect(m_view.followButton, &QPushButton::clicked, this,
            [this]() { slotClickedFile(Place::Follow); });
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
    connect(generator, &Generator::signalDmxRemoteAction, this, &Orvello::slotDmxRemoteAction);
    connect(generator, &Generator::signalSendTimecodeTimeOut, this,
            &Orvello::slotSendTimecodeTimeOut);
    connect(generator, &Generator::signalChangedTimeReset, this, &Orvello::slotChangedTimeReset);
    connect(generator, &Generator::signalClose, this, &QWidget::close);
    connect(generator, &Generator::signalStatusChanged, this, [this]() {
        m_view.showStatus(m_generator.statusFacts());
        refreshFollowButton();
    });
    connect(generator, &Generator::signalTransportChanged, this, &Orvello::showTransport);
}

void Orvello::buildFullscreenClock()
{
    m_clock = new FullscreenClock(this);
    m_clock->setMenu(m_view.menu);
    // Its own window: the actions and the buttons' keys are lent to it.
    m_clock->addActions(actions());
    for (const auto &[key, button] : m_view.keyBindings)
        m_clock->addKey(key, button);
    connect(m_clock, &FullscreenClock::leaveRequested, this,
            [this]() { m_view.actionFullscreen->setChecked(false); });
}

void Orvello::showTransport()
{
    const TransportState &transport = m_generator.transport();
    m_view.showTransport(transport);
    if (m_clock)
        m_clock->showTransport(transport);
}

// The window's own display stops drawing while the clock covers the window:
// one display per frame is drawn, never two.
void Orvello::slotFullscreenClock(bool on)
{
    if (!m_clock || on == m_clock->isVisible())
        return;
    QWidget *display = m_view.display();
    if (on) {
        m_clock->showCode(m_view.displayText());
        m_clock->showTransport(m_generator.transport());
        if (QScreen *screen = this->screen()) {
            m_clock->setScreen(screen);
            m_clock->setGeometry(screen->geometry());
        }
        m_clock->showFullScreen();
        m_clock->raise();
        m_clock->activateWindow();
        m_clock->setFocus(Qt::ActiveWindowFocusReason);
        if (display)
            display->setUpdatesEnabled(false);
    } else {
        m_clock->hide();
        if (display)
            display->setUpdatesEnabled(true);
        if (isVisible())
            activateWindow();
    }
}

void Orvello::closeSettingsWindow(bool deferred)
{
    if (!m_settingsWindow)
        return;
    m_settingsWindow->disconnect(this);
    m_settingsWindow->hide();
    if (deferred)
        m_settingsWindow->deleteLater();
    else
        delete m_settingsWindow;
    m_settingsWindow = nullptr;
    if (m_generator.isVerbose())
        qDebug("close settings");
}

Playlist *Orvello::playlist() const
{
    return m_generator.playlist();
}

void Orvello::releaseAboutWindow()
{
    if (!m_aboutWindow)
        return;
    m_aboutWindow->hide();
    delete m_aboutWindow;
}

// A request still in flight is dropped with the checker, so closing never
// waits for a server.
void Orvello::releaseUpdateChecker()
{
    if (m_updateChecker)
        m_updateChecker->deleteLater();
    m_updateChecker = nullptr;
}

void Orvello::stopWorkers()
{
    m_generator.stop();
}

void Orvello::refreshPlaceButtons(int selected)
{
    m_view.colourPlaceButtons(settings(), selected);
    refreshFollowButton();
}

void Orvello::refreshFollowButton()
{
    const QString text = m_generator.followText();
    m_view.colourFollowButton(!text.isEmpty(), m_generator.followStatus().state, text);
}

void Orvello::applySettings()
{
    m_generator.apply();
    m_view.updatePlaceButtons(settings());
    refreshPlaceButtons(-1);
}

void Orvello::closeEvent(QCloseEvent *event)
{
    m_view.actionFullscreen->setChecked(false);
    closeSettingsWindow(false);
    releaseAboutWindow();
    stopWorkers();
    releaseUpdateChecker();
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
    m_view.showCode(Hour, Minute, Seconds, Frame,
                    Type == Frame30Drop && settings().true_drop_frame);
    if (m_clock && m_clock->isVisible())
        m_clock->showCode(m_view.displayText());
}

// Not modal: the automatic check may answer during a show, and the operator's
// controls stay usable meanwhile. A child of the window, so an unanswered box
// neither outlives the window nor keeps the program from ending.
void Orvello::slotMessageUpdateCheckMessage(QString sMessageUpdateInfo)
{
    auto *box = new QMessageBox(QMessageBox::Information, tr("Check for Updates"),
                                sMessageUpdateInfo, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("update_message"));
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

// A channel acts as a click on the window's own control, like a remote's
// command, so a disabled control stays deaf.
void Orvello::slotDmxRemoteAction(DmxRemoteAction action)
{
    slotRemoteCommand(Generator::commandFor(action));
}

void Orvello::slotRemoteCommand(const GeneratorCommand &command)
{
    QAbstractButton *control = nullptr;
    switch (command.kind) {
    case GeneratorCommand::Format:
        control = m_view.formatGroup ? m_view.formatGroup->button(command.value) : nullptr;
        break;
    case GeneratorCommand::Reset:
        control = m_view.resetButton;
        break;
    case GeneratorCommand::Freeze:
        control = m_view.freezeButton;
        break;
    case GeneratorCommand::PlayPause:
        control = m_view.playPauseButton;
        break;
    case GeneratorCommand::Place:
        slotClickedFile(command.value);
        return;
    default:
        // Play, pause and the playlist have no control of their own here;
        // the buttons follow what the generator reports.
        m_generator.perform(command);
        return;
    }
    if (control)
        control->click();
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
    if (!UpdateSchedule::beginCheck(!GiveInfoForNoUpdates, QDate::currentDate()))
        return;
    if (!m_updateChecker) {
        auto *checker = new CheckSoftwareUpdate;
        m_updateChecker = checker;
        QThread *thread = m_updateThread.adopt(checker);
        thread->setObjectName(QStringLiteral("update"));
        connect(checker, &CheckSoftwareUpdate::signalViewUpdateRequest, this,
                &Orvello::slotMessageUpdateCheckMessage);
        connect(this, &Orvello::signalCheckForUpdate, checker,
                &CheckSoftwareUpdate::slotCheckForUpdate);
        thread->start(QThread::LowPriority);
    }
    // Direct calls, made before the queued request so the checker has them first.
    if (GiveInfoForNoUpdates)
        m_updateChecker->setGiveInfoForNoUpdates();
    m_updateChecker->setMessageTemplate(tr("<center>A new version %1 is available!</b><br>Download "
                                           "the update here :<br>%2</center>")
                                            .arg(QStringLiteral("$$$VERSION$$$"), m_updateLink));
    m_updateChecker->setCurrentVersion(Version::Major, Version::Minor, Version::Revision,
                                       Version::Build);
    emit signalCheckForUpdate(UpdateServer::queryUrl().toString(),
                              GiveInfoForNoUpdates ? 0 : AutomaticCheckDelaySeconds);
}

void Orvello::CheckForSoftwareUpdate()
{
    CheckForSoftwareUpdate(true);
}

void Orvello::slotHelp()
{
    QMessageBox::information(
        this, tr("Help"),
        tr("<b>Help</b><br>Please use the online help on the website:<br>%1").arg(m_helpLink),
        QMessageBox::Ok);
}

void Orvello::slotAbout()
{
    if (!m_aboutWindow)
        m_aboutWindow = new AboutInfo(QStringLiteral(":/images/artnetorvello.png"),
                                      tr("Art-Net Version : ") + QStringLiteral("2016/01/12"),
                                      tr("MIDI Version : ") + QStringLiteral("2014/05/14"));
    m_aboutWindow->setVisible(true);
}

void Orvello::confirmSettingsNew()
{
    // One key must not throw away the show: ask, with No as the default.
    Playlist *list = m_generator.playlist();
    if (confirmLoss(this, tr("New Settings"),
                    tr("Replace the %1 places and %2 playlist entries with defaults?")
                        .arg(SettingStruct::PlaceCount)
                        .arg(list ? list->itemCount() : 0),
                    tr("The outputs and the stored settings stay as they are until settings "
                       "are applied.")))
        slotSettingsNew();
}

void Orvello::slotSettingsNew()
{
    settings().setDefaults();
    // The playlist's enabled flag stays.
    if (Playlist *playlist = m_generator.playlist())
        playlist->clearItems();
}

void Orvello::slotSettingsImport()
{
    const QString name =
        QFileDialog::getOpenFileName(this, tr("Choose a File to Open for Import"),
                                     ConfigFile::loadConfigFolder(), ConfigFile::fileFilter());
    if (!name.isEmpty())
        importConfigFile(name);
}

void Orvello::slotSettingsExport()
{
    exportConfiguration(&settings(), playlist());
}

void Orvello::slotSettingsWindowExport()
{
    if (!m_settingsWindow)
        return slotSettingsExport();
    // What the window shows, edits not yet applied included: what the
    // technician sees is what the file gets.
    SettingStruct record;
    record.copyFrom(&m_settingsWindow->workingCopy());
    Playlist entries(m_generator.isVerbose());
    m_settingsWindow->playlistEditor()->copyTableTo(entries);
    exportConfiguration(&record, &entries);
}

void Orvello::exportConfiguration(const SettingStruct *record, Playlist *entries)
{
    const QString name = QFileDialog::getSaveFileName(
        this, tr("Export File"),
        ConfigFile::loadConfigFolder() + QStringLiteral("Orvello") + ConfigFile::extension(),
        ConfigFile::fileFilter());
    if (name.isEmpty())
        return;
    const QString fileName = ConfigFile::withExtension(name);
    if (writeConfigFile(fileName, record, entries))
        ConfigFile::saveConfigFolder(QFileInfo(fileName).path());
}

bool Orvello::writeConfigFile(const QString &fileName)
{
    return writeConfigFile(fileName, &settings(), playlist());
}

bool Orvello::writeConfigFile(const QString &fileName, const SettingStruct *record,
                              Playlist *entries)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ConfigFile::Result result = ConfigFile::write(fileName, record, entries);
    QApplication::restoreOverrideCursor();
    if (!result.ok())
        QMessageBox::warning(this, result.title(), result.message(), QMessageBox::Ok);
    return result.ok();
}

bool Orvello::readConfigFile(const QString &fileName)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ConfigFile::Result result =
        ConfigFile::read(fileName, &settings(), playlist(), m_generator.isVerbose());
    QApplication::restoreOverrideCursor();
    if (!result.ok())
        QMessageBox::warning(this, result.title(), result.message(), QMessageBox::Ok);
    else if (!result.warnings.isEmpty())
        showImportWarnings(fileName, result.warnings);
    return result.ok();
}

void Orvello::showImportWarnings(const QString &fileName, const QStringList &warnings)
{
    // A box taller than the screen hides its OK button: the first lines and a count.
    constexpr int Shown = 15;
    QStringList lines = warnings.mid(0, Shown);
    if (warnings.size() > Shown)
        lines << tr("... and %1 more.").arg(warnings.size() - Shown);
    QMessageBox box(QMessageBox::Warning, tr("Orvello"),
                    tr("The file %1 was imported with values the settings window cannot show as "
                       "they are:")
                        .arg(fileName),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("import_warnings"));
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(lines.join(QLatin1Char('\n')));
    box.exec();
}

bool Orvello::importConfigFile(const QString &fileName)
{
    const bool ok = readConfigFile(fileName);
    if (ok)
        ConfigFile::saveConfigFolder(QFileInfo(fileName).path());
    // Applied also after a failure, which writes the unchanged values again.
    applySettings();
    if (m_settingsWindow) {
        // Unconfirmed edits go; the new window shows what was imported.
        closeSettingsWindow();
        slotSettingsEdit();
    }
    return ok;
}

void Orvello::slotSettingsEdit()
{
    if (!m_settingsWindow) {
        m_settingsWindow = new Settings(playlist(), &settings(), m_generator.artnetNode(),
                                        m_generator.midiOutput(), nullptr, m_generator.ltcOutput());
        Settings *window = m_settingsWindow;
        window->setFollowDevices(
            m_generator.mtcInput() ? m_generator.mtcInput()->portNames() : QStringList(),
            m_generator.ltcInput() ? m_generator.ltcInput()->deviceNames() : QStringList());
        connect(window, &Settings::valueChanged, this, &Orvello::slotSettingsChanged);
        connect(window, &Settings::valueChangedToDefault, this,
                &Orvello::slotSettingsChangedToDefaultExtern);
        connect(window, &Settings::valueChangedCancel, this, &Orvello::slotSettingsChangedCancel);
        connect(window, &Settings::valueChangedCancelByClose, this,
                &Orvello::slotSettingsChangedCancel);
        connect(window, &Settings::signalExportSettings, this, &Orvello::slotSettingsWindowExport);
        connect(window, &Settings::signalImportSettings, this, &Orvello::slotSettingsImport);
    }
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
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
    if (Playlist *playlist = m_generator.playlist())
        playlist->enabled = false;
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
    m_generator.slotActivatedPlaylistItem(iPlace);
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
    if (iFileNumber == Place::SystemTime || iFileNumber == Place::Follow ||
        Place::isStoredPlace(iFileNumber))
        refreshPlaceButtons(iFileNumber);
}
