import QtQuick 2.4
import QtQuick.Controls 1.3

// A button in a frame that blinks orange while the button is the user's next step.
Rectangle {
    id: frame

    property alias text: button.text
    property alias tooltip: button.tooltip
    // The button is this wide unless its text needs more (longer translations).
    property real buttonWidth: button.implicitWidth

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
        }
    ]
    // Bound to the state rather than run as a transition, so that a button
    // that is highlighted from the start blinks as well. Back in "normal",
    // the state sets the frame transparent again.
    ColorAnimation {
        id: blink
        target: frame
        property: "color"
        from: "transparent"
        to: "orange"
        duration: 2000
        loops: Animation.Infinite
        running: frame.state === "highlighted"
    }

    Button {
        id: button
        objectName: "innerButton"
        x: 2
        y: 2
        width: Math.max(frame.buttonWidth, implicitWidth)
        onClicked: frame.clicked()
    }
}
