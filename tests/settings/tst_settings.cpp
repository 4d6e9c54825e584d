#include "artnet.h"
#include "idwidgets.h"
#include "playlist.h"
#include "settings.h"
#include "settingsplaces.h"
#include "settingsplaylist.h"
#include "settingsstore.h"

#include <QTemporaryDir>
#include <QtTest>
#include <QtWidgets>

namespace
{
PlaylistTime at(quint8 place, quint8 hour)
{
    PlaylistTime e;
    e.place = place;
    e.hour = hour;
    return e;
}

// The places of the table, top to bottom, as "place/hour".
QStringList rows(const SettingsPlaylist &page)
{
    QStringList out;
    for (int r = 0; r < page.table()->rowCount(); ++r) {
        const PlaylistTime e = page.rowEntry(r);
        out << QStringLiteral("%1/%2").arg(qint8(e.place)).arg(qint8(e.hour));
    }
    return out;
}

void select(SettingsPlaylist &page, const QList<int> &selected)
{
    page.table()->clearSelection();
    for (int r : selected)
        page.table()->selectionModel()->select(page.table()->model()->index(r, 0),
                                               QItemSelectionModel::Select |
                                                   QItemSelectionModel::Rows);
}

QList<int> selectedRows(const SettingsPlaylist &page)
{
    QList<int> out;
    for (const QModelIndex &i : page.table()->selectionModel()->selectedRows())
        out << i.row();
    std::sort(out.begin(), out.end());
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
        QTest::addColumn<int>("row");
        QTest::addColumn<QTime>("start");
        QTest::addColumn<QTime>("end");
        QTest::addColumn<bool>("red");
        QTest::newRow("default") << 0 << QTime(0, 0) << QTime(23, 59, 59) << false;
        QTest::newRow("equal times, place 4") << 3 << QTime(12, 0) << QTime(12, 0) << true;
        QTest::newRow("start after end") << 8 << QTime(13, 0) << QTime(12, 0) << true;
        QTest::newRow("corrected by a second") << 3 << QTime(12, 0) << QTime(12, 0, 1) << false;
    }

    void placesMarkRowsWhoseStartIsNotBeforeTheEnd()
    {
        QFETCH(int, row);
        QFETCH(QTime, start);
        QFETCH(QTime, end);
        QFETCH(bool, red);
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
        auto *state = qobject_cast<QLabel *>(table->cellWidget(row, 0));
        QCOMPARE(state->toolTip(),
                 red ? QStringLiteral("start time code greater then end time code")
                     : QStringLiteral("ok"));
        const QString icon = red ? ":/images/state_critical.xpm" : ":/images/state_information.xpm";
        QCOMPARE(state->pixmap().toImage(), QPixmap(icon).toImage());
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

    void playlistEditing_data()
    {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QList<int>>("selectedAfter");
        QTest::newRow("delete, nothing selected")
            << QList<int>{} << "delete" << QStringList{"1/1", "2/2", "3/3", "4/4"} << QList<int>{};
        QTest::newRow("delete lines 2 and 4")
            << QList<int>{1, 3} << "delete" << QStringList{"1/1", "3/3", "5/5"} << QList<int>{};
        QTest::newRow("lines 2 and 3 down")
            << QList<int>{1, 2} << "down" << QStringList{"1/1", "4/4", "2/2", "3/3", "5/5"}
            << QList<int>{2, 3};
        QTest::newRow("lines 2 and 4 up")
            << QList<int>{1, 3} << "up" << QStringList{"2/2", "1/1", "4/4", "3/3", "5/5"}
            << QList<int>{0, 2};
        QTest::newRow("up, nothing selected")
            << QList<int>{} << "up" << QStringList{"1/1", "2/2", "3/3", "4/4", "5/5"}
            << QList<int>{};
        QTest::newRow("first line cannot go up")
            << QList<int>{0} << "up" << QStringList{"1/1", "2/2", "3/3", "4/4", "5/5"}
            << QList<int>{0};
        QTest::newRow("last line cannot go down")
            << QList<int>{4} << "down" << QStringList{"1/1", "2/2", "3/3", "4/4", "5/5"}
            << QList<int>{4};
        QTest::newRow("add") << QList<int>{} << "add"
                             << QStringList{"1/1", "2/2", "3/3", "4/4", "5/5", "-1/-1"}
                             << QList<int>{};
    }

    void playlistEditing()
    {
        QFETCH(QList<int>, selected);
        QFETCH(QString, button);
        QFETCH(QStringList, after);
        QFETCH(QList<int>, selectedAfter);
        Playlist playlist(false);
        playlist.enabled = true;
        for (quint8 n = 1; n <= 5; ++n)
            playlist.appendItem(at(n, n));
        SettingsPlaylist page(&playlist);
        select(page, selected);
        QCOMPARE(page.upButton()->isEnabled(), !selected.contains(0));
        QCOMPARE(page.downButton()->isEnabled(), !selected.contains(4));
        QPushButton *target = button == "delete" ? page.deleteButton()
                              : button == "up"   ? page.upButton()
                              : button == "down" ? page.downButton()
                                                 : page.addButton();
        target->click();
        QCOMPARE(rows(page), after);
        QCOMPARE(selectedRows(page), selectedAfter);
        QCOMPARE(playlist.itemCount(), 5); // nothing reaches the playlist before OK
        QCOMPARE(page.isChanged(), after.size() != 5 || selectedAfter != selected);

        page.saveToPlaylist();
        QStringList written;
        for (int i = 0; i < playlist.itemCount(); ++i) {
            const PlaylistTime e = playlist.itemAt(i).entry;
            written << QStringLiteral("%1/%2").arg(qint8(e.place)).arg(qint8(e.hour));
        }
        QCOMPARE(written, after);
    }

    void playlistCellsShowEntryAndWildcards()
    {
        Playlist playlist(false);
        PlaylistTime system = at(0xFD, 0xFF);
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
        // Disabled playlist: the table and its editing buttons are off, the switch is not.
        QVERIFY(!page.table()->isEnabled() && !page.addButton()->isEnabled());
        QVERIFY(page.enableButton()->isEnabled());

        page.saveToPlaylist();
        QCOMPARE(playlist.itemAt(0).entry.year, system.year);
        QCOMPARE(playlist.itemAt(0).entry.place, quint8(0xFD));
        QCOMPARE(playlist.itemAt(1).entry.place, quint8(0xFF));
    }

    void playlistEnableTwiceKeepsFlagAndDropsEdits()
    {
        Playlist playlist(false);
        playlist.enabled = true;
        playlist.appendItem(at(2, 8));
        SettingsPlaylist page(&playlist);
        QComboBox *place = cell(page, 0, SettingsPlaylist::PlaceColumn);
        place->setCurrentIndex(place->findData(5));
        emit place->activated(place->currentIndex());
        QVERIFY(page.isChanged());

        page.enableButton()->click();
        QVERIFY(!playlist.enabled.load());
        QVERIFY(!page.table()->isEnabled());
        page.enableButton()->click();
        QVERIFY(playlist.enabled.load());
        QCOMPARE(rows(page), QStringList{"2/8"});
    }

    void dialogWorksOnACopy_data()
    {
        QTest::addColumn<QString>("storedInterface");
        QTest::addColumn<QString>("shownInterface");
        QTest::newRow("matching") << "10.77.0.0"
                                  << "eth1: 10.77.0.0";
        QTest::newRow("no match") << "10.1.2.3"
                                  << "all: 255.255.255.255";
        QTest::newRow("first start") << ""
                                     << "all: 255.255.255.255";
    }

    void dialogWorksOnACopy()
    {
        QFETCH(QString, storedInterface);
        QFETCH(QString, shownInterface);
        QNetworkAddressEntry entry;
        entry.setIp(QHostAddress(QStringLiteral("10.77.0.1")));
        entry.setPrefixLength(24);
        entry.setBroadcast(QHostAddress(QStringLiteral("10.77.0.255")));
        artnet node(
            false,
            {AddressEntry{entry, QStringLiteral("00:00:00:00:00:01"), QStringLiteral("eth1")}},
            [](const QString &) {});
        SettingStruct record;
        record.artnet_interface_name = storedInterface;
        record.dmx_in_universe = 300;
        record.places[0].StartHour = 5;
        Settings dialog(nullptr, &record, &node, nullptr);
        QSignalSpy ok(&dialog, &Settings::valueChanged);
        auto *interfaces = dialog.findChild<QComboBox *>(QStringLiteral("interfaces"));
        auto *universe = dialog.findChild<QSpinBox *>(QStringLiteral("dmxUniverse"));
        QCOMPARE(interfaces->currentText(), shownInterface);
        QCOMPARE(universe->value(), 256);
        QCOMPARE(dialog.workingCopy().dmx_in_universe, 300);

        universe->setValue(12);
        qobject_cast<TimeEditId *>(dialog.placesEditor()->table()->cellWidget(0, 1))
            ->setTime(QTime(7, 0));
        QCOMPARE(record.dmx_in_universe, 300); // only OK hands the copy back

        // OK hands the copy back; an unmatched interface text becomes "all"'s
        // address once any widget changed.
        dialog.findChild<QPushButton *>(QStringLiteral("ok"))->click();
        QCOMPARE(ok.count(), 1);
        QCOMPARE(record.dmx_in_universe, 12);
        QCOMPARE(record.places[0].StartHour, quint8(7));
        QCOMPARE(record.artnet_interface_name, shownInterface.startsWith("all")
                                                   ? QStringLiteral("255.255.255.255")
                                                   : storedInterface);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
