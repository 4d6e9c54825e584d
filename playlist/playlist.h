#pragma once

#include "clock.h"
#include "playlisttime.h"
#include "timecodetimer.h"

#include <QList>
#include <QRecursiveMutex>
#include <QString>

#include <atomic>
#include <functional>

// The calendar of place activations: an ordered list of entries checked every
// 30 seconds on the playlist's own thread; the place of the last due entry of
// a tick is emitted. The same class is the container that the settings store,
// the configuration file and the playlist editor read and fill from the GUI
// thread, so every list operation and a tick's scan hold one recursive lock.
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

    // Console texts of the verbose lines; weekdayText also labels the
    // editor's weekday choices.
    static QString placeText(quint8 place);
    static QString weekdayText(int weekday, bool pad);
    static QString itemText(const PlaylistTime &record, quint8 place);

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

    mutable QRecursiveMutex m_mutex;
    QList<PlaylistItem> m_items;
    const bool m_verbose;
    const Clock *m_clock;
    LineSink m_sink;
};
