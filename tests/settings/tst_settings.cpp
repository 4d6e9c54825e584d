#include "artnet.h"
#include "fakeinterfaces.h"
#include "idwidgets.h"
#include "playlist.h"
#include "settings.h"
#include "settingsplaces.h"
#include "settingsplaylist.h"
#include "settingsstore.h"
#include "table.h"

#include <QTemporaryDir>
#include <QtTest>
#include <QtWidgets>

namespace
{
// One character per entry: its place when the hour matches it, '-' for an
// all-wildcard entry, '?' for anything else.
QString code(const PlaylistTime &e)
{
    return e.place == 0xFF && e.hour == 0xFF ? QStringLiteral("-")
           : e.hour == e.place               ? QString::number(e.place)
                                             : QStringLiteral("?");
}

QString rows(const SettingsPlaylist &page)
{
    QString out;
    for (int r = 0; r < page.table()->rowCount(); ++r)
        out += code(page.rowEntry(r));
    return out;
}

QComboBox *cell(const SettingsPlaylist &page, int row, int column)
{
    return qobject_cast<QComboBox *>(page.table()->cellWidget(row, column));
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SettingsStore::useFile(m_dir.filePath(QStringLiteral("store.ini")));
    }

    void placesMarkRowsWhoseStartIsNotBeforeTheEnd_data()
    {
        Table::columns<int, QTime, QTime, bool>("row", "start", "end", "red");
        Table::row("equal times, place 4", 3, QTime(12, 0), QTime(12, 0), true);
        Table::row("start after end", 8, QTime(13, 0), QTime(12, 0), true);
        Table::row("corrected by a second", 3, QTime(12, 0), QTime(12, 0, 1), false);
    }

    void placesMarkRowsWhoseStartIsNotBeforeTheEnd()
    {
        const auto [row, start, end, red] =
            Table::fetch<int, QTime, QTime, bool>("row", "start", "end", "red");
        SettingStructItem places[9];
        SettingsPlaces page(places);
        auto *table = page.table();
        // Through a red state first, so clearing is also seen.
        places[row].EndHour = 0;
        qobject_cast<TimeEditId *>(table->cellWidget(row, 2))->setTime(QTime(0, 0));
        qobject_cast<TimeEditId *>(table->cellWidget(row, 1))->setTime(start);
        qobject_cast<TimeEditId *>(table->cellWidget(row, 2))->setTime(end);

        QCOMPARE(QTime(places[row].StartHour, places[row].StartMinute, places[row].StartSecond),
                 start);
        QCOMPARE(QTime(places[row].EndHour, places[row].EndMinute, places[row].EndSecond), end);
        for (int column = 1; column <= 3; ++column)
            QCOMPARE(table->cellWidget(row, column)->styleSheet(),
                     red ? QStringLiteral("background-color:#ff0000;") : QString());
        const QString reason =
            red ? QStringLiteral("start time code greater then end time code") : QString();
        QCOMPARE(table->cellWidget(row, 0)->toolTip(), red ? reason : QStringLiteral("ok"));
        // Not by colour alone: the reason is also each cell's status tip.
        for (int column = 0; column <= 3; ++column)
            QCOMPARE(table->cellWidget(row, column)->statusTip(), reason);
        for (int other = 0; other < 9; ++other)
            QVERIFY(other == row || table->cellWidget(other, 1)->styleSheet().isEmpty());
    }

    void placesExitAndOutOfRangeHour()
    {
        SettingStructItem places[9];
        places[1].StartHour = 30; // from a file: kept, and marked as never reachable
        SettingsPlaces page(places);
        qobject_cast<CheckBoxId *>(page.table()->cellWidget(8, 3))->click();
        QCOMPARE(places[8].ExitAtEnd, quint8(1));
        QCOMPARE(places[1].StartHour, quint8(30));
        QVERIFY(!page.table()->cellWidget(1, 1)->styleSheet().isEmpty());
    }

    // Five entries "12345"; selections are row indexes.
    void playlistEditing_data()
    {
        Table::columns<QString, QString, QString, QString>("selected", "button", "after",
                                                           "selectedAfter");
        using Table::row;
        row("delete, nothing selected: the last", "", "delete", "1234", "");
        row("delete lines 2 and 4", "13", "delete", "135", "");
        row("lines 2 and 3 down", "12", "down", "14235", "23");
        row("lines 2 and 4 up", "13", "up", "21435", "02");
        row("up, nothing selected", "", "up", "12345", "");
        row("first line cannot go up", "0", "up", "12345", "0");
        row("last line cannot go down", "4", "down", "12345", "4");
        row("add", "", "add", "12345-", "");
    }

    void playlistEditing()
    {
        const auto [selected, button, after, selectedAfter] =
            Table::fetch<QString, QString, QString, QString>("selected", "button", "after",
                                                             "selectedAfter");
        Playlist playlist(false);
        playlist.enabled = true;
        for (quint8 n = 1; n <= 5; ++n) {
            PlaylistTime e;
            e.place = e.hour = n;
            playlist.appendItem(e);
        }
        SettingsPlaylist page(&playlist);
        auto *table = page.table();
        table->clearSelection();
        for (QChar r : selected)
            table->selectionModel()->select(table->model()->index(r.digitValue(), 0),
                                            QItemSelectionModel::Select |
                                                QItemSelectionModel::Rows);
        QCOMPARE(page.upButton()->isEnabled(), !selected.contains('0'));
        QCOMPARE(page.downButton()->isEnabled(), !selected.contains('4'));
        QPushButton *target = button == "delete" ? page.deleteButton()
                              : button == "up"   ? page.upButton()
                              : button == "down" ? page.downButton()
                                                 : page.addButton();
        target->click();
        QCOMPARE(rows(page), after);
        QString selectedNow;
        for (const QModelIndex &i : table->selectionModel()->selectedRows())
            selectedNow += QString::number(i.row());
        std::sort(selectedNow.begin(), selectedNow.end());
        QCOMPARE(selectedNow, selectedAfter);
        QCOMPARE(playlist.itemCount(), 5); // nothing reaches the playlist before OK
        QCOMPARE(page.isChanged(), after != "12345" || selectedAfter != selected);

        page.saveToPlaylist();
        QString written;
        for (int i = 0; i < playlist.itemCount(); ++i)
            written += code(playlist.itemAt(i).entry);
        QCOMPARE(written, after);
    }

    // The switch acts at once; switching off and on again drops table edits.
    void playlistCellsAndSwitch()
    {
        Playlist playlist(false);
        PlaylistTime system;
        system.place = 0xFD;
        system.weekday = 6;
        system.year = quint16(QDate::currentDate().year() - 5); // before the offered years
        playlist.appendItem(system);
        playlist.appendItem(PlaylistTime());
        SettingsPlaylist page(&playlist);
        QStringList shown;
        for (int row = 0; row < 2; ++row)
            for (int c = 0; c < SettingsPlaylist::ColumnCount; ++c)
                shown << cell(page, row, c)->currentText();
        QCOMPARE(shown,
                 (QStringList{"system time", QString::number(system.year), "--", "--", "Sunday",
                              "--", "--", "--", "----", "--", "--", "---------", "--", "--"}));
        QVERIFY(!page.table()->isEnabled() && page.enableButton()->isEnabled());
        QCOMPARE(page.enableButton()->text(), QStringLiteral("Off"));

        page.enableButton()->click();
        QVERIFY(playlist.enabled.load() && page.table()->isEnabled());
        QCOMPARE(page.enableButton()->text(), QStringLiteral("On"));
        QComboBox *place = cell(page, 0, SettingsPlaylist::PlaceColumn);
        place->setCurrentIndex(place->findData(5));
        emit place->activated(place->currentIndex());
        QVERIFY(page.isChanged());
        page.enableButton()->click();
        page.enableButton()->click();
        QVERIFY(playlist.enabled.load());
        QCOMPARE(page.rowEntry(0), system);
        page.saveToPlaylist();
        QCOMPARE(playlist.itemAt(0).entry, system);
    }

    void dialogWorksOnACopy_data()
    {
        Table::columns<QString, QString>("storedInterface", "shownInterface");
        Table::row("matching", "10.77.0.0", "eth1: 10.77.0.0");
        Table::row("no match", "10.1.2.3", "all: 255.255.255.255");
    }

    void dialogWorksOnACopy()
    {
        const auto [storedInterface, shownInterface] =
            Table::fetch<QString, QString>("storedInterface", "shownInterface");
        artnet node(false, {fakeInterface("10.77.0.1", "10.77.0.255", "eth1")},
                    [](const QString &) {});
        SettingStruct record;
        record.artnet_interface_name = storedInterface;
        record.dmx_in_universe = 300;
        Settings dialog(nullptr, &record, &node, nullptr);
        auto *interfaces = dialog.findChild<QComboBox *>(QStringLiteral("interfaces"));
        auto *universe = dialog.findChild<QSpinBox *>(QStringLiteral("dmxUniverse"));
        QCOMPARE(interfaces->currentText(), shownInterface);
        QCOMPARE(universe->value(), 256);
        QCOMPARE(dialog.workingCopy().dmx_in_universe, 300);

        universe->setValue(12);
        qobject_cast<TimeEditId *>(dialog.placesEditor()->table()->cellWidget(0, 1))
            ->setTime(QTime(7, 0));
        // That only OK hands the copy back is tst_settingswindow's dialogKeys.
        // An unmatched interface text becomes "all"'s address once any widget
        // changed.
        dialog.findChild<QPushButton *>(QStringLiteral("ok"))->click();
        QCOMPARE(record.dmx_in_universe, 12);
        QCOMPARE(record.places[0].StartHour, quint8(7));
        QCOMPARE(record.artnet_interface_name, shownInterface.startsWith("all")
                                                   ? QStringLiteral("255.255.255.255")
                                                   : storedInterface);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
