// A large definite-length block's payload written to a file as it arrives, so that a file sent as a block
// is stored while it is still being received instead of after the whole message. The file is hidden (its
// name begins with '.') and goes with the object unless it was moved into place. A socket front end hands
// the payload over from the socket (spliced in the kernel where it can, so it is copied once).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tevra::sim::scpi {

class BlockSpool {
 public:
  // A new spool file in folder; nullptr when it cannot be created.
  static std::shared_ptr<BlockSpool> create(const std::filesystem::path& folder);

  ~BlockSpool();
  BlockSpool(const BlockSpool&) = delete;
  BlockSpool& operator=(const BlockSpool&) = delete;

  // Writes bytes after those received so far. A failed write is remembered (good()); the bytes still count.
  void append(const char* data, size_t size);
  // Receives up to most bytes from a connected socket into the file: the count, 0 when the peer closed,
  // -1 with errno when the receive failed.
  long receiveFrom(int socket, size_t most);
  // The bytes received so far.
  uint64_t size() const { return size_; }
  // Every byte received so far reached the file.
  bool good() const { return good_; }
  // The payload read back from the file; empty when it cannot be read.
  std::string contents() const;
  // Closes the file and renames it to target, replacing a file there; false when that fails.
  bool moveTo(const std::filesystem::path& target);

 private:
  BlockSpool(std::filesystem::path path, int fd);
  long spliceFrom(int socket, size_t most);
  void closeFiles();

  std::filesystem::path path_;
  int fd_;
  int pipe_[2] = {-1, -1};  // between the socket and the file, for splicing
  bool splicing_ = true;    // until the kernel refuses it for this file or socket
  uint64_t size_ = 0;
  bool good_ = true;
  bool moved_ = false;
};

// Opens the spool for a block of that length, or gives nullptr to keep the block in its message.
using SpoolOpener = std::function<std::shared_ptr<BlockSpool>(uint64_t length)>;

// A spooled block of a message: its payload is missing from the message text at offset.
struct SpooledBlock {
  size_t offset = 0;
  std::shared_ptr<BlockSpool> spool;
};
using SpooledBlocks = std::vector<SpooledBlock>;

}  // namespace tevra::sim::scpi
