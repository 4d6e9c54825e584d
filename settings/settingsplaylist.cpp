#include "settingsplaylist.h"

#include "playlist.h"

#include <QComboBox>
#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// A field as the editor's item data: the wildcard is -1, the place codes
// keep their sign (-3 system time, -2 exits software).
int fieldValue(const PlaylistTime &entry, int column)
{
    switch (column) {
    case SettingsPlaylist::PlaceColumn:
        return qint8(entry.place);
    case SettingsPlaylist::YearColumn:
        return entry.year == PlaylistTime::YearWildcard ? -1 : int(entry.year);
    case SettingsPlaylist::MonthColumn:
        return qint8(entry.month);
    case SettingsPlaylist::DayColumn:
        return qint8(entry.day);
    case SettingsPlaylist::WeekdayColumn:
        return qint8(entry.weekday);
    case SettingsPlaylist::HourColumn:
        return qint8(entry.hour);
    case SettingsPlaylist::MinuteColumn:
        return qint8(entry.minute);
    }
    return -1;
}

void setField(PlaylistTime &entry, int column, int value)
{
    switch (column) {
    case SettingsPlaylist::PlaceColumn:
        entry.place = quint8(value);
        break;
    case SettingsPlaylist::YearColumn:
        entry.year = quint16(value);
        break;
    case SettingsPlaylist::MonthColumn:
        entry.month = quint8(value);
        break;
    case SettingsPlaylist::DayColumn:
        entry.day = quint8(value);
        break;
    case SettingsPlaylist::WeekdayColumn:
        entry.weekday = quint8(value);
        break;
    case SettingsPlaylist::HourColumn:
        entry.hour = quint8(value);
        break;
    case SettingsPlaylist::MinuteColumn:
        entry.minute = quint8(value);
        break;
    }
}
} // namespace

SettingsPlaylist::SettingsPlaylist(Playlist *playlist, QWidget *parent)
    : QWidget(parent), m_playlist(playlist)
{
    const struct {
        QPushButton **button;
        const char *icon;
        const char *shortcut;
        const char *tip;
        void (SettingsPlaylist::*slot)();
    } buttonTable[] = {
        {&m_enable, ":/images/off.xpm", "Ctrl+O",
         QT_TR_NOOP("Ctrl+O - enabled play list triggering"), &SettingsPlaylist::slotTableEnable},
        {&m_add, ":/images/add.xpm", "Ctrl+Ins", QT_TR_NOOP("Ctrl+Ins - add a new line at end"),
         &SettingsPlaylist::slotItemTableAdd},
        {&m_delete, ":/images/delete.xpm", "Ctrl+Del", QT_TR_NOOP("Ctrl+Del - delete last line"),
         &SettingsPlaylist::slotItemTableDel},
        {&m_up, ":/images/shiftup.xpm", "Ctrl+U", QT_TR_NOOP("Ctrl+U - shift selected line up"),
         &SettingsPlaylist::slotItemTableUp},
        {&m_down, ":/images/shiftdown.xpm", "Ctrl+D",
         QT_TR_NOOP("Ctrl+D - shift selected line down"), &SettingsPlaylist::slotItemTableDown},
    };
    m_buttons = new QVBoxLayout;
    for (const auto &entry : buttonTable) {
        auto *button = new QPushButton(QIcon(QLatin1String(entry.icon)), QString());
        button->setShortcut(QKeySequence(QLatin1String(entry.shortcut)));
        button->setToolTip(tr(entry.tip));
        connect(button, &QPushButton::clicked, this, entry.slot);
        m_buttons->addWidget(button);
        *entry.button = button;
    }
    m_buttons->addStretch();
    m_up->setEnabled(false);
    m_down->setEnabled(false);

    m_table = new QTableWidget(0, ColumnCount);
    m_table->setSelectionMode(QAbstractItemView::MultiSelection);
    connect(m_table, &QTableWidget::itemSelectionChanged, this,
            &SettingsPlaylist::slotUpdateShiftButton);
    const char *const headers[ColumnCount] = {
        QT_TR_NOOP("Place"),   QT_TR_NOOP("Year"), QT_TR_NOOP("Month"), QT_TR_NOOP("Day"),
        QT_TR_NOOP("Weekday"), QT_TR_NOOP("Hour"), QT_TR_NOOP("Minute")};
    for (int column = 0; column < ColumnCount; ++column) {
        auto *item = new QTableWidgetItem(tr(headers[column]));
        item->setToolTip(item->text());
        item->setData(Qt::UserRole, column);
        m_table->setHorizontalHeaderItem(column, item);
    }

    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->addWidget(m_table, 1);
    m_layout->addLayout(m_buttons);
    refresh();
}

QComboBox *SettingsPlaylist::makeCombo(int column, const PlaylistTime &entry)
{
    auto *combo = new QComboBox;
    switch (column) {
    case PlaceColumn:
        combo->addItem(QStringLiteral("--"), -1);
        combo->addItem(tr("system time"), -3);
        for (int place = 1; place <= 9; ++place)
            combo->addItem(tr("place %1", "place number").arg(place), place);
        combo->addItem(tr("Exits software"), -2);
        combo->setToolTip(tr("select place or exits software"));
        break;
    case YearColumn: {
        const int year = QDate::currentDate().year();
        combo->addItem(QStringLiteral("----"), -1);
        for (int y = year - 1; y <= year + 9; ++y)
            combo->addItem(QString::number(y), y);
        combo->setToolTip(tr("select year"));
        break;
    }
    case WeekdayColumn:
        combo->addItem(Playlist::weekdayText(-1, false), -1);
        for (int day = 0; day <= 6; ++day)
            combo->addItem(Playlist::weekdayText(day, false), day);
        combo->setToolTip(tr("select week day"));
        break;
    default: {
        const struct {
            int first, last;
            const char *tip;
        } ranges[] = {{1, 12, QT_TR_NOOP("select month")},
                      {1, 31, QT_TR_NOOP("select day")},
                      {0, 23, QT_TR_NOOP("select hour")},
                      {0, 59, QT_TR_NOOP("select minute")}};
        const auto &range = ranges[column == MonthColumn  ? 0
                                   : column == DayColumn  ? 1
                                   : column == HourColumn ? 2
                                                          : 3];
        combo->addItem(QStringLiteral("--"), -1);
        for (int value = range.first; value <= range.last; ++value)
            combo->addItem(twoDigits(value), value);
        combo->setToolTip(tr(range.tip));
        break;
    }
    }

    // A value the choices do not offer (a past year, an hour of 30 from a
    // file) gets an item of its own: dropping it to the wildcard would make a
    // one-off entry fire every year once the table is written back.
    const int value = fieldValue(entry, column);
    int current = combo->findData(value);
    if (current < 0) {
        const QString text = column == PlaceColumn  ? tr("place %1", "place number").arg(value)
                             : column == YearColumn ? QString::number(value)
                                                    : twoDigits(value);
        combo->addItem(text, value);
        current = combo->count() - 1;
    }
    combo->setCurrentIndex(current);
    connect(combo, &QComboBox::activated, this, &SettingsPlaylist::slotTableChanged);
    connect(combo, &QComboBox::textActivated, this, &SettingsPlaylist::slotTableChanged);
    return combo;
}

void SettingsPlaylist::buildRow(int row, const PlaylistTime &entry)
{
    if (m_table->rowCount() <= row)
        m_table->setRowCount(row + 1);
    auto *header = new QTableWidgetItem(QString::number(row + 1));
    header->setData(Qt::UserRole, row);
    m_table->setVerticalHeaderItem(row, header);
    for (int column = 0; column < ColumnCount; ++column)
        m_table->setCellWidget(row, column, makeCombo(column, entry));
}

PlaylistTime SettingsPlaylist::rowEntry(int row) const
{
    PlaylistTime entry;
    if (row < 0 || row >= m_table->rowCount())
        return entry;
    for (int column = 0; column < ColumnCount; ++column) {
        const auto *combo = qobject_cast<QComboBox *>(m_table->cellWidget(row, column));
        if (!combo)
            continue;
        const QVariant data = combo->currentData();
        if (data.isValid())
            setField(entry, column, data.toInt());
    }
    return entry;
}

void SettingsPlaylist::refresh()
{
    m_table->blockSignals(true);
    m_table->clearSelection();
    const int count = m_playlist ? m_playlist->itemCount() : 0;
    while (m_table->rowCount() > count)
        m_table->removeRow(0);
    m_table->setRowCount(count);
    for (int row = 0; row < count; ++row)
        buildRow(row, m_playlist->itemAt(row).entry);
    m_table->blockSignals(false);
    m_table->resizeRowsToContents();
    m_table->resizeColumnsToContents();

    const bool enabled = m_playlist && m_playlist->enabled.load();
    for (QWidget *widget : {static_cast<QWidget *>(m_table), static_cast<QWidget *>(m_add),
                            static_cast<QWidget *>(m_delete), static_cast<QWidget *>(m_up),
                            static_cast<QWidget *>(m_down)})
        widget->setEnabled(enabled);
    m_enable->setIcon(
        QIcon(enabled ? QStringLiteral(":/images/on.xpm") : QStringLiteral(":/images/off.xpm")));
}

QList<int> SettingsPlaylist::selectedRows(bool ascending) const
{
    QList<int> rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedIndexes()) {
        if (!rows.contains(index.row()))
            rows.append(index.row());
    }
    if (ascending)
        std::sort(rows.begin(), rows.end());
    else
        std::sort(rows.begin(), rows.end(), std::greater<int>());
    return rows;
}

void SettingsPlaylist::finishEdit()
{
    // Adding, deleting and moving lines change the list as much as a combo
    // box does: OK must write them back.
    m_changed = true;
    slotUpdateShiftButton();
    m_table->blockSignals(false);
    m_table->resizeRowsToContents();
    m_table->resizeColumnsToContents();
}

void SettingsPlaylist::slotTableChanged()
{
    m_changed = true;
}

void SettingsPlaylist::slotTableEnable()
{
    if (!m_playlist)
        return;
    m_playlist->enabled = !m_playlist->enabled.load();
    refresh();
}

void SettingsPlaylist::slotItemTableAdd()
{
    if (!m_playlist)
        return;
    m_table->blockSignals(true);
    buildRow(m_table->rowCount(), PlaylistTime());
    finishEdit();
}

void SettingsPlaylist::slotItemTableDel()
{
    if (!m_playlist)
        return;
    m_table->blockSignals(true);
    if (m_table->rowCount() == 0) {
        m_table->blockSignals(false);
        m_table->resizeRowsToContents();
        m_table->resizeColumnsToContents();
        return;
    }
    const QList<int> rows = selectedRows(false);
    if (rows.isEmpty()) {
        m_table->removeRow(m_table->rowCount() - 1);
    } else {
        for (int row : rows)
            m_table->removeRow(row);
    }
    // Row numbers in the header follow the rows' new places.
    for (int row = 0; row < m_table->rowCount(); ++row) {
        auto *header = new QTableWidgetItem(QString::number(row + 1));
        header->setData(Qt::UserRole, row);
        m_table->setVerticalHeaderItem(row, header);
    }
    finishEdit();
}

void SettingsPlaylist::swapRows(int a, int b)
{
    const PlaylistTime first = rowEntry(a);
    const PlaylistTime second = rowEntry(b);
    buildRow(a, second);
    buildRow(b, first);
}

void SettingsPlaylist::slotItemTableUp()
{
    const QList<int> rows = selectedRows(true);
    if (rows.isEmpty())
        return;
    m_table->blockSignals(true);
    QList<int> moved;
    for (int row : rows) {
        if (row >= 1 && row < m_table->rowCount()) {
            swapRows(row - 1, row);
            moved.append(row - 1);
        }
    }
    m_table->clearSelection();
    for (int row : moved)
        m_table->selectionModel()->select(m_table->model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    finishEdit();
}

void SettingsPlaylist::slotItemTableDown()
{
    const QList<int> rows = selectedRows(false);
    if (rows.isEmpty())
        return;
    m_table->blockSignals(true);
    QList<int> moved;
    for (int row : rows) {
        if (row < m_table->rowCount() - 1) {
            swapRows(row, row + 1);
            moved.append(row + 1);
        }
    }
    m_table->clearSelection();
    for (int row : moved)
        m_table->selectionModel()->select(m_table->model()->index(row, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    finishEdit();
}

void SettingsPlaylist::slotUpdateShiftButton()
{
    const QList<int> rows = selectedRows(true);
    const bool enabled = m_playlist && m_playlist->enabled.load();
    m_up->setEnabled(enabled && !rows.contains(0));
    m_down->setEnabled(enabled && !rows.contains(m_table->rowCount() - 1));
}

void SettingsPlaylist::copyTableTo(Playlist &target) const
{
    for (int row = 0; row < m_table->rowCount(); ++row)
        target.appendItem(rowEntry(row));
    target.enabled = m_playlist && m_playlist->enabled.load();
}

void SettingsPlaylist::saveToPlaylist()
{
    if (!m_playlist)
        return;
    const int count = m_table->rowCount();
    for (int row = 0; row < count; ++row) {
        const PlaylistTime entry = rowEntry(row);
        if (row < m_playlist->itemCount())
            m_playlist->replaceItem(row, entry);
        else
            m_playlist->appendItem(entry);
    }
    while (m_playlist->itemCount() > count)
        m_playlist->removeLastItem();
}
