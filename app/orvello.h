#pragma once

#include "commandlineoptions.h"
#include "generator.h"
#include "mainwindowkeys.h"
#include "orvelloview.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

class QTimer;

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
    ~Orvello() override;

    const CommandLineOptions &commandLine() const { return m_options; }
    int runningWorkerThreads() const { return m_generator.runningWorkerThreads(); }
    Generator &generator() { return m_generator; }
    SettingStruct &settings() { return m_generator.settings(); }
    const MainWindowKeys &windowKeys() const { return m_keys; }
    TimecodeCalculator *calculator() const { return m_generator.calculator(); }
    midi *midiOutput() const { return m_generator.midiOutput(); }
    const OrvelloView &view() const { return m_view; }
    QTimer *blinkTimer() const { return m_blinkTimer; }
    bool isDisplayShown() const { return m_displayShown; }
    bool isPaused() const { return m_paused; }
    bool isFrozen() const { return m_frozen; }

    // Saves the record, re-wires the outputs to its protocol switches and
    // redraws the place buttons with none selected.
    void applySettings();

signals:
    void signalCheckForUpdate(QString WebSite, uint DelayInSeconds);

public slots:
    void slotBlinkTimecode(bool bPause, bool bFreeze);
    void slotSendTimecodeTimeOut(quint8 Hour, quint8 Minute, quint8 Seconds, quint8 Frame,
                                 quint8 Type);
    void slotMessageUpdateCheckMessage(QString sMessageUpdateInfo);
    void slotArtnetCheckDmxIn();
    void slotChangedTimeReset();
    void slotChangedPlayPause(bool bPause);
    void CheckForSoftwareUpdate(bool GiveInfoForNoUpdates);
    void CheckForSoftwareUpdate();
    void slotHelp();
    void slotAbout();
    void slotSettingsNew();
    void slotSettingsImport();
    void slotSettingsExport();
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

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void connectControls();
    void connectGenerator();
    void applyCommandLine();
    // The frame format the generator starts with: the command line's, else
    // the stored one; -1 when neither names a valid format.
    int startFormat() const;
    void closeSettingsWindow();
    void releaseAboutWindow();
    void stopWorkers();
    void refreshPlaceButtons(int selected);

    CommandLineOptions m_options;
    Generator m_generator;
    QString m_updateLink;
    MainWindowKeys m_keys;
    bool m_paused = true;
    bool m_frozen = false;

    OrvelloView m_view;
    QTimer *m_blinkTimer = nullptr;
    bool m_displayShown = false;
};
