#include <ostream>

#include "cli/cli_commands.h"
#include "devices/version.h"

namespace vellumar::cli {

const char* const kUsageText =
    "Usage: vellumar-cli COMMAND [OPTIONS]\n"
    "\n"
    "Erases storage devices at the sector level. THE FORMAT COMMAND DESTROYS ALL DATA ON THE DEVICE.\n"
    "\n"
    "Commands:\n"
    "  list [--debug] [--json]           list the drives that can be formatted\n"
    "  format DEVICE [--quick] [--yes] [--serial S]\n"
    "                                    overwrite DEVICE with zeros from its first to its last byte;\n"
    "                                    --quick clears only the first 10,240,000 bytes and the last MiB\n"
    "                                    (the partition tables); --yes skips the typed confirmation\n"
    "                                    --agree accepts the licence agreement without showing it\n"
    "         [--verify none|sample|full] reads the device back after a completed run\n"
    "         [--certificate DIR]         writes the erasure certificate (JSON and PDF) to DIR\n"
    "         [--operator NAME]           names the operator in the certificate\n"
    "  verify DRIVE [--sample|--full]    checks that DRIVE reads back as zeros (read-only; default full)\n"
    "         [--seed N] [--serial S]     reads the sample of seed N again; refuses a drive of another serial\n"
    "         [--certificate DIR] [--operator NAME]\n"
    "  details DRIVE [--serial S] | --from-file F   the device details report (ATA and NVMe drives)\n"
    "  smart DRIVE [--serial S] | --from-file F     the S.M.A.R.T. report (ATA and NVMe drives)\n"
    "                                    --json for list, details and smart: one JSON document\n"
    "                                    on standard output (docs/json.md)\n"
    "\n"
    "DEVICE and DRIVE: a device node (/dev/sdb, /dev/disk/by-id/...), an image file, or a row number\n"
    "of 'list' (digits only; write ./3 for a file called 3). With --yes a row number is refused: name\n"
    "the node. --serial S refuses a drive that does not report exactly the serial number S.\n"
    "\n"
    "Exit status of format:\n"
    "  0  the run completed without error lines\n"
    "  1  the run completed, but some blocks failed (see the error lines)\n"
    "  2  the run was cancelled (Ctrl+C, SIGTERM or SIGHUP)\n"
    "  3  the run was terminated (the device disappeared or is write-protected, or the final flush failed)\n"
    "  4  the run was refused (no confirmation, the running system's disk, another serial number, a row\n"
    "     number with --yes, device too small, or the device or one under it is in use)\n"
    "  5  usage error, or the device could not be opened\n"
    "  6  the run completed but verification failed (for verify: the drive did not pass)\n"
    "Exit status of verify: 0 passed, 2 cancelled, 4 another serial number, 5 usage error or no device,\n"
    "6 failed.\n";

int RunCli(const std::vector<std::string>& args, CliEnvironment& env) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    (args.empty() ? env.Err : env.Out) << kUsageText;
    return args.empty() ? kExitUsage : kExitOk;
  }
  if (args[0] == "--version") {
    env.Out << vellumar::VersionLine("vellumar-cli") << "\n";
    return kExitOk;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  const std::string& command = args[0];
  if (command == "format") {
    return RunFormatCommand(rest, env);
  }
  if (command == "list") {
    return RunListCommand(rest, env);
  }
  if (command == "details") {
    return RunDetailsCommand(rest, env);
  }
  if (command == "smart") {
    return RunSmartCommand(rest, env);
  }
  if (command == "verify") {
    return RunVerifyCommand(rest, env);
  }
  env.Err << "vellumar-cli: unknown command '" << command << "'\n" << kUsageText;
  return kExitUsage;
}

}  // namespace vellumar::cli
