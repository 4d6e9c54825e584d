<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Orvello</name>
    <message>
        <source>Orvello</source>
        <translation>Orvello</translation>
    </message>
    <message>
        <source>this help</source>
        <translation>diese Hilfe</translation>
    </message>
    <message>
        <source>get version</source>
        <translation>Version anzeigen</translation>
    </message>
    <message>
        <source>get help, this site</source>
        <translation>Hilfe anzeigen, diese Seite</translation>
    </message>
    <message>
        <source>activated system time</source>
        <translation>Systemzeit aktiviert</translation>
    </message>
    <message>
        <source>activated playlist</source>
        <translation>Playlist aktiviert</translation>
    </message>
    <message>
        <source>deactivated playlist</source>
        <translation>Playlist deaktiviert</translation>
    </message>
    <message>
        <source>disabled auto check for update</source>
        <translation>automatische Updateprüfung aus</translation>
    </message>
    <message>
        <source>activated 24 fps</source>
        <translation>24 fps aktiviert</translation>
    </message>
    <message>
        <source>activated 25 fps</source>
        <translation>25 fps aktiviert</translation>
    </message>
    <message>
        <source>activated 30 drop</source>
        <translation>30 drop aktiviert</translation>
    </message>
    <message>
        <source>activated 30 fps</source>
        <translation>30 fps aktiviert</translation>
    </message>
    <message>
        <source>activated place 0 (same as parameter &quot;systemtime&quot;)</source>
        <translation>Platz 0 aktiviert (wie Parameter &quot;systemtime&quot;)</translation>
    </message>
    <message>
        <source>activated place %1</source>
        <translation>Platz %1 aktiviert</translation>
    </message>
    <message>
        <source>activate trigger artnet (overwrite settings)</source>
        <translation>Art-Net-Ausgabe an (überschreibt Einstellungen)</translation>
    </message>
    <message>
        <source>deactivate trigger artnet (overwrite settings)</source>
        <translation>Art-Net-Ausgabe aus (überschreibt Einstellungen)</translation>
    </message>
    <message>
        <source>activate trigger midi (overwrite settings)</source>
        <translation>MIDI-Ausgabe an (überschreibt Einstellungen)</translation>
    </message>
    <message>
        <source>deactivate trigger midi (overwrite settings)</source>
        <translation>MIDI-Ausgabe aus (überschreibt Einstellungen)</translation>
    </message>
    <message>
        <source>activate trigger ltc (overwrite settings)</source>
        <translation>LTC-Ausgabe an (überschreibt Einstellungen)</translation>
    </message>
    <message>
        <source>deactivate trigger ltc (overwrite settings)</source>
        <translation>LTC-Ausgabe aus (überschreibt Einstellungen)</translation>
    </message>
    <message>
        <source>more information at runtime</source>
        <translation>mehr Informationen zur Laufzeit</translation>
    </message>
    <message>
        <source>skip unknown parameter &quot;%1&quot;</source>
        <translation>überspringe unbekannten Parameter &quot;%1&quot;</translation>
    </message>
    <message>
        <source>write the stored configuration to FILE and exit</source>
        <translation>gespeicherte Konfiguration in DATEI schreiben und beenden</translation>
    </message>
    <message>
        <source>read FILE into the stored configuration and exit</source>
        <translation>DATEI in die gespeicherte Konfiguration lesen und beenden</translation>
    </message>
    <message>
        <source>--export and --import need a file name</source>
        <translation>--export und --import brauchen einen Dateinamen</translation>
    </message>
    <message>
        <source>--export and --import cannot be given together</source>
        <translation>--export und --import können nicht zusammen angegeben werden</translation>
    </message>
    <message>
        <source>The file %1 could not be written!
%2.</source>
        <translation>Die Datei %1 konnte nicht geschrieben werden!
%2.</translation>
    </message>
    <message>
        <source>The file %1 could not be read!
%2.</source>
        <translation>Die Datei %1 konnte nicht gelesen werden!
%2.</translation>
    </message>
    <message>
        <source>Could not load file %1! It is not a valid Orvello XML file (*.ovxml).</source>
        <translation>Die Datei %1 konnte nicht geladen werden! Sie ist keine gültige Orvello-XML-Datei (*.ovxml).</translation>
    </message>
</context>
<context>
    <name>LtcOutput</name>
    <message>
        <source>LTC: %1</source>
        <translation>LTC: %1</translation>
    </message>
    <message>
        <source>LTC: no audio system, retrying</source>
        <translation>LTC: kein Audiosystem, neuer Versuch folgt</translation>
    </message>
    <message>
        <source>LTC: no audio device, retrying</source>
        <translation>LTC: kein Audiogerät, neuer Versuch folgt</translation>
    </message>
    <message>
        <source>LTC: audio device &quot;%1&quot; not found, retrying</source>
        <translation>LTC: Audiogerät &quot;%1&quot; nicht gefunden, neuer Versuch folgt</translation>
    </message>
    <message>
        <source>LTC: audio device cannot be opened, retrying</source>
        <translation>LTC: Audiogerät lässt sich nicht öffnen, neuer Versuch folgt</translation>
    </message>
</context>
</TS>
