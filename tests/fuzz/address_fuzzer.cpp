// Address texts: a refused text leaves the address alone, an accepted one
// reads back from each of the three text forms.

#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "kalvo_lorim/types.h"

using kalvo_lorim::Address;
using fuzzsupport::Fail;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzsupport::Setup();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  const wxString text = fuzzsupport::TextOf(bytes, size);
  const Address sentinel{7, 8, 9};
  Address parsed = sentinel;
  if (!kalvo_lorim::ParseAddress(text, parsed)) {
    if (parsed != sentinel) Fail("refused text changed the address", text);
    return 0;
  }
  for (const wxString& form : {parsed.Text(), parsed.PaddedText(), parsed.KeyText()}) {
    Address back = sentinel;
    if (!kalvo_lorim::ParseAddress(form, back) || back != parsed) {
      Fail("address text reads back", text + wxS(" -> ") + form);
    }
  }
  return 0;
}
