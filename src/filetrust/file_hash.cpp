#include "filetrust/file_hash.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>
#include <vector>

#include "platform/message_pump.h"
#include "platform/unique_handle.h"

namespace tavrin {

namespace {

constexpr DWORD kBlockSize = 524288;

class Md5 {
 public:
  Md5() {
    if (!CryptAcquireContextW(&provider_, nullptr, MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
        !CryptAcquireContextW(&provider_, nullptr, MS_ENH_RSA_AES_PROV_XP_W, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
      provider_ = 0;
      return;
    }
    if (!CryptCreateHash(provider_, CALG_MD5, 0, 0, &hash_)) hash_ = 0;
  }
  ~Md5() {
    if (hash_) CryptDestroyHash(hash_);
    if (provider_) CryptReleaseContext(provider_, 0);
  }
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;

  bool Ready() const { return hash_ != 0; }
  bool Add(const void* data, DWORD length) {
    return length == 0 || CryptHashData(hash_, static_cast<const BYTE*>(data), length, 0) != FALSE;
  }
  bool Finish(std::wstring& hex) {
    DWORD size = 0;
    DWORD sizeLength = sizeof size;
    if (!CryptGetHashParam(hash_, HP_HASHSIZE, reinterpret_cast<BYTE*>(&size), &sizeLength, 0) || size == 0 ||
        size > 64)
      return false;
    BYTE digest[64];
    if (!CryptGetHashParam(hash_, HP_HASHVAL, digest, &size, 0)) return false;
    return WriteHex(digest, size, hex);
  }

 private:
  HCRYPTPROV provider_ = 0;
  HCRYPTHASH hash_ = 0;
};

}  // namespace

bool WriteHex(const void* data, size_t length, std::wstring& out, unsigned options, size_t capacity) {
  out.clear();
  const bool prefix = options & HexPrefix;
  const size_t fixed = 1 + (prefix ? 2 : 0);
  if (capacity < fixed || length > (capacity - fixed) / 2) return false;
  const wchar_t* digits = (options & HexLowercase) ? L"0123456789abcdef" : L"0123456789ABCDEF";
  const auto* bytes = static_cast<const unsigned char*>(data);
  out.reserve(2 * length + (prefix ? 2 : 0));
  if (prefix) out += L"0x";
  for (size_t i = 0; i < length; ++i) {
    const unsigned char byte = bytes[(options & HexReversed) ? length - 1 - i : i];
    out += digits[byte >> 4];
    out += digits[byte & 15];
  }
  return true;
}

size_t Md5OfBytes(const void* data, size_t length, std::wstring& hex) {
  hex.clear();
  Md5 md5;
  if (!md5.Ready()) return 0;
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (size_t done = 0; done < length;) {
    const DWORD piece = DWORD(std::min<size_t>(length - done, kBlockSize));
    if (!md5.Add(bytes + done, piece)) return 0;
    done += piece;
  }
  if (!md5.Finish(hex)) {
    hex.clear();
    return 0;
  }
  return length;
}

std::wstring Md5OfText(std::wstring_view text) {
  std::wstring hex;
  Md5OfBytes(text.data(), text.size() * sizeof(wchar_t), hex);
  return hex;
}

bool Md5OfFile(const std::wstring& path, std::wstring& hex, unsigned long long limit) {
  hex.clear();
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  Md5 md5;
  if (!md5.Ready()) return false;
  std::vector<unsigned char> block(limit > 0 && limit < kBlockSize ? size_t(limit) : kBlockSize);
  unsigned long long left = limit;
  for (;;) {
    DWORD want = DWORD(block.size());
    if (limit > 0) {
      if (left == 0) break;
      if (left < want) want = DWORD(left);
    }
    DWORD got = 0;
    if (!ReadFile(file.get(), block.data(), want, &got, nullptr)) return false;
    if (got == 0) break;
    if (!md5.Add(block.data(), got)) return false;
    if (limit > 0) left -= got;
    DispatchPendingMessages();
  }
  if (!md5.Finish(hex)) {
    hex.clear();
    return false;
  }
  return true;
}

}  // namespace tavrin
