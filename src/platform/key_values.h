#pragma once
// The values of one open key that a walk asks for by name. A key that holds
// no more values than the walk wants is read in one pass over its values;
// a fuller key is asked value by value. Either way the texts and numbers are
// the ones ReadString and ReadDword give, but a walk over thousands of
// small keys makes a fraction of the calls (each one a round trip to the
// registry).
#include <windows.h>

#include <string>
#include <vector>

#include "platform/registry.h"

namespace tavrin {

class KeyValues {
 public:
  // `wanted` is how many different names the caller will ask for.
  KeyValues(HKEY key, size_t wanted);

  // As ReadString and ReadDword on the key.
  bool String(const wchar_t* name, std::wstring& text) const;
  bool Dword(const wchar_t* name, DWORD& number) const;

 private:
  struct Value {
    std::wstring name;
    RegValueBuffer data;
  };
  const Value* Find(const wchar_t* name) const;

  HKEY key_ = nullptr;
  bool listed_ = false;  // every value is in values_
  std::vector<Value> values_;
};

}  // namespace tavrin
