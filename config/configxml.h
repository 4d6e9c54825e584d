#pragma once

#include "settingstruct.h"

#include <QDateTime>
#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <QStringList>
#include <QXmlStreamWriter>

class Playlist;
struct PlaylistTime;

// The ".ovxml" configuration document: places, DMX-in, protocol switches and
// the playlist. Writers leave out every value at its default and put the
// attributes in a fixed order, so two exports of one show differ only in
// their date and time; readers take the whole DOM, look attributes up by
// name, take what reads as a number and keep the low bits.
namespace ConfigXml
{
// Element and file format version; an element with another one is ignored.
constexpr int FormatVersion = 1;

// The place of a playlist entry as text: "ST", "EX" or the number, two digits.
QString placeText(quint8 place);
// Case-insensitive; -3 system time, -2 end of program, -1 none, 1..9 a place.
int placeFromText(const QString &text);

void settingsToXml(QXmlStreamWriter &writer, const SettingStruct &record);
// True when the element belongs to the record's part of the file.
bool settingsFromXml(const QDomElement &element, SettingStruct &record);

// The values of an element the readers take that the settings window could
// not show as they are: outside the range of their control, not numbers, or
// too large for their field (which then read as a non-number does). One
// text per value, naming its line, element, attribute and value; reading
// stays as it is. Elements the readers ignore give none.
QStringList valuesOutOfRange(const QDomElement &element);
// An attribute value or a name for a message, cut short when it is long.
QString shownValue(const QString &value);

void playlistToXml(QXmlStreamWriter &writer, Playlist &playlist);
bool playlistFromXml(const QDomElement &element, Playlist &playlist);
bool playlistItemToXml(const PlaylistTime &entry, QXmlStreamWriter &writer);
bool playlistItemFromXml(const QDomElement &element, PlaylistTime &entry);

// The whole document as text, one space of indentation. A missing record or
// playlist leaves its part out; `fileName` gives the root's "name".
QString buildConfigDocument(const QString &fileName, const SettingStruct *record,
                            Playlist *playlist,
                            const QDateTime &now = QDateTime::currentDateTime());
} // namespace ConfigXml
