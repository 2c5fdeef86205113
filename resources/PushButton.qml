import QtQuick 2.4
import QtQuick.Controls 1.3

// A button that Return and Enter press as well as Space. When it is disabled
// while it has the keyboard focus, the focus moves on to the next control
// of the tab chain instead of vanishing.
Button {
    id: button

    Keys.onReturnPressed: button.clicked()
    Keys.onEnterPressed: button.clicked()
    onEnabledChanged: focusHandOver.restart()

    // Once the events of this turn are done: the repaint that disables this
    // button may enable the next one.
    Timer {
        id: focusHandOver
        interval: 0
        onTriggered: passFocusOn(button)
    }
}
