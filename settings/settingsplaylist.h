#pragma once

#include <QList>
#include <QWidget>

class QComboBox;
class QHBoxLayout;
class QPushButton;
class QTableWidget;
class QVBoxLayout;
class Playlist;
struct PlaylistTime;

// The "Playlist" page of the settings window: one row of combo boxes per
// entry of the running playlist. The table is written back only on OK and
// only when something changed; the enable button alone acts at once.
class SettingsPlaylist : public QWidget
{
    Q_OBJECT
public:
    enum Column {
        PlaceColumn,
        YearColumn,
        MonthColumn,
        DayColumn,
        WeekdayColumn,
        HourColumn,
        MinuteColumn,
        ColumnCount
    };

    // `playlist` is the running one; not owned, may be absent.
    explicit SettingsPlaylist(Playlist *playlist, QWidget *parent = nullptr);

    bool isChanged() const { return m_changed; }
    // Replaces the playlist's entries by the table's rows; each written entry
    // starts with a fresh last activation.
    void saveToPlaylist();
    // Appends the table's rows to `target` (an export's playlist) and gives it
    // the running playlist's enabled flag.
    void copyTableTo(Playlist &target) const;

    QTableWidget *table() const { return m_table; }
    QPushButton *enableButton() const { return m_enable; }
    QPushButton *addButton() const { return m_add; }
    QPushButton *deleteButton() const { return m_delete; }
    QPushButton *upButton() const { return m_up; }
    QPushButton *downButton() const { return m_down; }
    // The entry a row's combo boxes show; every field at its wildcard for a
    // row out of range.
    PlaylistTime rowEntry(int row) const;

private slots:
    void slotTableChanged();
    void slotTableEnable();
    void slotItemTableAdd();
    void slotItemTableDel();
    void slotItemTableUp();
    void slotItemTableDown();
    void slotUpdateShiftButton();

private:
    void refresh();
    void buildRow(int row, const PlaylistTime &entry);
    QComboBox *makeCombo(int column, const PlaylistTime &entry);
    void swapRows(int a, int b);
    QList<int> selectedRows(bool ascending) const;
    void finishEdit();

    QPushButton *m_enable = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_up = nullptr;
    QPushButton *m_down = nullptr;
    QVBoxLayout *m_buttons = nullptr;
    QHBoxLayout *m_layout = nullptr;
    QTableWidget *m_table = nullptr;
    bool m_changed = false;
    Playlist *m_playlist = nullptr;
};
