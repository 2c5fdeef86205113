<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="en_GB">
<context>
    <name>AboutDialog</name>
    <message>
        <location filename="../resources/AboutDialog.qml" line="+15"/>
        <source>Program Information</source>
        <translation>Program Information</translation>
    </message>
    <message>
        <location line="+50"/>
        <source>Version: </source>
        <translation>Version: </translation>
    </message>
    <message>
        <location line="+18"/>
        <source>Licence information:</source>
        <translation>Licence information:</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Close</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>CProg2Gui</name>
    <message>
        <location filename="../source/bridge/CProg2Gui.cpp" line="+374"/>
        <source>© 2026 Vandrel. All rights reserved.</source>
        <translation>© 2026 Vandrel. All rights reserved.</translation>
    </message>
    <message>
        <location line="+59"/>
        <source>The report of the running update could not be opened.</source>
        <translation>The report of the running update could not be opened.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The report could not be opened.</source>
        <translation>The report could not be opened.</translation>
    </message>
    <message>
        <location line="+213"/>
        <source>The manual could not be opened.</source>
        <translation>The manual could not be opened.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>No program for PDF files was found.</source>
        <translation>No program for PDF files was found.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The file is missing.</source>
        <translation>The file is missing.</translation>
    </message>
    <message>
        <location filename="../source/bridge/HelpTexts.cpp" line="+74"/>
        <source>Connect a Lumoran USB stick with a computer.</source>
        <translation>Connect a Lumoran USB stick with a computer.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Select the device software to be updated from the list.</source>
        <translation>Select the device software to be updated from the list.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Actuate the &lt;em&gt;&quot;Download&quot;&lt;/em&gt; button.</source>
        <translation>Actuate the &lt;em&gt;&quot;Download&quot;&lt;/em&gt; button.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Grant the USB stick access to the ZigBee network.</source>
        <translation>Grant the USB stick access to the ZigBee network.</translation>
    </message>
    <message>
        <location line="+0"/>
        <location line="+25"/>
        <source>Proceed as follows:</source>
        <translation>Proceed as follows:</translation>
    </message>
    <message>
        <location line="-23"/>
        <source>Press both buttons of the top rocker on a control element and keep it pressed to open the network.</source>
        <translation>Press both buttons of the top rocker on a control element and keep it pressed to open the network.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>- The LEDs flash alternately. The LEDs light up permanently after approx. 5 seconds.</source>
        <translation>- The LEDs flash alternately. The LEDs light up permanently after approx. 5 seconds.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Release both buttons of the top rocker. Briefly press the right button of the top rocker again.</source>
        <translation>Release both buttons of the top rocker. Briefly press the right button of the top rocker again.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>- The status LEDs of the top rocker flash. The network is now open for 2 minutes.</source>
        <translation>- The status LEDs of the top rocker flash. The network is now open for 2 minutes.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The Lumoran USB stick and the ZLL control elements communicate wirelessly. The transmission range depends on the structural conditions.</source>
        <translation>The Lumoran USB stick and the ZLL control elements communicate wirelessly. The transmission range depends on the structural conditions.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The Lumoran USB stick was not able to enter a ZLL network.</source>
        <translation>The Lumoran USB stick was not able to enter a ZLL network.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Actuate the &lt;em&gt;&quot;Join new network&quot;&lt;/em&gt; button again.</source>
        <translation>Actuate the &lt;em&gt;&quot;Join new network&quot;&lt;/em&gt; button again.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Start the update of the ZLL devices.</source>
        <translation>Start the update of the ZLL devices.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Activate all battery-operated control elements one after the other.</source>
        <translation>Activate all battery-operated control elements one after the other.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Briefly press both buttons of the top rocker.</source>
        <translation>Briefly press both buttons of the top rocker.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Actuate the &lt;em&gt;&quot;Update Devices&quot;&lt;/em&gt; button.</source>
        <translation>Actuate the &lt;em&gt;&quot;Update Devices&quot;&lt;/em&gt; button.</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>The update can be started even if all devices are not yet displayed.</source>
        <translation>The update can be started even if all devices are not yet displayed.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>It can take up to 25 minutes until all devices of a network are displayed.</source>
        <translation>It can take up to 25 minutes until all devices of a network are displayed.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>If battery operated control elements are not displayed, the cause could be a low capacity of the battery. Please replace the battery.</source>
        <translation>If battery operated control elements are not displayed, the cause could be a low capacity of the battery. Please replace the battery.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Wait until stick is updated. This may take several minutes.</source>
        <translation>Wait until stick is updated. This may take several minutes.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>The USB stick has changed to another ZigBee network. Its devices are searched and updated anew.</source>
        <translation>The USB stick has changed to another ZigBee network. Its devices are searched and updated anew.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>&lt;b&gt;Wait until all devices are updated.&lt;/b&gt;</source>
        <translation>&lt;b&gt;Wait until all devices are updated.&lt;/b&gt;</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The remaining update time will be displayed under the device window.</source>
        <translation>The remaining update time will be displayed under the device window.</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Wait until the tool is updated. The tool will be closed and restarted automatically.</source>
        <translation>Wait until the tool is updated. The tool will be closed and restarted automatically.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Another program is using the port %1 of the USB stick.</source>
        <translation>Another program is using the port %1 of the USB stick.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Close the other program (a terminal program, another copy of this tool). The tool connects to the stick as soon as the port is free.</source>
        <translation>Close the other program (a terminal program, another copy of this tool). The tool connects to the stick as soon as the port is free.</translation>
    </message>
    <message>
        <location line="+5"/>
        <location line="+6"/>
        <source>You may not use the port %1 of the USB stick.</source>
        <translation>You may not use the port %1 of the USB stick.</translation>
    </message>
    <message>
        <location line="-5"/>
        <source>The port belongs to the group &lt;i&gt;%1&lt;/i&gt;. Add your user to this group with the following command in a terminal, then log out and log in again:</source>
        <translation>The port belongs to the group &lt;i&gt;%1&lt;/i&gt;. Add your user to this group with the following command in a terminal, then log out and log in again:</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Ask the administrator of this computer for read and write access to the port.</source>
        <translation>Ask the administrator of this computer for read and write access to the port.</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>The report of the last update could not be written to &lt;i&gt;%1&lt;/i&gt;.</source>
        <translation>The report of the last update could not be written to &lt;i&gt;%1&lt;/i&gt;.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>The update itself is not affected. Check that this folder can be written to.</source>
        <translation>The update itself is not affected. Check that this folder can be written to.</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>No connection to update server</source>
        <translation>No connection to update server</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Update information not available on server</source>
        <translation>Update information not available on server</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Error during downloading update information</source>
        <translation>Error during downloading update information</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Could not authentificate update information</source>
        <translation>Could not authentificate update information</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Update server contacted</source>
        <translation>Update server contacted</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Update information outdated</source>
        <translation>Update information outdated</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Server does not respond</source>
        <translation>Server does not respond</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Update information not valid on server</source>
        <translation>Update information not valid on server</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Contacting server...</source>
        <translation>Contacting server...</translation>
    </message>
</context>
<context>
    <name>DevicesBox</name>
    <message>
        <location filename="../resources/DevicesBox.qml" line="+31"/>
        <location line="+39"/>
        <source>Devices</source>
        <translation>Devices</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Result</source>
        <translation>Result</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Address</source>
        <translation>Address</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Progress</source>
        <translation>Progress</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>Update Devices</source>
        <translation>Update Devices</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Update devices with new firmware.</source>
        <translation>Update devices with new firmware.</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Cancel the running update or download.</source>
        <translation>Cancel the running update or download.</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Report…</source>
        <translation>Report…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Open the report of the latest update.</source>
        <translation>Open the report of the latest update.</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Device update</source>
        <translation>Device update</translation>
    </message>
</context>
<context>
    <name>FileProblemDialog</name>
    <message>
        <location filename="../resources/FileProblemDialog.qml" line="+15"/>
        <source>Error Message</source>
        <translation>Error Message</translation>
    </message>
    <message>
        <location line="+45"/>
        <source>File</source>
        <translation>File</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Open Folder</source>
        <translation>Open Folder</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Show the folder that holds the file.</source>
        <translation>Show the folder that holds the file.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>Close</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>FilesBox</name>
    <message>
        <location filename="../resources/FilesBox.qml" line="+52"/>
        <source>Files</source>
        <translation>Files</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>All Files</source>
        <translation>All Files</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>Firmware files</source>
        <translation>Firmware files</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Selected</source>
        <translation>Selected</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Result</source>
        <translation>Result</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>Select for download</source>
        <translation>Select for download</translation>
    </message>
    <message>
        <location line="+19"/>
        <source>Device</source>
        <translation>Device</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Version</source>
        <translation>Version</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Progress</source>
        <translation>Progress</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>Download</source>
        <translation>Download</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Download new device firmware versions.</source>
        <translation>Download new device firmware versions.</translation>
    </message>
</context>
<context>
    <name>FirmwareUpdateFileModel</name>
    <message>
        <location filename="../source/common/DeviceType.cpp" line="+12"/>
        <source>ZLL control element</source>
        <translation>ZLL control element</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>ZLL wall-mounted transmitter</source>
        <translation>ZLL wall-mounted transmitter</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>ZLL intermediate plug</source>
        <translation>ZLL intermediate plug</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>USB stick for Lumoran updates</source>
        <translation>USB stick for Lumoran updates</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Tool for Lumoran updates</source>
        <translation>Tool for Lumoran updates</translation>
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
        <translation>Help</translation>
    </message>
</context>
<context>
    <name>Merovan</name>
    <message>
        <location filename="../resources/Merovan.qml" line="+43"/>
        <source>No error!</source>
        <translation>No error!</translation>
    </message>
    <message>
        <location line="+57"/>
        <source>Updated</source>
        <translation>Updated</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed</source>
        <translation>Failed</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed, will be tried again</source>
        <translation>Failed, will be tried again</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>update to</source>
        <translation>update to</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Note:</source>
        <translation>Note:</translation>
    </message>
    <message>
        <location line="+101"/>
        <source>Language and manual</source>
        <translation>Language and manual</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>Language</source>
        <translation>Language</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>Show manual</source>
        <translation>Show manual</translation>
    </message>
    <message>
        <location line="+77"/>
        <source>Error Message</source>
        <translation>Error Message</translation>
    </message>
</context>
<context>
    <name>ProgressCell</name>
    <message>
        <location filename="../resources/ProgressCell.qml" line="+10"/>
        <source>Progress</source>
        <translation>Progress</translation>
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
        <translation>Verification failed</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Authentication failed</source>
        <comment>download/update result</comment>
        <translation>Authentication failed</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Timeout</source>
        <comment>download/update result</comment>
        <translation>Timeout</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Missing File</source>
        <comment>download/update result</comment>
        <translation>Missing File</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Failed</source>
        <comment>download/update result</comment>
        <translation>Failed</translation>
    </message>
    <message>
        <location filename="../source/devices/ZigBeeDevice.cpp" line="+183"/>
        <source>%1s</source>
        <comment>x seconds</comment>
        <translation>%1s</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1min</source>
        <comment>x minutes</comment>
        <translation>%1min</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1h %2min</source>
        <comment>x hours y minutes</comment>
        <translation>%1h %2min</translation>
    </message>
</context>
<context>
    <name>RunReport</name>
    <message>
        <location filename="../source/bridge/ReportContent.cpp" line="+14"/>
        <source>Updated</source>
        <translation>Updated</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Already current</source>
        <translation>Already current</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>No firmware</source>
        <translation>No firmware</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed: %1</source>
        <translation>Failed: %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Interrupted</source>
        <translation>Interrupted</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>In progress</source>
        <translation>In progress</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Waiting</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>Not reached</source>
        <translation>Not reached</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>all devices updated</source>
        <translation>all devices updated</translation>
    </message>
    <message numerus="yes">
        <location line="+2"/>
        <source>ended by the user with %n device(s) not updated</source>
        <translation>
            <numerusform>ended by the user with %n device not updated</numerusform>
            <numerusform>ended by the user with %n devices not updated</numerusform>
        </translation>
    </message>
    <message>
        <location line="+2"/>
        <source>the tool was closed</source>
        <translation>the tool was closed</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>under way, interim report</source>
        <translation>under way, interim report</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>ended by itself</source>
        <translation>ended by itself</translation>
    </message>
    <message>
        <location filename="../source/bridge/ReportWriter.cpp" line="+78"/>
        <source>Stick update report</source>
        <translation>Stick update report</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Device update report</source>
        <translation>Device update report</translation>
    </message>
    <message>
        <location line="+64"/>
        <source>%1 to %2 (%3)</source>
        <translation>%1 to %2 (%3)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>channel %1, stick address %2, network ID %3</source>
        <translation>channel %1, stick address %2, network ID %3</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>%1 %2 (%3)</source>
        <translation>%1 %2 (%3)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>updated %1</source>
        <translation>updated %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>already current %1</source>
        <translation>already current %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>failed %1</source>
        <translation>failed %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>not reached %1</source>
        <translation>not reached %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>no firmware %1</source>
        <translation>no firmware %1</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>Date:</source>
        <translation>Date:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Network:</source>
        <translation>Network:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Stick firmware:</source>
        <translation>Stick firmware:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Devices:</source>
        <translation>Devices:</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Firmware offered:</source>
        <translation>Firmware offered:</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>none</source>
        <translation>none</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Address</source>
        <translation>Address</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Extended address</source>
        <translation>Extended address</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Before</source>
        <translation>Before</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>After</source>
        <translation>After</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Result</source>
        <translation>Result</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Attempts</source>
        <translation>Attempts</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>End</source>
        <translation>End</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Transfer</source>
        <translation>Transfer</translation>
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
        <translation>No devices found</translation>
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
        <translation>Network:</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Join new network</source>
        <translation>Join new network</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Reset stick to factory new</source>
        <translation>Reset stick to factory new</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Update Stick</source>
        <translation>Update Stick</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Install the new stick firmware version.</source>
        <translation>Install the new stick firmware version.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Stick update</source>
        <translation>Stick update</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>Stick update:</source>
        <translation>Stick update:</translation>
    </message>
</context>
<context>
    <name>StickInterface</name>
    <message>
        <location filename="../source/link/StickInterface.cpp" line="+311"/>
        <source>no access</source>
        <translation>no access</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>in use</source>
        <translation>in use</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>searching stick...</source>
        <translation>searching stick...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>connected</source>
        <translation>connected</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>connection lost</source>
        <translation>connection lost</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>error</source>
        <translation>error</translation>
    </message>
    <message>
        <location line="+2"/>
        <location line="+7"/>
        <location line="+15"/>
        <location line="+10"/>
        <source>unknown</source>
        <translation>unknown</translation>
    </message>
    <message>
        <location line="-22"/>
        <source>disconnected</source>
        <translation>disconnected</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>discovering...</source>
        <translation>discovering...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>discovery failed</source>
        <translation>discovery failed</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>joined</source>
        <translation>joined</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Ch</source>
        <comment>radio channel, short</comment>
        <translation>Ch</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Addr</source>
        <comment>network address, short</comment>
        <translation>Addr</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>Verification failed</source>
        <comment>stick update result</comment>
        <translation>Verification failed</translation>
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
        <translation>Show program information</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>Update Tool</source>
        <translation>Update Tool</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Install the new program version</source>
        <translation>Install the new program version</translation>
    </message>
</context>
<context>
    <name>ToolUpdater</name>
    <message>
        <location filename="../source/bridge/ToolUpdater.cpp" line="+129"/>
        <source>The tool update could not be started. The tool keeps running in its current version.</source>
        <translation>The tool update could not be started. The tool keeps running in its current version.</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>The new version of the tool is missing. Download it again.</source>
        <translation>The new version of the tool is missing. Download it again.</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>The new version of the tool differs from the one downloaded. Download it again.</source>
        <translation>The new version of the tool differs from the one downloaded. Download it again.</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>The tool update could not be prepared: the folder %1 cannot be written. The tool keeps running in its current version.</source>
        <translation>The tool update could not be prepared: the folder %1 cannot be written. The tool keeps running in its current version.</translation>
    </message>
</context>
<context>
    <name>ZigBeeDeviceModel</name>
    <message>
        <location filename="../source/devices/ZigBeeDevice.cpp" line="-142"/>
        <source>waits for update information...</source>
        <translation>waits for update information...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>no new image available</source>
        <translation>no new image available</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>prepares update...</source>
        <translation>prepares update...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>update canceled</source>
        <translation>update canceled</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>no activity</source>
        <translation>no activity</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>loads data...</source>
        <translation>loads data...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>checks/writes new firmware...</source>
        <translation>checks/writes new firmware...</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>unknown</source>
        <translation>unknown</translation>
    </message>
    <message>
        <location line="+112"/>
        <source>%1 since %2</source>
        <comment>no activity since x</comment>
        <translation>%1 since %2</translation>
    </message>
    <message>
        <location filename="../source/devices/ZigBeeDeviceModel.cpp" line="+504"/>
        <source>less than 1min</source>
        <translation>less than 1min</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>%1min</source>
        <comment>remaining time</comment>
        <translation>%1min</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>%1h %2min</source>
        <comment>remaining time</comment>
        <translation>%1h %2min</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>%1 of %2  -  remaining %3  - %4%</source>
        <comment>params: DoneCount AllCount remainingTime percent</comment>
        <translation>%1 of %2  -  remaining %3  - %4%</translation>
    </message>
    <message numerus="yes">
        <location line="+18"/>
        <source>%1 devices found - searching %2min</source>
        <comment>N devices found; N &gt;= 1 - min time</comment>
        <translation>
            <numerusform>%1 device found - searching %2min</numerusform>
            <numerusform>%1 devices found - searching %2min</numerusform>
        </translation>
    </message>
    <message>
        <location line="+3"/>
        <source>No devices found - searching %1min</source>
        <comment>no devices - min time</comment>
        <translation>No devices found - searching %1min</translation>
    </message>
    <message numerus="yes">
        <location line="+3"/>
        <source>%1 devices found</source>
        <comment>N devices found; N &gt;= 1</comment>
        <translation>
            <numerusform>%1 device found</numerusform>
            <numerusform>%1 devices found</numerusform>
        </translation>
    </message>
    <message>
        <location line="+1"/>
        <source>No devices found</source>
        <comment>no devices</comment>
        <translation>No devices found</translation>
    </message>
</context>
</TS>
