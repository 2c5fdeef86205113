import QtQuick 2.4
import QtQuick.Controls 1.3
import QtQuick.Window 2.2
import Qt.labs.settings 1.0
import cpp.qml.interface 1.0

ApplicationWindow {
    id: mainWindow
    property real fontpointSize: 8.0

    title: qsTr("Vandrel Lumoran Tool")
    width: 1024
    height: 768
    minimumWidth: 500
    minimumHeight: 200
    visible: true

    CppQmlIf {
        id: appIf
    }

    Settings {
        category: "applWinSettings"
        property alias x: mainWindow.x
        property alias y: mainWindow.y
        property alias width: mainWindow.width
        property alias height: mainWindow.height
        property alias fontpointSize: mainWindow.fontpointSize
    }
}
