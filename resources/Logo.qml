import QtQuick 2.4

// The maker's logo, 132 × 48, drawn sharp at every screen resolution. Its
// lettering is dark: on a dark palette it lies on a light plate.
// Part of the main window: reads its darkPalette.
Rectangle {
    implicitWidth: picture.width + (darkPalette ? 8 : 0)
    implicitHeight: picture.height + (darkPalette ? 8 : 0)
    radius: 4
    color: darkPalette ? "white" : "transparent"
    Accessible.ignored: true

    Image {
        id: picture
        anchors.centerIn: parent
        width: 132
        height: 48
        sourceSize.width: 132
        sourceSize.height: 48
        source: "qrc:/pic/TarnLogo.png"
    }
}
