#include "settings.h"

#include "artnet.h"
#include "confirmloss.h"
#include "ltcoutput.h"
#include "midi.h"
#include "settingsplaces.h"
#include "settingsplaylist.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QSplitter>
#include <QVBoxLayout>

Settings::Settings(Playlist *playlist, SettingStruct *settings, artnet *artnetNode,
                   midi *midiOutput, QWidget *parent, LtcOutput *ltcOutput)
    : QWidget(parent), m_artnet(artnetNode), m_midi(midiOutput), m_ltc(ltcOutput)
{
    setWindowIcon(QIcon(QStringLiteral(":/images/artnetorvello.png")));
    setWindowTitle(tr("Settings"));
    setSettings(settings);
    m_playlist = new SettingsPlaylist(playlist);
    m_places = new SettingsPlaces(m_working.places);

    auto *outputs = new QSplitter(Qt::Horizontal);
    outputs->addWidget(buildArtnetGroup());
    outputs->addWidget(buildMidiGroup());
    outputs->addWidget(buildLtcGroup());
    outputs->addWidget(buildTimecodeGroup());
    outputs->addWidget(buildFollowGroup());

    auto *placesGroup = new QGroupBox(tr("Places"));
    auto *placesLayout = new QVBoxLayout(placesGroup);
    placesLayout->addWidget(m_places);
    auto *playlistGroup = new QGroupBox(tr("Playlist"));
    auto *playlistLayout = new QVBoxLayout(playlistGroup);
    playlistLayout->addWidget(m_playlist);
    auto *pages = new QSplitter(Qt::Vertical);
    pages->addWidget(placesGroup);
    pages->addWidget(playlistGroup);

    const struct {
        const char *name;
        const char *text;
        const char *tip;
        void (Settings::*slot)();
    } buttonTable[] = {
        {"export", QT_TR_NOOP("Export"), QT_TR_NOOP("click for export configuration"),
         &Settings::slotExportSettings},
        {"import", QT_TR_NOOP("Import"), QT_TR_NOOP("click for import configuiration"),
         &Settings::slotImportSettings},
        {"ok", QT_TR_NOOP("OK"), QT_TR_NOOP("click OK to apply the changes"),
         &Settings::slotPressOk},
        {"defaults", QT_TR_NOOP("Defaults"),
         QT_TR_NOOP("click Defaults to restore the default settings"), &Settings::confirmDefault},
        {"cancel", QT_TR_NOOP("Cancel"), QT_TR_NOOP("click Cancel to discard any changes"),
         &Settings::slotPressCancel},
    };
    auto *buttons = new QHBoxLayout;
    for (const auto &entry : buttonTable) {
        auto *button = new QPushButton(tr(entry.text));
        button->setObjectName(QLatin1String(entry.name));
        button->setToolTip(tr(entry.tip));
        connect(button, &QPushButton::clicked, this, entry.slot);
        buttons->addWidget(button);
        if (entry.slot == &Settings::slotImportSettings)
            buttons->addStretch();
        if (entry.slot == &Settings::slotPressOk)
            m_ok = button;
    }
    // Drawn as the default, so the operator sees what Return does.
    m_ok->setDefault(true);

    // A hand-edited store or an imported file may hold what the outputs
    // cannot use: shown at once, not only at OK.
    markInvalidFields();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(outputs);
    layout->addWidget(buildRemoteGroup());
    layout->addWidget(pages, 1);
    layout->addLayout(buttons);
    resize(720, 680);
}

void Settings::setSettings(SettingStruct *settings)
{
    m_callerRecord = settings;
    m_working.copyFrom(settings);
}

QWidget *Settings::buildArtnetGroup()
{
    auto *group = new QGroupBox(tr("ArtNet"));
    m_artnetTrigger = new QCheckBox(tr("Trigger"));
    m_artnetTrigger->setObjectName(QStringLiteral("artnetTrigger"));
    m_artnetTrigger->setChecked(m_working.artnet_protocol_on);
    m_interfaces = new QComboBox;
    m_interfaces->setObjectName(QStringLiteral("interfaces"));
    fillInterfaces();

    m_dmxEnabled = new QCheckBox(tr("DMX Remote Control on Universe:"));
    m_dmxEnabled->setObjectName(QStringLiteral("dmxEnabled"));
    m_dmxEnabled->setChecked(m_working.dmx_in_enabled);
    m_dmxEnabled->setToolTip(
        tr("Enable/Disable DMX Remote Control,\nCh1=24Fps,\nCh2=25fps,\nCh3=30Drop,\nCh4=30fps,"
           "\nCh5=spare,\nCh6=reset,\nCh7=freeez,\nCh8=play/pause,\nCh9=spare,\nCh10=systemtime "
           "place 0,\nCh11=time code place 1,\nCh12=time code place 2,\nCh13=time code place "
           "3,\nCh14=time code place 4,\nCh15=time code place 5,\nCh16=time code place 6,\nCh17="
           "time code place 7,\nCh18=time code place 8,\nCh19=time code place 9"));
    m_dmxUniverse = new QSpinBox;
    m_dmxUniverse->setObjectName(QStringLiteral("dmxUniverse"));
    m_dmxUniverse->setRange(1, 256);
    // A universe out of range from a file shows clamped but stays in the
    // working copy until a widget here changes.
    m_dmxUniverse->setValue(m_working.dmx_in_universe);
    m_dmxUniverse->setToolTip(tr("Universe for DMX Remote Control"));

    m_artnetBroadcast = new QCheckBox(tr("Broadcast"));
    m_artnetBroadcast->setObjectName(QStringLiteral("artnetBroadcast"));
    m_artnetBroadcast->setChecked(m_working.artnet_broadcast);
    m_artnetUnicast = new QLineEdit(m_working.artnet_unicast);
    m_artnetUnicast->setObjectName(QStringLiteral("artnetUnicast"));
    m_artnetUnicast->setPlaceholderText(tr("unicast addresses"));
    m_artnetUnicast->setToolTip(
        tr("IPv4 addresses that get the time code as well, separated by blanks"));
    m_artnetStreamId = new QSpinBox;
    m_artnetStreamId->setObjectName(QStringLiteral("artnetStreamId"));
    m_artnetStreamId->setRange(0, 255);
    m_artnetStreamId->setValue(m_working.artnet_stream_id);
    m_artnetStreamId->setToolTip(tr("Stream ID of the time code, 0 is the master"));
    m_artnetOffset = offsetBox("artnetOffset", m_working.artnet_offset);

    auto *grid = new QGridLayout(group);
    grid->addWidget(m_artnetTrigger, 0, 0);
    grid->addWidget(m_interfaces, 0, 1);
    grid->addWidget(m_artnetBroadcast, 1, 0);
    grid->addWidget(m_artnetUnicast, 1, 1);
    grid->addWidget(new QLabel(tr("Stream ID")), 2, 0);
    grid->addWidget(m_artnetStreamId, 2, 1);
    grid->addWidget(new QLabel(tr("Offset")), 3, 0);
    grid->addWidget(m_artnetOffset, 3, 1);
    grid->addWidget(m_dmxEnabled, 4, 0);
    grid->addWidget(m_dmxUniverse, 4, 1);
    grid->setColumnStretch(1, 1);
    connect(m_artnetBroadcast, &QCheckBox::clicked, this, &Settings::slotChanged);
    connect(m_artnetUnicast, &QLineEdit::textEdited, this, &Settings::slotChanged);
    connect(m_artnetStreamId, &QSpinBox::valueChanged, this, &Settings::slotChanged);

    connect(m_artnetTrigger, &QCheckBox::clicked, this, &Settings::slotChanged);
    connect(m_interfaces, &QComboBox::activated, this, &Settings::slotChanged);
    connect(m_dmxEnabled, &QCheckBox::clicked, this, &Settings::slotChanged);
    connect(m_dmxUniverse, &QSpinBox::valueChanged, this, &Settings::slotChanged);
    return group;
}

QWidget *Settings::buildMidiGroup()
{
    auto *group = new QGroupBox(tr("Midi"));
    m_midiTrigger = new QCheckBox(tr("Trigger"));
    m_midiTrigger->setObjectName(QStringLiteral("midiTrigger"));
    m_midiTrigger->setChecked(m_working.midi_protocol_on);
    m_midiDevices = new QComboBox;
    m_midiDevices->setObjectName(QStringLiteral("midiDevices"));
    fillMidiDevices();
    m_midiTypes = new QComboBox;
    m_midiTypes->setObjectName(QStringLiteral("midiTypes"));
    fillMidiTypes();

    m_midiOffset = offsetBox("midiOffset", m_working.midi_offset);
    m_midiOffset->setPrefix(tr("Offset "));

    auto *column = new QVBoxLayout;
    column->addWidget(m_midiDevices);
    column->addWidget(m_midiTypes);
    column->addWidget(m_midiOffset);
    auto *row = new QHBoxLayout(group);
    row->addWidget(m_midiTrigger);
    row->addLayout(column, 1);

    connect(m_midiTrigger, &QCheckBox::clicked, this, &Settings::slotChanged);
    connect(m_midiDevices, &QComboBox::activated, this, &Settings::slotChanged);
    connect(m_midiTypes, &QComboBox::activated, this, &Settings::slotChanged);
    return group;
}

QWidget *Settings::buildLtcGroup()
{
    auto *group = new QGroupBox(tr("LTC"));
    m_ltcTrigger = new QCheckBox(tr("Trigger"));
    m_ltcTrigger->setObjectName(QStringLiteral("ltcTrigger"));
    m_ltcTrigger->setChecked(m_working.ltc_protocol_on);
    m_ltcDevices = new QComboBox;
    m_ltcDevices->setObjectName(QStringLiteral("ltcDevices"));
    fillLtcDevices();
    m_ltcLevel = new QDoubleSpinBox;
    m_ltcLevel->setObjectName(QStringLiteral("ltcLevel"));
    m_ltcLevel->setRange(LtcEncoder::MinLevelDbfs, 0.0);
    m_ltcLevel->setDecimals(1);
    m_ltcLevel->setSingleStep(1.0);
    m_ltcLevel->setSuffix(QStringLiteral(" dBFS"));
    m_ltcLevel->setValue(m_working.ltc_level);

    m_ltcOffset = offsetBox("ltcOffset", m_working.ltc_offset);
    m_ltcOffset->setPrefix(tr("Offset "));
    m_ltcUserBits = new QLineEdit(m_working.ltc_userbits);
    m_ltcUserBits->setObjectName(QStringLiteral("ltcUserBits"));
    m_ltcUserBits->setPlaceholderText(tr("user bits"));
    m_ltcUserBits->setToolTip(
        tr("User bits: empty for zeros, eight hexadecimal digits, or \"date\" for the date "
           "and time zone"));

    auto *column = new QVBoxLayout;
    column->addWidget(m_ltcDevices);
    column->addWidget(m_ltcLevel);
    column->addWidget(m_ltcOffset);
    auto *userBitsRow = new QHBoxLayout;
    userBitsRow->addWidget(new QLabel(tr("User bits")));
    userBitsRow->addWidget(m_ltcUserBits, 1);
    column->addLayout(userBitsRow);
    auto *row = new QHBoxLayout(group);
    row->addWidget(m_ltcTrigger);
    row->addLayout(column, 1);

    connect(m_ltcTrigger, &QCheckBox::clicked, this, &Settings::slotChanged);
    connect(m_ltcDevices, &QComboBox::activated, this, &Settings::slotChanged);
    connect(m_ltcLevel, &QDoubleSpinBox::valueChanged, this, &Settings::slotChanged);
    connect(m_ltcUserBits, &QLineEdit::textEdited, this, &Settings::slotChanged);
    return group;
}

QWidget *Settings::buildTimecodeGroup()
{
    auto *group = new QGroupBox(tr("Time code"));
    m_trueDropFrame = new QCheckBox(tr("30 Drop at 29.97 fps"));
    m_trueDropFrame->setObjectName(QStringLiteral("trueDropFrame"));
    m_trueDropFrame->setChecked(m_working.true_drop_frame);
    m_trueDropFrame->setToolTip(
        tr("On: 30 Drop runs at 29.97 frames per second and skips frames 00 and 01 at every "
           "minute except each tenth, as video does.\nOff: 30 Drop runs at 30 frames per "
           "second and is only labelled drop-frame."));
    auto *column = new QVBoxLayout(group);
    column->addWidget(m_trueDropFrame);
    column->addStretch();
    connect(m_trueDropFrame, &QCheckBox::clicked, this, &Settings::slotChanged);
    return group;
}

QSpinBox *Settings::offsetBox(const char *name, qint32 value)
{
    auto *box = new QSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(-SettingStruct::OffsetLimit, SettingStruct::OffsetLimit);
    box->setValue(value);
    box->setSuffix(tr(" frames"));
    box->setToolTip(tr("Frames this output runs ahead of (positive) or behind the time code"));
    connect(box, &QSpinBox::valueChanged, this, &Settings::slotChanged);
    return box;
}

bool Settings::markInvalidFields()
{
    const bool unicastOk = artnet::parseUnicast(m_artnetUnicast->text(), nullptr);
    const bool userBitsOk = UserBits::parse(m_ltcUserBits->text(), nullptr);
    const QString invalid = QStringLiteral("background-color: #ffb0b0;");
    m_artnetUnicast->setStyleSheet(unicastOk ? QString() : invalid);
    m_ltcUserBits->setStyleSheet(userBitsOk ? QString() : invalid);
    return unicastOk && userBitsOk;
}

// OSC and the web page: switches, ports and the web page's token.
QWidget *Settings::buildRemoteGroup()
{
    auto *group = new QGroupBox(tr("Remote"));
    group->setObjectName(QStringLiteral("remoteGroup"));
    const auto port = [](const char *name, quint16 value) {
        auto *box = new QSpinBox;
        box->setObjectName(QLatin1String(name));
        box->setRange(1, 65535);
        box->setValue(value);
        return box;
    };
    m_oscEnabled = new QCheckBox(tr("OSC on port:"));
    m_oscEnabled->setObjectName(QStringLiteral("oscEnabled"));
    m_oscEnabled->setChecked(m_working.osc_enabled);
    m_oscEnabled->setToolTip(
        tr("Commands and timecode feedback over OSC (UDP), on the Art-Net interface's address"));
    m_oscPort = port("oscPort", m_working.osc_port);
    m_webEnabled = new QCheckBox(tr("Web page on port:"));
    m_webEnabled->setObjectName(QStringLiteral("webEnabled"));
    m_webEnabled->setChecked(m_working.web_enabled);
    m_webEnabled->setToolTip(tr("A live page with the running code and the controls, for any "
                                "browser"));
    m_webPort = port("webPort", m_working.web_port);
    m_webToken = new QLineEdit(m_working.web_token);
    m_webToken->setObjectName(QStringLiteral("webToken"));
    m_webToken->setEchoMode(QLineEdit::PasswordEchoOnEdit);
    m_webToken->setMaxLength(128);
    // Sent in an HTTP header: visible ASCII, no blanks.
    m_webToken->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[\\x21-\\x7e]*")), m_webToken));
    m_webToken->setPlaceholderText(tr("empty: this computer only"));
    m_webToken->setToolTip(tr("Without a token the page is served to this computer only "
                              "(127.0.0.1). With one it is served on every address, and every "
                              "command needs the token."));
    auto *tokenLabel = new QLabel(tr("Token:"));
    tokenLabel->setBuddy(m_webToken);

    auto *row = new QHBoxLayout(group);
    row->addWidget(m_oscEnabled);
    row->addWidget(m_oscPort);
    row->addSpacing(16);
    row->addWidget(m_webEnabled);
    row->addWidget(m_webPort);
    row->addWidget(tokenLabel);
    row->addWidget(m_webToken, 1);

    connect(m_oscEnabled, &QCheckBox::clicked, this, &Settings::slotChanged);
    connect(m_oscPort, &QSpinBox::valueChanged, this, &Settings::slotChanged);
    connect(m_webEnabled, &QCheckBox::clicked, this, &Settings::slotChanged);
    connect(m_webPort, &QSpinBox::valueChanged, this, &Settings::slotChanged);
    connect(m_webToken, &QLineEdit::textEdited, this, &Settings::slotChanged);
    return group;
}

void Settings::readRemoteGroup()
{
    m_working.osc_enabled = m_oscEnabled->isChecked();
    m_working.osc_port = quint16(m_oscPort->value());
    m_working.web_enabled = m_webEnabled->isChecked();
    m_working.web_port = quint16(m_webPort->value());
    m_working.web_token = m_webToken->text().trimmed();
}

// The system's default first; a stored device that is not there now stays in
// the list, so opening and closing the window does not lose it.
QWidget *Settings::buildFollowGroup()
{
    auto *group = new QGroupBox(tr("Follow"));
    group->setObjectName(QStringLiteral("followGroup"));
    m_followInput = new QComboBox;
    m_followInput->setObjectName(QStringLiteral("followInput"));
    m_followInput->addItem(tr("Art-Net"), QStringLiteral("artnet"));
    m_followInput->addItem(tr("MTC"), QStringLiteral("mtc"));
    m_followInput->addItem(tr("LTC"), QStringLiteral("ltc"));
    m_followInput->setCurrentIndex(qMax(0, m_followInput->findData(m_working.follow_input)));
    m_followSource = new QLineEdit(m_working.follow_artnet_source);
    m_followSource->setObjectName(QStringLiteral("followArtnetSource"));
    m_followSource->setPlaceholderText(tr("any sender"));
    m_followMidiPort = new QComboBox;
    m_followMidiPort->setObjectName(QStringLiteral("followMidiPort"));
    m_followLtcDevice = new QComboBox;
    m_followLtcDevice->setObjectName(QStringLiteral("followLtcDevice"));
    fillFollowDevices({}, {});
    m_followFreewheel = new QSpinBox;
    m_followFreewheel->setObjectName(QStringLiteral("followFreewheelFrames"));
    m_followFreewheel->setRange(0, 108000);
    m_followFreewheel->setValue(m_working.follow_freewheel_frames);
    m_followRunOn = new QCheckBox(tr("Run on after freewheel"));
    m_followRunOn->setObjectName(QStringLiteral("followRunOn"));
    m_followRunOn->setChecked(m_working.follow_run_on);
    m_standby = new QCheckBox(tr("Standby for the Art-Net primary"));
    m_standby->setObjectName(QStringLiteral("standbyEnabled"));
    m_standby->setChecked(m_working.standby_enabled);
    m_standbyTakeover = new QSpinBox;
    m_standbyTakeover->setObjectName(QStringLiteral("standbyTakeoverFrames"));
    m_standbyTakeover->setRange(1, 108000);
    m_standbyTakeover->setValue(m_working.standby_takeover_frames);

    auto *form = new QFormLayout(group);
    form->addRow(tr("Input"), m_followInput);
    form->addRow(tr("Art-Net source"), m_followSource);
    form->addRow(tr("MIDI port"), m_followMidiPort);
    form->addRow(tr("Audio input"), m_followLtcDevice);
    form->addRow(tr("Freewheel frames"), m_followFreewheel);
    form->addRow(m_followRunOn);
    form->addRow(m_standby);
    form->addRow(tr("Takeover frames"), m_standbyTakeover);

    connect(m_followInput, &QComboBox::activated, this, &Settings::slotChanged);
    connect(m_followSource, &QLineEdit::editingFinished, this, &Settings::slotChanged);
    connect(m_followMidiPort, &QComboBox::activated, this, &Settings::slotChanged);
    connect(m_followLtcDevice, &QComboBox::activated, this, &Settings::slotChanged);
    connect(m_followFreewheel, &QSpinBox::valueChanged, this, &Settings::slotChanged);
    connect(m_followRunOn, &QCheckBox::clicked, this, &Settings::slotChanged);
    connect(m_standby, &QCheckBox::clicked, this, &Settings::slotChanged);
    connect(m_standbyTakeover, &QSpinBox::valueChanged, this, &Settings::slotChanged);
    return group;
}

void Settings::setFollowDevices(const QStringList &midiPorts, const QStringList &audioInputs)
{
    fillFollowDevices(midiPorts, audioInputs);
}

void Settings::fillFollowDevices(const QStringList &midiPorts, const QStringList &audioInputs)
{
    const auto fill = [](QComboBox *box, const QString &empty, const QStringList &names,
                         const QString &stored) {
        box->clear();
        box->addItem(empty, QString());
        for (const QString &name : names)
            box->addItem(name, name);
        // A device that is not here today stays chosen; it may be plugged in later.
        if (!stored.isEmpty() && !names.contains(stored))
            box->addItem(stored, stored);
        box->setCurrentIndex(qMax(0, box->findData(stored)));
    };
    fill(m_followMidiPort, tr("Own port \"MTC in\""), midiPorts, m_working.follow_midi_port);
    fill(m_followLtcDevice, tr("System default"), audioInputs, m_working.follow_ltc_device);
}

void Settings::fillLtcDevices()
{
    m_ltcDevices->addItem(tr("System default"), QString());
    const QStringList names = m_ltc ? m_ltc->outputDeviceNames() : QStringList();
    for (const QString &name : names)
        m_ltcDevices->addItem(name, name);
    if (!m_working.ltc_device.isEmpty() && !names.contains(m_working.ltc_device))
        m_ltcDevices->addItem(m_working.ltc_device, m_working.ltc_device);
    m_ltcDevices->setCurrentIndex(qMax(0, m_ltcDevices->findData(m_working.ltc_device)));
}

void Settings::fillInterfaces()
{
    if (!m_artnet)
        return;
    const QHostAddress stored(m_working.artnet_interface_name);
    bool storedIsAddress = stored.protocol() == QAbstractSocket::IPv4Protocol;
    int current = 0;
    quint32 address = 0;
    QString name;
    for (int index = -1; m_artnet->interfaceInfo(index, address, name); ++index) {
        m_interfaces->addItem(name + QStringLiteral(": ") + QHostAddress(address).toString(),
                              address);
        if (storedIsAddress && address == stored.toIPv4Address()) {
            current = m_interfaces->count() - 1;
            storedIsAddress = false; // the first match wins
        }
    }
    m_interfaces->setCurrentIndex(current);
}

void Settings::fillMidiDevices()
{
    if (!m_midi)
        return;
    int current = 0;
    QString name;
    for (qint32 index = -1; m_midi->outputDeviceName(index, name); ++index) {
        m_midiDevices->addItem(name, index);
        if (current == 0 && index >= 0 && name == m_working.midi_interface_name)
            current = m_midiDevices->count() - 1;
    }
    m_midiDevices->setCurrentIndex(current);
}

void Settings::fillMidiTypes()
{
    m_midiTypes->addItem(tr("MIDI Clock"), 0u);
    m_midiTypes->addItem(tr("MIDI Clock (short)"), 1u);
    m_midiTypes->addItem(tr("MIDI Timecode"), 2u);
    const int current = m_midiTypes->findData(m_working.midi_timecode_type);
    m_midiTypes->setCurrentIndex(qMax(0, current));
}

void Settings::slotChanged()
{
    m_working.dmx_in_enabled = m_dmxEnabled->isChecked();
    m_working.dmx_in_universe = m_dmxUniverse->value();
    m_working.artnet_protocol_on = m_artnetTrigger->isChecked();
    const QVariant address = m_interfaces->currentData();
    if (address.isValid())
        m_working.artnet_interface_name = QHostAddress(address.toUInt()).toString();
    m_working.midi_protocol_on = m_midiTrigger->isChecked();
    const QVariant device = m_midiDevices->currentData();
    QString name;
    if (m_midi && device.isValid() && m_midi->outputDeviceName(device.toInt(), name))
        m_working.midi_interface_name = name;
    const QVariant type = m_midiTypes->currentData();
    if (type.isValid())
        m_working.midi_timecode_type = type.toUInt();
    m_working.ltc_protocol_on = m_ltcTrigger->isChecked();
    m_working.ltc_device = m_ltcDevices->currentData().toString();
    m_working.ltc_level = m_ltcLevel->value();
    m_working.true_drop_frame = m_trueDropFrame->isChecked();
    m_working.artnet_broadcast = m_artnetBroadcast->isChecked();
    m_working.artnet_unicast = m_artnetUnicast->text().simplified();
    m_working.artnet_stream_id = quint8(m_artnetStreamId->value());
    m_working.artnet_offset = m_artnetOffset->value();
    m_working.midi_offset = m_midiOffset->value();
    m_working.ltc_offset = m_ltcOffset->value();
    m_working.ltc_userbits = m_ltcUserBits->text().trimmed();
    m_working.follow_input = m_followInput->currentData().toString();
    m_working.follow_artnet_source = m_followSource->text().trimmed();
    m_working.follow_midi_port = m_followMidiPort->currentData().toString();
    m_working.follow_ltc_device = m_followLtcDevice->currentData().toString();
    m_working.follow_freewheel_frames = m_followFreewheel->value();
    m_working.follow_run_on = m_followRunOn->isChecked();
    m_working.standby_enabled = m_standby->isChecked();
    m_working.standby_takeover_frames = m_standbyTakeover->value();
    readRemoteGroup();
}

void Settings::slotPressOk()
{
    // An address or user bits the outputs could not use stay marked and the
    // window stays open, rather than send to nowhere.
    if (!markInvalidFields())
        return;
    if (m_callerRecord)
        m_callerRecord->copyFrom(&m_working);
    if (m_playlist->isChanged())
        m_playlist->saveToPlaylist();
    emit valueChanged();
}

void Settings::slotPressDefault()
{
    SettingStruct::eraseStore();
    m_working.setDefaults();
    emit valueChangedToDefault();
}

void Settings::confirmDefault()
{
    if (confirmLoss(this, tr("Defaults"),
                    tr("Replace the %1 places and all other settings with defaults and erase "
                       "every stored setting?")
                        .arg(SettingStruct::PlaceCount),
                    tr("The playlist is switched off; its entries stay. Edits in this window "
                       "are lost.")))
        slotPressDefault();
}

void Settings::slotPressCancel()
{
    emit valueChangedCancel();
}

void Settings::slotExportSettings()
{
    emit signalExportSettings();
}

void Settings::slotImportSettings()
{
    emit signalImportSettings();
}

void Settings::closeEvent(QCloseEvent *event)
{
    emit valueChangedCancelByClose();
    event->accept();
}

void Settings::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Cancel)) {
        slotPressCancel();
        return;
    }
    const bool plain = event->modifiers() == Qt::NoModifier ||
                       (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        // A focused button takes Return itself, as Space does.
        auto *button = qobject_cast<QPushButton *>(focusWidget());
        if (!button || !button->isEnabled())
            button = m_ok;
        button->click();
        return;
    }
    QWidget::keyPressEvent(event);
}
