#include <gtest/gtest.h>

#include <QTest>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/cli_commands.h"
#include "cli/drive_argument.h"
#include "gui/fake_main_services.h"
#include "main/fm_main.h"
#include "report/certificate_json.h"
#include "support/fake_clock.h"

namespace vellumar {
namespace {

constexpr std::int64_t kSectors = 70'000;

// What may differ between two runs of the same erase: when each log line was written, how fast
// the bytes went, and whether the files were signed.
nlohmann::json Comparable(const std::string& text) {
  nlohmann::json document = nlohmann::json::parse(text);
  for (auto& line : document["log"]) {
    const std::string entry = line.get<std::string>();
    const auto cut = entry.find("   ");
    std::string kept = cut == std::string::npos ? entry : entry.substr(cut + 3);
    for (const std::string speed : {"Average speed", "Average read speed"}) {
      if (kept.rfind(speed, 0) == 0) {
        kept = speed;
      }
    }
    line = kept;
  }
  document["erase"].erase("average_speed");
  // The signature belongs to the files the command line wrote, not to the record.
  document.erase("signature");
  document.erase("certificate_id");  // new for every certificate
  return document;
}

// Both front ends run the one job: for the same fake run they write the same document,
// the hidden area and the S.M.A.R.T. table included.
TEST(CertificateParity, DesktopAndCommandLineWriteTheSameDocument) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vellumar-parity";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder / "certificates");
  const std::string image = (folder / "disk.img").string();
  std::ofstream(image, std::ios::binary).put('\0');
  std::filesystem::resize_file(image, kSectors * 512);

  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  cli::CliEnvironment env{in, out, err};
  env.ConfigFolder = (folder / "etc").string();
  cli::ResolvedDrive resolved;
  std::string error;
  ASSERT_TRUE(cli::ResolveDrive(image, env, resolved, error)) << error;

  testing::FakeBlockDevice cliDisk{kSectors * 512, 512};
  testing::DiskScript script;
  env.MakeErasureParts = [&](const TDeviceTable&, LogSinks&) {
    return testing::FakeErasureParts(cliDisk, script, testing::TwoAttributeInspection());
  };
  ASSERT_EQ(
      cli::RunCli({"format", image, "--yes", "--verify", "full", "--certificate", (folder / "certificates").string()},
                  env),
      cli::kExitOk)
      << err.str();
  std::string cliJson;
  for (const auto& file : std::filesystem::directory_iterator(folder / "certificates")) {
    if (file.path().extension() == ".json") {
      std::ostringstream whole;
      whole << std::ifstream(file.path()).rdbuf();
      cliJson = whole.str();
    }
  }
  ASSERT_FALSE(cliJson.empty());

  testing::FakeClock clock;
  LogSinks logs{clock, LocaleSettings{}};
  DeviceCatalogue catalogue;
  testing::FakeMainServices services;
  services.Drives = {resolved.Entry};
  desktop::TFmMain window{logs, catalogue, services};
  window.Hooks.ShowChooser = [&catalogue] {
    catalogue.Choose(0);
    return true;
  };
  window.Hooks.Confirm = [](const ConfirmationRequest&) { return kDialogYes; };
  window.Hooks.AskReportPath = [](const QString&) { return QStringLiteral("/tmp/parity.pdf"); };
  ASSERT_TRUE(window.StartUp());
  ASSERT_TRUE(QTest::qWaitFor([&window] { return !window.ReportRunning(); }, 10'000));
  window.cbVerify->setCurrentIndex(2);
  QTest::mouseClick(window.btRunBenchmarks, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&window] { return window.btSaveReport->isEnabled(); }, 10'000));
  QTest::mouseClick(window.btSaveReport, Qt::LeftButton);
  ASSERT_TRUE(services.Saved.has_value());

  const nlohmann::json desktop = Comparable(report::CertificateJson(*services.Saved));
  const nlohmann::json cli = Comparable(cliJson);
  EXPECT_EQ(desktop, cli) << "desktop:\n" << desktop.dump(1) << "\ncommand line:\n" << cli.dump(1);
  EXPECT_EQ(desktop["drive"]["hidden_area"]["status"], "hidden");
  EXPECT_EQ(desktop["smart"].size(), 2U);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vellumar
