#include "directory/linux/SmbBrowser.h"

#include <libsmbclient.h>

#include <cstring>

namespace vantrel::linux {
namespace {

// What one listing keeps: a master browser may send any amount.
constexpr size_t kMaxEntries = 4096;
constexpr size_t kMaxText = 255;

void DropLog(void*, int, const char*) {}

// No credentials: an empty user and password make libsmbclient log in
// anonymously.
void Anonymous(SMBCCTX*, const char*, const char*, char* workgroup, int workgroupLen, char* user,
               int userLen, char* password, int passwordLen) {
  (void)workgroup;
  (void)workgroupLen;
  if (userLen > 0) user[0] = '\0';
  if (passwordLen > 0) password[0] = '\0';
}

std::string Bounded(const char* text) {
  if (!text) return {};
  return std::string(text, strnlen(text, kMaxText));
}

}  // namespace

struct LibSmbBrowser::Context {
  SMBCCTX* ctx = nullptr;
};

std::string WorkgroupUrl(std::string_view workgroup) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "smb://";
  for (char ch : workgroup) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      url += ch;
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 0x0F];
    }
  }
  url += '/';
  return url;
}

LibSmbBrowser::LibSmbBrowser(int timeoutMs) : context_(std::make_unique<Context>()) {
  SMBCCTX* ctx = smbc_new_context();
  if (!ctx) return;
  smbc_setDebug(ctx, 0);
  smbc_setLogCallback(ctx, nullptr, DropLog);
  smbc_setFunctionAuthDataWithContext(ctx, Anonymous);
  smbc_setUser(ctx, "");
  smbc_setOptionNoAutoAnonymousLogin(ctx, false);
  smbc_setOptionUseKerberos(ctx, false);
  smbc_setOptionFallbackAfterKerberos(ctx, true);
  smbc_setOptionUseCCache(ctx, false);
  smbc_setOptionUrlEncodeReaddirEntries(ctx, false);
  smbc_setTimeout(ctx, timeoutMs);
  if (!smbc_init_context(ctx)) {
    smbc_free_context(ctx, 1);
    return;
  }
  // Browse lists exist on SMB1 only; libsmbclient skips a master browser
  // that negotiated anything newer.
  smbc_setOptionProtocols(ctx, "NT1", "NT1");
  context_->ctx = ctx;
}

LibSmbBrowser::~LibSmbBrowser() {
  if (context_->ctx) smbc_free_context(context_->ctx, 1);
}

std::optional<std::vector<SmbEntry>> LibSmbBrowser::List(const std::string& url,
                                                         unsigned int type) {
  SMBCCTX* ctx = context_->ctx;
  if (!ctx) return std::nullopt;
  SMBCFILE* dir = smbc_getFunctionOpendir(ctx)(ctx, url.c_str());
  if (!dir) return std::nullopt;
  std::vector<SmbEntry> entries;
  while (const smbc_dirent* entry = smbc_getFunctionReaddir(ctx)(ctx, dir)) {
    if (entry->smbc_type != type || entries.size() >= kMaxEntries) continue;
    SmbEntry e{Bounded(entry->name), Bounded(entry->comment)};
    if (!e.name.empty()) entries.push_back(std::move(e));
  }
  smbc_getFunctionClosedir(ctx)(ctx, dir);
  return entries;
}

std::optional<std::vector<SmbEntry>> LibSmbBrowser::ListWorkgroups() {
  return List("smb://", SMBC_WORKGROUP);
}

std::optional<std::vector<SmbEntry>> LibSmbBrowser::ListServers(std::string_view workgroup) {
  if (workgroup.empty()) return std::nullopt;
  return List(WorkgroupUrl(workgroup), SMBC_SERVER);
}

}  // namespace vantrel::linux
