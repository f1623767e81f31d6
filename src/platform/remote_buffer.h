#pragma once
// A block of memory inside another process, for window messages whose
// arguments are pointers that the receiving process must be able to read.
#include <windows.h>

#include <cstddef>

#include "platform/unique_handle.h"

namespace tavrin {

class RemoteBuffer {
 public:
  // Opens the process and reserves `size` bytes in it; empty on failure.
  RemoteBuffer(DWORD pid, size_t size);
  ~RemoteBuffer();
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  explicit operator bool() const { return address_ != nullptr; }
  // The block's address as the other process sees it.
  void* Address() const { return address_; }
  bool Write(size_t offset, const void* data, size_t length);
  bool Read(size_t offset, void* data, size_t length) const;

 private:
  UniqueProcess process_;
  void* address_ = nullptr;
  size_t size_ = 0;
};

}  // namespace tavrin
