#pragma once

#include "aboutinfo.h"
#include "checksoftwareupdate.h"
#include "commandlineoptions.h"
#include "generator.h"
#include "mainwindowkeys.h"
#include "orvelloview.h"
#include "remotecontrol.h"
#include "settings.h"
#include "workerthread.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class FullscreenClock;
class QLabel;
class QTimer;
class Playlist;

// The main window: owns the generator (settings record and workers), turns
// buttons, shortcuts and playlist activations into its commands and shows
// what the calculator reports.
class Orvello : public QMainWindow
{
    Q_OBJECT
public:
    // `arguments` is the command line, the program itself first.
    explicit Orvello(const QStringList &arguments = QCoreApplication::arguments(),
                     QWidget *parent = nullptr);
    // With the machine's network, output and MIDI ports replaced by `platform`.
    Orvello(const QStringList &arguments, const GeneratorPlatform &platform,
            QWidget *parent = nullptr);
    ~Orvello() override;

    const CommandLineOptions &commandLine() const { return m_options; }
    int runningWorkerThreads() const { return m_generator.runningWorkerThreads(); }
    Generator &generator() { return m_generator; }
    SettingStruct &settings() { return m_generator.settings(); }
    const MainWindowKeys &windowKeys() const { return m_generator.keys(); }
    TimecodeCalculator *calculator() const { return m_generator.calculator(); }
    midi *midiOutput() const { return m_generator.midiOutput(); }
    const OrvelloView &view() const { return m_view; }
    RemoteControl &remote() { return m_remote; }
    QTimer *blinkTimer() const { return m_blinkTimer; }
    bool isDisplayShown() const { return m_displayShown; }
    bool isPaused() const { return m_paused; }
    bool isFrozen() const { return m_frozen; }
    // Always there; shown while the fullscreen clock is on.
    FullscreenClock *fullscreenClock() const { return m_clock; }
    // None until the first update check; kept until the window closes.
    CheckSoftwareUpdate *updateChecker() const { return m_updateChecker; }

    // Saves the record, re-wires the outputs to its protocol switches and
    // redraws the place buttons with none selected.
    void applySettings();

    // The settings window while it is open.
    Settings *settingsWindow() const { return m_settingsWindow; }
    // The configuration file with the window's record and playlist; a
    // failure is shown in a warning box and gives false, and a failed read
    // changes nothing.
    bool writeConfigFile(const QString &fileName);
    bool writeConfigFile(const QString &fileName, const SettingStruct *record, Playlist *entries);
    bool readConfigFile(const QString &fileName);
    // What the import does after its file dialog: read, remember the folder,
    // apply (also after a failure) and reopen an open settings window.
    bool importConfigFile(const QString &fileName);

signals:
    void signalCheckForUpdate(QString WebSite, uint DelayInSeconds);

public slots:
    void slotBlinkTimecode(bool bPause, bool bFreeze);
    void slotSendTimecodeTimeOut(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame,
                                 quint8 Type);
    void slotMessageUpdateCheckMessage(QString sMessageUpdateInfo);
    // A remote channel rose: the same as a click on the matching control.
    void slotDmxRemoteAction(DmxRemoteAction action);
    // An OSC or web command: a click on the matching control where the
    // window has one, so the controls show what was done.
    void slotRemoteCommand(const GeneratorCommand &command);
    void slotChangedTimeReset();
    void slotChangedPlayPause(bool bPause);
    void CheckForSoftwareUpdate(bool GiveInfoForNoUpdates);
    void CheckForSoftwareUpdate();
    void slotHelp();
    void slotAbout();
    // Ctrl+N: slotSettingsNew after a Yes.
    void confirmSettingsNew();
    void slotSettingsNew();
    void slotSettingsImport();
    void slotSettingsExport();
    // The settings window's Export: its working copy and playlist table.
    void slotSettingsWindowExport();
    void slotSettingsEdit();
    void slotSettingsChangedToDefaultExtern();
    void slotSettingsChanged();
    void slotSettingsChangedCancel();
    void slotBlinkingTimecode(bool ForceEnable);
    void slotBlinkingTimecode();
    void slotActivatedPlaylistItem(int iPlace);
    void slotClickedFile0();
    void slotClickedFile1();
    void slotClickedFile2();
    void slotClickedFile3();
    void slotClickedFile4();
    void slotClickedFile5();
    void slotClickedFile6();
    void slotClickedFile7();
    void slotClickedFile8();
    void slotClickedFile9();
    void slotClickedFile(int iFileNumber);
    void slotChangedFile(int iFileNumber);
    // Shows or leaves the fullscreen clock, on the screen the window is on.
    void slotFullscreenClock(bool on);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void connectControls();
    void connectGenerator();
    // Deferred when called from the window's own handlers; at shutdown it
    // goes at once, since no event loop may run to delete it later.
    void closeSettingsWindow(bool deferred = true);
    // The running playlist the settings window and the configuration file
    // work on; absent once the workers stopped.
    Playlist *playlist() const;
    // The file dialog, then the file; the folder is remembered after a write.
    void exportConfiguration(const SettingStruct *record, Playlist *entries);
    // One box for all values of an imported file that are beyond the editors.
    void showImportWarnings(const QString &fileName, const QStringList &warnings);
    void releaseAboutWindow();
    void releaseUpdateChecker();
    void stopWorkers();
    void refreshPlaceButtons(int selected);
    void buildFullscreenClock();
    void showTransport();
    void refreshFollowButton();

    CommandLineOptions m_options;
    Generator m_generator;
    RemoteControl m_remote{m_generator};
    QString m_updateLink;
    QString m_helpLink;
    bool m_paused = true;
    bool m_frozen = false;

    OrvelloView m_view;
    QPointer<Settings> m_settingsWindow;
    QTimer *m_blinkTimer = nullptr;
    FullscreenClock *m_clock = nullptr;
    bool m_displayShown = false;

    QPointer<AboutInfo> m_aboutWindow;
    // The update checker is the window's own: a run without a window checks nothing.
    QPointer<CheckSoftwareUpdate> m_updateChecker;
    WorkerThreads m_updateThread;
};
