#pragma once

#include "settingstruct.h"

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class LtcOutput;
class QPushButton;
class QSpinBox;
class Playlist;
class SettingsPlaces;
class SettingsPlaylist;
class artnet;
class midi;

// The settings window. Edits a working copy of the main window's record and
// hands it back only on OK; the places page writes into that copy, the
// playlist page writes the running playlist on OK. Not modal, no parent: the
// main window creates it on demand and deletes it when it ends.
class Settings : public QWidget
{
    Q_OBJECT
public:
    // Any pointer may be absent; without a node or an output the matching
    // combo box stays empty and its setting is left as it was.
    Settings(Playlist *playlist, SettingStruct *settings, artnet *artnetNode, midi *midiOutput,
             QWidget *parent = nullptr, LtcOutput *ltcOutput = nullptr);

    void setSettings(SettingStruct *settings);
    const SettingStruct &workingCopy() const { return m_working; }
    SettingsPlaces *placesEditor() const { return m_places; }
    SettingsPlaylist *playlistEditor() const { return m_playlist; }
    // The MIDI input ports and audio inputs the follow group offers, besides
    // the own port, the system default and whatever the record names.
    void setFollowDevices(const QStringList &midiPorts, const QStringList &audioInputs);

signals:
    void valueChanged();
    void valueChangedToDefault();
    void valueChangedCancel();
    void valueChangedCancelByClose();
    void signalExportSettings();
    void signalImportSettings();

public slots:
    void slotPressOk();
    void slotPressDefault();
    void slotPressCancel();
    void slotExportSettings();
    void slotImportSettings();
    void slotChanged();

protected:
    void closeEvent(QCloseEvent *event) override;
    // Escape cancels and Return presses the focused button, else OK, as in a
    // dialog; the window stays a plain one so the main window remains usable.
    void keyPressEvent(QKeyEvent *event) override;

private:
    // "Defaults" erases the whole store: only after a Yes.
    void confirmDefault();
    QWidget *buildArtnetGroup();
    QWidget *buildMidiGroup();
    QWidget *buildLtcGroup();
    QWidget *buildTimecodeGroup();
    // A spin box for an output's offset in frames.
    QSpinBox *offsetBox(const char *name, qint32 value);
    // Marks the text fields that hold something the outputs cannot use;
    // true when every field is usable.
    bool markInvalidFields();
    QWidget *buildFollowGroup();
    void fillFollowDevices(const QStringList &midiPorts, const QStringList &audioInputs);
    QWidget *buildRemoteGroup();
    void readRemoteGroup();
    void fillLtcDevices();
    void fillInterfaces();
    void fillMidiDevices();
    void fillMidiTypes();

    SettingStruct *m_callerRecord = nullptr;
    SettingStruct m_working;
    QPointer<artnet> m_artnet;
    QPointer<midi> m_midi;
    QPointer<LtcOutput> m_ltc;
    SettingsPlaces *m_places = nullptr;
    SettingsPlaylist *m_playlist = nullptr;

    QPushButton *m_ok = nullptr;
    QCheckBox *m_artnetTrigger = nullptr;
    QComboBox *m_interfaces = nullptr;
    QCheckBox *m_dmxEnabled = nullptr;
    QSpinBox *m_dmxUniverse = nullptr;
    QCheckBox *m_midiTrigger = nullptr;
    QComboBox *m_midiDevices = nullptr;
    QComboBox *m_midiTypes = nullptr;
    QCheckBox *m_ltcTrigger = nullptr;
    QComboBox *m_ltcDevices = nullptr;
    QDoubleSpinBox *m_ltcLevel = nullptr;
    QCheckBox *m_trueDropFrame = nullptr;
    QCheckBox *m_artnetBroadcast = nullptr;
    QLineEdit *m_artnetUnicast = nullptr;
    QSpinBox *m_artnetStreamId = nullptr;
    QSpinBox *m_artnetOffset = nullptr;
    QSpinBox *m_midiOffset = nullptr;
    QSpinBox *m_ltcOffset = nullptr;
    QLineEdit *m_ltcUserBits = nullptr;
    QComboBox *m_followInput = nullptr;
    QLineEdit *m_followSource = nullptr;
    QComboBox *m_followMidiPort = nullptr;
    QComboBox *m_followLtcDevice = nullptr;
    QSpinBox *m_followFreewheel = nullptr;
    QCheckBox *m_followRunOn = nullptr;
    QCheckBox *m_standby = nullptr;
    QSpinBox *m_standbyTakeover = nullptr;

    QCheckBox *m_oscEnabled = nullptr;
    QSpinBox *m_oscPort = nullptr;
    QCheckBox *m_webEnabled = nullptr;
    QSpinBox *m_webPort = nullptr;
    QLineEdit *m_webToken = nullptr;
};
