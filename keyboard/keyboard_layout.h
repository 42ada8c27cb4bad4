// Geometry of the keyboard window TForm_KEYB: the 496 pair squares laid out
// as a triangle, the guide labels and the buttons. Pure data and arithmetic,
// shared by the engine, the window and the tests.
#pragma once

#include <array>
#include <string>

namespace zjig {

// Contacts of the JIG connector count from 1 to 32; a pair is (i, j) with
// 1 <= i < j <= 32.
inline constexpr int kKeyboardContacts = 32;
inline constexpr int kKeyboardPairs = kKeyboardContacts * (kKeyboardContacts - 1) / 2;  // 496

// Client area of the keyboard window.
inline constexpr int kKeyboardWindowWidth = 534;
inline constexpr int kKeyboardWindowHeight = 531;
inline constexpr const char* kKeyboardWindowCaption = "Keyboard test ";

struct ShapeRect {
    int left = 0, top = 0, width = 0, height = 0;
    friend constexpr bool operator==(const ShapeRect&, const ShapeRect&) = default;
};

constexpr bool KeyboardPairValid(int i, int j) {
    return i >= 1 && j <= kKeyboardContacts && i < j;
}

// Shape number of a pair: (i - 1) * 32 + j; its square is "Shape<n>".
constexpr int KeyboardShapeNumber(int i, int j) { return (i - 1) * kKeyboardContacts + j; }

inline std::string KeyboardShapeName(int i, int j) {
    return "Shape" + std::to_string(KeyboardShapeNumber(i, j));
}

// The square of pair (i, j): row i, column j, 12 x 12 pixels. Rows and
// columns come in groups of five contacts (1-5, 6-10, ... 31-32) with 3 extra
// pixels between row groups and 5 between column groups. Only meaningful for
// a valid pair.
constexpr ShapeRect KeyboardShapeRect(int i, int j) {
    return ShapeRect{11 + 15 * (j - 2) + 5 * ((j - 1) / 5),
                     38 + 15 * (i - 1) + 3 * ((i - 1) / 5), 12, 12};
}

// Fill of a square not reported since the last clear (sky blue, 166,202,240);
// reported squares alternate red and yellow, hidden ones are black.

// Guide labels: the column numbers above the triangle (red, bold) and the row
// numbers at its right edge (navy, bold).
struct GuideLabel {
    const char* name;
    const char* text;
    int left, top;
};
inline constexpr GuideLabel kColumnGuide = {
    "Label_keybord",
    "2                   6                        11                      16                      21                      26                      31",
    12, 14};
inline constexpr std::array<GuideLabel, 7> kRowGuides = {{
    {"Label1", "1", 509, 35},
    {"Label2", "6", 509, 114},
    {"Label3", "11", 509, 192},
    {"Label4", "16", 509, 270},
    {"Label5", "21", 509, 348},
    {"Label7", "26", 509, 426},
    {"Label6", "31", 509, 505},
}};

// Check boxes and buttons in the free lower left (left, top; the buttons
// also width and height).
struct ControlPlace {
    const char* name;
    const char* text;
    int left, top, width, height;  // width/height 0: sized by the toolkit
};
inline constexpr std::array<ControlPlace, 4> kKeyboardControls = {{
    {"Buzzer_box", "Buzzer off", 21, 295, 0, 0},
    {"CheckBox_hide", "Hide current", 21, 346, 0, 0},
    {"Clear", "Clear", 21, 397, 175, 55},
    {"BitBtn_EXIT", "Exit", 21, 458, 175, 55},
}};

}  // namespace zjig
