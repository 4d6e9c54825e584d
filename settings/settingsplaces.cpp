#include "settingsplaces.h"

#include "idwidgets.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>

namespace
{
const QString InformationIcon = QStringLiteral(":/images/state_information.xpm");
const QString CriticalIcon = QStringLiteral(":/images/state_critical.xpm");
} // namespace

SettingsPlaces::SettingsPlaces(SettingStructItem *places, QWidget *parent)
    : QWidget(parent), m_places(places)
{
    m_normalColour = QPushButton().palette().color(QPalette::Current, QPalette::Window);

    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setAccessibleName(tr("Places"));
    const struct {
        const char *text;
        const char *tip;
    } headers[ColumnCount] = {
        {QT_TR_NOOP("#"), QT_TR_NOOP("information about state")},
        {QT_TR_NOOP("time start"), QT_TR_NOOP("time code range start")},
        {QT_TR_NOOP("time end"), QT_TR_NOOP("time code range end")},
        {QT_TR_NOOP("at end"), QT_TR_NOOP("exit software at end of time code")},
    };
    for (int column = 0; column < ColumnCount; ++column) {
        auto *item = new QTableWidgetItem(tr(headers[column].text));
        item->setToolTip(tr(headers[column].tip));
        item->setData(Qt::UserRole, column);
        m_table->setHorizontalHeaderItem(column, item);
    }

    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->addWidget(m_table);
    fillTable();
}

void SettingsPlaces::fillTable()
{
    m_table->blockSignals(true);
    while (m_table->rowCount() > RowCount)
        m_table->removeRow(0);
    m_table->setRowCount(RowCount);
    if (m_places) {
        for (int row = 0; row < RowCount; ++row)
            addRow(row, m_places[row]);
    }
    m_table->resizeRowsToContents();
    m_table->resizeColumnsToContents();
    m_table->blockSignals(false);
    for (int row = 0; row < RowCount; ++row)
        refreshRow(row);
    m_table->resizeRowsToContents();
    m_table->resizeColumnsToContents();

    // All nine places at a glance: an operator should not scroll to see
    // whether place 9 is marked.
    int height = m_table->horizontalHeader()->sizeHint().height() + 2 * m_table->frameWidth();
    for (int row = 0; row < m_table->rowCount(); ++row)
        height += m_table->rowHeight(row);
    m_table->setMinimumHeight(height);
}

void SettingsPlaces::addRow(int row, const SettingStructItem &item)
{
    if (m_table->rowCount() <= row)
        m_table->setRowCount(row + 1);
    auto *header = new QTableWidgetItem(QString::number(row + 1));
    header->setData(Qt::UserRole, row);
    m_table->setVerticalHeaderItem(row, header);

    auto *state = new QLabel;
    state->setPixmap(QPixmap(InformationIcon));
    state->setAccessibleName(tr("State of place %1").arg(row + 1));
    m_table->setCellWidget(row, StateColumn, state);
    // A screen reader walks the cells, not the editors in them.
    for (int column = 0; column < ColumnCount; ++column) {
        auto *cell = new QTableWidgetItem;
        cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        cell->setData(
            Qt::AccessibleTextRole,
            tr("%1, place %2").arg(m_table->horizontalHeaderItem(column)->toolTip()).arg(row + 1));
        m_table->setItem(row, column, cell);
    }

    // The time is set before the connection, so filling writes nothing back.
    auto *start = new TimeEditId(uint(row));
    start->setDisplayFormat(QStringLiteral("hh:mm:ss"));
    start->setTime(QTime(item.StartHour, item.StartMinute, item.StartSecond));
    start->setAccessibleName(tr("Start code of place %1").arg(row + 1));
    connect(start, &TimeEditId::timeChangedId, this, &SettingsPlaces::slotTimeStartChanged);
    m_table->setCellWidget(row, StartColumn, start);

    auto *end = new TimeEditId(uint(row));
    end->setDisplayFormat(QStringLiteral("hh:mm:ss"));
    end->setTime(QTime(item.EndHour, item.EndMinute, item.EndSecond));
    end->setAccessibleName(tr("End code of place %1").arg(row + 1));
    connect(end, &TimeEditId::timeChangedId, this, &SettingsPlaces::slotTimeStopChanged);
    m_table->setCellWidget(row, EndColumn, end);

    auto *exit = new CheckBoxId(uint(row));
    exit->setText(tr("Exit"));
    exit->setToolTip(tr("exits software at end of time code"));
    exit->setAccessibleName(tr("Exit at the end of place %1").arg(row + 1));
    exit->setChecked(item.ExitAtEnd != 0);
    connect(exit, &CheckBoxId::clickedId, this, &SettingsPlaces::slotExitClicked);
    m_table->setCellWidget(row, ExitColumn, exit);
}

void SettingsPlaces::slotTimeStartChanged(QTime Time, uint iRow)
{
    if (!m_places || iRow >= RowCount)
        return;
    SettingStructItem &place = m_places[iRow];
    place.StartHour = quint8(Time.hour());
    place.StartMinute = quint8(Time.minute());
    place.StartSecond = quint8(Time.second());
    refreshRow(int(iRow));
}

void SettingsPlaces::slotTimeStopChanged(QTime Time, uint iRow)
{
    if (!m_places || iRow >= RowCount)
        return;
    SettingStructItem &place = m_places[iRow];
    place.EndHour = quint8(Time.hour());
    place.EndMinute = quint8(Time.minute());
    place.EndSecond = quint8(Time.second());
    refreshRow(int(iRow));
}

void SettingsPlaces::slotExitClicked(bool Checked, uint iRow)
{
    if (!m_places || iRow >= RowCount)
        return;
    m_places[iRow].ExitAtEnd = Checked ? 1 : 0;
    refreshRow(int(iRow));
}

void SettingsPlaces::refreshRow(int row)
{
    if (!m_places || row < 0 || row >= RowCount)
        return;
    const SettingStructItem &place = m_places[row];
    QString message;
    QColor colour = m_normalColour;
    // Compared as the counter sees them, so a start of 30:00:00 from a file is
    // marked too instead of passing as an invalid time.
    if (place.startMs() >= place.endMs()) {
        colour = QColor(255, 0, 0, 255);
        message += tr("start time code greater then end time code\n");
    }
    // Red is not the only sign: the row's editors carry the reason as their
    // status tip, and the state icon says it to a screen reader as well.
    const QString reason = message.chopped(message.isEmpty() ? 0 : 1);
    for (int column : {StartColumn, EndColumn, ExitColumn}) {
        setCellColour(m_table->cellWidget(row, column), colour);
        if (QWidget *cell = m_table->cellWidget(row, column))
            cell->setStatusTip(reason);
    }

    auto *state = qobject_cast<QLabel *>(m_table->cellWidget(row, StateColumn));
    if (!state)
        return;
    if (!message.isEmpty()) {
        state->setPixmap(QPixmap(CriticalIcon));
        state->setToolTip(reason);
    } else {
        state->setPixmap(QPixmap(InformationIcon));
        state->setToolTip(tr("ok"));
    }
    state->setStatusTip(reason);
    state->setAccessibleDescription(state->toolTip());
}

void SettingsPlaces::setCellColour(QWidget *widget, const QColor &colour)
{
    if (!widget)
        return;
    if (colour != m_normalColour)
        widget->setStyleSheet(QStringLiteral("background-color:#%1%2%3;")
                                  .arg(colour.red(), 2, 16, QLatin1Char('0'))
                                  .arg(colour.green(), 2, 16, QLatin1Char('0'))
                                  .arg(colour.blue(), 2, 16, QLatin1Char('0')));
    else
        widget->setStyleSheet(QString());
}
