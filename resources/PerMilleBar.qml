import QtQuick 2.4

// A progress in per mille (0 to 1000, -1 when there is none): a frame, the
// bar filled in proportion and a centred text over it. The value is clamped
// to 0…1000; for -1 the bar is empty and shows no text. The text is the
// percentage unless the user of the bar sets one of its own.
// To a screen reader it is a progress bar named by what progresses, with
// the percentage as its value (0 to 100) and a text of the bar's own as its
// description; without a progress it leaves the tree.
// Part of the main window: takes its colours and point size from it.
Rectangle {
    id: bar

    property int value: -1
    readonly property int clampedValue: Math.max(0, Math.min(1000, value))
    // The value a screen reader reads.
    readonly property int percent: float2int(clampedValue / 10)
    readonly property string percentText: percent + "%"
    property string text: value >= 0 ? percentText : ""
    // What progresses, for a screen reader ("Stick update").
    property string accessibleName
    // The objectName of the text, for tests that read what the bar shows.
    property alias textObjectName: label.objectName

    implicitHeight: 20
    implicitWidth: label.implicitWidth + 8
    color: systemPalette.base
    border.width: 1
    border.color: progressBarBorderColor
    Accessible.role: Accessible.ProgressBar
    Accessible.name: accessibleName
    Accessible.description: text !== percentText ? text : ""
    Accessible.ignored: value < 0 || !visible

    Rectangle {
        x: 1
        y: 1
        height: parent.height - 2
        width: (bar.width - 2) / 1000 * bar.clampedValue
        color: progressBarColor
    }
    Text {
        id: label
        anchors.centerIn: parent
        font.pointSize: fontpointSize
        color: systemPalette.text
        text: bar.text
        visible: text !== ""
    }
}
