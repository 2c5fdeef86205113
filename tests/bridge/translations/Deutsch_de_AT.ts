<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_AT">
<context>
    <name>CProg2Gui</name>
    <message>
        <source>Update server contacted</source>
        <translation>Updateserver erreicht</translation>
    </message>
    <message>
        <source>Connect a Lumoran USB stick with a computer.</source>
        <translation>Stecken Sie einen Lumoran-USB-Stick an den Computer an.</translation>
    </message>
</context>
</TS>
