import QtQuick 2.4

// A progress in per mille (0 to 1000, -1 when there is none): a white frame,
// the bar filled in proportion and a centred text over it. The value is
// clamped to 0…1000; for -1 the bar is empty and shows no text. The text is
// the percentage unless the user of the bar sets one of its own.
// To a screen reader it is a progress bar named by what progresses and the
// percentage (Qt 5 hands no value of a progress bar to a screen reader), with
// the shown text as description; without a progress it leaves the tree.
// Part of the main window: takes its colours and point size from it.
Rectangle {
    id: bar

    property int value: -1
    readonly property int clampedValue: Math.max(0, Math.min(1000, value))
    readonly property string percentText: float2int(clampedValue / 10) + "%"
    property string text: value >= 0 ? percentText : ""
    // What progresses, for a screen reader ("Stick update").
    property string accessibleName
    // The objectName of the text, for tests that read what the bar shows.
    property alias textObjectName: label.objectName

    implicitHeight: 20
    color: "white"
    border.width: 1
    border.color: progressBarBorderColor
    Accessible.role: Accessible.ProgressBar
    Accessible.name: accessibleName + ": " + percentText
    Accessible.description: text
    Accessible.ignored: value < 0

    Rectangle {
        x: 1
        y: 1
        height: 18
        width: (bar.width - 2) / 1000 * bar.clampedValue
        color: progressBarColor
    }
    Text {
        id: label
        anchors.horizontalCenter: parent.horizontalCenter
        y: 3
        font.pointSize: fontpointSize
        text: bar.text
        visible: text !== ""
    }
}
