// The bus scan: the part of the protocol that builds points.
#include "kalvo_lorim/error.h"
#include "kalvo_lorim/point.h"
#include "kalvo_lorim/pointscollection.h"
#include "kalvo_lorim/serialportlorimprotocol.h"
#include "platform/tick.h"

namespace kalvo_lorim {

void SerialPortLorimProtocol::ScanBus(PointsCollection& collection) {
  std::uint8_t header[HeaderSize];
  BuildHeader(header, BroadcastAddress(), PacketKind::Identify, DataType::None, 0);
  SendFrame(header, nullptr, 0);
  const std::uint32_t start = platform::GetTickCount();
  for (;;) {
    const std::uint32_t now = platform::GetTickCount();
    try {
      ReceiveAnswer();
      collection.Add(new Point(GetAnswerSource()));
    } catch (const Exception&) {
      // No answer this round; the repetitions have asked again.
    }
    if (now - start > ScanTime) return;
  }
}

bool ScanPort(const wxString& portName, PointsCollection& collection) {
  const std::string name = PortNameBytes(portName);
  SerialPortLorimProtocol protocol(name.c_str(), false);
  collection.RemoveAll();
  protocol.ScanBus(collection);
  return collection.Size() > 0;
}

}  // namespace kalvo_lorim
