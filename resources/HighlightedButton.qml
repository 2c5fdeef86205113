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

    width: button.width + 4
    height: button.height + 4
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
    // Leaving "highlighted" stops the endless transition; "normal" then sets
    // the frame back to transparent.
    transitions: [
        Transition {
            to: "highlighted"
            ColorAnimation {
                target: frame
                property: "color"
                from: "transparent"
                to: "orange"
                duration: 2000
                loops: Animation.Infinite
            }
        }
    ]

    Button {
        id: button
        objectName: "innerButton"
        x: 2
        y: 2
        width: Math.max(frame.buttonWidth, implicitWidth)
        onClicked: frame.clicked()
    }
}
