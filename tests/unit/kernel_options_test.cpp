#include "devices/unattended/kernel_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellumar {
namespace kernel_options_test {

using Strings = std::vector<std::string>;

TEST(KernelOptions, ReadsTheThreeOptionsAmongTheKernelsOwn) {
  const KernelOptions options = ParseKernelOptions(
      "BOOT_IMAGE=/live/vmlinuz boot=live quiet vellumar.erase=WD-123,S3Z9NB0K 'x' vellumar.verify=full "
      "vellumar.certificates=CERTS_01\n");
  EXPECT_TRUE(options.Errors.empty());
  EXPECT_TRUE(options.EraseRequested);
  EXPECT_EQ(options.Serials, (Strings{"WD-123", "S3Z9NB0K"}));
  EXPECT_EQ(options.Verify, VerifyMethod::Full);
  EXPECT_EQ(options.CertificateLabel, "CERTS_01");

  // The default check is a sample; quotes hold a serial with blanks; a serial named twice counts once.
  const KernelOptions quoted = ParseKernelOptions("quiet \"vellumar.erase=WD 123 , AB\"");
  EXPECT_EQ(quoted.Serials, (Strings{"WD 123", "AB"}));
  EXPECT_EQ(quoted.Verify, VerifyMethod::Sample);
  EXPECT_EQ(ParseKernelOptions("vellumar.erase=A,B,A").Serials, (Strings{"A", "B"}));

  // Nothing asked: no error, nothing to erase.
  const KernelOptions none = ParseKernelOptions("boot=live quiet vellumar_erase=A");
  EXPECT_FALSE(none.EraseRequested);
  EXPECT_TRUE(none.Errors.empty());
}

TEST(KernelOptions, AnythingUnclearIsAnError) {
  for (const std::string line :
       {"vellumar.erase=", "vellumar.erase", "vellumar.erase=A,,B", "vellumar.erase=A, ", "vellumar.erase=A\001B",
        "vellumar.erase=A vellumar.erase=B", "vellumar.erase=A vellumar.verify=quick",
        "vellumar.erase=A vellumar.verify=", "vellumar.erase=A vellumar.certificates=",
        "vellumar.erase=A vellumar.certificates=../etc", "vellumar.erase=A \"vellumar.certificates=MY STICK\"",
        "vellumar.erase=A vellumar.certificate=CERTS", "vellumar.erase=A vellumar.erase2=B", "vellumar.verify=full",
        "vellumar.certificates=CERTS"}) {
    EXPECT_FALSE(ParseKernelOptions(line).Errors.empty()) << line;
  }
}

TEST(KernelOptions, ThePlanErasesOnlyNamedDrivesThatAreNeitherTheMediumNorAmbiguous) {
  const std::vector<ListedDrive> drives = {
      {"  S3Z9NB0K  ", "/dev/sda", ""}, {"VLSTICK01", "/dev/sdb", "/run/live/medium on /dev/sdb1"},
      {"SAME", "/dev/sdc", ""},         {"SAME", "/dev/sdd", ""},
      {"UNNAMED", "/dev/sde", ""},      {"", "/dev/sdf", ""},
  };
  const UnattendedPlan plan = PlanUnattendedErase({"S3Z9NB0K", "VLSTICK01", "SAME", "NOSUCH", " "}, drives);
  ASSERT_EQ(plan.Erase.size(), 1U);
  EXPECT_EQ(plan.Erase[0].Node, "/dev/sda");
  EXPECT_EQ(plan.Erase[0].Serial, "S3Z9NB0K");
  ASSERT_EQ(plan.Refused.size(), 4U);
  EXPECT_EQ(plan.Refused[0].Serial, "VLSTICK01");
  EXPECT_NE(plan.Refused[0].Reason.find("boot medium"), std::string::npos);
  EXPECT_NE(plan.Refused[1].Reason.find("2 drives"), std::string::npos);
  EXPECT_NE(plan.Refused[2].Reason.find("no drive"), std::string::npos);
  // A blank serial never matches a drive that reports none.
  EXPECT_NE(plan.Refused[3].Reason.find("no drive"), std::string::npos);
  EXPECT_TRUE(PlanUnattendedErase({}, drives).Erase.empty());
}

}  // namespace kernel_options_test
}  // namespace vellumar
