#include "platform/firewall.h"

#include <windows.h>
#include <netfw.h>
#include <oleauto.h>

#include "platform/com_ptr.h"
#include "platform/windows_version.h"

namespace tavrin {

namespace {

bool CurrentProfile(ComPtr<INetFwProfile>& profile) {
  ComPtr<INetFwMgr> manager;
  ComPtr<INetFwPolicy> policy;
  if (FAILED(CoCreateInstance(__uuidof(NetFwMgr), nullptr, CLSCTX_INPROC_SERVER, __uuidof(INetFwMgr),
                              manager.PutVoid())))
    return false;
  if (FAILED(manager->get_LocalPolicy(policy.Put())) || !policy) return false;
  return SUCCEEDED(policy->get_CurrentProfile(profile.Put())) && profile;
}

bool AddOutboundRule(const std::wstring& executablePath, const std::wstring& ruleName) {
  ComPtr<INetFwPolicy2> policy;
  ComPtr<INetFwRules> rules;
  ComPtr<INetFwRule> rule;
  if (FAILED(CoCreateInstance(__uuidof(NetFwPolicy2), nullptr, CLSCTX_INPROC_SERVER, __uuidof(INetFwPolicy2),
                              policy.PutVoid())))
    return false;
  if (FAILED(policy->get_Rules(rules.Put())) || !rules) return false;
  if (FAILED(CoCreateInstance(__uuidof(NetFwRule), nullptr, CLSCTX_INPROC_SERVER, __uuidof(INetFwRule),
                              rule.PutVoid())))
    return false;
  Bstr name(ruleName.c_str()), application(executablePath.c_str());
  return SUCCEEDED(rule->put_Name(name)) && SUCCEEDED(rule->put_ApplicationName(application)) &&
         SUCCEEDED(rule->put_Protocol(NET_FW_IP_PROTOCOL_TCP)) &&
         SUCCEEDED(rule->put_Direction(NET_FW_RULE_DIR_OUT)) && SUCCEEDED(rule->put_Action(NET_FW_ACTION_ALLOW)) &&
         SUCCEEDED(rule->put_Enabled(VARIANT_TRUE)) && SUCCEEDED(rules->Add(rule.Get()));
}

}  // namespace

bool IsFirewallEnabled() {
  ComPtr<INetFwProfile> profile;
  VARIANT_BOOL enabled = VARIANT_FALSE;
  return CurrentProfile(profile) && SUCCEEDED(profile->get_FirewallEnabled(&enabled)) && enabled != VARIANT_FALSE;
}

bool AuthorizeApplication(const std::wstring& executablePath, const std::wstring& name,
                          const std::wstring& outboundRuleName) {
  ComPtr<INetFwProfile> profile;
  ComPtr<INetFwAuthorizedApplications> applications;
  ComPtr<INetFwAuthorizedApplication> application;
  if (!CurrentProfile(profile)) return false;
  if (FAILED(profile->get_AuthorizedApplications(applications.Put())) || !applications) return false;
  if (FAILED(CoCreateInstance(__uuidof(NetFwAuthorizedApplication), nullptr, CLSCTX_INPROC_SERVER,
                              __uuidof(INetFwAuthorizedApplication), application.PutVoid())))
    return false;
  Bstr imageName(executablePath.c_str()), friendlyName(name.c_str());
  bool added = SUCCEEDED(application->put_ProcessImageFileName(imageName)) &&
               SUCCEEDED(application->put_Name(friendlyName)) && SUCCEEDED(application->put_Scope(NET_FW_SCOPE_ALL)) &&
               SUCCEEDED(application->put_IpVersion(NET_FW_IP_VERSION_ANY)) &&
               SUCCEEDED(application->put_Enabled(VARIANT_TRUE)) && SUCCEEDED(applications->Add(application.Get()));
  if (!added) return false;
  if (WindowsVersion() >= 6.0 && !outboundRuleName.empty()) return AddOutboundRule(executablePath, outboundRuleName);
  return true;
}

}  // namespace tavrin
