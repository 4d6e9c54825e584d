#pragma once

#include "timecode.h"

#include <QColor>
#include <QTime>
#include <QWidget>

class QHBoxLayout;
class QTableWidget;

// The "Places" page of the settings window: start, end and exit flag of the
// nine places, written into the dialog's working copy at every edit. A row
// whose start is not before its end is marked red but accepted.
class SettingsPlaces : public QWidget
{
    Q_OBJECT
public:
    static constexpr int RowCount = 9;
    enum Column { StateColumn, StartColumn, EndColumn, ExitColumn, ColumnCount };

    // `places` points at the nine places of the working copy; not owned.
    explicit SettingsPlaces(SettingStructItem *places, QWidget *parent = nullptr);

    QTableWidget *table() const { return m_table; }
    QColor normalColour() const { return m_normalColour; }

private slots:
    void slotTimeStartChanged(QTime Time, uint iRow);
    void slotTimeStopChanged(QTime Time, uint iRow);
    void slotExitClicked(bool Checked, uint iRow);

private:
    void fillTable();
    void addRow(int row, const SettingStructItem &item);
    void refreshRow(int row);
    void setCellColour(QWidget *widget, const QColor &colour);

    QHBoxLayout *m_layout = nullptr;
    QTableWidget *m_table = nullptr;
    SettingStructItem *m_places = nullptr;
    QColor m_normalColour;
};
