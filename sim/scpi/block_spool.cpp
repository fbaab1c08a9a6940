#include "sim/scpi/block_spool.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <random>
#include <vector>

#include "platform/fs/fs.h"

namespace tevra::sim::scpi {
namespace {

constexpr size_t kPipeBytes = size_t{1} << 20;
constexpr size_t kCopyChunk = size_t{64} << 10;

// platform::WriteFile takes at most 4 GiB a call.
bool writeAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const auto count = static_cast<uint32_t>(std::min<size_t>(size, UINT32_MAX));
    if (!platform::WriteFile(fd, data, count, nullptr)) return false;
    data += count;
    size -= count;
  }
  return true;
}

// Reads and drops count bytes that a failed splice left in the pipe.
void drain(int pipe, size_t count) {
  std::vector<char> scratch(std::min(count, kCopyChunk));
  while (count > 0) {
    const ssize_t n = ::read(pipe, scratch.data(), std::min(count, scratch.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    count -= static_cast<size_t>(n);
  }
}

}  // namespace

std::shared_ptr<BlockSpool> BlockSpool::create(const std::filesystem::path& folder) {
  // The counter keeps this process's spools apart, the random part those of other processes.
  static const std::string kInstance = std::to_string(std::random_device{}());
  static std::atomic<uint64_t> counter{0};
  const std::filesystem::path path =
      folder / (".spool-" + kInstance + "-" + std::to_string(counter.fetch_add(1)) + ".partial");
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  return std::shared_ptr<BlockSpool>(new BlockSpool(path, fd));
}

BlockSpool::BlockSpool(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}

BlockSpool::~BlockSpool() {
  closeFiles();
  if (!moved_) ::unlink(path_.c_str());
}

void BlockSpool::closeFiles() {
  for (int* fd : {&fd_, &pipe_[0], &pipe_[1]}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

void BlockSpool::append(const char* data, size_t size) {
  size_ += size;
  if (good_) good_ = fd_ >= 0 && writeAll(fd_, data, size);
}

long BlockSpool::receiveFrom(int socket, size_t most) {
  if (splicing_ && good_) {
    const long spliced = spliceFrom(socket, most);
    if (spliced != 0 || !splicing_) return spliced;
  }
  char chunk[kCopyChunk];
  const ssize_t n = ::recv(socket, chunk, std::min(most, sizeof chunk), 0);
  if (n > 0) append(chunk, static_cast<size_t>(n));
  return n;
}

// Socket to pipe moves the received pages; pipe to file copies them into the file once. Returns 0 with
// splicing_ cleared when the kernel cannot splice here, so that the caller receives by copying instead.
long BlockSpool::spliceFrom(int socket, size_t most) {
  if (pipe_[0] < 0) {
    if (::pipe2(pipe_, O_CLOEXEC) != 0) {
      splicing_ = false;
      return 0;
    }
    ::fcntl(pipe_[1], F_SETPIPE_SZ, static_cast<int>(kPipeBytes));
  }
  const ssize_t in = ::splice(socket, nullptr, pipe_[1], nullptr, std::min(most, kPipeBytes), SPLICE_F_MOVE);
  if (in < 0 && errno == EINVAL) {
    splicing_ = false;
    return 0;
  }
  if (in <= 0) return in;
  size_ += static_cast<uint64_t>(in);
  for (size_t left = static_cast<size_t>(in); left > 0;) {
    const ssize_t out = ::splice(pipe_[0], nullptr, fd_, nullptr, left, SPLICE_F_MOVE);
    if (out < 0 && errno == EINTR) continue;
    if (out <= 0) {
      good_ = false;
      drain(pipe_[0], left);
      break;
    }
    left -= static_cast<size_t>(out);
  }
  return in;
}

std::string BlockSpool::contents() const {
  if (!good_ || fd_ < 0) return {};
  std::string bytes(static_cast<size_t>(size_), '\0');
  for (size_t at = 0; at < bytes.size();) {
    const ssize_t n = ::pread(fd_, bytes.data() + at, bytes.size() - at, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {};
    at += static_cast<size_t>(n);
  }
  return bytes;
}

bool BlockSpool::moveTo(const std::filesystem::path& target) {
  const bool closed = fd_ >= 0 && ::close(fd_) == 0;
  fd_ = -1;
  closeFiles();
  moved_ = good_ && closed && ::rename(path_.c_str(), target.c_str()) == 0;
  return moved_;
}

}  // namespace tevra::sim::scpi
