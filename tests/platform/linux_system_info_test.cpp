#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "fakes/FakeSystem.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/SambaConfig.h"

namespace vantrel::linux {
namespace {

namespace fs = std::filesystem;

// A scratch directory removed with the test.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "vantrel-sysinfo-XXXXXX").string();
    path_ = mkdtemp(tmpl.data()) ? fs::path(tmpl) : fs::path();
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  fs::path Write(const std::string& name, std::string_view text) const {
    fs::path p = path_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

TEST(SambaConfig, ReadsGlobalParametersAsSambaDoes) {
  SambaConfig c = SambaConfig::Parse(
      "# comment\n"
      "; netbios name = COMMENTED\n"
      "[Global]\n"
      "   NetBIOS  Name =  pc-alice  \r\n"
      "\tworkgroup=lab\n"
      "interfaces = eth0 \\\n"
      "   198.18.0.1/24, lo\n"
      "wins server = \"10.0.0.1\" 10.0.0.2;10.0.0.3\n"
      "include = /etc/samba/other.conf\n"
      "[homes]\n"
      "netbios name = NOT-GLOBAL\n"
      "workgroup = ALSO-NOT\n"
      "[ globals ]\n"
      "server string = x ; not a comment\n");
  EXPECT_EQ(c.NetbiosName(), "pc-alice");
  EXPECT_EQ(c.Workgroup(), "LAB");
  EXPECT_EQ(c.Interfaces(), (std::vector<std::string>{"eth0", "198.18.0.1/24", "lo"}));
  EXPECT_EQ(c.WinsServers(), (std::vector<std::string>{"10.0.0.1", "10.0.0.2", "10.0.0.3"}));
  EXPECT_EQ(c.Global("ServerString"), "x ; not a comment");
  EXPECT_EQ(c.Global("netbiosname"), "pc-alice");
  EXPECT_FALSE(c.Global("include"));
  EXPECT_FALSE(c.Global("path"));
}

TEST(SambaConfig, DefaultsAndOddLines) {
  // Parameters before any section are global; later settings win; lines
  // without "=" and unterminated section headers do not derail the parser.
  SambaConfig c = SambaConfig::Parse(
      "workgroup = first\n"
      "garbage line\n"
      "workgroup = averyveryverylongworkgroup\n"
      "[global\n"
      "netbios name =\n"
      "trailing = a\\");
  EXPECT_EQ(c.Workgroup(), "AVERYVERYVERYLO");
  EXPECT_EQ(c.NetbiosName(), "");
  EXPECT_EQ(c.Global("trailing"), "a\\");

  SambaConfig empty;
  EXPECT_EQ(empty.Workgroup(), "WORKGROUP");
  EXPECT_TRUE(empty.Interfaces().empty());
  EXPECT_EQ(SambaConfig::Load("/nonexistent/smb.conf").Workgroup(), "WORKGROUP");
}

TEST(SambaConfig, LoadsFromFile) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  fs::path conf = dir.Write("smb.conf", "[global]\nnetbios name = fileserver\nworkgroup = Home\n");
  SambaConfig c = SambaConfig::Load(conf.string());
  EXPECT_EQ(c.NetbiosName(), "fileserver");
  EXPECT_EQ(c.Workgroup(), "HOME");
}

TEST(ComputerName, NetbiosNameThenHostNameFirstLabel) {
  EXPECT_EQ(ComputerNameFrom("pc-alice", "ignored.example.org"), "PC-ALICE");
  EXPECT_EQ(ComputerNameFrom("", "build-host.example.org"), "BUILD-HOST");
  EXPECT_EQ(ComputerNameFrom("", "averyveryverylonghostname"), "AVERYVERYVERYLO");
  EXPECT_EQ(ComputerNameFrom("a-netbios-name-too-long", "h"), "A-NETBIOS-NAME-");
  EXPECT_EQ(ComputerNameFrom("", ""), "LOCALHOST");
  EXPECT_EQ(ComputerNameFrom("", ".leading-dot"), "LOCALHOST");
}

TEST(Locale, EnvironmentOrderAndLanguageTable) {
  std::map<std::string, std::string> env{{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", ""}};
  auto lookup = [&env](const char* n) -> std::optional<std::string> {
    auto it = env.find(n);
    if (it == env.end()) return std::nullopt;
    return it->second;
  };
  EXPECT_EQ(LocaleFromEnvironment(lookup), "de_DE.UTF-8");  // empty LC_MESSAGES skipped
  env["LC_MESSAGES"] = "ja_JP.eucJP";
  EXPECT_EQ(LocaleFromEnvironment(lookup), "ja_JP.eucJP");
  env["LC_ALL"] = "zh_CN.GB18030";
  EXPECT_EQ(LocaleFromEnvironment(lookup), "zh_CN.GB18030");
  env.clear();
  EXPECT_EQ(LocaleFromEnvironment(lookup), "C");

  struct Row {
    const char* locale;
    uint16_t id;
    uint32_t codePage;
  } rows[] = {
      {"C", 1033, 1252},
      {"POSIX", 1033, 1252},
      {"C.UTF-8", 1033, 1252},
      {"", 1033, 1252},
      {"en_US.UTF-8", 1033, 1252},
      {"en_GB", 2057, 1252},
      {"en", 1033, 1252},
      {"en_XX", 1033, 1252},
      {"zh_CN.UTF-8", 2052, 936},
      {"zh_TW.Big5", 1028, 950},
      {"zh_HK", 3076, 950},
      {"zh_SG", 4100, 936},
      {"ja_JP.UTF-8", 1041, 932},
      {"ko_KR.eucKR", 1042, 949},
      {"de_DE@euro", 1031, 1252},
      {"de_AT", 3079, 1252},
      {"fr_FR", 1036, 1252},
      {"fr_CA", 3084, 1252},
      {"es_ES", 3082, 1252},
      {"es_MX", 2058, 1252},
      {"it_IT", 1040, 1252},
      {"pt_BR", 1046, 1252},
      {"pt_PT", 2070, 1252},
      {"pl_PL", 1045, 1250},
      {"cs_CZ", 1029, 1250},
      {"hu_HU", 1038, 1250},
      {"ru_RU.KOI8-R", 1049, 1251},
      {"uk_UA", 1058, 1251},
      {"bg_BG", 1026, 1251},
      {"sr_RS", 3098, 1251},
      {"sr_RS@latin", 2074, 1250},
      {"el_GR", 1032, 1253},
      {"tr_TR", 1055, 1254},
      {"he_IL", 1037, 1255},
      {"ar_EG", 3073, 1256},
      {"fa_IR", 1065, 1256},
      {"lt_LT", 1063, 1257},
      {"lv_LV", 1062, 1257},
      {"et_EE", 1061, 1257},
      {"vi_VN", 1066, 1258},
      {"th_TH", 1054, 874},
      {"xx_YY", 1033, 1252},
      {"EN_gb", 2057, 1252},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(LanguageIdFromLocale(r.locale), r.id) << r.locale;
    EXPECT_EQ(AnsiCodePageForLanguage(LanguageIdFromLocale(r.locale)), r.codePage) << r.locale;
  }
}

TEST(LinuxSystemInfo, WiresSourcesTogether) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  fakes::FakeClock clock;
  SystemSources src;
  src.smbConfPath = dir.Write("smb.conf", "[global]\n workgroup = lab\n").string();
  src.hostName = [] { return std::string("alice-laptop.lan"); };
  src.environment = [](const char* n) -> std::optional<std::string> {
    if (std::string_view(n) == "LANG") return "zh_CN.UTF-8";
    return std::nullopt;
  };
  fs::path exe = dir.path() / "exe-link";
  fs::create_symlink("/usr/bin/Vantrel", exe);
  src.selfExeLink = exe.string();

  LinuxSystemInfo sys(src, &clock);
  EXPECT_EQ(sys.ComputerName(), "ALICE-LAPTOP");  // no netbios name in smb.conf
  EXPECT_EQ(sys.Workgroup(), "LAB");
  EXPECT_EQ(sys.PlatformId(), VER_PLATFORM_WIN32_WINDOWS);
  EXPECT_EQ(sys.DefaultLanguageId(), 2052);
  EXPECT_EQ(sys.AnsiCodePage(), 936u);
  EXPECT_EQ(sys.LocalTimeText(), FormatLocalTime(clock.now));
  clock.now += 61;
  EXPECT_EQ(sys.LocalTimeText(), FormatLocalTime(clock.now));
  EXPECT_EQ(sys.ModuleFileName(), "/usr/bin/Vantrel");

  EXPECT_EQ(sys.RunCommand("net  stop  beep"), 33u);
  EXPECT_EQ(sys.RecordedCommands(), std::vector<std::string>{"net  stop  beep"});

  int beeps = 0;
  sys.Beep();  // no handler yet: nothing happens
  sys.SetBeepHandler([&beeps] { ++beeps; });
  sys.Beep();
  EXPECT_EQ(beeps, 1);

  // With a NetBIOS name set, it wins over the host name.
  src.smbConfPath = dir.Write("smb2.conf", "[global]\nnetbios name = pc1\n").string();
  EXPECT_EQ(LinuxSystemInfo(src, &clock).ComputerName(), "PC1");
}

TEST(LinuxSystemInfo, RealSystemGivesPlausibleValues) {
  LinuxSystemInfo sys;
  std::string name = sys.ComputerName();
  EXPECT_FALSE(name.empty());
  EXPECT_LE(name.size(), 15u);
  EXPECT_EQ(sys.LocalTimeText().size(), 19u);
  EXPECT_TRUE(fs::path(sys.ModuleFileName()).is_absolute());
  EXPECT_TRUE(fs::exists(sys.ModuleFileName()));
}

}  // namespace
}  // namespace vantrel::linux
