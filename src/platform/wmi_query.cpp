#include "platform/wmi_query.h"

#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

#include "platform/com_ptr.h"
#include "platform/com_scope.h"

namespace tavrin {

namespace {

bool Connect(const std::wstring& space, ComPtr<IWbemServices>& services) {
  ComPtr<IWbemLocator> locator;
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              locator.PutVoid())))
    return false;
  Bstr name(space.c_str());
  if (FAILED(locator->ConnectServer(name, nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Put())))
    return false;
  CoSetProxyBlanket(services.Get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  return true;
}

bool Query(IWbemServices* services, const std::wstring& query, ComPtr<IEnumWbemClassObject>& rows) {
  Bstr language(L"WQL");
  Bstr text(query.c_str());
  return SUCCEEDED(services->ExecQuery(language, text, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                       rows.Put()));
}

// "ReturnValue" of a method's out-parameters, 0 when it has none.
bool Returned0(IWbemClassObject* out) {
  if (!out) return true;
  VARIANT value;
  VariantInit(&value);
  bool zero = true;
  if (SUCCEEDED(out->Get(L"ReturnValue", 0, &value, nullptr, nullptr)) && value.vt != VT_NULL &&
      value.vt != VT_EMPTY) {
    zero = SUCCEEDED(VariantChangeType(&value, &value, 0, VT_I4)) && value.lVal == 0;
  }
  VariantClear(&value);
  return zero;
}

}  // namespace

int WmiQueryCount(const std::wstring& space, const std::wstring& query) {
  ComScope com;
  ComPtr<IWbemServices> services;
  ComPtr<IEnumWbemClassObject> rows;
  if (!Connect(space, services) || !Query(services.Get(), query, rows)) return -1;
  int count = 0;
  for (;;) {
    ComPtr<IWbemClassObject> row;
    ULONG returned = 0;
    if (FAILED(rows->Next(10000, 1, row.Put(), &returned)) || returned == 0) return count;
    ++count;
  }
}

int WmiCallOnEach(const std::wstring& space, const std::wstring& query, const std::wstring& method) {
  ComScope com;
  ComPtr<IWbemServices> services;
  ComPtr<IEnumWbemClassObject> rows;
  if (!Connect(space, services) || !Query(services.Get(), query, rows)) return -1;
  int done = 0;
  Bstr methodName(method.c_str());
  for (;;) {
    ComPtr<IWbemClassObject> row;
    ULONG returned = 0;
    if (FAILED(rows->Next(10000, 1, row.Put(), &returned)) || returned == 0) return done;
    VARIANT path;
    VariantInit(&path);
    if (SUCCEEDED(row->Get(L"__PATH", 0, &path, nullptr, nullptr)) && path.vt == VT_BSTR) {
      ComPtr<IWbemClassObject> out;
      if (SUCCEEDED(services->ExecMethod(path.bstrVal, methodName, 0, nullptr, nullptr, out.Put(), nullptr)) &&
          Returned0(out.Get()))
        ++done;
    }
    VariantClear(&path);
  }
}

bool WmiCallStatic(const std::wstring& space, const std::wstring& className, const std::wstring& method,
                   const std::wstring& argumentName, const std::wstring& argument) {
  ComScope com;
  ComPtr<IWbemServices> services;
  if (!Connect(space, services)) return false;
  Bstr classText(className.c_str());
  ComPtr<IWbemClassObject> classObject;
  if (FAILED(services->GetObject(classText, 0, nullptr, classObject.Put(), nullptr))) return false;
  ComPtr<IWbemClassObject> signature;
  if (FAILED(classObject->GetMethod(method.c_str(), 0, signature.Put(), nullptr)) || !signature) return false;
  ComPtr<IWbemClassObject> in;
  if (FAILED(signature->SpawnInstance(0, in.Put()))) return false;
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocString(argument.c_str());
  const HRESULT put = in->Put(argumentName.c_str(), 0, &value, 0);
  VariantClear(&value);
  if (FAILED(put)) return false;
  Bstr methodName(method.c_str());
  ComPtr<IWbemClassObject> out;
  if (FAILED(services->ExecMethod(classText, methodName, 0, nullptr, in.Get(), out.Put(), nullptr))) return false;
  return Returned0(out.Get());
}

}  // namespace tavrin
