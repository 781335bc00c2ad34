#include "devices/user/agreement.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <sstream>

#include "cli/cli_agreement.h"
#include "platform/linux/host/user_files.h"
#include "windows/fm_license_agreement.h"

namespace vellumar {
namespace {

class AgreementTest : public ::testing::Test {
 protected:
  std::string Marker() const { return AgreementMarkerPath(folder.path().toStdString()); }

  void WriteMarker(const QByteArray& content, const std::string& path) {
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
  }

  QByteArray ReadMarker() {
    QFile file(QString::fromStdString(Marker()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<absent>");
  }

  // Shows the agreement and presses `button` once it is on the screen.
  bool RunPressing(windows::TfmLicenseAgreement& window, QPushButton* button) {
    QTimer::singleShot(0, button, [button] { QTest::mouseClick(button, Qt::LeftButton); });
    return window.RunFirstRunAgreement();
  }

  QTemporaryDir folder;
  platform::UserFiles files;
};

TEST_F(AgreementTest, MarkerIsTheVersionedFileInTheDataFolder) {
  EXPECT_EQ(AgreementMarkerPath("/home/u/.local/share"), "/home/u/.local/share/blanker.4.50.agreement");
  EXPECT_EQ(AgreementMarkerPath(""), "");
}

TEST_F(AgreementTest, OnlyTheSingleByteOneCounts) {
  EXPECT_FALSE(AgreementRecorded(Marker(), files));
  for (const QByteArray& content : {QByteArray("1\n"), QByteArray("1 "), QByteArray("0"), QByteArray("")}) {
    WriteMarker(content, Marker());
    EXPECT_FALSE(AgreementRecorded(Marker(), files)) << content.toStdString();
  }
  WriteMarker("1", Marker());
  EXPECT_TRUE(AgreementRecorded(Marker(), files));
  // Another version's marker does not count for this one.
  QFile::remove(QString::fromStdString(Marker()));
  WriteMarker("1", folder.path().toStdString() + "/blanker.4.49.agreement");
  EXPECT_FALSE(AgreementRecorded(Marker(), files));
}

TEST_F(AgreementTest, AgreeingWritesTheMarkerAndIsNotAskedAgain) {
  windows::TfmLicenseAgreement first(Marker(), files);
  EXPECT_GE(first.Memo1->document()->blockCount(), 60);
  EXPECT_TRUE(RunPressing(first, first.Button1));
  EXPECT_TRUE(first.Agreed());
  EXPECT_EQ(ReadMarker(), "1");

  windows::TfmLicenseAgreement second(Marker(), files);
  EXPECT_TRUE(second.AlreadyAgreed());
  EXPECT_TRUE(second.RunFirstRunAgreement());
  EXPECT_FALSE(second.isVisible());
}

TEST_F(AgreementTest, DecliningOrClosingWritesNothingAndEnds) {
  windows::TfmLicenseAgreement declined(Marker(), files);
  EXPECT_FALSE(RunPressing(declined, declined.Button2));
  EXPECT_EQ(ReadMarker(), "<absent>");

  windows::TfmLicenseAgreement closed(Marker(), files);
  QTimer::singleShot(0, &closed, [&closed] { closed.close(); });
  EXPECT_FALSE(closed.RunFirstRunAgreement());
  EXPECT_EQ(ReadMarker(), "<absent>");
}

// The command line asks once on a terminal, and elsewhere takes only --agree.
TEST_F(AgreementTest, TheCommandLineAsksOnceOrTakesAgree) {
  std::ostringstream out;
  std::ostringstream err;
  const auto ask = [&](const char* answer, bool terminal, std::vector<std::string>& args) {
    std::istringstream in(answer);
    cli::CliEnvironment env{in, out, err};
    env.InIsTerminal = terminal;
    return cli::EnsureAgreement(args, env, Marker(), files);
  };
  std::vector<std::string> args{"/dev/sdz", "--quick"};
  EXPECT_FALSE(ask("", false, args));
  EXPECT_NE(err.str().find("--agree"), std::string::npos);
  EXPECT_FALSE(ask("no\n", true, args));
  EXPECT_NE(err.str().find("최종 사용자 사용권 계약"), std::string::npos);
  EXPECT_EQ(ReadMarker(), "<absent>");
  EXPECT_TRUE(ask("yes\n", true, args));
  EXPECT_EQ(ReadMarker(), "1");
  EXPECT_TRUE(ask("", true, args)) << "once recorded, nothing is asked";

  QFile::remove(QString::fromStdString(Marker()));
  args = {"--agree", "/dev/sdz", "--quick"};
  EXPECT_TRUE(ask("", false, args));
  EXPECT_EQ(args, (std::vector<std::string>{"/dev/sdz", "--quick"}));
  EXPECT_EQ(ReadMarker(), "1");
}

}  // namespace
}  // namespace vellumar
