// The kinds of message and the buttons of the message dialog: their captions,
// component names and modal results, and which button Enter and Escape press.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <initializer_list>
#include <optional>

#include <QString>

namespace tessaline {

// The ordinal selects caption and icon.
enum class TMessageKind { Warning, Error, Information, Confirmation, Custom };

// In the order in which the dialog lays its buttons out from left to right.
enum class TMessageButton {
  Yes,
  No,
  OK,
  Cancel,
  Abort,
  Retry,
  Ignore,
  All,
  NoToAll,
  YesToAll,
  Help
};

inline constexpr int kMessageButtonCount = 11;

inline constexpr std::array<TMessageButton, kMessageButtonCount> kAllMessageButtons = {
    TMessageButton::Yes,      TMessageButton::No,    TMessageButton::OK,
    TMessageButton::Cancel,   TMessageButton::Abort, TMessageButton::Retry,
    TMessageButton::Ignore,   TMessageButton::All,   TMessageButton::NoToAll,
    TMessageButton::YesToAll, TMessageButton::Help};

// A set of buttons in 16 bits, bit n standing for the button of ordinal n
// ({OK} is 0x0004).  Bits above the eleven buttons stand for nothing and are
// dropped.
class TMessageButtons {
 public:
  constexpr TMessageButtons() = default;
  constexpr TMessageButtons(std::initializer_list<TMessageButton> buttons) {
    for (TMessageButton button : buttons) bits_ |= Bit(button);
  }
  static constexpr TMessageButtons FromBits(std::uint16_t bits) {
    TMessageButtons set;
    set.bits_ = bits & kKnownBits;
    return set;
  }

  constexpr std::uint16_t Bits() const { return bits_; }
  constexpr bool Contains(TMessageButton button) const { return (bits_ & Bit(button)) != 0; }
  constexpr int Count() const { return std::popcount(bits_); }
  constexpr bool Empty() const { return bits_ == 0; }
  friend constexpr bool operator==(TMessageButtons, TMessageButtons) = default;

 private:
  static constexpr std::uint16_t kKnownBits = (1u << kMessageButtonCount) - 1;
  static constexpr std::uint16_t Bit(TMessageButton button) {
    const auto ordinal = static_cast<unsigned>(button);
    return ordinal < kMessageButtonCount ? static_cast<std::uint16_t>(1u << ordinal) : 0;
  }

  std::uint16_t bits_ = 0;
};

// Modal results: the value a dialog ends with.  None keeps the dialog open.
inline constexpr int kModalResultNone = 0;
inline constexpr int kModalResultOk = 1;
inline constexpr int kModalResultCancel = 2;
inline constexpr int kModalResultAbort = 3;
inline constexpr int kModalResultRetry = 4;
inline constexpr int kModalResultIgnore = 5;
inline constexpr int kModalResultYes = 6;
inline constexpr int kModalResultNo = 7;
inline constexpr int kModalResultAll = 8;
inline constexpr int kModalResultNoToAll = 9;
inline constexpr int kModalResultYesToAll = 10;

// The dialog's caption for `kind`; Custom messages carry the application's
// display name.
QString MessageKindCaption(TMessageKind kind);
bool MessageKindHasIcon(TMessageKind kind);

// Component name of the button ("Yes", "NoToAll", ...), by which tests find it.
QString MessageButtonName(TMessageButton button);
// Caption from the application's string table; "&" marks the accelerator.
QString MessageButtonCaption(TMessageButton button);
int MessageButtonModalResult(TMessageButton button);

// The button that Enter presses when no button has the focus: OK, else Yes,
// else Retry, when in `buttons`.
std::optional<TMessageButton> DefaultMessageButton(TMessageButtons buttons);
// The button that Escape presses: Cancel, else No, else OK, when in `buttons`.
std::optional<TMessageButton> CancelMessageButton(TMessageButtons buttons);

}  // namespace tessaline
