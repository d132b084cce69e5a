#include <cstdlib>

#include "pointsim.h"

namespace pointsim {

namespace {

bool ToInt(const std::string& s, int& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  const long v = std::strtol(s.c_str(), &end, 0);
  if (*end != '\0' || v < -1 || v > 65535) return false;
  out = int(v);
  return true;
}

}  // namespace

bool ParseFault(const std::string& text, Fault& fault, std::string& error) {
  static const std::pair<const char*, FaultKind> kinds[] = {
      {"noanswer", FaultKind::NoAnswer},
      {"error", FaultKind::ErrorAnswer},
      {"headersum", FaultKind::BadHeaderChecksum},
      {"datasum", FaultKind::BadDataChecksum},
      {"cutheader", FaultKind::TruncatedHeader},
      {"cutdata", FaultKind::TruncatedData},
      {"longlength", FaultKind::LengthTooLarge},
      {"delay", FaultKind::Delay},
      {"extraidentify", FaultKind::ExtraIdentifyAnswers},
      {"wrongtype", FaultKind::WrongType},
      {"nodata", FaultKind::NoDataBlock},
  };
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = text.find(',', from);
    parts.push_back(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  Fault f;
  bool known = false;
  for (const auto& k : kinds) {
    if (parts[0] == k.first) {
      f.kind = k.second;
      known = true;
    }
  }
  if (!known) {
    error = "unknown fault kind '" + parts[0] + "'";
    return false;
  }
  bool hasValue = false;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::string& p = parts[i];
    const std::size_t eq = p.find('=');
    const std::string key = p.substr(0, eq);
    const std::string val = eq == std::string::npos ? std::string() : p.substr(eq + 1);
    int n = 0;
    if (key == "var" && val == "identify") {
      f.variable = IdentifyRequests;
    } else if (key == "var" && ToInt(val, n) && n >= 0 && n <= 255) {
      f.variable = n;
    } else if (key == "times" && ToInt(val, n) && (n >= 1 || n == Forever)) {
      f.times = n;
    } else if (key == "value" && ToInt(val, n)) {
      f.value = n;
      hasValue = true;
    } else {
      error = "bad fault option '" + p + "' in '" + text + "'";
      return false;
    }
  }
  if (f.kind == FaultKind::ErrorAnswer && !hasValue) {
    error = "fault 'error' needs value=CODE";
    return false;
  }
  fault = f;
  return true;
}

}  // namespace pointsim
