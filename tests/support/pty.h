#pragma once
// Pseudo-terminal plumbing for tests that need a serial line.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A pseudo-terminal pair in raw mode. The test talks on the master side; the
// code under test opens the slave path as its serial device. A slave descriptor
// is kept open so the master never sees a hang-up while the code under test
// closes and reopens the line.
class PtyPair {
 public:
  PtyPair();  // throws std::runtime_error when no pty can be had
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int Master() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }

  // Writes all bytes to the master side.
  void Write(const void* data, std::size_t n);
  void Write(const std::vector<std::uint8_t>& bytes) { Write(bytes.data(), bytes.size()); }
  // Reads until n bytes came or the time limit passed; returns what came.
  std::vector<std::uint8_t> Read(std::size_t n, int timeoutMs);
  // Reads whatever arrives until the line has been quiet for quietMs.
  std::vector<std::uint8_t> ReadUntilQuiet(int quietMs, int timeoutMs);

 private:
  int master_ = -1;
  int slaveKeeper_ = -1;
  std::string slavePath_;
};

// A temporary port folder, set as KALVO_PORTS for the life of the object, so
// that a port name such as "COM3" resolves to a link inside it.
class PortFolder {
 public:
  PortFolder();
  ~PortFolder();
  PortFolder(const PortFolder&) = delete;
  PortFolder& operator=(const PortFolder&) = delete;

  // Makes `name` a link to `target`; returns the link's path.
  std::string Link(const std::string& name, const std::string& target);
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::vector<std::string> links_;
  bool hadOld_ = false;
  std::string old_;
};

}  // namespace testsupport
