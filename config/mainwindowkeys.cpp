#include "mainwindowkeys.h"

#include "settingsstore.h"

void MainWindowKeys::load()
{
    const auto store = SettingsStore::open();
    // Read after the record (loadFromStore); a damaged store is not trusted.
    if (SettingsStore::damaged())
        return;
    UseLcd = store->value(QStringLiteral("UseLcd"), false).toBool();
    FrameFormat = store->value(QStringLiteral("FrameFormat"), 0).toInt();
    MidiTimecodeType = store->value(QStringLiteral("MidiTimecodeType"), 0).toInt();
    MidiInterfaceName = store->value(QStringLiteral("MidiInterfaceName"), QString()).toString();
}

void MainWindowKeys::save() const
{
    const auto store = SettingsStore::open();
    store->setValue(QStringLiteral("FrameFormat"), FrameFormat);
    store->setValue(QStringLiteral("MidiTimecodeType"), MidiTimecodeType);
    store->setValue(QStringLiteral("MidiInterfaceName"), MidiInterfaceName);
    SettingsStore::commit(*store);
}
