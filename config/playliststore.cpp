// The playlist's half of the settings store. It lives with the record's keys
// because the store belongs to the configuration; the playlist library itself
// knows nothing of where its entries are kept.
#include "playlist.h"
#include "settingsstore.h"

#include <QMutexLocker>
#include <QRegularExpression>

namespace
{
// Store order of the seven entry keys. Values are stored signed, -1 for the
// wildcard; `never` is what a value that cannot be this field loads as: a
// given value that no date matches, so a hand-edited typo cannot fire at some
// other time (text read as 0 would otherwise be midnight or January).
struct EntryKey {
    const char *name;
    int min;
    int max;
    quint16 never;
};
constexpr EntryKey entryKeys[] = {
    {"playlist_place_%1", -128, 255, 0x80},   {"playlist_year_%1", -32768, 65535, 0xFFFE},
    {"playlist_month_%1", -128, 255, 0xFE},   {"playlist_day_%1", -128, 255, 0xFE},
    {"playlist_weekday_%1", -128, 255, 0xFE}, {"playlist_hour_%1", -128, 255, 0xFE},
    {"playlist_minute_%1", -128, 255, 0xFE},
};

QString entryKey(const EntryKey &key, int index)
{
    return QString::fromLatin1(key.name).arg(index);
}

// The fields of PlaylistTime in the order of entryKeys.
struct FieldRef {
    quint8 *byte = nullptr;
    quint16 *word = nullptr;
};

void fieldRefs(PlaylistTime &t, FieldRef (&refs)[7])
{
    refs[0].byte = &t.place;
    refs[1].word = &t.year;
    refs[2].byte = &t.month;
    refs[3].byte = &t.day;
    refs[4].byte = &t.weekday;
    refs[5].byte = &t.hour;
    refs[6].byte = &t.minute;
}

// The entry index of a playlist key; -1 for any other key.
int entryIndex(const QString &key)
{
    static const QRegularExpression entry(
        QStringLiteral("^playlist_(place|year|month|day|weekday|hour|minute)_(\\d{1,9})$"));
    const auto match = entry.match(key);
    return match.hasMatch() ? match.captured(2).toInt() : -1;
}

// One past the highest entry index that has any key in the store: a count
// typed larger than the entries present must not make the load walk (and
// allocate) billions of empty entries.
int entriesPresent(const QStringList &keys)
{
    int present = 0;
    for (const QString &key : keys)
        present = qMax(present, entryIndex(key) + 1);
    return present;
}

// Field k of an entry from its stored value; absent is the wildcard.
void setField(PlaylistTime &entry, int k, const QVariant &stored)
{
    if (!stored.isValid())
        return;
    FieldRef refs[7];
    fieldRefs(entry, refs);
    bool ok = false;
    const int value = stored.toInt(&ok);
    const bool fits = ok && value >= entryKeys[k].min && value <= entryKeys[k].max;
    const quint16 field = fits ? quint16(value) : entryKeys[k].never;
    if (refs[k].byte)
        *refs[k].byte = quint8(field);
    else
        *refs[k].word = field;
}

// Field k as stored: signed, -1 for the wildcard.
int storedField(PlaylistTime entry, int k)
{
    FieldRef refs[7];
    fieldRefs(entry, refs);
    return refs[k].byte ? int(qint8(*refs[k].byte)) : int(qint16(*refs[k].word));
}

// The entry that ended the program, its seven fields in store order in one
// text, and the minute of the tick that activated it.
const QString ExitEntryKey = QStringLiteral("playlist_exit_entry");
const QString ExitAtKey = QStringLiteral("playlist_exit_at");
const QString ExitAtFormat = QStringLiteral("yyyy-MM-dd hh:mm");
} // namespace

void Playlist::loadPlaylistFromStore(bool forceState, bool state)
{
    const auto store = SettingsStore::open();
    bool ok = false;
    int count = store->value(QStringLiteral("playlist_count"), 0).toInt(&ok);
    if (!ok || count < 0)
        count = 0;
    count = qMin(count, entriesPresent(store->allKeys()));

    QMutexLocker lock(&m_mutex);
    enabled = forceState ? state : store->value(QStringLiteral("playlist_enabled"), 0).toInt() != 0;
    for (int i = 0; i < count; ++i) {
        PlaylistTime entry;
        for (int k = 0; k < 7; ++k)
            setField(entry, k, store->value(entryKey(entryKeys[k], i)));
        appendItem(entry);
    }

    const QStringList exitFields =
        store->value(ExitEntryKey).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QDateTime exitAt =
        QDateTime::fromString(store->value(ExitAtKey).toString(), ExitAtFormat);
    if (exitFields.size() != 7 || !exitAt.isValid())
        return;
    PlaylistTime exitEntry;
    for (int k = 0; k < 7; ++k)
        setField(exitEntry, k, exitFields.at(k));
    for (PlaylistItem &item : m_items)
        if (item.entry == exitEntry)
            item.lastActivation = PlaylistTime::fromDateTime(exitAt);
}

void Playlist::savePlaylistToStore()
{
    const auto store = SettingsStore::open();
    QMutexLocker lock(&m_mutex);
    store->setValue(QStringLiteral("playlist_count"), int(m_items.size()));
    store->setValue(QStringLiteral("playlist_enabled"), int(enabled.load()));
    for (int i = 0; i < m_items.size(); ++i)
        for (int k = 0; k < 7; ++k)
            store->setValue(entryKey(entryKeys[k], i), storedField(m_items.at(i).entry, k));
    // Entries of a longer list before: the count would hide them, but the
    // store would still carry, read and rewrite them at every start.
    for (const QString &key : store->allKeys())
        if (entryIndex(key) >= m_items.size())
            store->remove(key);
    lock.unlock();
    SettingsStore::commit(*store);
}

bool Playlist::saveExitToStore() const
{
    const PlaylistItem item = lastEmitted();
    const PlaylistTime &at = item.lastActivation;
    if (at.year == PlaylistTime::YearWildcard)
        return true; // nothing was activated
    QStringList fields;
    for (int k = 0; k < 7; ++k)
        fields << QString::number(storedField(item.entry, k));
    const QDateTime when(QDate(at.year, at.month, at.day), QTime(at.hour, at.minute));
    const auto store = SettingsStore::open();
    store->setValue(ExitEntryKey, fields.join(QLatin1Char(' ')));
    store->setValue(ExitAtKey, when.toString(ExitAtFormat));
    return SettingsStore::commit(*store);
}
