<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB">
<context>
    <name>CProg2Gui</name>
    <message>
        <source>Update server contacted</source>
        <translation>Update server reached</translation>
    </message>
    <message>
        <source>Connect a Lumoran USB stick with a computer.</source>
        <translation>Plug a Lumoran USB stick into the computer.</translation>
    </message>
</context>
</TS>
