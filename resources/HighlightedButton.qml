import QtQuick 2.4
import QtQuick.Controls 1.3

// A button in a frame that blinks orange while the button is the user's next step.
Rectangle {
    id: frame

    property alias text: button.text
    property alias tooltip: button.tooltip
    // The button is this wide unless its text needs more (longer translations).
    property real buttonWidth: button.implicitWidth
    // While highlighted: the frame is drawn in the blink's "on" half.
    property bool lit: false

    signal clicked()

    // Implicit, so that a layout sizes the frame from the button instead of
    // overriding a fixed size.
    implicitWidth: button.width + 4
    implicitHeight: button.height + 4
    color: "transparent"

    state: "normal"
    states: [
        State {
            name: "normal"
            PropertyChanges { target: frame; color: "transparent" }
        },
        State {
            name: "highlighted"
            PropertyChanges { target: frame; color: frame.lit ? "orange" : "transparent" }
        }
    ]
    // The frame switches between orange and transparent once a second, a
    // blink period of 2 s. A timer rather than an animation: the window is
    // drawn twice per period instead of every frame, which keeps an idle
    // tool quiet. Bound to the state, so that a button that is highlighted
    // from the start blinks as well.
    Timer {
        id: blink
        interval: 1000
        repeat: true
        running: frame.state === "highlighted"
        onRunningChanged: frame.lit = running
        onTriggered: frame.lit = !frame.lit
    }

    PushButton {
        id: button
        objectName: "innerButton"
        x: 2
        y: 2
        width: Math.max(frame.buttonWidth, implicitWidth)
        onClicked: frame.clicked()
    }
}
