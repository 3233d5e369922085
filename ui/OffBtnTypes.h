// Enumerations of the owner-drawn button, shared by its geometry and images.
#pragma once

namespace tessaline {

enum class TOffBtnType { bsButton, bsRadioButton, bsUpButton, bsDownButton, bsHintButton };
enum class TGlyphPosition { bsTop, bsBottom, bsLeft, bsRight };
enum class TOffBtnAbout { abNone, abAbout };

// ButtonState of the button.
enum TOffBtnState : int {
  kStateNormal = 0,
  kStateHot = 1,        // pointer over the button
  kStatePressed = 2,    // left button held over the button
  kStatePressedOff = 3  // left button held, pointer moved off
};

}  // namespace tessaline
