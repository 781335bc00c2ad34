#include <gtest/gtest.h>
#include <linux/nvme_ioctl.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ata_test_support.h"
#include "devices/nvme/nvme_decoder.h"
#include "devices/reports/nvme_report.h"
#include "devices/reports/report_json.h"
#include "platform/linux/nvme/linux_nvme_admin.h"

namespace vellumar {
namespace {

std::string NvmeDataPath(const std::string& name) { return std::string(VELLUMAR_TEST_DATA) + "/nvme/" + name; }

template <std::size_t N>
std::array<std::uint8_t, N> LoadPage(const std::string& name) {
  std::ifstream file(NvmeDataPath(name), std::ios::binary);
  std::array<std::uint8_t, N> page{};
  file.read(reinterpret_cast<char*>(page.data()), static_cast<std::streamsize>(page.size()));
  EXPECT_EQ(file.gcount(), static_cast<std::streamsize>(N)) << name;
  return page;
}

// The value after "Label:" in the reference tool's output for the same drive.
std::string ReferenceField(const std::string& label) {
  std::ifstream file(NvmeDataPath("qemu-nvme.smartctl-a.txt"));
  for (std::string line; std::getline(file, line);) {
    if (line.rfind(label + ":", 0) == 0) {
      const std::size_t value = line.find_first_not_of(' ', label.size() + 1);
      return value == std::string::npos ? "" : line.substr(value);
    }
  }
  ADD_FAILURE() << "no field " << label;
  return {};
}

std::string Digits(const std::string& text) {
  std::string digits;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digits += c;
    } else if (c != ',') {
      break;
    }
  }
  return digits;
}

struct Captured {
  NvmeController Controller = DecodeNvmeController(LoadPage<kNvmeIdentifyBytes>("qemu-nvme-identify-controller.bin"));
  NvmeNamespace Namespace = DecodeNvmeNamespace(LoadPage<kNvmeIdentifyBytes>("qemu-nvme-identify-namespace.bin"));
  NvmeHealth Health = DecodeNvmeHealth(LoadPage<kNvmeHealthLogBytes>("qemu-nvme-smart-log.bin"));
};

TEST(NvmeDecoders, CapturedPagesMatchTheReferenceTool) {
  const Captured c;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {c.Controller.Model, ReferenceField("Model Number")},
      {c.Controller.Serial, ReferenceField("Serial Number")},
      {c.Controller.Firmware, ReferenceField("Firmware Version")},
      {NvmeVersionText(c.Controller.Version), ReferenceField("NVMe Version")},
      {std::to_string(c.Controller.NamespaceCount), ReferenceField("Number of Namespaces")},
      {std::to_string(*c.Namespace.CapacityBytes()), Digits(ReferenceField("Namespace 1 Size/Capacity"))},
      {std::to_string(c.Namespace.Active()->DataBytes), ReferenceField("Namespace 1 Formatted LBA Size")},
      {std::to_string(KelvinToCelsius(c.Controller.WarningTemperatureKelvin)) + " Celsius",
       ReferenceField("Warning  Comp. Temp. Threshold")},
      {std::to_string(KelvinToCelsius(c.Controller.CriticalTemperatureKelvin)) + " Celsius",
       ReferenceField("Critical Comp. Temp. Threshold")},
      {std::to_string(KelvinToCelsius(c.Health.TemperatureKelvin)) + " Celsius", ReferenceField("Temperature")},
      {std::to_string(c.Health.AvailableSpare) + "%", ReferenceField("Available Spare")},
      {std::to_string(c.Health.PercentageUsed) + "%", ReferenceField("Percentage Used")},
      {c.Health.DataUnitsRead.Decimal(), Digits(ReferenceField("Data Units Read"))},
      {c.Health.HostReads.Decimal(), ReferenceField("Host Read Commands")},
      {c.Health.PowerOnHours.Decimal(), ReferenceField("Power On Hours")},
      {c.Health.UnsafeShutdowns.Decimal(), ReferenceField("Unsafe Shutdowns")},
      {c.Health.MediaErrors.Decimal(), ReferenceField("Media and Data Integrity Errors")},
  };
  for (const auto& [decoded, reference] : cases) {
    EXPECT_EQ(decoded, reference);
  }
  // The tool lists eight formats: 512 and 4096 bytes, each with 0, 8, 16 and 64 bytes of metadata.
  ASSERT_EQ(c.Namespace.Formats.size(), 8U);
  EXPECT_EQ(c.Namespace.Formats[7].DataBytes, 4096U);
  EXPECT_EQ(c.Namespace.Formats[7].MetadataBytes, 64U);
  EXPECT_TRUE(c.Controller.FormatNvm && c.Controller.NamespaceManagement && c.Controller.WriteZeroes);
  EXPECT_FALSE(c.Controller.SecuritySendReceive || c.Controller.DeviceSelfTest);
}

TEST(NvmeDecoders, HostileFieldsStayInBounds) {
  std::array<std::uint8_t, kNvmeIdentifyBytes> ns{};
  ns[nvme_layout::kNsSize] = 0xFF;         // 255 blocks
  ns[nvme_layout::kNsFormatCount] = 0xFF;  // claims 256 formats; the page holds 16
  ns[nvme_layout::kNsFormattedLbaSize] = 0x0F;
  for (std::size_t i = 0; i < 16; ++i) {
    ns[nvme_layout::kNsLbaFormats + 4 * i + 2] = static_cast<std::uint8_t>(i == 15 ? 200 : 12);
  }
  const NvmeNamespace decoded = DecodeNvmeNamespace(ns);
  EXPECT_EQ(decoded.Formats.size(), 16U);
  EXPECT_EQ(decoded.Active()->DataBytes, 0U);  // exponent 200: not usable, no shift past 64 bits
  EXPECT_FALSE(decoded.CapacityBytes().has_value());

  std::array<std::uint8_t, kNvmeIdentifyBytes> controller{};
  std::memcpy(controller.data() + nvme_layout::kCtrlModel, "Evil\x1b[2J\n", 10);
  EXPECT_EQ(DecodeNvmeController(controller).Model, "Evil?[2J");

  std::array<std::uint8_t, kNvmeHealthLogBytes> log{};
  log[nvme_layout::kLogDataUnitsRead + 8] = 1;  // 2^64 units
  const NvmeHealth health = DecodeNvmeHealth(log);
  EXPECT_EQ(health.DataUnitsRead.Decimal(), "18446744073709551616");
  EXPECT_FALSE(NvmeDataUnitBytes(health.DataUnitsRead).has_value());
}

TEST(NvmeReport, VerdictNamesEveryWarning) {
  const std::vector<std::pair<std::uint8_t, std::string>> cases = {
      {0x00, "Overall health: PASSED"},
      {0x01, "Overall health: FAILING (spare below threshold)"},
      {0x0C, "Overall health: FAILING (reliability degraded, read-only)"},
      {0x1F,
       "Overall health: FAILING (spare below threshold, temperature, reliability degraded, read-only, volatile "
       "backup failed)"},
  };
  for (const auto& [warning, line] : cases) {
    EXPECT_EQ(NvmeVerdictLine(warning), line);
  }
}

// Plays the controller: answers by opcode, with the captured pages unless told otherwise.
class FakeNvme final : public NvmeAdminChannel {
 public:
  std::optional<std::uint32_t> NamespaceId() override { return Namespace; }
  NvmeAdminResult Execute(const NvmeAdminCommand& command, std::span<std::uint8_t> data) override {
    Commands.push_back(command);
    NvmeAdminResult result{NvmeAdminOutcome::Completed, 0, WriteCacheDword, data.size()};
    if (!Answers.empty()) {
      result = Answers.front();
      Answers.pop_front();
    }
    if (result.Outcome == NvmeAdminOutcome::Completed) {
      const auto& page = command.Opcode == kNvmeAdminGetLogPage ? std::span<const std::uint8_t>(Health)
                         : command.Cdw10 == kNvmeCnsController  ? std::span<const std::uint8_t>(Controller)
                                                                : std::span<const std::uint8_t>(NamespacePage);
      std::copy_n(page.begin(), std::min(data.size(), page.size()), data.begin());
    }
    return result;
  }

  std::optional<std::uint32_t> Namespace = 1;
  std::deque<NvmeAdminResult> Answers;
  std::uint32_t WriteCacheDword = 1;
  std::array<std::uint8_t, kNvmeIdentifyBytes> Controller =
      LoadPage<kNvmeIdentifyBytes>("qemu-nvme-identify-controller.bin");
  std::array<std::uint8_t, kNvmeIdentifyBytes> NamespacePage =
      LoadPage<kNvmeIdentifyBytes>("qemu-nvme-identify-namespace.bin");
  std::array<std::uint8_t, kNvmeHealthLogBytes> Health = LoadPage<kNvmeHealthLogBytes>("qemu-nvme-smart-log.bin");
  std::vector<NvmeAdminCommand> Commands;
};

TEST(NvmeReport, DetailsPageOnAGoodControllerAndASeveralFormatNamespace) {
  FakeNvme nvme;
  nvme.NamespacePage[nvme_layout::kNsFormattedLbaSize] = 4;  // the 4096-byte format is active
  atatest::CapturedLogs logs;
  ASSERT_TRUE(RunNvmeDetailsReport("caption", nvme, logs.Logs));
  const std::vector<NvmeAdminCommand> expected = {
      {kNvmeAdminIdentify, 0, 1, 0}, {kNvmeAdminIdentify, 1, 0, 0}, {kNvmeAdminGetFeatures, 0, 6, 0}};
  EXPECT_EQ(nvme.Commands, expected);
  const auto has = [&](const std::string& line) {
    return std::find(logs.Details.begin(), logs.Details.end(), line) != logs.Details.end();
  };
  EXPECT_EQ(logs.Details[3], "Device details for caption");
  for (const char* line : {"Model: QEMU NVMe Ctrl", "Transport: NVMe", "NVMe version: 1.4",
                           "Active LBA format: 4 (data size 4096 bytes, metadata size 0 bytes)",
                           "Other LBA format: 0 (data size 512 bytes, metadata size 0 bytes)",
                           "Full device capacity: 536,870,912 bytes", "Volatile write cache is enabled",
                           "Sanitize is not supported", "Warning temperature threshold: 70 degrees Celsius"}) {
    EXPECT_TRUE(has(line)) << line;
  }
  EXPECT_EQ(std::count_if(logs.Details.begin(), logs.Details.end(),
                          [](const std::string& l) { return l.rfind("Other LBA format: ", 0) == 0; }),
            7);
}

TEST(NvmeReport, ControllerThatCannotAnswer) {
  struct Case {
    const char* Name;
    std::optional<std::uint32_t> Namespace;
    NvmeAdminResult Answer;
    const char* Reason;
  };
  const std::vector<Case> cases = {
      {"aborted",
       1,
       {NvmeAdminOutcome::Aborted, 0x4002, 0, 0},
       "the controller refused Identify Controller (status 0x4002)"},
      {"short", 1, {NvmeAdminOutcome::Completed, 0, 0, 100}, "Identify Controller came back short (100 of 4096 bytes)"},
      {"bridge", std::nullopt, {}, "the device is not an NVMe namespace"},
  };
  for (const Case& c : cases) {
    FakeNvme nvme;
    nvme.Namespace = c.Namespace;
    nvme.Answers = {c.Answer};
    atatest::CapturedLogs logs;
    EXPECT_FALSE(RunNvmeDetailsReport("caption", nvme, logs.Logs)) << c.Name;
    EXPECT_EQ(logs.Details.back(), "Details are unavailable for this device.") << c.Name;
    nvme.Answers = {c.Answer};
    const Json doc = CollectNvmeDetailsJson(TDeviceTable{}, nvme);
    EXPECT_EQ(doc["available"], false) << c.Name;
    EXPECT_EQ(doc["reason"], c.Reason) << c.Name;
    nvme.Answers = {c.Answer};
    EXPECT_FALSE(RunNvmeSmartReport("caption", nvme, logs.Logs)) << c.Name;
    EXPECT_EQ(logs.Smart.back(), "SMART is not supported by this device.") << c.Name;
  }
  // A refused Get Features leaves only the cache's state unknown.
  FakeNvme nvme;
  nvme.Answers = {{}, {}, {NvmeAdminOutcome::Aborted, 0x0002, 0, 0}};
  nvme.Answers[0] = nvme.Answers[1] = {NvmeAdminOutcome::Completed, 0, 0, kNvmeIdentifyBytes};
  atatest::CapturedLogs logs;
  EXPECT_TRUE(RunNvmeDetailsReport("caption", nvme, logs.Logs));
  EXPECT_NE(std::find(logs.Details.begin(), logs.Details.end(), "Volatile write cache state is unknown"),
            logs.Details.end());
}

TEST(NvmeReport, SmartPageOfTheCapturedLog) {
  FakeNvme nvme;
  nvme.Health[0] = 0x04;
  atatest::CapturedLogs logs;
  ASSERT_TRUE(RunNvmeSmartReport("caption", nvme, logs.Logs));
  ASSERT_EQ(nvme.Commands.size(), 1U);
  EXPECT_EQ(nvme.Commands[0], (NvmeAdminCommand{kNvmeAdminGetLogPage, 0xFFFFFFFFU, 0x007F0002U, 0}));
  const std::vector<std::string> body(logs.Smart.begin() + 5, logs.Smart.end());
  const std::vector<std::string> expected = {"Critical warning: 0x04 (reliability degraded)",
                                             "Composite temperature: 50 degrees Celsius",
                                             "Available spare: 0%",
                                             "Available spare threshold: 0%",
                                             "Percentage used: 0%",
                                             "Data units read: 1 (512,000 bytes)",
                                             "Data units written: 0 (0 bytes)",
                                             "Host read commands: 4",
                                             "Host write commands: 0",
                                             "Controller busy time: 0 minutes",
                                             "Power cycles: 0",
                                             "Power-on hours: 0",
                                             "Unsafe shutdowns: 0",
                                             "Media and data integrity errors: 0",
                                             "Error log entries: 0",
                                             " ",
                                             "Overall health: FAILING (reliability degraded)",
                                             " "};
  EXPECT_EQ(body, expected);
}

TEST(LinuxNvmeAdmin, MapsTheKernelsAnswers) {
  struct Case {
    int Return;
    NvmeAdminOutcome Outcome;
    std::uint16_t Status;
  };
  for (const Case& c : std::vector<Case>{{0, NvmeAdminOutcome::Completed, 0},
                                         {0x4002, NvmeAdminOutcome::Aborted, 0x4002},
                                         {-1, NvmeAdminOutcome::Refused, 0}}) {
    nvme_admin_cmd seen{};
    platform::LinuxNvmeAdminChannel channel(7, [&](int fd, unsigned long request, void* argument) {
      EXPECT_EQ(fd, 7);
      if (request == NVME_IOCTL_ID) {
        errno = ENOTTY;
        return -1;
      }
      EXPECT_EQ(request, NVME_IOCTL_ADMIN_CMD);
      auto* cmd = static_cast<nvme_admin_cmd*>(argument);
      seen = *cmd;
      std::memset(reinterpret_cast<void*>(static_cast<std::uintptr_t>(cmd->addr)), 0xAB, cmd->data_len);
      cmd->result = 0x11;
      return c.Return;
    });
    EXPECT_FALSE(channel.NamespaceId().has_value());
    std::array<std::uint8_t, kNvmeHealthLogBytes> page{};
    const NvmeAdminResult result = channel.Execute(HealthLogCommand(), page);
    EXPECT_EQ(result.Outcome, c.Outcome);
    EXPECT_EQ(result.Status, c.Status);
    EXPECT_EQ(seen.opcode, kNvmeAdminGetLogPage);
    EXPECT_EQ(seen.nsid, 0xFFFFFFFFU);
    EXPECT_EQ(seen.data_len, kNvmeHealthLogBytes);
    // The caller's page changes only when the command completed.
    EXPECT_EQ(page[0], c.Outcome == NvmeAdminOutcome::Completed ? 0xAB : 0x00);
    EXPECT_EQ(result.Dword0, c.Outcome == NvmeAdminOutcome::Completed ? 0x11U : 0U);
  }
}

}  // namespace
}  // namespace vellumar
