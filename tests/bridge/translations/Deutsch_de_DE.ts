<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>CProg2Gui</name>
    <message>
        <source>Update server contacted</source>
        <translation>Updateserver kontaktiert</translation>
    </message>
    <message>
        <source>Connect a Lumoran USB stick with a computer.</source>
        <translation>Verbinden Sie einen Lumoran-USB-Stick mit einem Computer.</translation>
    </message>
</context>
</TS>
