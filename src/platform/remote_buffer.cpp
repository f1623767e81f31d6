#include "platform/remote_buffer.h"

namespace tavrin {

RemoteBuffer::RemoteBuffer(DWORD pid, size_t size) : size_(size) {
  process_.reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
  if (!process_) return;
  address_ = VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteBuffer::~RemoteBuffer() {
  if (address_) VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
}

bool RemoteBuffer::Write(size_t offset, const void* data, size_t length) {
  if (!address_ || offset > size_ || length > size_ - offset) return false;
  SIZE_T written = 0;
  return WriteProcessMemory(process_.get(), static_cast<char*>(address_) + offset, data, length, &written) &&
         written == length;
}

bool RemoteBuffer::Read(size_t offset, void* data, size_t length) const {
  if (!address_ || offset > size_ || length > size_ - offset) return false;
  SIZE_T read = 0;
  return ReadProcessMemory(process_.get(), static_cast<char*>(address_) + offset, data, length, &read) && read == length;
}

}  // namespace tavrin
