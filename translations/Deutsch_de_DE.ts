<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_GB">
<context>
    <name>FirmwareUpdateFileModel</name>
    <message>
        <location filename="../source/common/DeviceType.cpp" line="+11"/>
        <source>ZLL control element</source>
        <translation>ZLL-Bedienelement</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>ZLL wall-mounted transmitter</source>
        <translation>ZLL-Wandsender</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>ZLL intermediate plug</source>
        <translation>ZLL-Zwischenstecker</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>USB stick for Lumoran updates</source>
        <translation>USB-Stick für Lumoran-Updates</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Tool for Lumoran updates</source>
        <translation>Tool für Lumoran-Updates</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>K41z-8xxx</source>
        <translation>K41z-8xxx</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>K41z/01-8xxx</source>
        <translation>K41z/01-8xxx</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>K47-8xxx-yyy</source>
        <translation>K47-8xxx-yyy</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>K49-FW</source>
        <translation>K49-FW</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>K49-SW</source>
        <translation>K49-SW</translation>
    </message>
</context>
<context>
    <name>Merovan</name>
    <message>
        <location filename="../resources/Merovan.qml" line="+28"/>
        <source>No error!</source>
        <translation>Kein Fehler!</translation>
    </message>
    <message>
        <location line="+143"/>
        <source>Show manual</source>
        <translation>Handbuch anzeigen</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>Tool</source>
        <translation>Tool</translation>
    </message>
    <message>
        <location line="+9"/>
        <location line="+60"/>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <location line="-47"/>
        <source>Info...</source>
        <translation>Info...</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Show program information</source>
        <translation>Programminformationen anzeigen</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Update Tool</source>
        <translation>Tool aktualisieren</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Install the new program version</source>
        <translation>Neue Programmversion installieren</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>Stick</source>
        <translation>Stick</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Status:</source>
        <translation>Status:</translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Network:</source>
        <translation>Netzwerk:</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Join new network</source>
        <translation>Neues Netzwerk beitreten</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Reset stick to factory new</source>
        <translation>Stick auf Werkseinstellungen zurücksetzen</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Update Stick</source>
        <translation>Stick aktualisieren</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Install the new stick firmware version.</source>
        <translation>Neue Firmware-Version des Sticks installieren.</translation>
    </message>
    <message>
        <location line="+48"/>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>All Files</source>
        <translation>Alle Dateien</translation>
    </message>
    <message>
        <location line="+59"/>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <location line="+8"/>
        <location line="+87"/>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <location line="-395"/>
        <location line="+316"/>
        <location line="+87"/>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <location line="-67"/>
        <source>Download</source>
        <translation>Herunterladen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Download new device firmware versions.</source>
        <translation>Neue Firmware-Versionen für die Geräte herunterladen.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Devices</source>
        <translation>Geräte</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <location line="+37"/>
        <source>Update Devices</source>
        <translation>Geräte aktualisieren</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Update devices with new firmware.</source>
        <translation>Geräte mit neuer Firmware aktualisieren.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Cancel update.</source>
        <translation>Aktualisierung abbrechen.</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <location line="+95"/>
        <source>Program Information</source>
        <translation>Programminformationen</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Version: </source>
        <translation>Version: </translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Licence information:</source>
        <translation>Lizenzinformationen:</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Error Message</source>
        <translation>Fehlermeldung</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <location filename="../source/common/common.cpp" line="+34"/>
        <source>V%1</source>
        <comment>prefixes the number with version shortcut</comment>
        <translation>V%1</translation>
    </message>
    <message>
        <location filename="../source/common/ProgressHelper.cpp" line="+31"/>
        <source>Verification failed</source>
        <comment>download/update result</comment>
        <translation>Überprüfung fehlgeschlagen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Authentication failed</source>
        <comment>download/update result</comment>
        <translation>Authentifizierung fehlgeschlagen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Timeout</source>
        <comment>download/update result</comment>
        <translation>Zeitüberschreitung</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Missing File</source>
        <comment>download/update result</comment>
        <translation>Datei fehlt</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed</source>
        <comment>download/update result</comment>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <location filename="../source/devices/ZigBeeDevice.cpp" line="+169"/>
        <source>%1s</source>
        <comment>x seconds</comment>
        <translation>%1 s</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1min</source>
        <comment>x minutes</comment>
        <translation>%1 min</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1h %2min</source>
        <comment>x hours y minutes</comment>
        <translation>%1 h %2 min</translation>
    </message>
</context>
<context>
    <name>StickInterface</name>
    <message>
        <location filename="../source/link/StickInterface.cpp" line="+297"/>
        <source>searching stick...</source>
        <translation>Stick wird gesucht...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>connected</source>
        <translation>verbunden</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>connection lost</source>
        <translation>Verbindung verloren</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+4"/>
        <location line="+14"/>
        <location line="+21"/>
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
    <message>
        <location line="-32"/>
        <source>disconnected</source>
        <translation>nicht verbunden</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>discovering...</source>
        <translation>Netzwerk wird gesucht...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>discovery failed</source>
        <translation>Suche fehlgeschlagen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>joined</source>
        <translation>beigetreten</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>Verification failed</source>
        <comment>stick update result</comment>
        <translation>Überprüfung fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>ZigBeeDeviceModel</name>
    <message>
        <location filename="../source/devices/ZigBeeDevice.cpp" line="-129"/>
        <source>waits for update information...</source>
        <translation>wartet auf Update-Informationen...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>no new image available</source>
        <translation>keine neue Firmware verfügbar</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>prepares update...</source>
        <translation>bereitet das Update vor...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>update canceled</source>
        <translation>Update abgebrochen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>no activity</source>
        <translation>keine Aktivität</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>loads data...</source>
        <translation>lädt Daten...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>checks/writes new firmware...</source>
        <translation>prüft/schreibt neue Firmware...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
    <message>
        <location line="+99"/>
        <source>%1 since %2</source>
        <comment>no activity since x</comment>
        <translation>%1 seit %2</translation>
    </message>
    <message>
        <location filename="../source/devices/ZigBeeDeviceModel.cpp" line="+360"/>
        <source>less than 1min</source>
        <translation>weniger als 1 min</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1min</source>
        <comment>remaining time</comment>
        <translation>%1 min</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1h %2min</source>
        <comment>remaining time</comment>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>%1 of %2  -  remaining %3  - %4%</source>
        <comment>params: DoneCount AllCount remainingTime percent</comment>
        <translation>%1 von %2  -  noch %3  - %4%</translation>
    </message>
    <message numerus="yes">
        <location line="+18"/>
        <source>%1 devices found - searching %2min</source>
        <comment>N devices found; N &gt;= 1 - min time</comment>
        <translation>
            <numerusform>%1 Gerät gefunden - Suche noch %2 min</numerusform>
            <numerusform>%1 Geräte gefunden - Suche noch %2 min</numerusform>
        </translation>
    </message>
    <message>
        <location line="+3"/>
        <source>No devices found - searching %1min</source>
        <comment>no devices - min time</comment>
        <translation>Keine Geräte gefunden - Suche noch %1 min</translation>
    </message>
    <message numerus="yes">
        <location line="+3"/>
        <source>%1 devices found</source>
        <comment>N devices found; N &gt;= 1</comment>
        <translation>
            <numerusform>%1 Gerät gefunden</numerusform>
            <numerusform>%1 Geräte gefunden</numerusform>
        </translation>
    </message>
    <message>
        <location line="+1"/>
        <source>No devices found</source>
        <comment>no devices</comment>
        <translation>Keine Geräte gefunden</translation>
    </message>
</context>
</TS>
