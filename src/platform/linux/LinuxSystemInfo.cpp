#include "platform/linux/LinuxSystemInfo.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

#include "platform/linux/SystemClock.h"

namespace vantrel::linux {
namespace {

std::string SystemHostName() {
  char buf[HOST_NAME_MAX + 1] = {};
  if (gethostname(buf, sizeof buf - 1) != 0) return std::string();
  return std::string(buf);
}

std::optional<std::string> SystemEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Language identifiers by language and territory; a row without territory
// is the language's default. Modifiers choose a script where Windows has
// two identifiers.
struct LocaleRow {
  std::string_view language;
  std::string_view territory;  // empty: the language's default
  uint16_t id;
};

constexpr LocaleRow kLocales[] = {
    {"af", "", 1078},    {"ar", "", 1025},    {"ar", "SA", 1025},  {"ar", "IQ", 2049},
    {"ar", "EG", 3073},  {"ar", "LY", 4097},  {"ar", "DZ", 5121},  {"ar", "MA", 6145},
    {"ar", "TN", 7169},  {"ar", "OM", 8193},  {"ar", "YE", 9217},  {"ar", "SY", 10241},
    {"ar", "JO", 11265}, {"ar", "LB", 12289}, {"ar", "KW", 13313}, {"ar", "AE", 14337},
    {"ar", "BH", 15361}, {"ar", "QA", 16385}, {"az", "", 1068},    {"be", "", 1059},
    {"bg", "", 1026},    {"bs", "", 5146},    {"ca", "", 1027},    {"cs", "", 1029},
    {"cy", "", 1106},    {"da", "", 1030},    {"de", "", 1031},    {"de", "CH", 2055},
    {"de", "AT", 3079},  {"de", "LU", 4103},  {"de", "LI", 5127},  {"el", "", 1032},
    {"en", "", 1033},    {"en", "US", 1033},  {"en", "GB", 2057},  {"en", "AU", 3081},
    {"en", "CA", 4105},  {"en", "NZ", 5129},  {"en", "IE", 6153},  {"en", "ZA", 7177},
    {"en", "JM", 8201},  {"en", "BZ", 10249}, {"en", "TT", 11273}, {"en", "ZW", 12297},
    {"en", "PH", 13321}, {"en", "IN", 16393}, {"en", "MY", 17417}, {"en", "SG", 18441},
    {"es", "", 3082},    {"es", "ES", 3082},  {"es", "MX", 2058},  {"es", "GT", 4106},
    {"es", "CR", 5130},  {"es", "PA", 6154},  {"es", "DO", 7178},  {"es", "VE", 8202},
    {"es", "CO", 9226},  {"es", "PE", 10250}, {"es", "AR", 11274}, {"es", "EC", 12298},
    {"es", "CL", 13322}, {"es", "UY", 14346}, {"es", "PY", 15370}, {"es", "BO", 16394},
    {"es", "SV", 17418}, {"es", "HN", 18442}, {"es", "NI", 19466}, {"es", "PR", 20490},
    {"es", "US", 21514}, {"et", "", 1061},    {"eu", "", 1069},    {"fa", "", 1065},
    {"fi", "", 1035},    {"fo", "", 1080},    {"fr", "", 1036},    {"fr", "BE", 2060},
    {"fr", "CA", 3084},  {"fr", "CH", 4108},  {"fr", "LU", 5132},  {"fr", "MC", 6156},
    {"ga", "", 2108},    {"gl", "", 1110},    {"he", "", 1037},    {"hi", "", 1081},
    {"hr", "", 1050},    {"hr", "BA", 4122},  {"hu", "", 1038},    {"hy", "", 1067},
    {"id", "", 1057},    {"is", "", 1039},    {"it", "", 1040},    {"it", "CH", 2064},
    {"ja", "", 1041},    {"kk", "", 1087},    {"ko", "", 1042},    {"lt", "", 1063},
    {"lv", "", 1062},    {"mk", "", 1071},    {"mn", "", 1104},    {"ms", "", 1086},
    {"ms", "BN", 2110},  {"nb", "", 1044},    {"nl", "", 1043},    {"nl", "BE", 2067},
    {"nn", "", 2068},    {"no", "", 1044},    {"pl", "", 1045},    {"pt", "", 1046},
    {"pt", "BR", 1046},  {"pt", "PT", 2070},  {"ro", "", 1048},    {"ru", "", 1049},
    {"sk", "", 1051},    {"sl", "", 1060},    {"sq", "", 1052},    {"sr", "", 3098},
    {"sv", "", 1053},    {"sv", "FI", 2077},  {"sw", "", 1089},    {"th", "", 1054},
    {"tr", "", 1055},    {"tt", "", 1092},    {"uk", "", 1058},    {"ur", "", 1056},
    {"uz", "", 1091},    {"vi", "", 1066},    {"zh", "", 2052},    {"zh", "CN", 2052},
    {"zh", "TW", 1028},  {"zh", "HK", 3076},  {"zh", "SG", 4100},  {"zh", "MO", 5124},
};

}  // namespace

std::string ComputerNameFrom(std::string_view netbiosName, std::string_view hostName) {
  std::string name = NetbiosNameForm(netbiosName);
  if (name.empty()) name = NetbiosNameForm(hostName.substr(0, hostName.find('.')));
  if (name.empty()) name = "LOCALHOST";
  return name;
}

uint32_t PlatformIdFor(const SambaConfig& samba) {
  return RunsCaptureHelper(samba.MessageCommand()) ? VER_PLATFORM_WIN32_NT
                                                   : VER_PLATFORM_WIN32_WINDOWS;
}

std::string LocaleFromEnvironment(
    const std::function<std::optional<std::string>(const char*)>& environment) {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    std::optional<std::string> value = environment(var);
    if (value && !value->empty()) return *value;
  }
  return "C";
}

uint16_t LanguageIdFromLocale(std::string_view locale) {
  // language[_territory][.codeset][@modifier]
  std::string_view modifier;
  if (size_t at = locale.find('@'); at != std::string_view::npos) {
    modifier = locale.substr(at + 1);
    locale = locale.substr(0, at);
  }
  locale = locale.substr(0, locale.find('.'));
  size_t bar = locale.find('_');
  std::string language, territory;
  for (char c : locale.substr(0, bar)) language += Lower(c);
  if (bar != std::string_view::npos)
    for (char c : locale.substr(bar + 1)) territory += Upper(c);

  // Scripts that Windows numbers apart.
  if (language == "sr" && modifier == "latin") return 2074;
  if (language == "uz" && modifier == "cyrillic") return 2115;

  const LocaleRow* fallback = nullptr;
  for (const LocaleRow& row : kLocales) {
    if (row.language != language) continue;
    if (row.territory == territory) return row.id;
    if (row.territory.empty()) fallback = &row;
  }
  return fallback ? fallback->id : 1033;
}

uint32_t AnsiCodePageForLanguage(uint16_t languageId) {
  unsigned primary = languageId & 0x3FFu;
  unsigned sub = static_cast<unsigned>(languageId) >> 10;
  switch (primary) {
    case 0x04:  // Chinese: Taiwan, Hong Kong, Macao traditional; PRC, Singapore simplified
      return sub == 2 || sub == 4 ? 936 : 950;
    case 0x11:
      return 932;  // Japanese
    case 0x12:
      return 949;  // Korean
    case 0x1E:
      return 874;  // Thai
    case 0x05:     // Czech
    case 0x0E:     // Hungarian
    case 0x15:     // Polish
    case 0x18:     // Romanian
    case 0x1B:     // Slovak
    case 0x1C:     // Albanian
    case 0x24:     // Slovenian
      return 1250;
    case 0x1A:  // Croatian, Serbian, Bosnian: Latin 1250, Cyrillic 1251
      return sub == 3 || sub == 7 || sub == 8 ? 1251 : 1250;
    case 0x02:  // Bulgarian
    case 0x19:  // Russian
    case 0x22:  // Ukrainian
    case 0x23:  // Belarusian
    case 0x2F:  // Macedonian
    case 0x3F:  // Kazakh
    case 0x44:  // Tatar
    case 0x50:  // Mongolian
      return 1251;
    case 0x2C:  // Azeri: Latin 1254, Cyrillic 1251
    case 0x43:  // Uzbek: Latin 1254, Cyrillic 1251
      return sub == 2 ? 1251 : 1254;
    case 0x08:
      return 1253;  // Greek
    case 0x1F:
      return 1254;  // Turkish
    case 0x0D:
      return 1255;  // Hebrew
    case 0x01:      // Arabic
    case 0x20:      // Urdu
    case 0x29:      // Farsi
      return 1256;
    case 0x25:  // Estonian
    case 0x26:  // Latvian
    case 0x27:  // Lithuanian
      return 1257;
    case 0x2A:
      return 1258;  // Vietnamese
    default:
      return 1252;
  }
}

LinuxSystemInfo::LinuxSystemInfo(SystemSources sources, IClock* clock)
    : sources_(std::move(sources)), clock_(clock) {
  if (!clock_) {
    ownClock_ = std::make_unique<SystemClock>();
    clock_ = ownClock_.get();
  }
  if (!sources_.hostName) sources_.hostName = SystemHostName;
  if (!sources_.environment) sources_.environment = SystemEnvironment;
  samba_ = SambaConfig::Load(sources_.smbConfPath);
  hostName_ = sources_.hostName();
  computerName_ = ComputerNameFrom(samba_.NetbiosName(), hostName_);
  locale_ = LocaleFromEnvironment(sources_.environment);
  languageId_ = LanguageIdFromLocale(locale_);
  codePage_ = AnsiCodePageForLanguage(languageId_);
}

LinuxSystemInfo::~LinuxSystemInfo() = default;

std::string LinuxSystemInfo::ComputerName() { return computerName_; }

std::string LinuxSystemInfo::ServerComment() const {
  std::optional<std::string> text = samba_.ServerString();
  return text ? ExpandServerString(*text, hostName_, computerName_) : std::string();
}

uint32_t LinuxSystemInfo::PlatformId() { return PlatformIdFor(samba_); }

uint16_t LinuxSystemInfo::DefaultLanguageId() { return languageId_; }

uint32_t LinuxSystemInfo::AnsiCodePage() { return codePage_; }

std::string LinuxSystemInfo::LocalTimeText() { return FormatLocalTime(clock_->Now()); }

std::string LinuxSystemInfo::ModuleFileName() {
  std::error_code ec;
  std::filesystem::path target = std::filesystem::read_symlink(sources_.selfExeLink, ec);
  if (ec) return std::string();
  return target.string();
}

uint32_t LinuxSystemInfo::RunCommand(std::string_view commandLine) {
  std::lock_guard lock(mutex_);
  commands_.emplace_back(commandLine);
  return 33;
}

void LinuxSystemInfo::Beep() {
  std::function<void()> beep;
  {
    std::lock_guard lock(mutex_);
    beep = beep_;
  }
  if (beep) beep();
}

void LinuxSystemInfo::SetBeepHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  beep_ = std::move(handler);
}

std::vector<std::string> LinuxSystemInfo::RecordedCommands() const {
  std::lock_guard lock(mutex_);
  return commands_;
}

}  // namespace vantrel::linux
