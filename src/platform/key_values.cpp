#include "platform/key_values.h"

#include <cstring>
#include <cwchar>

#include "platform/strings.h"

namespace tavrin {

KeyValues::KeyValues(HKEY key, size_t wanted) : key_(key) {
  if (!key) return;
  DWORD count = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                       nullptr) != ERROR_SUCCESS ||
      count > wanted) {
    return;
  }
  values_.resize(count);
  DWORD read = 0;
  for (; read < count; ++read) {
    if (!EnumValueRaw(key, read, values_[read].name, values_[read].data)) break;
  }
  // A key that lost values while it was listed is asked by name after all.
  if (read < count) {
    values_.clear();
    return;
  }
  listed_ = true;
}

const KeyValues::Value* KeyValues::Find(const wchar_t* name) const {
  const std::wstring_view wanted = name ? name : L"";
  for (const Value& value : values_)
    if (EqualsNoCase(value.name, wanted)) return &value;
  return nullptr;
}

bool KeyValues::String(const wchar_t* name, std::wstring& text) const {
  if (!listed_) return ReadString(key_, name, text);
  text.clear();
  const Value* value = Find(name);
  if (!value) return false;
  const DWORD type = value->data.type;
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return false;
  const auto* chars = reinterpret_cast<const wchar_t*>(value->data.Data());
  text.assign(chars, wcsnlen(chars, (value->data.length + 3) / 2));
  return true;
}

bool KeyValues::Dword(const wchar_t* name, DWORD& number) const {
  if (!listed_) return ReadDword(key_, name, number);
  number = 0;
  const Value* value = Find(name);
  if (!value || value->data.type != REG_DWORD || value->data.length != sizeof(DWORD)) return false;
  std::memcpy(&number, value->data.Data(), sizeof number);
  return true;
}

}  // namespace tavrin
