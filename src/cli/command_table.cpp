#include "cli/command_table.h"

namespace vellumar::cli {

namespace {

constexpr OptionSpec kSerial{"--serial", "S", "refuse the drive unless it reports exactly the serial number S",
                             "--serial needs the drive's serial number"};

constexpr std::string_view kReportExitStatuses =
    "  0  the report shows the drive's data\n"
    "  1  the drive could not answer\n"
    "  4  the drive does not report the serial number given with --serial\n"
    "  5  usage error, or the drive could not be opened\n";

std::vector<CommandSpec> MakeCommands() {
  return {
      CommandSpec{"list",
                  "",
                  "[--debug] [--json]",
                  "List the drives that can be formatted.",
                  {{"--debug", "", "write the whole start-up trail to standard error"},
                   {"--json", "", "print the drives as one JSON document (docs/json.md)"}},
                  "  0  the drives were listed\n"
                  "  5  usage error, or the drives could not be listed\n"},
      CommandSpec{"format",
                  "DEVICE",
                  "DEVICE [--quick] [--yes] [--agree] [--serial S] [--verify none|sample|full] [--certificate DIR]\n"
                  "         [--operator NAME]",
                  "Overwrite DEVICE with zeros from its first to its last byte. THIS DESTROYS ALL DATA ON IT.",
                  {{"--quick", "", "clear only the first 10,240,000 bytes and the last MiB (the partition tables)"},
                   {"--yes", "", "run without the typed confirmation (needed when standard input is no terminal)"},
                   {"--agree", "", "accept the licence agreement without showing it"},
                   kSerial,
                   {"--verify", "METHOD", "read the device back after a completed run: none (default), sample or full",
                    "--verify needs a value"},
                   {"--certificate", "DIR", "write the erasure certificate (JSON and PDF) to the folder DIR",
                    "--certificate needs a value"},
                   {"--operator", "NAME", "name the operator in the certificate", "--operator needs a value"}},
                  "  0  the run completed without error lines\n"
                  "  1  the run completed, but some blocks failed (see the error lines)\n"
                  "  2  the run was cancelled (Ctrl+C, SIGTERM or SIGHUP)\n"
                  "  3  the run was terminated (the device disappeared or is write-protected, or the final flush "
                  "failed)\n"
                  "  4  the run was refused (no confirmation, the running system's disk, another serial number, a "
                  "row\n"
                  "     number with --yes, device too small, or the device or one under it is in use)\n"
                  "  5  usage error, or the device could not be opened\n"
                  "  6  the run completed, but the verification failed\n"},
      CommandSpec{"verify",
                  "DRIVE",
                  "DRIVE [--sample|--full] [--seed N] [--serial S] [--certificate DIR] [--operator NAME]",
                  "Check that DRIVE reads back as zeros: every byte (default) or a sample. Read-only.",
                  {{"--sample", "", "read about 10 % of the drive at pseudorandom places, and its first and last MiB"},
                   {"--full", "", "read every byte (the default)"},
                   {"--seed", "N", "read the sample of seed N again (implies --sample)", "--seed needs a value"},
                   {"--serial", "S", "refuse the drive unless it reports exactly the serial number S",
                    "--serial needs a value"},
                   {"--certificate", "DIR", "write the certificate (JSON and PDF) to the folder DIR",
                    "--certificate needs a value"},
                   {"--operator", "NAME", "name the operator in the certificate", "--operator needs a value"}},
                  "  0  the drive reads back as zeros\n"
                  "  2  the check was cancelled (Ctrl+C or SIGTERM)\n"
                  "  4  the drive does not report the serial number given with --serial\n"
                  "  5  usage error, the drive could not be opened, or the certificate could not be written\n"
                  "  6  the drive does not read back as zeros\n"},
      CommandSpec{"details",
                  "DRIVE",
                  "DRIVE [--serial S] [--json] | --from-file SECTOR.bin [--json]",
                  "Print the device details report (ATA and NVMe drives).",
                  {kSerial,
                   {"--from-file", "SECTOR.bin", "decode a saved 512-byte IDENTIFY DEVICE sector instead of a drive",
                    "--from-file needs a file name"},
                   {"--json", "", "print the report as one JSON document (docs/json.md)"}},
                  kReportExitStatuses},
      CommandSpec{"smart",
                  "DRIVE",
                  "DRIVE [--serial S] [--json] | --from-file SECTOR.bin [--json]",
                  "Print the S.M.A.R.T. report (ATA and NVMe drives).",
                  {kSerial,
                   {"--from-file", "SECTOR.bin", "decode a saved 512-byte S.M.A.R.T. data sector instead of a drive",
                    "--from-file needs a file name"},
                   {"--json", "", "print the report as one JSON document (docs/json.md)"}},
                  kReportExitStatuses},
  };
}

}  // namespace

const std::vector<CommandSpec>& Commands() {
  static const std::vector<CommandSpec> commands = MakeCommands();
  return commands;
}

const CommandSpec* FindCommand(std::string_view name) {
  for (const CommandSpec& command : Commands()) {
    if (command.Name == name) {
      return &command;
    }
  }
  return nullptr;
}

}  // namespace vellumar::cli
