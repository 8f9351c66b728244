<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Catalogue</name>
    <message>
        <source>Right Now</source>
        <translation>Sofort</translation>
    </message>
    <message>
        <source>Delayed</source>
        <translation>Verzögert</translation>
    </message>
    <message>
        <source>Timing</source>
        <translation>Geplant</translation>
    </message>
    <message>
        <source>Stop by Button</source>
        <translation>Stopp per Taste</translation>
    </message>
    <message>
        <source>Stop by Software</source>
        <translation>Stopp per Software</translation>
    </message>
    <message>
        <source>Stop by Button or Software</source>
        <translation>Stopp per Taste oder Software</translation>
    </message>
    <message>
        <source>Internal</source>
        <translation>Intern</translation>
    </message>
    <message>
        <source>External</source>
        <translation>Extern</translation>
    </message>
    <message>
        <source>Opened</source>
        <translation>Ein</translation>
    </message>
    <message>
        <source>Closed</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>Disable</source>
        <translation>Deaktiviert</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>Aktiviert</translation>
    </message>
    <message>
        <source>Single</source>
        <translation>Einzeln</translation>
    </message>
    <message>
        <source>Cumulative</source>
        <translation>Kumulativ</translation>
    </message>
</context>
<context>
    <name>FileDialogs</name>
    <message>
        <source>Settings files (*.json);;All files (*)</source>
        <translation>Einstellungsdateien (*.json);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Open Settings</source>
        <translation>Einstellungen öffnen</translation>
    </message>
    <message>
        <source>Export Settings</source>
        <translation>Einstellungen exportieren</translation>
    </message>
</context>
<context>
    <name>LastSave</name>
    <message>
        <source>not acknowledged</source>
        <translation>nicht quittiert</translation>
    </message>
    <message>
        <source>read-back failed</source>
        <translation>Rücklesen fehlgeschlagen</translation>
    </message>
    <message>
        <source>read-back differs</source>
        <translation>Rückgelesenes weicht ab</translation>
    </message>
    <message>
        <source>not sent</source>
        <translation>nicht gesendet</translation>
    </message>
    <message>
        <source>interrupted</source>
        <translation>unterbrochen</translation>
    </message>
    <message>
        <source>no outcome recorded</source>
        <translation>kein Ergebnis verzeichnet</translation>
    </message>
    <message>
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
    <message>
        <source>Last saved %1 by %2 on %3</source>
        <translation>Zuletzt gespeichert am %1 von %2 an %3</translation>
    </message>
    <message>
        <source>Last save %1 by %2 on %3: %4</source>
        <translation>Letzte Speicherung am %1 von %2 an %3: %4</translation>
    </message>
</context>
<context>
    <name>Pictures</name>
    <message>
        <source>Read</source>
        <translation>Lesen</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Info</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Minimise</source>
        <translation>Minimieren</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Temperature &amp; Humidity Logger Setup</source>
        <translation>Temperatur- &amp; Feuchtelogger einrichten</translation>
    </message>
    <message>
        <source>LOGGER</source>
        <translation>LOGGER</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Logger Parameters</source>
        <translation>Logger-Parameter</translation>
    </message>
    <message>
        <source>Read the logger, change its settings, then save.</source>
        <translation>Logger lesen, Einstellungen ändern, dann speichern.</translation>
    </message>
    <message>
        <source>Connect the logger to a USB port before pressing Read.</source>
        <translation>Logger an einen USB-Anschluss anschließen, dann Lesen drücken.</translation>
    </message>
    <message>
        <source>About Korvel</source>
        <translation>Über Korvel</translation>
    </message>
    <message>
        <source>Reads and writes the logger&apos;s settings over USB.</source>
        <translation>Liest und schreibt Logger-Einstellungen über USB.</translation>
    </message>
    <message>
        <source>Press Back to return to the parameters.</source>
        <translation>Mit Zurück geht es zu den Parametern.</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Export</translation>
    </message>
</context>
<context>
    <name>Prompt</name>
    <message>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
    <message>
        <source>Prompt</source>
        <translation>Hinweis</translation>
    </message>
</context>
<context>
    <name>SaveForm</name>
    <message>
        <source>The %1 can not be empty</source>
        <translation>%1 darf nicht leer sein</translation>
    </message>
    <message>
        <source>The %1 is out of range</source>
        <translation>%1 liegt außerhalb des zulässigen Bereichs</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid number</source>
        <translation>„%1“ ist keine gültige Zahl</translation>
    </message>
    <message>
        <source>The Serial Number can not be empty and the Serial Number length is 9</source>
        <translation>Die Seriennummer darf nicht leer sein und muss 9 Zeichen lang sein</translation>
    </message>
    <message>
        <source>The Temperature L1 can not be above the Temperature H1</source>
        <translation>Temperatur L1 darf nicht über Temperatur H1 liegen</translation>
    </message>
    <message>
        <source>The Password can not be empty and the Password length is 6</source>
        <translation>Das Passwort darf nicht leer sein und muss 6 Zeichen lang sein</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>Seriennummer</translation>
    </message>
    <message>
        <source>Calibration Temperature</source>
        <translation>Temperaturkalibrierung</translation>
    </message>
    <message>
        <source>Calibration Humidity</source>
        <translation>Feuchtekalibrierung</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Temperature H3</source>
        <translation>Temperatur H3</translation>
    </message>
    <message>
        <source>Temperature H2</source>
        <translation>Temperatur H2</translation>
    </message>
    <message>
        <source>Temperature H1</source>
        <translation>Temperatur H1</translation>
    </message>
    <message>
        <source>Temperature L1</source>
        <translation>Temperatur L1</translation>
    </message>
    <message>
        <source>Temperature L2</source>
        <translation>Temperatur L2</translation>
    </message>
    <message>
        <source>Humidity H1</source>
        <translation>Feuchte H1</translation>
    </message>
    <message>
        <source>Humidity L1</source>
        <translation>Feuchte L1</translation>
    </message>
</context>
<context>
    <name>ScanStatus</name>
    <message>
        <source>%1 port</source>
        <translation>%1 Port</translation>
    </message>
    <message>
        <source>%1 ports</source>
        <translation>%1 Ports</translation>
    </message>
    <message>
        <source>no permission for %1 (join the dialout group, see Help)</source>
        <translation>keine Berechtigung für %1 (der Gruppe dialout beitreten, siehe Hilfe)</translation>
    </message>
    <message>
        <source>%1 in use by another program</source>
        <translation>%1 von einem anderen Programm belegt</translation>
    </message>
    <message>
        <source>%1 gone</source>
        <translation>%1 nicht mehr vorhanden</translation>
    </message>
    <message>
        <source>%1 would not open</source>
        <translation>%1 ließ sich nicht öffnen</translation>
    </message>
    <message>
        <source>, </source>
        <comment>between the reasons</comment>
        <translation>, </translation>
    </message>
    <message>
        <source>Looking for the logger on %1</source>
        <translation>Suche den Logger an %1</translation>
    </message>
    <message>
        <source>Polling port %1 of %2: %3</source>
        <translation>Frage Port %1 von %2 ab: %3</translation>
    </message>
    <message>
        <source>Polled %1; no logger answered.</source>
        <translation>%1 abgefragt; kein Logger hat geantwortet.</translation>
    </message>
    <message>
        <source>Polled %1, no logger: %2.</source>
        <translation>%1 abgefragt, kein Logger: %2.</translation>
    </message>
</context>
<context>
    <name>TComm</name>
    <message>
        <source>This serial port already opened</source>
        <translation>Dieser serielle Port ist bereits geöffnet</translation>
    </message>
    <message>
        <source>Can&apos;t Open the Port</source>
        <translation>Der Port lässt sich nicht öffnen</translation>
    </message>
    <message>
        <source>不能设置通讯缓冲区</source>
        <translation>Der Übertragungspuffer lässt sich nicht einrichten</translation>
    </message>
    <message>
        <source>Can&apos;t Apply the Line Settings</source>
        <translation>Die Leitungseinstellungen lassen sich nicht anwenden</translation>
    </message>
    <message>
        <source>Unable to create event</source>
        <translation>Das Ereignis lässt sich nicht anlegen</translation>
    </message>
    <message>
        <source>Unable to create read thread</source>
        <translation>Der Lese-Thread lässt sich nicht starten</translation>
    </message>
    <message>
        <source>Unable to create write thread</source>
        <translation>Der Schreib-Thread lässt sich nicht starten</translation>
    </message>
</context>
<context>
    <name>korvel::window::TAboutFrm</name>
    <message>
        <source>Software Version: %1</source>
        <translation>Softwareversion: %1</translation>
    </message>
    <message>
        <source>Third-party licences</source>
        <translation>Lizenzen von Drittanbietern</translation>
    </message>
</context>
<context>
    <name>korvel::window::TParamter</name>
    <message>
        <source>Are you sure you want to quit the system?</source>
        <translation>Möchten Sie das Programm wirklich beenden?</translation>
    </message>
    <message>
        <source>No device detected!</source>
        <translation>Kein Gerät gefunden!</translation>
    </message>
    <message>
        <source>Y</source>
        <comment>year</comment>
        <translation>J</translation>
    </message>
    <message>
        <source>M</source>
        <comment>month</comment>
        <translation>M</translation>
    </message>
    <message>
        <source>D</source>
        <comment>day</comment>
        <translation>T</translation>
    </message>
    <message>
        <source>H</source>
        <comment>hours</comment>
        <translation>h</translation>
    </message>
    <message>
        <source>M</source>
        <comment>minutes</comment>
        <translation>m</translation>
    </message>
    <message>
        <source>S</source>
        <comment>seconds</comment>
        <translation>s</translation>
    </message>
    <message>
        <source>Paramter</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>Device Info</source>
        <translation>Geräteinfo</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>Seriennr.</translation>
    </message>
    <message>
        <source>Temp. Unit</source>
        <translation>Einheit</translation>
    </message>
    <message>
        <source>Time Zone</source>
        <translation>Zeitzone</translation>
    </message>
    <message>
        <source>System Time</source>
        <translation>Systemzeit</translation>
    </message>
    <message>
        <source>Start Time</source>
        <translation>Startzeit</translation>
    </message>
    <message>
        <source>Probe Mode</source>
        <translation>Fühlermodus</translation>
    </message>
    <message>
        <source>Cycle Switch</source>
        <translation>Ringspeicher</translation>
    </message>
    <message>
        <source>Stop Mode</source>
        <translation>Stoppmodus</translation>
    </message>
    <message>
        <source>Calibration Temperature</source>
        <translation>Temperaturkalibrierung</translation>
    </message>
    <message>
        <source>Calibration Humidity</source>
        <translation>Feuchtekalibrierung</translation>
    </message>
    <message>
        <source>Temporary PDF Startup</source>
        <translation>Temporäres PDF</translation>
    </message>
    <message>
        <source>Password Startup</source>
        <translation>Passwortschutz</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Passwort</translation>
    </message>
    <message>
        <source>Alarm Zone</source>
        <translation>Alarmbereich</translation>
    </message>
    <message>
        <source>Temperature/Humidity</source>
        <translation>Temperatur/Feuchte</translation>
    </message>
    <message>
        <source>Alarm Mode</source>
        <translation>Alarmmodus</translation>
    </message>
    <message>
        <source>Alarm Delay</source>
        <translation>Alarmverzögerung</translation>
    </message>
    <message>
        <source>Log Setting</source>
        <translation>Aufzeichnung</translation>
    </message>
    <message>
        <source>Start Mode</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Start Delay</source>
        <translation>Wartezeit</translation>
    </message>
    <message>
        <source>Log Interval</source>
        <translation>Intervall</translation>
    </message>
    <message>
        <source>Alarm Setting</source>
        <translation>Alarmeinstellungen</translation>
    </message>
    <message>
        <source>No Alarm</source>
        <translation>Kein Alarm</translation>
    </message>
    <message>
        <source>Single Alarm</source>
        <translation>Einzelalarm</translation>
    </message>
    <message>
        <source>Multiple Alarm</source>
        <translation>Mehrfachalarm</translation>
    </message>
    <message>
        <source>Temperature H1:Over</source>
        <translation>Temperatur H1: über</translation>
    </message>
    <message>
        <source>Temperature L1:Below</source>
        <translation>Temperatur L1: unter</translation>
    </message>
    <message>
        <source>Trip Information</source>
        <translation>Transportinformationen</translation>
    </message>
    <message>
        <source>Data Check Error</source>
        <translation>Fehler bei der Datenprüfung</translation>
    </message>
    <message>
        <source>Save Success</source>
        <translation>Erfolgreich gespeichert</translation>
    </message>
    <message>
        <source>Read Success</source>
        <translation>Erfolgreich gelesen</translation>
    </message>
    <message>
        <source>Temperature H3:Over</source>
        <translation>Temperatur H3: über</translation>
    </message>
    <message>
        <source>Temperature H2:Over</source>
        <translation>Temperatur H2: über</translation>
    </message>
    <message>
        <source>Temperature L2:Below</source>
        <translation>Temperatur L2: unter</translation>
    </message>
    <message>
        <source>Humidity H1:Over</source>
        <translation>Feuchte H1: über</translation>
    </message>
    <message>
        <source>Humidity L1:Below</source>
        <translation>Feuchte L1: unter</translation>
    </message>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>%1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Cannot open %1: the file is larger than 1 MiB</source>
        <translation>%1 kann nicht geöffnet werden: Die Datei ist größer als 1 MiB</translation>
    </message>
    <message>
        <source>%1 was not opened:
%2</source>
        <translation>%1 wurde nicht geöffnet:
%2</translation>
    </message>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>%1 kann nicht geschrieben werden: %2</translation>
    </message>
</context>
</TS>
