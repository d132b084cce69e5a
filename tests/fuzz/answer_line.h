#pragma once
// The line under the answer fuzzers. Two kinds share this interface: a
// stand-in for the platform's serial line and clock, linked in their place,
// and a pseudo-terminal with a responder thread on its master side.
//
// Either way, answer k of a run goes on the line once request k of the
// library is complete; bytes the library does not take stay on the line.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kalvo_lorim {
class SerialPortLorimProtocol;
}

namespace answerline {

using Bytes = std::vector<std::uint8_t>;

// Once per process; the port name the protocol object opens.
std::string Setup();

// What one run may hand out; the rest of a script is dropped.
std::size_t MaxAnswers();
std::size_t MaxAnswerSize();

// Starts a run on an open protocol object. The first `early` answers are on
// the line before any request. Where the line owns the clock, the tick count
// starts at `clockStart`.
void Begin(const std::vector<Bytes>& answers, std::size_t early, kalvo_lorim::SerialPortLorimProtocol& protocol,
           std::uint32_t clockStart);

// Ends the run: the whole request frames in order, and the bytes of a
// request left incomplete.
void End(std::vector<Bytes>& requests, Bytes& rest);

// Splits request bytes into frames by their length field; whole frames are
// moved from `pending` to the end of `frames`. Returns how many were moved.
std::size_t TakeFrames(Bytes& pending, std::vector<Bytes>& frames);

}  // namespace answerline
