#include "repair/repair_backup.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/text_file.h"

namespace tavrin {

namespace {

std::wstring Quoted(const std::wstring& text) {
  std::wstring out = L"\"";
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'"') out += L'\\';
    out += c;
  }
  return out + L"\"";
}

std::wstring HexBytes(const unsigned char* data, DWORD length) {
  std::wstring out;
  wchar_t pair[4];
  for (DWORD i = 0; i < length; ++i) {
    swprintf(pair, 4, L"%02x", data[i]);
    if (i) out += L',';
    out += pair;
  }
  return out;
}

std::wstring ValueLine(const std::wstring& name, RegValueBuffer& value) {
  std::wstring line = name.empty() ? L"@" : Quoted(name);
  line += L"=";
  if (value.type == REG_SZ) return line + Quoted(value.Text());
  if (value.type == REG_DWORD && value.length == 4) {
    DWORD number = 0;
    std::memcpy(&number, value.Data(), 4);
    wchar_t text[16];
    swprintf(text, 16, L"dword:%08x", unsigned(number));
    return line + text;
  }
  if (value.type == REG_MULTI_SZ) {
    // The read turned the separators into line feeds; the file keeps NULs.
    auto* chars = reinterpret_cast<wchar_t*>(value.bytes.data());
    for (DWORD i = 0; i < value.length / 2; ++i)
      if (chars[i] == L'\n') chars[i] = L'\0';
  }
  wchar_t prefix[16];
  if (value.type == REG_BINARY)
    swprintf(prefix, 16, L"hex:");
  else
    swprintf(prefix, 16, L"hex(%x):", unsigned(value.type));
  return line + prefix + HexBytes(value.Data(), value.length);
}

void ExportKey(const RegKey& key, const std::wstring& name, std::wstring& out) {
  out += L"[" + name + L"]\r\n";
  std::wstring valueName;
  RegValueBuffer value;
  const DWORD count = ValueCount(key);
  for (DWORD index = 0; index < count; ++index)
    if (EnumValueRaw(key, index, valueName, value)) out += ValueLine(valueName, value) + L"\r\n";
  out += L"\r\n";
  for (const std::wstring& subkey : SubKeyNames(key)) {
    RegKey child = OpenSubKey(key, subkey, kRegRead);
    if (child) ExportKey(child, name + L"\\" + subkey, out);
  }
}

std::wstring BackupPath(RepairContext& context, const std::wstring& name, const std::wstring& extension) {
  FILETIME now{}, local{};
  GetSystemTimeAsFileTime(&now);
  FileTimeToLocalFileTime(&now, &local);
  const unsigned long long stamp = (static_cast<unsigned long long>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
  return context.dataFolder + L"\\Backups\\" + name + L"-" + std::to_wstring(stamp) + extension;
}

}  // namespace

std::wstring ExportKeysText(const std::vector<std::wstring>& keys) {
  std::wstring out = L"Windows Registry Editor Version 5.00\r\n\r\n";
  for (const std::wstring& path : keys) {
    const RegPathParts parts = ParseRegPath(path);
    if (!parts || parts.subkey.empty()) continue;
    RegKey key = OpenKey(path, kRegRead);
    if (!key) continue;
    ExportKey(key, std::wstring(parts.rootName) + L"\\" + SubkeyInNativeView(parts), out);
  }
  return out;
}

std::wstring BackupFile(RepairContext& context, const std::wstring& source, const std::wstring& name,
                        const std::wstring& extension) {
  if (context.dataFolder.empty()) return {};
  const std::wstring target = BackupPath(context, name, extension);
  if (!CreateFolderTree(context.dataFolder + L"\\Backups")) return {};
  if (!CopyFileW(LongPath(source).c_str(), LongPath(target).c_str(), FALSE)) return {};
  // A copy of a read-only file is read-only too; the backup is ours.
  SetFileAttributesW(LongPath(target).c_str(), FILE_ATTRIBUTE_NORMAL);
  return target;
}

std::wstring BackupKeys(RepairContext& context, const std::vector<std::wstring>& keys, const std::wstring& name) {
  if (context.dataFolder.empty()) return {};
  const std::wstring target = BackupPath(context, name, L".reg");
  if (!CreateFolderTree(context.dataFolder + L"\\Backups")) return {};
  return WriteTextFile(target, ExportKeysText(keys), TextEncoding::Utf16Le) ? target : std::wstring();
}

}  // namespace tavrin
