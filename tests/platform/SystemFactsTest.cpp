// The Linux machine facts: their text parsers and the real machine.
#include "platform/SystemFacts.h"

#include <gtest/gtest.h>

namespace {

TEST(ParseOsReleasePrettyName, QuotedEscapedOrAbsent) {
  const std::pair<const char*, const char*> cases[] = {
      {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n", "Debian GNU/Linux 12 (bookworm)"},
      {"PRETTY_NAME='Fedora Linux 40'\n", "Fedora Linux 40"},
      {"PRETTY_NAME=Alpine\n", "Alpine"},
      {"PRETTY_NAME=\"say \\\"hi\\\" \\$HOME\"\n", "say \"hi\" $HOME"},
      {"# PRETTY_NAME=\"commented\"\nNAME=x\n", "Linux"},
      {"", "Linux"},
  };
  for (const auto& [text, name] : cases) EXPECT_EQ(platform::ParseOsReleasePrettyName(text), name) << text;
}

TEST(UnescapeMountField, OctalEscapesOfTheMountTable) {
  EXPECT_EQ(platform::UnescapeMountField("/media/My\\040Disk"), "/media/My Disk");
  EXPECT_EQ(platform::UnescapeMountField("/a\\011b\\012c\\134d"), "/a\tb\nc\\d");
  EXPECT_EQ(platform::UnescapeMountField("/plain\\"), "/plain\\");
  EXPECT_EQ(platform::UnescapeMountField("/short\\04"), "/short\\04");
}

TEST(ParseDefaultRouteInterface, UpRouteToEverywhere) {
  const std::string table =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
      "docker0\t000011AC\t00000000\t0001\t0\t0\t0\t0000FFFF\t0\t0\t0\n"
      "wlan0\t00000000\t0100A8C0\t0002\t0\t0\t600\t00000000\t0\t0\t0\n"  // not up
      "eth0\t00000000\t0102A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
  EXPECT_EQ(platform::ParseDefaultRouteInterface(table), "eth0");
  EXPECT_EQ(platform::ParseDefaultRouteInterface(table.substr(0, table.find("wlan0"))), "");
}

TEST(BusTypeFromSysfsPath, UsbWinsOverTheBridge) {
  const std::pair<const char*, int> cases[] = {
      {"/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb/sdb1", 7},
      {"/sys/devices/pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1/nvme0n1p2", 17},
      {"/sys/devices/pci0000:00/0000:00:17.0/ata3/host2/target2:0:0/2:0:0:0/block/sda/sda1", 11},
      {"/sys/devices/virtual/block/dm-0", 0},
      {"", 0},
  };
  for (const auto& [path, bus] : cases) EXPECT_EQ(platform::BusTypeFromSysfsPath(path), bus) << path;
}

TEST(LinuxSystemFacts, DescribesThisMachine) {
  platform::ISystemFacts& facts = platform::LinuxSystemFacts();
  EXPECT_FALSE(facts.Machine().empty());
  EXPECT_FALSE(facts.OsPrettyName().empty());
  bool rootListed = false;
  for (const auto& drive : facts.Drives()) {
    EXPECT_EQ(drive.root.front(), '/') << drive.root;
    rootListed = rootListed || drive.root == "/";
  }
  EXPECT_TRUE(rootListed);
  EXPECT_EQ(&platform::SystemFacts(), &facts);
}

}  // namespace
