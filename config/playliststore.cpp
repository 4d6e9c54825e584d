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
        FieldRef refs[7];
        fieldRefs(entry, refs);
        for (int k = 0; k < 7; ++k) {
            const QVariant stored = store->value(entryKey(entryKeys[k], i));
            if (!stored.isValid())
                continue; // absent: the field's wildcard
            const int value = stored.toInt(&ok);
            const bool fits = ok && value >= entryKeys[k].min && value <= entryKeys[k].max;
            const quint16 field = fits ? quint16(value) : entryKeys[k].never;
            if (refs[k].byte)
                *refs[k].byte = quint8(field);
            else
                *refs[k].word = field;
        }
        appendItem(entry);
    }
}

void Playlist::savePlaylistToStore()
{
    const auto store = SettingsStore::open();
    QMutexLocker lock(&m_mutex);
    store->setValue(QStringLiteral("playlist_count"), int(m_items.size()));
    store->setValue(QStringLiteral("playlist_enabled"), int(enabled.load()));
    for (int i = 0; i < m_items.size(); ++i) {
        PlaylistTime entry = m_items.at(i).entry;
        FieldRef refs[7];
        fieldRefs(entry, refs);
        for (int k = 0; k < 7; ++k) {
            const int value = refs[k].byte ? int(qint8(*refs[k].byte)) : int(qint16(*refs[k].word));
            store->setValue(entryKey(entryKeys[k], i), value);
        }
    }
    // Entries of a longer list before: the count would hide them, but the
    // store would still carry, read and rewrite them at every start.
    for (const QString &key : store->allKeys())
        if (entryIndex(key) >= m_items.size())
            store->remove(key);
}
