#pragma once
// One owner for every kind of kernel handle: closed when the owner goes out
// of scope or is reset. Closing keeps the thread's last error, because the
// functions of this layer report their failures through it and an owner
// that goes out of scope between the failing call and the caller's
// GetLastError would otherwise wipe it.
#include <windows.h>

#include <utility>

namespace tavrin {

// Traits: `Type`, `Invalid()` (the value that means "nothing held") and
// `Close(Type)`.
template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  // Takes ownership; a function's failure value other than Invalid() (for
  // example nullptr where Invalid() is INVALID_HANDLE_VALUE) counts as empty.
  explicit UniqueHandle(Type value) : value_(Normalize(value)) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Type get() const { return value_; }
  explicit operator bool() const { return value_ != Traits::Invalid(); }

  // Closes what was held and takes `value`.
  void reset(Type value = Traits::Invalid()) {
    value = Normalize(value);
    if (value_ != Traits::Invalid() && value_ != value) {
      const DWORD error = GetLastError();
      Traits::Close(value_);
      SetLastError(error);
    }
    value_ = value;
  }
  // Gives up ownership without closing.
  [[nodiscard]] Type release() { return std::exchange(value_, Traits::Invalid()); }
  // For out-parameters: closes what was held first.
  Type* put() {
    reset();
    return &value_;
  }

 private:
  static Type Normalize(Type value) { return Traits::IsFailure(value) ? Traits::Invalid() : value; }

  Type value_ = Traits::Invalid();
};

// Handles closed with CloseHandle. Functions that open them fail with either
// nullptr or INVALID_HANDLE_VALUE depending on the function; both mean empty.
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static bool IsFailure(Type value) { return value == nullptr || value == INVALID_HANDLE_VALUE; }
  static void Close(Type value) { CloseHandle(value); }
};

struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsFailure(Type value) { return value == nullptr || value == INVALID_HANDLE_VALUE; }
  static void Close(Type value) { FindClose(value); }
};

struct MappedViewTraits {
  using Type = const void*;
  static Type Invalid() { return nullptr; }
  static bool IsFailure(Type value) { return value == nullptr; }
  static void Close(Type value) { UnmapViewOfFile(value); }
};

using UniqueFile = UniqueHandle<KernelHandleTraits>;
using UniqueProcess = UniqueHandle<KernelHandleTraits>;
using UniqueThread = UniqueHandle<KernelHandleTraits>;
using UniqueToken = UniqueHandle<KernelHandleTraits>;
using UniqueMapping = UniqueHandle<KernelHandleTraits>;
using UniqueEvent = UniqueHandle<KernelHandleTraits>;
using UniqueSnapshot = UniqueHandle<KernelHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueMappedView = UniqueHandle<MappedViewTraits>;

// The two handles CreateProcess hands back, both owned.
struct UniqueProcessInformation {
  UniqueProcess process;
  UniqueThread thread;
  DWORD processId = 0;
  DWORD threadId = 0;

  // Takes over what CreateProcess filled in.
  void Adopt(const PROCESS_INFORMATION& info) {
    process.reset(info.hProcess);
    thread.reset(info.hThread);
    processId = info.dwProcessId;
    threadId = info.dwThreadId;
  }
};

}  // namespace tavrin
