#include "filetrust/file_hash.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "filetrust/crypto_hash.h"
#include "platform/message_pump.h"
#include "platform/unique_handle.h"

namespace tavrin {

namespace {

constexpr DWORD kBlockSize = 524288;

// An MD5 digest finished into hex text.
bool FinishMd5(CryptoHash& md5, std::wstring& hex) {
  std::vector<unsigned char> digest;
  if (!md5.Finish(digest) || !WriteHex(digest.data(), digest.size(), hex)) {
    hex.clear();
    return false;
  }
  return true;
}

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
  CryptoHash md5(CALG_MD5);
  if (!md5.Add(data, length) || !FinishMd5(md5, hex)) return 0;
  return length;
}

std::wstring Md5OfText(std::wstring_view text) {
  std::wstring hex;
  Md5OfBytes(text.data(), text.size() * sizeof(wchar_t), hex);
  return hex;
}

bool DigestOfFile(const std::wstring& path, unsigned algorithm, std::wstring& hex, unsigned hexOptions,
                  unsigned long long limit) {
  hex.clear();
  UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  CryptoHash digest(ALG_ID{algorithm});
  if (!digest.Ready()) return false;
  // Most files judged are small: a block no larger than the file (or the
  // limit) is enough.
  LARGE_INTEGER size{};
  unsigned long long wanted = GetFileSizeEx(file.get(), &size) && size.QuadPart >= 0 ? size.QuadPart + 1 : kBlockSize;
  if (limit > 0 && limit < wanted) wanted = limit;
  std::vector<unsigned char> block(size_t(std::min<unsigned long long>(std::max(wanted, 1ull), kBlockSize)));
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
    if (!digest.Add(block.data(), got)) return false;
    if (limit > 0) left -= got;
    DispatchPendingMessages();
  }
  std::vector<unsigned char> bytes;
  if (!digest.Finish(bytes) || !WriteHex(bytes.data(), bytes.size(), hex, hexOptions)) {
    hex.clear();
    return false;
  }
  return true;
}

bool Md5OfFile(const std::wstring& path, std::wstring& hex, unsigned long long limit) {
  return DigestOfFile(path, CALG_MD5, hex, HexPlain, limit);
}

}  // namespace tavrin
