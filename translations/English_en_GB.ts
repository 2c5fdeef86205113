<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="en_GB">
<context>
    <name>FirmwareUpdateFileModel</name>
    <message>
        <location filename="../source/common/DeviceType.cpp" line="+11"/>
        <source>ZLL control element</source>
        <translation>ZLL control element</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>ZLL wall-mounted transmitter</source>
        <translation>ZLL wall-mounted transmitter</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>ZLL intermediate plug</source>
        <translation>ZLL intermediate plug</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>USB stick for Lumoran updates</source>
        <translation>USB stick for Lumoran updates</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Tool for Lumoran updates</source>
        <translation>Tool for Lumoran updates</translation>
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
        <translation>No error!</translation>
    </message>
    <message>
        <location line="+143"/>
        <source>Show manual</source>
        <translation>Show manual</translation>
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
        <translation>Network:</translation>
    </message>
    <message>
        <location line="+15"/>
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
        <location line="+48"/>
        <source>Files</source>
        <translation>Files</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>All Files</source>
        <translation>All Files</translation>
    </message>
    <message>
        <location line="+59"/>
        <source>Device</source>
        <translation>Device</translation>
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
        <translation>Progress</translation>
    </message>
    <message>
        <location line="-67"/>
        <source>Download</source>
        <translation>Download</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>Download new device firmware versions.</source>
        <translation>Download new device firmware versions.</translation>
    </message>
    <message>
        <location line="+13"/>
        <source>Devices</source>
        <translation>Devices</translation>
    </message>
    <message>
        <location line="+29"/>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Address</source>
        <translation>Address</translation>
    </message>
    <message>
        <location line="+37"/>
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
        <source>Cancel update.</source>
        <translation>Cancel update.</translation>
    </message>
    <message>
        <location line="+41"/>
        <source>Help</source>
        <translation>Help</translation>
    </message>
    <message>
        <location line="+95"/>
        <source>Program Information</source>
        <translation>Program Information</translation>
    </message>
    <message>
        <location line="+17"/>
        <source>Version: </source>
        <translation>Version: </translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Licence information:</source>
        <translation>Licence information:</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>Error Message</source>
        <translation>Error Message</translation>
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
        <translation>Verification failed</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Authentication failed</source>
        <comment>download/update result</comment>
        <translation>Authentication failed</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Timeout</source>
        <comment>download/update result</comment>
        <translation>Timeout</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Missing File</source>
        <comment>download/update result</comment>
        <translation>Missing File</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>Failed</source>
        <comment>download/update result</comment>
        <translation>Failed</translation>
    </message>
    <message>
        <location filename="../source/devices/ZigBeeDevice.cpp" line="+169"/>
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
    <name>StickInterface</name>
    <message>
        <location filename="../source/link/StickInterface.cpp" line="+297"/>
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
        <location line="+4"/>
        <location line="+14"/>
        <location line="+21"/>
        <source>unknown</source>
        <translation>unknown</translation>
    </message>
    <message>
        <location line="-32"/>
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
        <location line="+29"/>
        <source>Verification failed</source>
        <comment>stick update result</comment>
        <translation>Verification failed</translation>
    </message>
</context>
<context>
    <name>ZigBeeDeviceModel</name>
    <message>
        <location filename="../source/devices/ZigBeeDevice.cpp" line="-129"/>
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
        <location line="+99"/>
        <source>%1 since %2</source>
        <comment>no activity since x</comment>
        <translation>%1 since %2</translation>
    </message>
    <message>
        <location filename="../source/devices/ZigBeeDeviceModel.cpp" line="+360"/>
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
