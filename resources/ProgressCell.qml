import QtQuick 2.4

// A table cell with the row's progress in per mille. Part of the main
// window's tables: reads the row's styleData.
Item {
    PerMilleBar {
        anchors.verticalCenter: parent.verticalCenter
        width: parent.width - 5
        value: styleData.value !== undefined ? styleData.value : -1
        accessibleName: translate + qsTr("Progress")
    }
}
