#pragma once

#include "clock.h"
#include "playlisttime.h"
#include "timecodetimer.h"

#include <QList>
#include <QRecursiveMutex>
#include <QString>

#include <atomic>
#include <functional>

class EdgeTimer;

// The calendar of place activations: an ordered list of entries checked every
// 30 seconds on the playlist's own thread; the place of the last due entry of
// a tick is emitted. The ticks fall on second 0 and 30 of the wall clock, so
// an entry's place starts as its minute begins, not up to 30 s into it. The same class is the
// container that the settings store, the configuration file and the playlist editor read and fill
// from the GUI thread, so every list operation and a tick's scan hold one recursive lock.
class Playlist : public TimecodeTimer
{
    Q_OBJECT
public:
    static constexpr int TickIntervalMs = 30000;

    explicit Playlist(bool verbose = false, const Clock *clock = SystemClock::instance());
    ~Playlist() override;

    int itemCount() const;
    // A copy taken under the lock; all wildcards when `index` is out of range.
    PlaylistItem itemAt(int index) const;
    void appendItem(const PlaylistTime &entry);
    // Also resets the last activation, so a matching entry fires again.
    void replaceItem(int index, const PlaylistTime &entry);
    void removeLastItem();
    void clearItems();
    // Moves the other playlist's items and enabled flag into this one; the
    // other is left empty. The other's lock is not taken: it is not shared.
    void takeItemsFrom(Playlist *other);

    // The store keys "playlist_*". With forceState the command line's choice
    // replaces "playlist_enabled". Defined in the configuration library, next
    // to the record's keys.
    void loadPlaylistFromStore(bool forceState, bool state);
    void savePlaylistToStore();

    // The entry of the last activation emitted, with that tick's time as its
    // last activation; all wildcards before the first.
    PlaylistItem lastEmitted() const;
    // An activation that ended the program is kept in the store
    // ("playlist_exit_entry", "playlist_exit_at"): loaded again, an equal
    // entry starts with it as its last activation, so a restart within the
    // same occurrence does not end the program a second time. Every other
    // entry starts afresh, and fires at the first tick if it matches.
    // False when the store could not keep it.
    bool saveExitToStore() const;

    // Console texts of the verbose lines; weekdayText also labels the
    // editor's weekday choices.
    static QString placeText(quint8 place);
    static QString weekdayText(int weekday, bool pad);
    static QString itemText(const PlaylistTime &record, quint8 place);

    // The wall-clock time from the last tick to the next one, as the last
    // tick of a started playlist aimed it; -1 before that.
    int nextTickInMs() const { return m_nextTickMs; }

    // Where verbose lines go (standard output unless replaced).
    using LineSink = std::function<void(const QByteArray &line)>;
    void setLineSink(LineSink sink);

    // Written from the GUI thread while the tick reads it; one flag, no lock.
    std::atomic<bool> enabled{false};

signals:
    void signalActivatedItem(int iPlace);

public slots:
    void slotSendTimecodeTimeOut() override;

private:
    void writeLine(const QString &text) const;
    // Aims the next tick at the next second 0 or 30 after `wall`.
    void aimNextTick(const QDateTime &wall);

    mutable QRecursiveMutex m_mutex;
    QList<PlaylistItem> m_items;
    PlaylistItem m_lastEmitted;
    const bool m_verbose;
    const Clock *m_clock;
    LineSink m_sink;
    EdgeTimer *m_edge;
    int m_nextTickMs = -1;
};
