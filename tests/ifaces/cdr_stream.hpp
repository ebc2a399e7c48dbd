// A CDR stream over a fixed buffer, as a middleware hands one to a type
// support, and the bytes written to it so far.
#ifndef KESTREL_TESTS_CDR_STREAM_HPP_
#define KESTREL_TESTS_CDR_STREAM_HPP_

#include <fastcdr/Cdr.h>
#include <fastcdr/FastBuffer.h>

#include <cstddef>
#include <cstdint>
#include <vector>

struct Stream {
  explicit Stream(size_t bytes, eprosima::fastcdr::Cdr::Endianness order =
                                    eprosima::fastcdr::Cdr::LITTLE_ENDIANNESS)
      : storage(bytes), buffer(storage.data(), storage.size()), cdr(buffer, order) {}
  Stream(const Stream &) = delete;
  Stream &operator=(const Stream &) = delete;

  std::vector<uint8_t> written() const {
    return {storage.begin(), storage.begin() + cdr.getSerializedDataLength()};
  }

  std::vector<char> storage;
  eprosima::fastcdr::FastBuffer buffer;
  eprosima::fastcdr::Cdr cdr;
};

#endif  // KESTREL_TESTS_CDR_STREAM_HPP_
