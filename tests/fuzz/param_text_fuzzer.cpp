// Parameter values set from texts of the operator, for every type code: no
// type may fail on any text, and a text form that the parameter gives must
// set the same value again.

#include <cmath>
#include <cstddef>
#include <cstdint>

#include <boost/any.hpp>

#include "fuzz_support.h"
#include "kalvo_lorim/error.h"
#include "kalvo_lorim/pointparam.h"
#include "kalvo_lorim/types.h"

using kalvo_lorim::Address;
using fuzzsupport::Fail;

namespace {

boost::any InitialValue(int type) {
  switch (type) {
    case 1:
    case 17: return static_cast<unsigned char>(42);
    case 3:
    case 29: return wxString(wxS("before"));
    case 13: return kalvo_lorim::LSingle{{1, 2, 3, 4}};
    case 25: return 1.5f;
    case 33: return Address{7, 8, 9};
    default: return boost::any();
  }
}

bool SameValue(int type, const boost::any& x, const boost::any& y) {
  switch (type) {
    case 1: return boost::any_cast<unsigned char>(x) == boost::any_cast<unsigned char>(y);
    case 25: {
      const float a = boost::any_cast<float>(x), b = boost::any_cast<float>(y);
      return a == b || (std::isnan(a) && std::isnan(b));
    }
    case 29: return boost::any_cast<wxString>(x) == boost::any_cast<wxString>(y);
    case 33: return boost::any_cast<Address>(x) == boost::any_cast<Address>(y);
    default: return true;
  }
}

// The value text must set the value it came from; floats only where the
// printed digits can carry them.
bool ExactTextCarriesValue(int type, const boost::any& value) {
  if (type != 25) return true;
  const float v = boost::any_cast<float>(value);
  return std::isfinite(v) && (v == 0 || std::fabs(v) >= 1e-20f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  const int precision = bytes[0] % 40;
  const wxString text = fuzzsupport::TextOf(bytes + 1, size - 1);

  for (int type : {0, 1, 3, 13, 17, 25, 29, 33, 200}) {
    PointParam param(5, type, wxS("p"), InitialValue(type));
    param.SetValueFromText(text);
    if (type == 29 && boost::any_cast<wxString>(param.GetValue()) != text) {
      Fail("text parameter takes the text", text);
    }
    wxString exact;
    try {
      param.ValueText(precision);
      param.Label();
      exact = param.ExactValueText();
    } catch (const kalvo_lorim::Exception&) {
      // Types without a text form say so.
      if (type == 1 || type == 25 || type == 29 || type == 33) Fail("text form of a text type", text);
      continue;
    }
    if (!ExactTextCarriesValue(type, param.GetValue())) continue;
    PointParam again(5, type, wxS("p"), InitialValue(type));
    again.SetValueFromText(exact);
    if (!SameValue(type, again.GetValue(), param.GetValue())) {
      Fail("exact value text reads back", wxString::Format("type %d: ", type) + text + " -> " + exact);
    }
  }
  return 0;
}
