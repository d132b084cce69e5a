#pragma once
// The application's settings and the little view state the panels share.
// No lock: only the GUI thread reads or changes them.

#include <wx/string.h>

#include "kalvo_lorim/types.h"

struct AppSettingsRecord {
  wxString serialPort;
  wxString baudRate;
  bool keepXrcFonts = false;
  int infoFontSize = 0;
  int titleFontSize = 0;
  // 1-based number of the served point's current algorithm as the panels
  // know it; 0 for none. Not stored in the settings file.
  int currentAlgorithm = 0;
  kalvo_lorim::Address address;
  bool useOwnAdvancedTimeout = false;
  long waitReceiverTimeout = 0;
  // "english", "russian", "ukrainian" or empty for the system default.
  wxString language;
  // 0 engineer form, 1 fractional coefficients.
  long infWinView = 0;
  bool workInSystem = false;
  long countDigitDynParams = 0;
};

extern AppSettingsRecord AppSettings;
// Set when a work-in-system command line was accepted.
extern bool StartedFromSystem;
