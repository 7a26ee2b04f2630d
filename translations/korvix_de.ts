<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AnsiColours</name>
    <message>
        <source>ANSI colours</source>
        <translation>ANSI-Farben</translation>
    </message>
</context>
<context>
    <name>BreakSender</name>
    <message>
        <source>Send break</source>
        <translation>Break senden</translation>
    </message>
    <message>
        <source>Not connected: no break sent</source>
        <translation>Nicht verbunden: kein Break gesendet</translation>
    </message>
    <message>
        <source>No break sent: a file transfer holds the line</source>
        <translation>Kein Break gesendet: eine Dateiübertragung belegt die Leitung</translation>
    </message>
</context>
<context>
    <name>Extras</name>
    <message>
        <source>Extras</source>
        <translation>Extras</translation>
    </message>
    <message>
        <source>Features beyond the basic terminal</source>
        <translation>Funktionen über das einfache Terminal hinaus</translation>
    </message>
</context>
<context>
    <name>FileSender</name>
    <message>
        <source>Send file…</source>
        <translation>Datei senden…</translation>
    </message>
    <message>
        <source>Not connected: no file sent</source>
        <translation>Nicht verbunden: keine Datei gesendet</translation>
    </message>
    <message>
        <source>Send file</source>
        <translation>Datei senden</translation>
    </message>
    <message>
        <source>%1 cannot be read: %2.
Nothing was sent.</source>
        <translation>%1 kann nicht gelesen werden: %2.
Es wurde nichts gesendet.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>%1: %2 of %3, %4/s, %5:%6 left</source>
        <translation>%1: %2 von %3, %4/s, noch %5:%6</translation>
    </message>
    <message>
        <source>Cancelled sending %1 after %2 of %3</source>
        <translation>Senden von %1 nach %2 von %3 abgebrochen</translation>
    </message>
    <message>
        <source>Sent %1: %2 in %3 s</source>
        <translation>%1 gesendet: %2 in %3 s</translation>
    </message>
    <message>
        <source>Sending %1 failed after %2 of %3: %4</source>
        <translation>Senden von %1 nach %2 von %3 fehlgeschlagen: %4</translation>
    </message>
    <message>
        <source>Sending %1 stopped: the device was lost after %2 of %3.</source>
        <translation>Senden von %1 beendet: das Gerät ging nach %2 von %3 verloren.</translation>
    </message>
    <message>
        <source>Sending %1 stopped: the port was closed after %2 of %3.</source>
        <translation>Senden von %1 beendet: die Schnittstelle wurde nach %2 von %3 geschlossen.</translation>
    </message>
</context>
<context>
    <name>InputLines</name>
    <message>
        <source>CTS: clear to send, an input line</source>
        <translation>CTS: Sendebereitschaft (clear to send), eine Eingangsleitung</translation>
    </message>
    <message>
        <source>DSR: data set ready, an input line</source>
        <translation>DSR: Gerät bereit (data set ready), eine Eingangsleitung</translation>
    </message>
    <message>
        <source>DCD: data carrier detect, an input line</source>
        <translation>DCD: Trägersignal erkannt (data carrier detect), eine Eingangsleitung</translation>
    </message>
    <message>
        <source>RI: ring indicator, an input line</source>
        <translation>RI: Klingelsignal (ring indicator), eine Eingangsleitung</translation>
    </message>
    <message>
        <source>Input lines</source>
        <translation>Eingangsleitungen</translation>
    </message>
    <message>
        <source>Lamps for the input lines CTS, DSR, DCD and RI</source>
        <translation>Lampen für die Eingangsleitungen CTS, DSR, DCD und RI</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Connected: localecho </source>
        <translation>Verbunden: lokales Echo </translation>
    </message>
    <message>
        <source>onConnect: open serialport failed
serialport reports: </source>
        <translation>onConnect: Öffnen der seriellen Schnittstelle fehlgeschlagen
Schnittstelle meldet: </translation>
    </message>
    <message>
        <source>Open Error on serial port</source>
        <translation>Fehler beim Öffnen der seriellen Schnittstelle</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Getrennt</translation>
    </message>
    <message>
        <source>Select File</source>
        <translation>Datei auswählen</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Exit the application</source>
        <translation>Programm beenden</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <translation>&amp;Verbinden</translation>
    </message>
    <message>
        <source>Connect</source>
        <translation>Verbinden</translation>
    </message>
    <message>
        <source>&amp;Disconnect</source>
        <translation>&amp;Trennen</translation>
    </message>
    <message>
        <source>Disconnect</source>
        <translation>Trennen</translation>
    </message>
    <message>
        <source>&amp;Clear</source>
        <translation>&amp;Löschen</translation>
    </message>
    <message>
        <source>Clear Screen</source>
        <translation>Anzeige löschen</translation>
    </message>
    <message>
        <source>&amp;Log2file</source>
        <translation>&amp;Mitschreiben</translation>
    </message>
    <message>
        <source>Logging to file (on/off)</source>
        <translation>Mitschreiben in eine Datei (ein/aus)</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>&amp;Werkzeuge</translation>
    </message>
    <message>
        <source>Tools</source>
        <translation>Werkzeuge</translation>
    </message>
    <message>
        <source>&amp;DTR</source>
        <translation>&amp;DTR</translation>
    </message>
    <message>
        <source>toggle DTR line</source>
        <translation>DTR-Leitung umschalten</translation>
    </message>
    <message>
        <source>&amp;RTS</source>
        <translation>&amp;RTS</translation>
    </message>
    <message>
        <source>toggle RTS line</source>
        <translation>RTS-Leitung umschalten</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Try to autoconnect</source>
        <translation>Versuche automatisch zu verbinden</translation>
    </message>
    <message>
        <source>automatic reconnect found more than one device.
Now configure manually.</source>
        <translation>Die automatische Verbindung hat mehr als ein Gerät gefunden.
Bitte jetzt von Hand einstellen.</translation>
    </message>
</context>
<context>
    <name>PaneCopy</name>
    <message>
        <source>Copy the pane</source>
        <translation>Fensterinhalt kopieren</translation>
    </message>
    <message>
        <source>Save the pane as text…</source>
        <translation>Fensterinhalt als Text speichern…</translation>
    </message>
    <message>
        <source>Select with the mouse</source>
        <translation>Mit der Maus auswählen</translation>
    </message>
    <message>
        <source>The mouse selects text, and Ctrl+Shift+C copies it instead of sending it to the device</source>
        <translation>Die Maus wählt Text aus, und Strg+Umschalt+C kopiert ihn, statt ihn an das Gerät zu senden</translation>
    </message>
    <message>
        <source>Save the pane as text</source>
        <translation>Fensterinhalt als Text speichern</translation>
    </message>
    <message>
        <source>Text files (*.txt);;All files (*)</source>
        <translation>Textdateien (*.txt);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>The pane could not be saved to %1:
%2</source>
        <translation>Der Fensterinhalt konnte nicht in %1 gespeichert werden:
%2</translation>
    </message>
</context>
<context>
    <name>ProtocolTransfer</name>
    <message>
        <source>%1 gave up (exit code %2)</source>
        <translation>%1 hat aufgegeben (Exit-Code %2)</translation>
    </message>
    <message>
        <source>%1 could not be started</source>
        <translation>%1 konnte nicht gestartet werden</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>N/A</source>
        <translation>k. A.</translation>
    </message>
</context>
<context>
    <name>RecordAction</name>
    <message>
        <source>Record session…</source>
        <translation>Sitzung aufzeichnen…</translation>
    </message>
    <message>
        <source>Record what passes on the line as an umockdev script</source>
        <translation>Zeichnet auf, was über die Leitung geht, als umockdev-Skript</translation>
    </message>
    <message>
        <source>Record Session</source>
        <translation>Sitzung aufzeichnen</translation>
    </message>
    <message>
        <source>umockdev scripts (*.script)</source>
        <translation>umockdev-Skripte (*.script)</translation>
    </message>
</context>
<context>
    <name>SendFileDialog</name>
    <message>
        <source>Send file</source>
        <translation>Datei senden</translation>
    </message>
    <message>
        <source>Raw</source>
        <translation>Roh</translation>
    </message>
    <message>
        <source>XMODEM, checksum</source>
        <translation>XMODEM, Prüfsumme</translation>
    </message>
    <message>
        <source>XMODEM, CRC</source>
        <translation>XMODEM, CRC</translation>
    </message>
    <message>
        <source>XMODEM 1K</source>
        <translation>XMODEM 1K</translation>
    </message>
    <message>
        <source>YMODEM</source>
        <translation>YMODEM</translation>
    </message>
    <message>
        <source>%1 (install the package lrzsz)</source>
        <translation>%1 (Paket lrzsz installieren)</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>File:</source>
        <translation>Datei:</translation>
    </message>
    <message>
        <source>Protocol:</source>
        <translation>Protokoll:</translation>
    </message>
    <message>
        <source>Pause after each character:</source>
        <translation>Pause nach jedem Zeichen:</translation>
    </message>
    <message>
        <source>Pause after each line:</source>
        <translation>Pause nach jeder Zeile:</translation>
    </message>
</context>
<context>
    <name>SendLine</name>
    <message>
        <source>Send line</source>
        <translation>Sendezeile</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Hex</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>Text: escapes \r \n \t \\ \xNN. Hex: 41 42 0d, 41420d or 0x41 0x42</source>
        <translation>Text: Escapes \r \n \t \\ \xNN. Hex: 41 42 0d, 41420d oder 0x41 0x42</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keins</translation>
    </message>
    <message>
        <source>Appended to every line sent</source>
        <translation>An jede gesendete Zeile angehängt</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Not sent: not connected</source>
        <translation>Nicht gesendet: nicht verbunden</translation>
    </message>
    <message>
        <source>Not sent: a file transfer holds the line</source>
        <translation>Nicht gesendet: eine Dateiübertragung belegt die Leitung</translation>
    </message>
    <message>
        <source>unknown escape; use \r, \n, \t, \\ or \xNN</source>
        <translation>unbekanntes Escape; erlaubt sind \r, \n, \t, \\ und \xNN</translation>
    </message>
    <message>
        <source>\x takes two hexadecimal digits</source>
        <translation>\x braucht zwei Hexadezimalziffern</translation>
    </message>
    <message>
        <source>a backslash ends the line; write \\ for one</source>
        <translation>ein Backslash am Zeilenende; \\ steht für einen</translation>
    </message>
    <message>
        <source>not a hexadecimal digit</source>
        <translation>keine Hexadezimalziffer</translation>
    </message>
    <message>
        <source>a byte takes two hexadecimal digits</source>
        <translation>ein Byte braucht zwei Hexadezimalziffern</translation>
    </message>
    <message>
        <source>0x without digits</source>
        <translation>0x ohne Ziffern</translation>
    </message>
    <message>
        <source>Not sent: at character %1: %2</source>
        <translation>Nicht gesendet: bei Zeichen %1: %2</translation>
    </message>
</context>
<context>
    <name>TimestampsMenu</name>
    <message>
        <source>Timestamps</source>
        <translation>Zeitstempel</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Time of day</source>
        <translation>Uhrzeit</translation>
    </message>
    <message>
        <source>Since connect</source>
        <translation>Seit dem Verbinden</translation>
    </message>
    <message>
        <source>Since previous line</source>
        <translation>Seit der vorigen Zeile</translation>
    </message>
    <message>
        <source>Since last sent</source>
        <translation>Seit dem letzten Senden</translation>
    </message>
</context>
<context>
    <name>settingsdialog</name>
    <message>
        <source>No Device present.
Program will be closed.</source>
        <translation>Kein Gerät vorhanden.
Das Programm wird beendet.</translation>
    </message>
    <message>
        <source>local echo enabled</source>
        <translation>lokales Echo eingeschaltet</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>baudrate</source>
        <translation>Baudrate</translation>
    </message>
    <message>
        <source>databits</source>
        <translation>Datenbits</translation>
    </message>
    <message>
        <source>stopbits</source>
        <translation>Stoppbits</translation>
    </message>
    <message>
        <source>parity</source>
        <translation>Parität</translation>
    </message>
    <message>
        <source>flowcontrol</source>
        <translation>Flusssteuerung</translation>
    </message>
    <message>
        <source>Parameter</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>busy</source>
        <translation>belegt</translation>
    </message>
    <message>
        <source>available</source>
        <translation>verfügbar</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Manufacturer</source>
        <translation>Hersteller</translation>
    </message>
    <message>
        <source>Serial number</source>
        <translation>Seriennummer</translation>
    </message>
    <message>
        <source>Location</source>
        <translation>Ort</translation>
    </message>
    <message>
        <source>Vendor Identifier</source>
        <translation>Hersteller-ID</translation>
    </message>
    <message>
        <source>Product Identifier</source>
        <translation>Produkt-ID</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
</context>
<context>
    <name>toolsdialog</name>
    <message>
        <source>Parameter</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>send CRLF instead of LF</source>
        <translation>CRLF statt LF senden</translation>
    </message>
</context>
</TS>
