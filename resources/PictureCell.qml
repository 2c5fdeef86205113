import QtQuick 2.4

// A table cell with a 20 × 20 picture (a row's result), empty when the row
// has none. Part of the main window's tables: reads the row's styleData and
// the window's pictureName().
Item {
    Image {
        anchors.centerIn: parent
        width: 20
        height: 20
        sourceSize.width: 20
        sourceSize.height: 20
        source: styleData.value !== undefined ? styleData.value : ""
        visible: source != ""
        Accessible.role: Accessible.Graphic
        Accessible.name: pictureName(source)
    }
}
