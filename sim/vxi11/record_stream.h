// ONC RPC record marking on a stream socket (RFC 5531, section 11): a record is one or more fragments,
// each behind a 4-byte header that holds its length and, in the top bit, whether it is the last one.
#pragma once

#include <cstddef>
#include <string>

namespace tevra::sim::vxi11 {

enum class RecordStatus {
  kRecord,   // a whole record was read
  kClosed,   // the connection ended or failed
  kTooLong,  // the fragments add up to more than the bound; the stream cannot be followed any further
};

// Reads one whole record into *record.
RecordStatus readRecord(int fd, size_t maxSize, std::string* record);
// Sends a record as one fragment; false when the connection fails.
bool writeRecord(int fd, const std::string& record);

}  // namespace tevra::sim::vxi11
