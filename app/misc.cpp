#include "app/misc.h"

#include <memory>
#include <new>

#include "app/aboutbox.h"
#include "common/registry.h"
#include "platform/stringtable.h"

namespace {
// Registry lengths beyond this are not believed: a broken file must not
// make us allocate without bound.
constexpr DWORD kMaxRegistryLength = 1u << 20;
constexpr DWORD kMaxServers = 4096;
}  // namespace

BOOL ReadKnownServers(std::vector<CString>* servers, UINT* messageId) {
  servers->clear();
  NT_RegKey key(HKEY_LOCAL_MACHINE, kKnownServersKey, KEY_READ);
  if (!key.IsValid()) {
    *messageId = IDS_BAD_REGISTRY;
    return FALSE;
  }
  DWORD count = 0, maxName = 0, maxData = 0;
  if (!key.GetValueDetails(&count, &maxName, &maxData) || count > kMaxServers || maxName > kMaxRegistryLength ||
      maxData > kMaxRegistryLength) {
    *messageId = IDS_BAD_REGISTRY;
    return FALSE;
  }
  const DWORD nameLength = maxName + 10, dataLength = maxData + 10;
  std::unique_ptr<char[]> name(new (std::nothrow) char[nameLength]);
  std::unique_ptr<char[]> data(new (std::nothrow) char[dataLength]);
  if (!name || !data) {
    *messageId = IDS_NO_MEMORY;
    return FALSE;
  }
  try {
    servers->reserve(count + 1);
  } catch (const std::bad_alloc&) {
    *messageId = IDS_NO_MEMORY;
    return FALSE;
  }
  for (DWORD i = 0; i < count; ++i) {
    name[0] = '\0';
    if (key.GetStringValue(i, name.get(), nameLength, data.get(), dataLength))
      servers->emplace_back(name.get());
    else
      servers->emplace_back("***RegistryError***");
  }
  servers->emplace_back("");
  return TRUE;
}

void DisplayAboutBox(UINT nameId, const void* /*icon*/, CWnd* parent) {
  NT_RegKey key(HKEY_LOCAL_MACHINE, kCurrentVersionKey, KEY_QUERY_VALUE);
  CAboutBox box(parent);
  // The name control is one line high: only the first line shows.
  CString name = LoadStringById(nameId);
  const int newline = name.Find('\n');
  box.m_strAppName = newline >= 0 ? name.Left(newline) : name;
  box.m_strVersion = "***";
  box.m_strCompany = "***";
  box.m_strLicensee = "***";
  if (key.IsValid()) {
    DWORD major = 0, minor = 0;
    if (key.GetValue("Major Version", &major) && key.GetValue("Minor Version", &minor))
      box.m_strVersion.Format("%i.%i", static_cast<int>(major), static_cast<int>(minor));
    char buffer[1024];
    if (key.GetValue("User Name", buffer, sizeof buffer)) box.m_strLicensee = buffer;
    if (key.GetValue("Company Name", buffer, sizeof buffer)) box.m_strCompany = buffer;
  }
  box.DoModal();
}
