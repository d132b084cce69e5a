#include <cstring>
#include <stdexcept>

#include "pointsim.h"

namespace pointsim {

std::uint32_t Checksum(const std::uint8_t* data, std::size_t n) {
  std::uint32_t h = 0;
  std::size_t i = 0;
  if (n % 2 == 1) {
    h = data[0];
    i = 1;
  }
  for (; i + 1 < n; i += 2) {
    const std::uint32_t word = (std::uint32_t(data[i]) << 8) | data[i + 1];
    h = ((h << 5) | (h >> 27)) ^ word;
  }
  return h;
}

Bytes Frame::Value() const {
  if (data.size() <= 1) return Bytes();
  return Bytes(data.begin() + 1, data.end());
}

namespace {

void PutU32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}

void PutAddress(Bytes& out, const Address& a) {
  out.push_back(a.a);
  out.push_back(a.b);
  out.push_back(a.c);
}

Address TakeAddress(const std::uint8_t* p) { return Address(p[0], p[1], p[2]); }

std::uint32_t TakeU32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

}  // namespace

Bytes Encode(const Frame& frame) {
  Bytes out;
  out.reserve(HeaderSize + frame.data.size() + ChecksumSize);
  PutAddress(out, frame.destination);
  PutAddress(out, frame.source);
  out.push_back(frame.kind);
  out.push_back(frame.type);
  const std::uint16_t length = static_cast<std::uint16_t>(frame.data.size());
  out.push_back(std::uint8_t(length));
  out.push_back(std::uint8_t(length >> 8));
  PutU32(out, Checksum(out.data(), 10));
  if (!frame.data.empty()) {
    out.insert(out.end(), frame.data.begin(), frame.data.end());
    PutU32(out, Checksum(frame.data));
  }
  return out;
}

DecodeResult Decode(const std::uint8_t* p, std::size_t n, Frame& frame, std::size_t& used) {
  if (n < HeaderSize) return DecodeResult::NeedMore;
  if (Checksum(p, 10) != TakeU32(p + 10)) return DecodeResult::BadHeader;
  const std::size_t length = std::size_t(p[8]) | std::size_t(p[9]) << 8;
  const std::size_t total = length == 0 ? HeaderSize : HeaderSize + length + ChecksumSize;
  if (n < total) return DecodeResult::NeedMore;
  frame.destination = TakeAddress(p);
  frame.source = TakeAddress(p + 3);
  frame.kind = p[6];
  frame.type = p[7];
  frame.data.assign(p + HeaderSize, p + HeaderSize + length);
  used = total;
  if (length != 0 && Checksum(p + HeaderSize, length) != TakeU32(p + HeaderSize + length))
    return DecodeResult::BadDataChecksum;
  return DecodeResult::Ok;
}

Frame IdentifyRequest(const Address& to) {
  Frame f;
  f.destination = to;
  f.source = kalvo_lorim::OwnAddress();
  f.kind = kind::Identify;
  f.type = type::None;
  return f;
}

Frame ReadRequest(const Address& to, std::uint8_t id, std::uint8_t askedType) {
  Frame f;
  f.destination = to;
  f.source = kalvo_lorim::OwnAddress();
  f.kind = kind::Read;
  f.type = askedType;
  f.data = {id};
  return f;
}

Frame WriteRequest(const Address& to, std::uint8_t id, std::uint8_t valueType, const Bytes& value) {
  Frame f;
  f.destination = to;
  f.source = kalvo_lorim::OwnAddress();
  f.kind = kind::Write;
  f.type = valueType;
  f.data = {id};
  f.data.insert(f.data.end(), value.begin(), value.end());
  return f;
}

Bytes U16(std::uint16_t v) { return Bytes{std::uint8_t(v), std::uint8_t(v >> 8)}; }

Bytes U32(std::uint32_t v) {
  Bytes out;
  PutU32(out, v);
  return out;
}

Bytes F32(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return U32(bits);
}

Bytes Utf16(const std::string& utf8) {
  Bytes out;
  auto put = [&out](std::uint32_t unit) {
    out.push_back(std::uint8_t(unit));
    out.push_back(std::uint8_t(unit >> 8));
  };
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::uint8_t c = std::uint8_t(utf8[i]);
    std::uint32_t cp = 0xFFFD;
    std::size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    }
    if (len > 1) {
      if (i + len > utf8.size()) {
        cp = 0xFFFD;
        len = utf8.size() - i;
      } else {
        for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (std::uint8_t(utf8[i + k]) & 0x3F);
      }
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 | (cp >> 10));
      put(0xDC00 | (cp & 0x3FF));
    } else {
      put(cp);
    }
  }
  put(0);
  return out;
}

std::string FromUtf16(const Bytes& b) {
  std::string out;
  auto put = [&out](std::uint32_t cp) {
    if (cp < 0x80) {
      out += char(cp);
    } else if (cp < 0x800) {
      out += char(0xC0 | (cp >> 6));
      out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += char(0xE0 | (cp >> 12));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    } else {
      out += char(0xF0 | (cp >> 18));
      out += char(0x80 | ((cp >> 12) & 0x3F));
      out += char(0x80 | ((cp >> 6) & 0x3F));
      out += char(0x80 | (cp & 0x3F));
    }
  };
  for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
    std::uint32_t unit = b[i] | (std::uint32_t(b[i + 1]) << 8);
    if (unit == 0) break;
    if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < b.size()) {
      const std::uint32_t low = b[i + 2] | (std::uint32_t(b[i + 3]) << 8);
      if (low >= 0xDC00 && low < 0xE000) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    put(unit);
  }
  return out;
}

Bytes DateBytes(const DateTime& d) {
  std::uint8_t raw[DateTime::Size];
  d.ToBytes(raw);
  return Bytes(raw, raw + DateTime::Size);
}

Bytes AddressBytes(const Address& a) { return Bytes{a.a, a.b, a.c}; }

std::uint16_t ReadU16(const Bytes& b, std::size_t at) {
  return std::uint16_t(b.at(at) | (b.at(at + 1) << 8));
}

std::uint32_t ReadU32(const Bytes& b, std::size_t at) {
  if (at + 4 > b.size()) throw std::out_of_range("ReadU32");
  return TakeU32(b.data() + at);
}

float ReadF32(const Bytes& b, std::size_t at) {
  const std::uint32_t bits = ReadU32(b, at);
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

}  // namespace pointsim
