#pragma once
// Small value types passed around the device library, the security library
// and the application. Several travel inside boost::any payloads, so each is
// a distinct type.

#include <cstdint>

#include <wx/colour.h>
#include <wx/datetime.h>
#include <wx/string.h>

namespace kalvo_lorim {

// Bus address of a point: three bytes, in frame order.
struct Address {
  std::uint8_t a = 0;
  std::uint8_t b = 0;
  std::uint8_t c = 0;

  Address() = default;
  Address(std::uint8_t a_, std::uint8_t b_, std::uint8_t c_) : a(a_), b(b_), c(c_) {}

  // "%d.%d.%d": settings file, dialogs, parameter values.
  wxString Text() const;
  // "%03d.%03d.%03d": point texts and security records.
  wxString PaddedText() const;
  // "%3d.%3d.%3d": keys of the command queue.
  wxString KeyText() const;
};

bool operator==(const Address& x, const Address& y);
bool operator!=(const Address& x, const Address& y);

// Reads a dotted address text; on failure returns false and leaves `address` as it was.
bool ParseAddress(const wxString& text, Address& address);

// Addresses with a fixed role on the bus.
inline Address BroadcastAddress() { return Address(0, 0, 0); }
inline Address OwnAddress() { return Address(1, 1, 1); }
inline Address NoAddress() { return Address(255, 255, 255); }

// Device date and time as it travels on the bus (data type 31): year byte,
// month, day, hour, minute, second, 16-bit milliseconds (little-endian on the wire).
struct DateTime {
  static constexpr std::size_t Size = 8;

  std::uint8_t year = 80;  // from 2000, or from 1900 before 2000
  std::uint8_t month = 1;
  std::uint8_t day = 1;
  std::uint8_t hour = 0;
  std::uint8_t minute = 0;
  std::uint8_t second = 0;
  std::uint16_t milliseconds = 0;

  // The no-information date 01.01.1980 00:00:00.000.
  DateTime() = default;
  explicit DateTime(const wxDateTime& when);
  explicit DateTime(const std::uint8_t (&bytes)[Size]);
  DateTime(std::uint8_t year_, std::uint8_t month_, std::uint8_t day_, std::uint8_t hour_,
           std::uint8_t minute_, std::uint8_t second_, std::uint16_t milliseconds_);

  void ToBytes(std::uint8_t (&bytes)[Size]) const;
  bool IsNoInformation() const;

  static DateTime NoInformation() { return DateTime(); }
};

bool operator==(const DateTime& x, const DateTime& y);
bool operator!=(const DateTime& x, const DateTime& y);

// Value of bus data type 13, kept exactly as it came.
struct LSingle {
  std::uint8_t bytes[4] = {0, 0, 0, 0};
};

bool operator==(const LSingle& x, const LSingle& y);
bool operator!=(const LSingle& x, const LSingle& y);

// One measuring algorithm of a point, from its five device variables.
struct Algorithm {
  int index = 0;
  wxString name;  // measurand name
  wxString unit;
  float floatValue = 0.0f;
  std::uint32_t longValue = 0;
  std::uint8_t byteValue = 0;
};

// The 16-bit status word of a point; bit n is described by status flag code n + 1.
class Status {
 public:
  explicit Status(std::uint16_t word = 0) : word_(word) {}
  ~Status() {}

  std::uint16_t GetWord() const { return word_; }
  bool IsClear() const { return word_ == 0; }

  bool IsShortCircuit() const { return Bit(0); }
  bool IsBlockAbsent() const { return Bit(1); }
  bool IsBlockBroken() const { return Bit(2); }
  bool IsMemoryBroken() const { return Bit(3); }
  bool IsUnknownBlockType() const { return Bit(4); }
  bool IsThresholdExceeded() const { return Bit(5); }
  bool IsPrethresholdExceeded() const { return Bit(6); }
  bool IsThresholdReduced() const { return Bit(7); }
  bool IsSensitivityExceeded() const { return Bit(8); }
  bool IsBlockNotReady() const { return Bit(9); }
  bool AreParamsChanged() const { return Bit(10); }
  bool IsBit11Set() const { return Bit(11); }
  bool IsBit12Set() const { return Bit(12); }

 private:
  bool Bit(int n) const { return (word_ >> n) & 1u; }
  std::uint16_t word_;
};

// Selector of the restart and set-current-algorithm commands: 0 the current
// algorithm, k the algorithm with 1-based number k, 255 all of them.
enum class MeasuringAlgorithm : std::uint8_t { Current = 0, All = 255 };

inline MeasuringAlgorithm AlgorithmNumber(int k) { return static_cast<MeasuringAlgorithm>(k); }

}  // namespace kalvo_lorim

// Colours of a severity level: 0 normal, 1 fault, 2 alarm.
// Held as plain values: a wxColour shares its data by a reference count that
// is not thread-safe, and these travel with events and parameters from the
// device thread to the window thread.
class StateColours {
 public:
  explicit StateColours(int level = 0);
  StateColours(const StateColours&) = default;
  StateColours& operator=(const StateColours&) = default;
  ~StateColours() = default;

  int GetLevel() const { return level_; }
  wxColour GetBackground() const { return wxColour(static_cast<unsigned long>(background_)); }
  wxColour GetTextColour() const { return wxColour(static_cast<unsigned long>(text_)); }
  bool GetFlag() const { return flag_; }

 private:
  int level_;
  // 0x00BBGGRR, as wxColour::GetRGB gives it.
  wxUint32 background_;
  wxUint32 text_;
  bool flag_;
};

// Factory number of a parameter set that has none (not translated).
extern const wxString UnknownVariableText;
// Colours of a status flag code that has no entry.
extern const StateColours DefaultStateColours;
