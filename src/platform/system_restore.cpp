#include "platform/system_restore.h"

#include <objbase.h>
#include <oleauto.h>
#include <srrestoreptapi.h>
#include <wbemidl.h>

#include "platform/com_ptr.h"
#include "platform/com_scope.h"
#include "platform/system_library.h"

namespace tavrin {

namespace {

using SetRestorePointFunction = BOOL(WINAPI*)(PRESTOREPOINTINFOW, PSTATEMGRSTATUS);

bool VariantNumber(VARIANT& value, int64_t& number) {
  VARIANT converted;
  VariantInit(&converted);
  const bool ok = SUCCEEDED(VariantChangeType(&converted, &value, 0, VT_I8));
  if (ok) number = converted.llVal;
  VariantClear(&converted);
  return ok;
}

}  // namespace

bool RequestRestorePoint(const RestorePointRequest& request, int64_t& sequenceNumber) {
  SystemLibrary client(L"SrClient.dll");
  if (!client.Get()) return false;
  const auto setRestorePoint =
      reinterpret_cast<SetRestorePointFunction>(reinterpret_cast<void*>(GetProcAddress(client.Get(), "SRSetRestorePointW")));
  if (!setRestorePoint) return false;
  RESTOREPOINTINFOW info{};
  info.dwEventType = request.eventType;
  info.dwRestorePtType = request.restorePointType;
  info.llSequenceNumber = 0;
  request.description.copy(info.szDescription, MAX_DESC_W - 1);
  STATEMGRSTATUS status{};
  if (!setRestorePoint(&info, &status)) return false;
  sequenceNumber = status.llSequenceNumber;
  return true;
}

RestorePointSeen FindRestorePoint(int64_t sequenceNumber) {
  ComScope com;
  ComPtr<IWbemLocator> locator;
  if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              locator.PutVoid())))
    return RestorePointSeen::QueryFailed;
  ComPtr<IWbemServices> services;
  Bstr space(L"root\\default");
  if (FAILED(locator->ConnectServer(space, nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.Put())))
    return RestorePointSeen::QueryFailed;
  ComPtr<IEnumWbemClassObject> instances;
  Bstr className(L"SystemRestore");
  if (FAILED(services->CreateInstanceEnum(className, WBEM_FLAG_FORWARD_ONLY, nullptr, instances.Put())))
    return RestorePointSeen::QueryFailed;
  for (;;) {
    ComPtr<IWbemClassObject> instance;
    ULONG returned = 0;
    const HRESULT next = instances->Next(WBEM_INFINITE, 1, instance.Put(), &returned);
    if (FAILED(next)) return RestorePointSeen::QueryFailed;
    if (returned == 0) return RestorePointSeen::NotYet;
    VARIANT value;
    VariantInit(&value);
    int64_t number = 0;
    const bool read = SUCCEEDED(instance->Get(L"SequenceNumber", 0, &value, nullptr, nullptr)) &&
                      VariantNumber(value, number);
    VariantClear(&value);
    if (read && number == sequenceNumber) return RestorePointSeen::Listed;
  }
}

}  // namespace tavrin
