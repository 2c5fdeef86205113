import QtQuick 2.4

// The value of a labelled row ("Status:" connected), in rich text with the
// colours of the bridge's texts turned into the palette's (themed). A screen
// reader reads label and value as one line, so the label beside it is left
// out of the accessible tree (Accessible.ignored).
// Part of the main window: uses its palette, themed() and plainText().
Text {
    // The label's text, without the value.
    property string label
    // The bridge's rich text.
    property string value

    textFormat: Text.RichText
    color: systemPalette.text
    text: themed(value)
    Accessible.role: Accessible.StaticText
    Accessible.name: label + " " + plainText(text)
}
