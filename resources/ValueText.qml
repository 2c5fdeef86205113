import QtQuick 2.4

// The value of a labelled row ("Status:" connected), in rich text. A screen
// reader reads label and value as one line, so the label beside it is left
// out of the accessible tree (Accessible.ignored).
// Part of the main window: uses its plainText().
Text {
    // The label's text, without the value.
    property string label

    textFormat: Text.RichText
    Accessible.role: Accessible.StaticText
    Accessible.name: label + " " + plainText(text)
}
