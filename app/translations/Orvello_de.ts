<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Orvello</name>
    <message>
        <source>follows another clock (the input chosen in the settings)</source>
        <translation>folgt einer anderen Uhr (der in den Einstellungen gewählte Eingang)</translation>
    </message>
    <message>
        <source>hot standby: follows the primary's Art-Net silently, takes over when it stops</source>
        <translation>Hot Standby: folgt still dem Art-Net des Primärgeräts, übernimmt, wenn es verstummt</translation>
    </message>
    <message>
        <source>following MTC</source>
        <translation>folgt MTC</translation>
    </message>
    <message>
        <source>following LTC</source>
        <translation>folgt LTC</translation>
    </message>
    <message>
        <source>following Art-Net from %1</source>
        <translation>folgt Art-Net von %1</translation>
    </message>
    <message>
        <source>following Art-Net</source>
        <translation>folgt Art-Net</translation>
    </message>
    <message>
        <source>locked</source>
        <translation>eingerastet</translation>
    </message>
    <message>
        <source>freewheeling</source>
        <translation>Freilauf</translation>
    </message>
    <message>
        <source>running on</source>
        <translation>läuft weiter</translation>
    </message>
    <message>
        <source>no input</source>
        <translation>kein Eingang</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <source>standby, took over: %1</source>
        <translation>Standby, übernommen: %1</translation>
    </message>
    <message>
        <source>standby, primary back, silent: %1</source>
        <translation>Standby, Primärgerät zurück, still: %1</translation>
    </message>
    <message>
        <source>standby, silent: %1</source>
        <translation>Standby, still: %1</translation>
    </message>
    <message>
        <source>Follow</source>
        <translation>Folgen</translation>
    </message>
    <message>
        <source>Ctrl+Alt+0 - follows another clock</source>
        <translation>Strg+Alt+0 - folgt einer anderen Uhr</translation>
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
        <source>runs without a window, as a service</source>
        <translation>läuft ohne Fenster, als Dienst</translation>
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
        <source>30 drop runs at 29.97 fps (overwrite settings)</source>
        <translation>30 Drop läuft mit 29,97 fps (überschreibt Einstellungen)</translation>
    </message>
    <message>
        <source>30 drop runs at 30 fps (overwrite settings)</source>
        <translation>30 Drop läuft mit 30 fps (überschreibt Einstellungen)</translation>
    </message>
    <message>
        <source>activate OSC remote control (overwrite settings)</source>
        <translation>OSC-Fernsteuerung an (überschreibt Einstellungen)</translation>
    </message>
    <message>
        <source>deactivate OSC remote control (overwrite settings)</source>
        <translation>OSC-Fernsteuerung aus (überschreibt Einstellungen)</translation>
    </message>
    <message>
        <source>activate web page remote control (overwrite settings)</source>
        <translation>Fernsteuerung per Webseite an (überschreibt Einstellungen)</translation>
    </message>
    <message>
        <source>deactivate web page remote control (overwrite settings)</source>
        <translation>Fernsteuerung per Webseite aus (überschreibt Einstellungen)</translation>
    </message>
    <message>
        <source>more information at runtime</source>
        <translation>mehr Informationen zur Laufzeit</translation>
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
        <source>Orvello XML Files (*.ovxml);;All Files (*)</source>
        <translation>Orvello-XML-Dateien (*.ovxml);;Alle Dateien (*)</translation>
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
    <message>
        <source>skip unknown parameter &quot;%1&quot;</source>
        <translation>überspringe unbekannten Parameter &quot;%1&quot;</translation>
    </message>
    <message>
        <source>Orvello</source>
        <translation>Orvello</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Nach Updates suchen</translation>
    </message>
    <message>
        <source>&lt;center&gt;A new version %1 is available!&lt;/b&gt;&lt;br&gt;Download the update here :&lt;br&gt;%2&lt;/center&gt;</source>
        <translation>&lt;center&gt;Eine neue Version %1 ist verfügbar!&lt;/b&gt;&lt;br&gt;Das Update gibt es hier:&lt;br&gt;%2&lt;/center&gt;</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>&lt;b&gt;Help&lt;/b&gt;&lt;br&gt;Please use the online help on the website:&lt;br&gt;%1</source>
        <translation>&lt;b&gt;Hilfe&lt;/b&gt;&lt;br&gt;Bitte die Online-Hilfe auf der Website nutzen:&lt;br&gt;%1</translation>
    </message>
    <message>
        <source>Art-Net Version : </source>
        <translation>Art-Net-Version : </translation>
    </message>
    <message>
        <source>MIDI Version : </source>
        <translation>MIDI-Version : </translation>
    </message>
    <message>
        <source>Choose a File to Open for Import</source>
        <translation>Datei für den Import wählen</translation>
    </message>
    <message>
        <source>Export File</source>
        <translation>Datei exportieren</translation>
    </message>
    <message>
        <source>New Settings</source>
        <translation>Neue Einstellungen</translation>
    </message>
    <message>
        <source>Ctrl+N New Configuration</source>
        <translation>Strg+N Neue Konfiguration</translation>
    </message>
    <message>
        <source>Import Settings</source>
        <translation>Einstellungen importieren</translation>
    </message>
    <message>
        <source>Ctrl+L Import Configuration</source>
        <translation>Strg+L Konfiguration importieren</translation>
    </message>
    <message>
        <source>Export Settings</source>
        <translation>Einstellungen exportieren</translation>
    </message>
    <message>
        <source>Ctrl+S Export Configuration</source>
        <translation>Strg+S Konfiguration exportieren</translation>
    </message>
    <message>
        <source>Edit Configuration</source>
        <translation>Konfiguration bearbeiten</translation>
    </message>
    <message>
        <source>Ctrl+E Edit Configuration</source>
        <translation>Strg+E Konfiguration bearbeiten</translation>
    </message>
    <message>
        <source>checks if a newer software version is available online</source>
        <translation>prüft, ob online eine neuere Softwareversion verfügbar ist</translation>
    </message>
    <message>
        <source>Help...</source>
        <translation>Hilfe...</translation>
    </message>
    <message>
        <source>opens the Help</source>
        <translation>öffnet die Hilfe</translation>
    </message>
    <message>
        <source>About %1...</source>
        <translation>Über %1...</translation>
    </message>
    <message>
        <source>opens the About window</source>
        <translation>öffnet das Info-Fenster</translation>
    </message>
    <message>
        <source>About Qt...</source>
        <translation>Über Qt...</translation>
    </message>
    <message>
        <source>opens the About Qt window</source>
        <translation>öffnet das Info-Fenster zu Qt</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>exits this software</source>
        <translation>beendet diese Software</translation>
    </message>
    <message>
        <source>24 FPS</source>
        <translation>24 FPS</translation>
    </message>
    <message>
        <source>Ctrl+Alt+1 - sending with 24 frames</source>
        <translation>Strg+Alt+1 - sendet mit 24 Frames</translation>
    </message>
    <message>
        <source>25 FPS</source>
        <translation>25 FPS</translation>
    </message>
    <message>
        <source>Ctrl+Alt+2 - sending with 25 frames</source>
        <translation>Strg+Alt+2 - sendet mit 25 Frames</translation>
    </message>
    <message>
        <source>30 Drop</source>
        <translation>30 Drop</translation>
    </message>
    <message>
        <source>Ctrl+Alt+3 - sending with 30 dropped frames</source>
        <translation>Strg+Alt+3 - sendet mit 30 Frames (Drop Frame)</translation>
    </message>
    <message>
        <source>30 FPS</source>
        <translation>30 FPS</translation>
    </message>
    <message>
        <source>Ctrl+Alt+4 - sending with 30 frames</source>
        <translation>Strg+Alt+4 - sendet mit 30 Frames</translation>
    </message>
    <message>
        <source>Ctrl+R - resets the Start Code</source>
        <translation>Strg+R - setzt den Startcode zurück</translation>
    </message>
    <message>
        <source>Ctrl+F - freezes the System Time or Start Code</source>
        <translation>Strg+F - friert Systemzeit oder Startcode ein</translation>
    </message>
    <message>
        <source>Space Key - starts/pauses the Start Code</source>
        <translation>Leertaste - startet/pausiert den Startcode</translation>
    </message>
    <message>
        <source>Ctrl+E - opens the settings window</source>
        <translation>Strg+E - öffnet das Einstellungsfenster</translation>
    </message>
    <message>
        <source>Ctrl+0 - initializes Systemtime</source>
        <translation>Strg+0 - schaltet auf Systemzeit</translation>
    </message>
    <message>
        <source>Ctrl+%1 - initializes Start Code %1</source>
        <translation>Strg+%1 - schaltet auf Startcode %1</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>Visit the homepage to access software updates and the help.</source>
        <translation>Software-Updates und Hilfe gibt es auf der Homepage.</translation>
    </message>
    <message>
        <source>Ctrl+%1</source>
        <translation>Strg+%1</translation>
    </message>
    <message>
        <source> - Start Code %1:%2:%3</source>
        <translation> - Startcode %1:%2:%3</translation>
    </message>
    <message>
        <source> - Stop Code %1:%2:%3</source>
        <translation> - Stoppcode %1:%2:%3</translation>
    </message>
    <message>
        <source> - and exits software</source>
        <translation> - und beendet die Software</translation>
    </message>
    <message>
        <source>MIDI Clock</source>
        <translation>MIDI Clock</translation>
    </message>
    <message>
        <source>MIDI Clock (short)</source>
        <translation>MIDI Clock (kurz)</translation>
    </message>
    <message>
        <source>MIDI Timecode</source>
        <translation>MIDI Timecode</translation>
    </message>
    <message>
        <source>Broadcast</source>
        <translation>Broadcast</translation>
    </message>
    <message>
        <source>unicast addresses</source>
        <translation>Unicast-Adressen</translation>
    </message>
    <message>
        <source>IPv4 addresses that get the time code as well, separated by blanks</source>
        <translation>IPv4-Adressen, die den Timecode zusätzlich erhalten, durch Leerzeichen getrennt</translation>
    </message>
    <message>
        <source>Stream ID</source>
        <translation>Stream-ID</translation>
    </message>
    <message>
        <source>Stream ID of the time code, 0 is the master</source>
        <translation>Stream-ID des Timecodes, 0 ist der Master</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>Versatz</translation>
    </message>
    <message>
        <source>user bits</source>
        <translation>User-Bits</translation>
    </message>
    <message>
        <source>User bits: empty for zeros, eight hexadecimal digits, or &quot;date&quot; for the date and time zone</source>
        <translation>User-Bits: leer für Nullen, acht Hexadezimalziffern oder &quot;date&quot; für Datum und Zeitzone</translation>
    </message>
    <message>
        <source>Time code</source>
        <translation>Timecode</translation>
    </message>
    <message>
        <source>30 Drop at 29.97 fps</source>
        <translation>30 Drop mit 29,97 fps</translation>
    </message>
    <message>
        <source>On: 30 Drop runs at 29.97 frames per second and skips frames 00 and 01 at every minute except each tenth, as video does.
Off: 30 Drop runs at 30 frames per second and is only labelled drop-frame.</source>
        <translation>An: 30 Drop läuft mit 29,97 Frames pro Sekunde und lässt die Frames 00 und 01 zu Beginn jeder Minute aus, außer jeder zehnten, wie Video.
Aus: 30 Drop läuft mit 30 Frames pro Sekunde und ist nur als Drop-Frame gekennzeichnet.</translation>
    </message>
    <message>
        <source> frames</source>
        <translation> Frames</translation>
    </message>
    <message>
        <source>Frames this output runs ahead of (positive) or behind the time code</source>
        <translation>Frames, die diese Ausgabe dem Timecode voraus (positiv) oder hinterher ist</translation>
    </message>
    <message>
        <source>Offset </source>
        <translation>Versatz </translation>
    </message>
    <message>
        <source>User bits</source>
        <translation>User-Bits</translation>
    </message>
    <message>
        <source>unknown type</source>
        <translation>unbekannter Typ</translation>
    </message>
    <message>
        <source>Art-Net: off</source>
        <translation>Art-Net: aus</translation>
    </message>
    <message>
        <source>Art-Net: port 6454 in use by another program</source>
        <translation>Art-Net: Port 6454 von einem anderen Programm belegt</translation>
    </message>
    <message>
        <source>frames sent: %1</source>
        <translation>gesendete Frames: %1</translation>
    </message>
    <message>
        <source>Art-Net: loopback only (no network), %1</source>
        <translation>Art-Net: nur Loopback (kein Netzwerk), %1</translation>
    </message>
    <message>
        <source>Art-Net: to </source>
        <translation>Art-Net: an </translation>
    </message>
    <message>
        <source>Art-Net: loopback only (no network), </source>
        <translation>Art-Net: nur Loopback (kein Netzwerk), </translation>
    </message>
    <message>
        <source>%1 (frames sent: %2)</source>
        <translation>%1 (gesendete Frames: %2)</translation>
    </message>
    <message>
        <source>%1: %2 (frames sent: %3)</source>
        <translation>%1: %2 (gesendete Frames: %3)</translation>
    </message>
    <message>
        <source>network unreachable</source>
        <translation>Netzwerk nicht erreichbar</translation>
    </message>
    <message>
        <source>host unreachable</source>
        <translation>Host nicht erreichbar</translation>
    </message>
    <message>
        <source>network down</source>
        <translation>Netzwerk ausgefallen</translation>
    </message>
    <message>
        <source>broadcast not permitted</source>
        <translation>Broadcast nicht erlaubt</translation>
    </message>
    <message>
        <source>refused by a firewall rule</source>
        <translation>von einer Firewall-Regel abgewiesen</translation>
    </message>
    <message>
        <source>send queue full</source>
        <translation>Sendepuffer voll</translation>
    </message>
    <message>
        <source>address not available</source>
        <translation>Adresse nicht verfügbar</translation>
    </message>
    <message>
        <source>Art-Net: another program listens on port 6454 as well; polls to this computer may reach it instead</source>
        <translation>Art-Net: ein anderes Programm lauscht ebenfalls auf Port 6454; Polls an diesen Computer erreichen womöglich jenes Programm</translation>
    </message>
    <message>
        <source>MIDI: off</source>
        <translation>MIDI: aus</translation>
    </message>
    <message>
        <source>MIDI: no MIDI ports</source>
        <translation>MIDI: keine MIDI-Ports</translation>
    </message>
    <message>
        <source>MIDI: cannot open %1</source>
        <translation>MIDI: %1 lässt sich nicht öffnen</translation>
    </message>
    <message>
        <source>MIDI: to </source>
        <translation>MIDI: an </translation>
    </message>
    <message>
        <source>%1: refuses messages</source>
        <translation>%1: nimmt keine Nachrichten an</translation>
    </message>
    <message>
        <source>another timecode source at %1</source>
        <translation>weitere Timecode-Quelle bei %1</translation>
    </message>
    <message>
        <source>It is larger than %1 MiB; a show file holds a few kilobytes</source>
        <translation>Sie ist größer als %1 MiB; eine Show-Datei hat wenige Kilobyte</translation>
    </message>
    <message>
        <source>It is not a regular file</source>
        <translation>Sie ist keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>Its elements are nested more than %1 deep; a show nests them two deep.</source>
        <translation>Ihre Elemente sind tiefer als %1 Ebenen verschachtelt; eine Show verschachtelt sie zwei Ebenen tief.</translation>
    </message>
    <message>
        <source>It holds more than %1 elements, attributes and other parts; a show holds a few hundred.</source>
        <translation>Sie enthält mehr als %1 Elemente, Attribute und andere Teile; eine Show enthält einige hundert.</translation>
    </message>
    <message>
        <source>An element carries more than %1 attributes; those of a show carry a few.</source>
        <translation>Ein Element trägt mehr als %1 Attribute; die einer Show tragen wenige.</translation>
    </message>
    <message>
        <source>Its root element is %1, not %2.</source>
        <translation>Ihr Wurzelelement ist %1, nicht %2.</translation>
    </message>
    <message>
        <source>It has the format version %1; this program reads version %2.</source>
        <translation>Sie hat die Formatversion %1; dieses Programm liest Version %2.</translation>
    </message>
    <message>
        <source>line %1: %2 %3=&quot;%4&quot; is not a number from %5 to %6</source>
        <translation>Zeile %1: %2 %3=&quot;%4&quot; ist keine Zahl von %5 bis %6</translation>
    </message>
    <message>
        <source>line %1: %2 %3=&quot;%4&quot; is not ST, EX or a place from 1 to 9</source>
        <translation>Zeile %1: %2 %3=&quot;%4&quot; ist weder ST noch EX noch ein Platz von 1 bis 9</translation>
    </message>
    <message>
        <source>... and %1 more.</source>
        <translation>... und %1 weitere.</translation>
    </message>
    <message>
        <source>The file %1 was imported with values the settings window cannot show as they are:</source>
        <translation>Die Datei %1 wurde importiert, mit Werten, die das Einstellungsfenster nicht so anzeigen kann, wie sie sind:</translation>
    </message>
    <message>
        <source>Replace the %1 places and %2 playlist entries with defaults?</source>
        <translation>Die %1 Plätze und %2 Playlist-Einträge durch Standardwerte ersetzen?</translation>
    </message>
    <message>
        <source>The outputs and the stored settings stay as they are until settings are applied.</source>
        <translation>Die Ausgänge und die gespeicherten Einstellungen bleiben, wie sie sind, bis Einstellungen übernommen werden.</translation>
    </message>
    <message>
        <source>starts with the fullscreen clock (F11 or Escape leaves it)</source>
        <translation>startet mit der Vollbilduhr (F11 oder Esc verlässt sie)</translation>
    </message>
    <message>
        <source>RUNNING</source>
        <translation>LÄUFT</translation>
    </message>
    <message>
        <source>PAUSED</source>
        <translation>PAUSE</translation>
    </message>
    <message>
        <source>FROZEN</source>
        <translation>EINGEFROREN</translation>
    </message>
    <message>
        <source>System time</source>
        <translation>Systemzeit</translation>
    </message>
    <message>
        <source>Place %1  %2 to %3</source>
        <translation>Platz %1  %2 bis %3</translation>
    </message>
    <message>
        <source>Place %1  from %2</source>
        <translation>Platz %1  ab %2</translation>
    </message>
    <message>
        <source>No place</source>
        <translation>Kein Platz</translation>
    </message>
    <message>
        <source>24 fps</source>
        <translation>24 fps</translation>
    </message>
    <message>
        <source>25 fps</source>
        <translation>25 fps</translation>
    </message>
    <message>
        <source>30 drop</source>
        <translation>30 drop</translation>
    </message>
    <message>
        <source>30 fps</source>
        <translation>30 fps</translation>
    </message>
    <message>
        <source>Timecode</source>
        <translation>Timecode</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>Freeze</source>
        <translation>Einfrieren</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Place %1</source>
        <translation>Platz %1</translation>
    </message>
    <message>
        <source>Homepage</source>
        <translation>Homepage</translation>
    </message>
    <message>
        <source>Fullscreen Clock</source>
        <translation>Vollbilduhr</translation>
    </message>
    <message>
        <source>F11 shows the code across the whole screen; F11 or Escape returns</source>
        <translation>F11 zeigt den Code über den ganzen Bildschirm; F11 oder Esc kehrt zurück</translation>
    </message>
    <message>
        <source>Space plays and pauses whichever control has the focus; Return or Enter presses the focused button.</source>
        <translation>Die Leertaste startet und pausiert, welches Bedienelement auch den Fokus hat; Eingabe drückt die fokussierte Schaltfläche.</translation>
    </message>
</context>
<context>
    <name>LtcOutput</name>
    <message>
        <source>LTC: %1</source>
        <translation>LTC: %1</translation>
    </message>
    <message>
        <source>LTC: %1 stopped playing, reopened</source>
        <translation>LTC: %1 spielte nicht mehr, neu geöffnet</translation>
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
<context>
    <name>SettingsStore</name>
    <message>
        <source>Settings store %1 cannot be read; starting with the default settings.</source>
        <translation>Einstellungsspeicher %1 kann nicht gelesen werden; Start mit den Standardeinstellungen.</translation>
    </message>
    <message>
        <source>Settings store %1 is damaged; a copy was kept as %2. Starting with the default settings.</source>
        <translation>Einstellungsspeicher %1 ist beschädigt; eine Kopie liegt unter %2. Start mit den Standardeinstellungen.</translation>
    </message>
    <message>
        <source>Settings store %1 is read-only; changes will not be kept.</source>
        <translation>Einstellungsspeicher %1 ist schreibgeschützt; Änderungen werden nicht gespeichert.</translation>
    </message>
    <message>
        <source>Settings store %1 is damaged and could not be copied; starting with the default settings, changes will not be kept.</source>
        <translation>Einstellungsspeicher %1 ist beschädigt und konnte nicht kopiert werden; Start mit den Standardeinstellungen, Änderungen werden nicht gespeichert.</translation>
    </message>
    <message>
        <source>Settings store %1 is not a regular file; it is neither read nor written.</source>
        <translation>Einstellungsspeicher %1 ist keine gewöhnliche Datei; er wird weder gelesen noch geschrieben.</translation>
    </message>
    <message>
        <source>Settings store %1 could not be written; changes are lost.</source>
        <translation>Einstellungsspeicher %1 konnte nicht geschrieben werden; die Änderungen gehen verloren.</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>Follow</source>
        <translation>Folgen</translation>
    </message>
    <message>
        <source>Art-Net</source>
        <translation>Art-Net</translation>
    </message>
    <message>
        <source>MTC</source>
        <translation>MTC</translation>
    </message>
    <message>
        <source>any sender</source>
        <translation>jeder Sender</translation>
    </message>
    <message>
        <source>Run on after freewheel</source>
        <translation>Nach dem Freilauf weiterlaufen</translation>
    </message>
    <message>
        <source>Standby for the Art-Net primary</source>
        <translation>Standby für das Art-Net-Primärgerät</translation>
    </message>
    <message>
        <source>Input</source>
        <translation>Eingang</translation>
    </message>
    <message>
        <source>Art-Net source</source>
        <translation>Art-Net-Quelle</translation>
    </message>
    <message>
        <source>MIDI port</source>
        <translation>MIDI-Port</translation>
    </message>
    <message>
        <source>Audio input</source>
        <translation>Audioeingang</translation>
    </message>
    <message>
        <source>Freewheel frames</source>
        <translation>Freilauf-Frames</translation>
    </message>
    <message>
        <source>Takeover frames</source>
        <translation>Übernahme-Frames</translation>
    </message>
    <message>
        <source>Own port &quot;MTC in&quot;</source>
        <translation>Eigener Port &quot;MTC in&quot;</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Places</source>
        <translation>Plätze</translation>
    </message>
    <message>
        <source>Playlist</source>
        <translation>Playlist</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>click for export configuration</source>
        <translation>klicken, um die Konfiguration zu exportieren</translation>
    </message>
    <message>
        <source>Import</source>
        <translation>Importieren</translation>
    </message>
    <message>
        <source>click for import configuiration</source>
        <translation>klicken, um eine Konfiguration zu importieren</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>click OK to apply the changes</source>
        <translation>OK klicken, um die Änderungen zu übernehmen</translation>
    </message>
    <message>
        <source>Defaults</source>
        <translation>Standardwerte</translation>
    </message>
    <message>
        <source>click Defaults to restore the default settings</source>
        <translation>Standardwerte klicken, um die Standardeinstellungen wiederherzustellen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>click Cancel to discard any changes</source>
        <translation>Abbrechen klicken, um alle Änderungen zu verwerfen</translation>
    </message>
    <message>
        <source>ArtNet</source>
        <translation>ArtNet</translation>
    </message>
    <message>
        <source>Trigger</source>
        <translation>Trigger</translation>
    </message>
    <message>
        <source>DMX Remote Control on Universe:</source>
        <translation>DMX-Fernsteuerung auf Universe:</translation>
    </message>
    <message>
        <source>Enable/Disable DMX Remote Control,
Ch1=24Fps,
Ch2=25fps,
Ch3=30Drop,
Ch4=30fps,
Ch5=spare,
Ch6=reset,
Ch7=freeez,
Ch8=play/pause,
Ch9=spare,
Ch10=systemtime place 0,
Ch11=time code place 1,
Ch12=time code place 2,
Ch13=time code place 3,
Ch14=time code place 4,
Ch15=time code place 5,
Ch16=time code place 6,
Ch17=time code place 7,
Ch18=time code place 8,
Ch19=time code place 9</source>
        <translation>DMX-Fernsteuerung ein/aus,
K1=24fps,
K2=25fps,
K3=30Drop,
K4=30fps,
K5=frei,
K6=Reset,
K7=Einfrieren,
K8=Play/Pause,
K9=frei,
K10=Systemzeit Platz 0,
K11=Timecode Platz 1,
K12=Timecode Platz 2,
K13=Timecode Platz 3,
K14=Timecode Platz 4,
K15=Timecode Platz 5,
K16=Timecode Platz 6,
K17=Timecode Platz 7,
K18=Timecode Platz 8,
K19=Timecode Platz 9</translation>
    </message>
    <message>
        <source>Universe for DMX Remote Control</source>
        <translation>Universe für die DMX-Fernsteuerung</translation>
    </message>
    <message>
        <source>Midi</source>
        <translation>Midi</translation>
    </message>
    <message>
        <source>LTC</source>
        <translation>LTC</translation>
    </message>
    <message>
        <source>Remote</source>
        <translation>Fernsteuerung</translation>
    </message>
    <message>
        <source>OSC on port:</source>
        <translation>OSC an Port:</translation>
    </message>
    <message>
        <source>Commands and timecode feedback over OSC (UDP), on the Art-Net interface's address</source>
        <translation>Befehle und Timecode-Rückmeldung über OSC (UDP), auf der Adresse der Art-Net-Schnittstelle</translation>
    </message>
    <message>
        <source>Web page on port:</source>
        <translation>Webseite an Port:</translation>
    </message>
    <message>
        <source>A live page with the running code and the controls, for any browser</source>
        <translation>Eine Live-Seite mit dem laufenden Code und den Bedienelementen, für jeden Browser</translation>
    </message>
    <message>
        <source>empty: this computer only</source>
        <translation>leer: nur dieser Computer</translation>
    </message>
    <message>
        <source>Without a token the page is served to this computer only (127.0.0.1). With one it is served on every address, and every command needs the token.</source>
        <translation>Ohne Token wird die Seite nur diesem Computer angeboten (127.0.0.1). Mit Token wird sie auf allen Adressen angeboten, und jeder Befehl braucht das Token.</translation>
    </message>
    <message>
        <source>Token:</source>
        <translation>Token:</translation>
    </message>
    <message>
        <source>System default</source>
        <translation>Systemstandard</translation>
    </message>
    <message>
        <source>MIDI Clock</source>
        <translation>MIDI Clock</translation>
    </message>
    <message>
        <source>MIDI Clock (short)</source>
        <translation>MIDI Clock (kurz)</translation>
    </message>
    <message>
        <source>MIDI Timecode</source>
        <translation>MIDI Timecode</translation>
    </message>
    <message>
        <source>Replace the %1 places and all other settings with defaults and erase every stored setting?</source>
        <translation>Die %1 Plätze und alle anderen Einstellungen durch Standardwerte ersetzen und jede gespeicherte Einstellung löschen?</translation>
    </message>
    <message>
        <source>The playlist is switched off; its entries stay. Edits in this window are lost.</source>
        <translation>Die Playlist wird ausgeschaltet; ihre Einträge bleiben. Änderungen in diesem Fenster gehen verloren.</translation>
    </message>
</context>
<context>
    <name>SettingsPlaces</name>
    <message>
        <source>#</source>
        <translation>#</translation>
    </message>
    <message>
        <source>information about state</source>
        <translation>Information zum Zustand</translation>
    </message>
    <message>
        <source>time start</source>
        <translation>Zeit Start</translation>
    </message>
    <message>
        <source>time code range start</source>
        <translation>Beginn des Timecode-Bereichs</translation>
    </message>
    <message>
        <source>time end</source>
        <translation>Zeit Ende</translation>
    </message>
    <message>
        <source>time code range end</source>
        <translation>Ende des Timecode-Bereichs</translation>
    </message>
    <message>
        <source>at end</source>
        <translation>am Ende</translation>
    </message>
    <message>
        <source>exit software at end of time code</source>
        <translation>Software am Ende des Timecodes beenden</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>exits software at end of time code</source>
        <translation>beendet die Software am Ende des Timecodes</translation>
    </message>
    <message>
        <source>start time code greater then end time code
</source>
        <translation>Start-Timecode größer als End-Timecode
</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>ok</translation>
    </message>
    <message>
        <source>Places</source>
        <translation>Plätze</translation>
    </message>
    <message>
        <source>%1, place %2</source>
        <translation>%1, Platz %2</translation>
    </message>
    <message>
        <source>State of place %1</source>
        <translation>Zustand von Platz %1</translation>
    </message>
    <message>
        <source>Start code of place %1</source>
        <translation>Start-Code von Platz %1</translation>
    </message>
    <message>
        <source>End code of place %1</source>
        <translation>End-Code von Platz %1</translation>
    </message>
    <message>
        <source>Exit at the end of place %1</source>
        <translation>Beenden am Ende von Platz %1</translation>
    </message>
</context>
<context>
    <name>SettingsPlaylist</name>
    <message>
        <source>Ctrl+O - enabled play list triggering</source>
        <translation>Strg+O - Auslösen durch die Playlist einschalten</translation>
    </message>
    <message>
        <source>Ctrl+Ins - add a new line at end</source>
        <translation>Strg+Einfg - neue Zeile am Ende anfügen</translation>
    </message>
    <message>
        <source>Ctrl+Del - delete last line</source>
        <translation>Strg+Entf - letzte Zeile löschen</translation>
    </message>
    <message>
        <source>Ctrl+U - shift selected line up</source>
        <translation>Strg+U - gewählte Zeile nach oben schieben</translation>
    </message>
    <message>
        <source>Ctrl+D - shift selected line down</source>
        <translation>Strg+D - gewählte Zeile nach unten schieben</translation>
    </message>
    <message>
        <source>Place</source>
        <translation>Platz</translation>
    </message>
    <message>
        <source>Year</source>
        <translation>Jahr</translation>
    </message>
    <message>
        <source>Month</source>
        <translation>Monat</translation>
    </message>
    <message>
        <source>Day</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>Weekday</source>
        <translation>Wochentag</translation>
    </message>
    <message>
        <source>Hour</source>
        <translation>Stunde</translation>
    </message>
    <message>
        <source>Minute</source>
        <translation>Minute</translation>
    </message>
    <message>
        <source>system time</source>
        <translation>Systemzeit</translation>
    </message>
    <message>
        <source>place %1</source>
        <comment>place number</comment>
        <translation>Platz %1</translation>
    </message>
    <message>
        <source>Exits software</source>
        <translation>Software beenden</translation>
    </message>
    <message>
        <source>select place or exits software</source>
        <translation>Platz wählen oder Software beenden</translation>
    </message>
    <message>
        <source>select year</source>
        <translation>Jahr wählen</translation>
    </message>
    <message>
        <source>select week day</source>
        <translation>Wochentag wählen</translation>
    </message>
    <message>
        <source>select month</source>
        <translation>Monat wählen</translation>
    </message>
    <message>
        <source>select day</source>
        <translation>Tag wählen</translation>
    </message>
    <message>
        <source>select hour</source>
        <translation>Stunde wählen</translation>
    </message>
    <message>
        <source>select minute</source>
        <translation>Minute wählen</translation>
    </message>
    <message>
        <source>Playlist</source>
        <translation>Playlist</translation>
    </message>
    <message>
        <source>Add line</source>
        <translation>Zeile anfügen</translation>
    </message>
    <message>
        <source>Delete last line</source>
        <translation>Letzte Zeile löschen</translation>
    </message>
    <message>
        <source>Shift line up</source>
        <translation>Zeile nach oben</translation>
    </message>
    <message>
        <source>Shift line down</source>
        <translation>Zeile nach unten</translation>
    </message>
    <message>
        <source>On</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Playlist on</source>
        <translation>Playlist ein</translation>
    </message>
    <message>
        <source>Playlist off</source>
        <translation>Playlist aus</translation>
    </message>
    <message>
        <source>%1, line %2</source>
        <translation>%1, Zeile %2</translation>
    </message>
</context>
<context>
    <name>Playlist</name>
    <message>
        <source>Monday</source>
        <translation>Montag</translation>
    </message>
    <message>
        <source>Tuesday</source>
        <translation>Dienstag</translation>
    </message>
    <message>
        <source>Wednesday</source>
        <translation>Mittwoch</translation>
    </message>
    <message>
        <source>Thursday</source>
        <translation>Donnerstag</translation>
    </message>
    <message>
        <source>Friday</source>
        <translation>Freitag</translation>
    </message>
    <message>
        <source>Saturday</source>
        <translation>Samstag</translation>
    </message>
    <message>
        <source>Sunday</source>
        <translation>Sonntag</translation>
    </message>
</context>
<context>
    <name>AboutInfo</name>
    <message>
        <source>About %1</source>
        <translation>Über %1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>click OK to close this window</source>
        <translation>OK klicken, um dieses Fenster zu schließen</translation>
    </message>
    <message>
        <source>Version: </source>
        <translation>Version: </translation>
    </message>
    <message>
        <source>Date: </source>
        <translation>Datum: </translation>
    </message>
    <message>
        <source>Developed by the Orvello project</source>
        <translation>Entwickelt vom Orvello-Projekt</translation>
    </message>
    <message>
        <source>English original text by the Orvello project</source>
        <translation>Deutsche Übersetzung vom Orvello-Projekt</translation>
    </message>
    <message>
        <source>This program uses &lt;a href=&quot;https://www.qt.io/&quot;&gt;Qt&lt;/a&gt; version %1 under the &lt;a href=&quot;https://www.gnu.org/licenses/lgpl-3.0.html&quot;&gt;GNU Lesser General Public License version 3&lt;/a&gt;.</source>
        <translation>Dieses Programm verwendet &lt;a href=&quot;https://www.qt.io/&quot;&gt;Qt&lt;/a&gt; Version %1 unter der &lt;a href=&quot;https://www.gnu.org/licenses/lgpl-3.0.html&quot;&gt;GNU Lesser General Public License Version 3&lt;/a&gt;.</translation>
    </message>
</context>
<context>
    <name>CheckSoftwareUpdate</name>
    <message>
        <source>There is no update available!</source>
        <translation>Es ist kein Update verfügbar!</translation>
    </message>
    <message>
        <source>There is no internet connection available to check for updates!</source>
        <translation>Für die Updateprüfung besteht keine Internetverbindung!</translation>
    </message>
    <message>
        <source>The update server %1:%2 answered %3 %4.</source>
        <translation>Der Update-Server %1:%2 antwortete %3 %4.</translation>
    </message>
</context>
<context>
    <name>midi</name>
    <message>
        <source>All Midi Devices</source>
        <translation>Alle MIDI-Geräte</translation>
    </message>
</context>
<context>
    <name>artnet</name>
    <message>
        <source>all</source>
        <translation>alle</translation>
    </message>
    <message>
        <source>lo</source>
        <translation>lo</translation>
    </message>
</context>
<context>
    <name>RemoteControl</name>
    <message>
        <source>every address</source>
        <translation>allen Adressen</translation>
    </message>
    <message>
        <source>OSC: port %1 on %2</source>
        <translation>OSC: Port %1 auf %2</translation>
    </message>
    <message>
        <source>OSC: port %1 cannot be used: %2</source>
        <translation>OSC: Port %1 nicht nutzbar: %2</translation>
    </message>
    <message>
        <source>web page: http://127.0.0.1:%1/ (this computer only)</source>
        <translation>Webseite: http://127.0.0.1:%1/ (nur dieser Computer)</translation>
    </message>
    <message>
        <source>web page: port %1 on every address, commands need the token</source>
        <translation>Webseite: Port %1 auf allen Adressen, Befehle brauchen das Token</translation>
    </message>
    <message>
        <source>web page: port %1 cannot be used: %2</source>
        <translation>Webseite: Port %1 nicht nutzbar: %2</translation>
    </message>
</context>
<context>
    <name>RemotePage</name>
    <message>
        <source>Orvello remote</source>
        <translation>Orvello Fernsteuerung</translation>
    </message>
    <message>
        <source>RUNNING</source>
        <translation>LÄUFT</translation>
    </message>
    <message>
        <source>PAUSED</source>
        <translation>PAUSE</translation>
    </message>
    <message>
        <source>FROZEN</source>
        <translation>EINGEFROREN</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Freeze</source>
        <translation>Einfrieren</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>System time</source>
        <translation>Systemzeit</translation>
    </message>
    <message>
        <source>Place %1</source>
        <translation>Platz %1</translation>
    </message>
    <message>
        <source>No place</source>
        <translation>Kein Platz</translation>
    </message>
    <message>
        <source>Token</source>
        <translation>Token</translation>
    </message>
    <message>
        <source>Log in</source>
        <translation>Anmelden</translation>
    </message>
    <message>
        <source>Commands need the token of this Orvello.</source>
        <translation>Befehle brauchen das Token dieses Orvello.</translation>
    </message>
    <message>
        <source>No connection to Orvello</source>
        <translation>Keine Verbindung zu Orvello</translation>
    </message>
    <message>
        <source>24 fps</source>
        <translation>24 fps</translation>
    </message>
    <message>
        <source>25 fps</source>
        <translation>25 fps</translation>
    </message>
    <message>
        <source>30 drop</source>
        <translation>30 Drop</translation>
    </message>
    <message>
        <source>30 fps</source>
        <translation>30 fps</translation>
    </message>
</context>
<context>
    <name>confirmLoss</name>
    <message>
        <source>&amp;Yes</source>
        <translation>&amp;Ja</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>&amp;Nein</translation>
    </message>
</context>
<context>
    <name>FullscreenClock</name>
    <message>
        <source>Orvello Clock</source>
        <translation>Orvello-Uhr</translation>
    </message>
</context>
<context>
    <name>FollowInputWorker</name>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1: no MIDI or audio system, retrying</source>
        <translation>%1: kein MIDI- oder Audiosystem, neuer Versuch</translation>
    </message>
    <message>
        <source>%1: no input, retrying</source>
        <translation>%1: kein Eingang, neuer Versuch</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; not found, retrying</source>
        <translation>%1: &quot;%2&quot; nicht gefunden, neuer Versuch</translation>
    </message>
    <message>
        <source>%1: cannot be opened, retrying</source>
        <translation>%1: lässt sich nicht öffnen, neuer Versuch</translation>
    </message>
</context>
<context>
    <name>MidiFollowInput</name>
    <message>
        <source>MIDI in</source>
        <translation>MIDI-Eingang</translation>
    </message>
</context>
<context>
    <name>LtcFollowInput</name>
    <message>
        <source>LTC in</source>
        <translation>LTC-Eingang</translation>
    </message>
</context>
</TS>
