<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_GB">
<context>
    <name>AboutDialog</name>
    <message>
        <location filename="../resources/AboutDialog.qml" line="+15"/>
        <source>Program Information</source>
        <translation>Programminformationen</translation>
    </message>
    <message>
        <location line="+50"/>
        <source>Version: </source>
        <translation>Version: </translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Licence information:</source>
        <translation>Lizenzinformationen:</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>CProg2Gui</name>
    <message>
        <location filename="../source/bridge/CProg2Gui.cpp" line="+374"/>
        <source>© 2026 Vandrel. All rights reserved.</source>
        <translation>© 2026 Vandrel. Alle Rechte vorbehalten.</translation>
    </message>
    <message>
        <location line="+59"/>
        <source>The report of the running update could not be opened.</source>
        <translation>Der Bericht der laufenden Aktualisierung konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The report could not be opened.</source>
        <translation>Der Bericht konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <location line="+213"/>
        <source>The manual could not be opened.</source>
        <translation>Die Anleitung konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>No program for PDF files was found.</source>
        <translation>Es wurde kein Programm für PDF-Dateien gefunden.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The file is missing.</source>
        <translation>Die Datei fehlt.</translation>
    </message>
    <message>
        <location filename="../source/bridge/HelpTexts.cpp" line="+74"/>
        <source>Connect a Lumoran USB stick with a computer.</source>
        <translation>Verbinden Sie einen Lumoran-USB-Stick mit dem Computer.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Select the device software to be updated from the list.</source>
        <translation>Wählen Sie in der Liste die Gerätesoftware aus, die aktualisiert werden soll.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Actuate the &lt;em&gt;&quot;Download&quot;&lt;/em&gt; button.</source>
        <translation>Klicken Sie auf &lt;em&gt;„Herunterladen“&lt;/em&gt;.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Grant the USB stick access to the ZigBee network.</source>
        <translation>Geben Sie dem USB-Stick Zugang zum ZigBee-Netzwerk.</translation>
    </message>
    <message>
        <location line="+0"/>
        <location line="+25"/>
        <source>Proceed as follows:</source>
        <translation>Gehen Sie dabei so vor:</translation>
    </message>
    <message>
        <location line="-23"/>
        <source>Press both buttons of the top rocker on a control element and keep it pressed to open the network.</source>
        <translation>Drücken Sie an einem Bedienelement beide Tasten der oberen Wippe und halten Sie sie gedrückt, um das Netzwerk zu öffnen.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>- The LEDs flash alternately. The LEDs light up permanently after approx. 5 seconds.</source>
        <translation>- Die LEDs blinken abwechselnd. Nach etwa 5 Sekunden leuchten sie dauerhaft.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Release both buttons of the top rocker. Briefly press the right button of the top rocker again.</source>
        <translation>Lassen Sie beide Tasten der oberen Wippe los. Drücken Sie die rechte Taste der oberen Wippe noch einmal kurz.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>- The status LEDs of the top rocker flash. The network is now open for 2 minutes.</source>
        <translation>- Die Status-LEDs der oberen Wippe blinken. Das Netzwerk ist jetzt 2 Minuten lang offen.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The Lumoran USB stick and the ZLL control elements communicate wirelessly. The transmission range depends on the structural conditions.</source>
        <translation>Der Lumoran-USB-Stick und die ZLL-Bedienelemente verständigen sich per Funk. Die Reichweite hängt von den baulichen Gegebenheiten ab.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The Lumoran USB stick was not able to enter a ZLL network.</source>
        <translation>Der Lumoran-USB-Stick konnte keinem ZLL-Netzwerk beitreten.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Actuate the &lt;em&gt;&quot;Join new network&quot;&lt;/em&gt; button again.</source>
        <translation>Klicken Sie noch einmal auf &lt;em&gt;„Neues Netzwerk beitreten“&lt;/em&gt;.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Start the update of the ZLL devices.</source>
        <translation>Starten Sie die Aktualisierung der ZLL-Geräte.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Activate all battery-operated control elements one after the other.</source>
        <translation>Aktivieren Sie alle batteriebetriebenen Bedienelemente nacheinander.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Briefly press both buttons of the top rocker.</source>
        <translation>Drücken Sie kurz beide Tasten der oberen Wippe.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Actuate the &lt;em&gt;&quot;Update Devices&quot;&lt;/em&gt; button.</source>
        <translation>Klicken Sie auf &lt;em&gt;„Geräte aktualisieren“&lt;/em&gt;.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The update can be started even if all devices are not yet displayed.</source>
        <translation>Die Aktualisierung kann beginnen, auch wenn noch nicht alle Geräte angezeigt werden.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>It can take up to 25 minutes until all devices of a network are displayed.</source>
        <translation>Es kann bis zu 25 Minuten dauern, bis alle Geräte eines Netzwerks angezeigt werden.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>If battery operated control elements are not displayed, the cause could be a low capacity of the battery. Please replace the battery.</source>
        <translation>Werden batteriebetriebene Bedienelemente nicht angezeigt, ist vielleicht ihre Batterie schwach. Bitte tauschen Sie die Batterie.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Wait until stick is updated. This may take several minutes.</source>
        <translation>Warten Sie, bis der Stick aktualisiert ist. Das kann einige Minuten dauern.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>The USB stick has changed to another ZigBee network. Its devices are searched and updated anew.</source>
        <translation>Der USB-Stick ist in ein anderes ZigBee-Netzwerk gewechselt. Dessen Geräte werden neu gesucht und aktualisiert.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&lt;b&gt;Wait until all devices are updated.&lt;/b&gt;</source>
        <translation>&lt;b&gt;Warten Sie, bis alle Geräte aktualisiert sind.&lt;/b&gt;</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The remaining update time will be displayed under the device window.</source>
        <translation>Die verbleibende Zeit wird unter der Geräteliste angezeigt.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Wait until the tool is updated. The tool will be closed and restarted automatically.</source>
        <translation>Warten Sie, bis das Tool aktualisiert ist. Das Tool wird geschlossen und startet von selbst neu.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Another program is using the port %1 of the USB stick.</source>
        <translation>Ein anderes Programm verwendet den Anschluss %1 des USB-Sticks.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Close the other program (a terminal program, another copy of this tool). The tool connects to the stick as soon as the port is free.</source>
        <translation>Schließen Sie das andere Programm (ein Terminalprogramm, ein weiteres Exemplar dieses Tools). Das Tool verbindet sich mit dem Stick, sobald der Anschluss frei ist.</translation>
    </message>
    <message>
        <location line="+5"/>
        <location line="+6"/>
        <source>You may not use the port %1 of the USB stick.</source>
        <translation>Sie dürfen den Anschluss %1 des USB-Sticks nicht verwenden.</translation>
    </message>
    <message>
        <location line="-5"/>
        <source>The port belongs to the group &lt;i&gt;%1&lt;/i&gt;. Add your user to this group with the following command in a terminal, then log out and log in again:</source>
        <translation>Der Anschluss gehört der Gruppe &lt;i&gt;%1&lt;/i&gt;. Fügen Sie Ihren Benutzer mit dem folgenden Befehl in einem Terminal dieser Gruppe hinzu, melden Sie sich dann ab und wieder an:</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Ask the administrator of this computer for read and write access to the port.</source>
        <translation>Bitten Sie den Administrator dieses Computers um Lese- und Schreibrechte für den Anschluss.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The report of the last update could not be written to &lt;i&gt;%1&lt;/i&gt;.</source>
        <translation>Der Bericht der letzten Aktualisierung konnte nicht in &lt;i&gt;%1&lt;/i&gt; gespeichert werden.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The update itself is not affected. Check that this folder can be written to.</source>
        <translation>Die Aktualisierung selbst ist davon nicht betroffen. Prüfen Sie, ob in diesen Ordner geschrieben werden kann.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>No connection to update server</source>
        <translation>Keine Verbindung zum Update-Server</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Update information not available on server</source>
        <translation>Update-Informationen auf dem Server nicht vorhanden</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Error during downloading update information</source>
        <translation>Fehler beim Herunterladen der Update-Informationen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Could not authentificate update information</source>
        <translation>Update-Informationen konnten nicht authentifiziert werden</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Update server contacted</source>
        <translation>Update-Server erreicht</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Update information outdated</source>
        <translation>Update-Informationen veraltet</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Server does not respond</source>
        <translation>Server antwortet nicht</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Update information not valid on server</source>
        <translation>Update-Informationen auf dem Server ungültig</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Contacting server...</source>
        <translation>Server wird kontaktiert...</translation>
    </message>
</context>
<context>
    <name>DevicesBox</name>
    <message>
        <location filename="../resources/DevicesBox.qml" line="+31"/>
        <location line="+39"/>
        <source>Devices</source>
        <translation>Geräte</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <location line="+21"/>
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
        <source>Cancel the running update or download.</source>
        <translation>Laufende Aktualisierung oder laufendes Herunterladen abbrechen.</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Report…</source>
        <translation>Bericht…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Open the report of the latest update.</source>
        <translation>Den Bericht der letzten Aktualisierung öffnen.</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Device update</source>
        <translation>Geräteaktualisierung</translation>
    </message>
</context>
<context>
    <name>FileProblemDialog</name>
    <message>
        <location filename="../resources/FileProblemDialog.qml" line="+15"/>
        <source>Error Message</source>
        <translation>Fehlermeldung</translation>
    </message>
    <message>
        <location line="+45"/>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Show the folder that holds the file.</source>
        <translation>Den Ordner zeigen, in dem die Datei liegt.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>FilesBox</name>
    <message>
        <location filename="../resources/FilesBox.qml" line="+52"/>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>All Files</source>
        <translation>Alle Dateien</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>Firmware files</source>
        <translation>Firmware-Dateien</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Selected</source>
        <translation>Ausgewählt</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Select for download</source>
        <translation>Zum Herunterladen auswählen</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>Download</source>
        <translation>Herunterladen</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Download new device firmware versions.</source>
        <translation>Neue Firmware-Versionen für die Geräte herunterladen.</translation>
    </message>
</context>
<context>
    <name>FirmwareUpdateFileModel</name>
    <message>
        <location filename="../source/common/DeviceType.cpp" line="+12"/>
        <source>ZLL control element</source>
        <translation>ZLL-Bedienelement</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>ZLL wall-mounted transmitter</source>
        <translation>ZLL-Wandsender</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>ZLL intermediate plug</source>
        <translation>ZLL-Zwischenstecker</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>USB stick for Lumoran updates</source>
        <translation>USB-Stick für Lumoran-Updates</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Tool for Lumoran updates</source>
        <translation>Tool für Lumoran-Updates</translation>
    </message>
    <message>
        <location line="+12"/>
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
    <name>HelpBox</name>
    <message>
        <location filename="../resources/HelpBox.qml" line="+14"/>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
</context>
<context>
    <name>Merovan</name>
    <message>
        <location filename="../resources/Merovan.qml" line="+43"/>
        <source>No error!</source>
        <translation>Kein Fehler!</translation>
    </message>
    <message>
        <location line="+57"/>
        <source>Updated</source>
        <translation>Aktualisiert</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed, will be tried again</source>
        <translation>Fehlgeschlagen, wird erneut versucht</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>update to</source>
        <translation>Aktualisierung auf</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Note:</source>
        <translation>Hinweis:</translation>
    </message>
    <message>
        <location line="+101"/>
        <source>Language and manual</source>
        <translation>Sprache und Handbuch</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Language</source>
        <translation>Sprache</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Show manual</source>
        <translation>Handbuch anzeigen</translation>
    </message>
    <message>
        <location line="+77"/>
        <source>Error Message</source>
        <translation>Fehlermeldung</translation>
    </message>
</context>
<context>
    <name>ProgressCell</name>
    <message>
        <location filename="../resources/ProgressCell.qml" line="+10"/>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <location filename="../source/common/common.cpp" line="+36"/>
        <source>V%1</source>
        <comment>prefixes the number with version shortcut</comment>
        <translation>V%1</translation>
    </message>
    <message>
        <location filename="../source/common/ProgressHelper.cpp" line="+41"/>
        <source>Verification failed</source>
        <comment>download/update result</comment>
        <translation>Überprüfung fehlgeschlagen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Authentication failed</source>
        <comment>download/update result</comment>
        <translation>Authentifizierung fehlgeschlagen</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Timeout</source>
        <comment>download/update result</comment>
        <translation>Zeitüberschreitung</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Missing File</source>
        <comment>download/update result</comment>
        <translation>Datei fehlt</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Failed</source>
        <comment>download/update result</comment>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <location filename="../source/devices/ZigBeeDevice.cpp" line="+183"/>
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
    <name>RunReport</name>
    <message>
        <location filename="../source/bridge/ReportContent.cpp" line="+14"/>
        <source>Updated</source>
        <translation>Aktualisiert</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Already current</source>
        <translation>Bereits aktuell</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>No firmware</source>
        <translation>Keine Firmware</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed: %1</source>
        <translation>Fehler: %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Interrupted</source>
        <translation>Unterbrochen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>In progress</source>
        <translation>Läuft</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Waiting</source>
        <translation>Wartet</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Not reached</source>
        <translation>Nicht erreicht</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>all devices updated</source>
        <translation>alle Geräte aktualisiert</translation>
    </message>
    <message numerus="yes">
        <location line="+2"/>
        <source>ended by the user with %n device(s) not updated</source>
        <translation>
            <numerusform>vom Benutzer beendet, %n Gerät nicht aktualisiert</numerusform>
            <numerusform>vom Benutzer beendet, %n Geräte nicht aktualisiert</numerusform>
        </translation>
    </message>
    <message>
        <location line="+2"/>
        <source>the tool was closed</source>
        <translation>das Tool wurde geschlossen</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>under way, interim report</source>
        <translation>läuft noch, Zwischenbericht</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>ended by itself</source>
        <translation>von selbst beendet</translation>
    </message>
    <message>
        <location filename="../source/bridge/ReportWriter.cpp" line="+78"/>
        <source>Stick update report</source>
        <translation>Bericht Stick-Aktualisierung</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Device update report</source>
        <translation>Bericht Geräteaktualisierung</translation>
    </message>
    <message>
        <location line="+64"/>
        <source>%1 to %2 (%3)</source>
        <translation>%1 bis %2 (%3)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>channel %1, stick address %2, network ID %3</source>
        <translation>Kanal %1, Stick-Adresse %2, Netzwerk-ID %3</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>%1 %2 (%3)</source>
        <translation>%1 %2 (%3)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>updated %1</source>
        <translation>aktualisiert %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>already current %1</source>
        <translation>bereits aktuell %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>failed %1</source>
        <translation>fehlgeschlagen %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>not reached %1</source>
        <translation>nicht erreicht %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>no firmware %1</source>
        <translation>keine Firmware %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Date:</source>
        <translation>Datum:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Network:</source>
        <translation>Netzwerk:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Stick firmware:</source>
        <translation>Stick-Firmware:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Devices:</source>
        <translation>Geräte:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Firmware offered:</source>
        <translation>Angebotene Firmware:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Address</source>
        <translation>Adresse</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Extended address</source>
        <translation>Erweiterte Adresse</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Before</source>
        <translation>Vorher</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>After</source>
        <translation>Nachher</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Attempts</source>
        <translation>Versuche</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Start</source>
        <translation>Beginn</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>End</source>
        <translation>Ende</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Transfer</source>
        <translation>Übertragung</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>%1 min %2 s</source>
        <translation>%1 min %2 s</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>No devices found</source>
        <translation>Keine Geräte gefunden</translation>
    </message>
</context>
<context>
    <name>StickBox</name>
    <message>
        <location filename="../resources/StickBox.qml" line="+26"/>
        <source>Stick</source>
        <translation>Stick</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Status:</source>
        <translation>Status:</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Network:</source>
        <translation>Netzwerk:</translation>
    </message>
    <message>
        <location line="+17"/>
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
        <location line="+13"/>
        <source>Stick update</source>
        <translation>Stick-Aktualisierung</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Stick update:</source>
        <translation>Stick-Aktualisierung:</translation>
    </message>
</context>
<context>
    <name>StickInterface</name>
    <message>
        <location filename="../source/link/StickInterface.cpp" line="+311"/>
        <source>no access</source>
        <translation>kein Zugriff</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>in use</source>
        <translation>belegt</translation>
    </message>
    <message>
        <location line="+1"/>
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
        <location line="+7"/>
        <location line="+15"/>
        <location line="+10"/>
        <source>unknown</source>
        <translation>unbekannt</translation>
    </message>
    <message>
        <location line="-22"/>
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
        <location line="+1"/>
        <source>Ch</source>
        <comment>radio channel, short</comment>
        <translation>Kanal</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Addr</source>
        <comment>network address, short</comment>
        <translation>Adr.</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Verification failed</source>
        <comment>stick update result</comment>
        <translation>Überprüfung fehlgeschlagen</translation>
    </message>
</context>
<context>
    <name>ToolBox</name>
    <message>
        <location filename="../resources/ToolBox.qml" line="+27"/>
        <source>Tool</source>
        <translation>Tool</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <location line="+14"/>
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
</context>
<context>
    <name>ToolUpdater</name>
    <message>
        <location filename="../source/bridge/ToolUpdater.cpp" line="+129"/>
        <source>The tool update could not be started. The tool keeps running in its current version.</source>
        <translation>Das Update des Tools konnte nicht gestartet werden. Das Tool läuft in seiner aktuellen Version weiter.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The new version of the tool is missing. Download it again.</source>
        <translation>Die neue Version des Tools fehlt. Laden Sie sie erneut herunter.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>The new version of the tool differs from the one downloaded. Download it again.</source>
        <translation>Die neue Version des Tools weicht von der heruntergeladenen ab. Laden Sie sie erneut herunter.</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>The tool update could not be prepared: the folder %1 cannot be written. The tool keeps running in its current version.</source>
        <translation>Das Update des Tools konnte nicht vorbereitet werden: In den Ordner %1 kann nicht geschrieben werden. Das Tool läuft in seiner aktuellen Version weiter.</translation>
    </message>
</context>
<context>
    <name>ZigBeeDeviceModel</name>
    <message>
        <location filename="../source/devices/ZigBeeDevice.cpp" line="-142"/>
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
        <location line="+112"/>
        <source>%1 since %2</source>
        <comment>no activity since x</comment>
        <translation>%1 seit %2</translation>
    </message>
    <message>
        <location filename="../source/devices/ZigBeeDeviceModel.cpp" line="+504"/>
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
