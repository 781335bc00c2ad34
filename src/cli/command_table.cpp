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

// The certificate's options, the same for format and verify.
std::vector<OptionSpec> WithCertificateOptions(std::vector<OptionSpec> options) {
  options.insert(
      options.end(),
      {{"--certificate", "DIR", "write the certificate (JSON, PDF and the JSON's signature) to the folder DIR",
        "--certificate needs a value"},
       {"--operator", "NAME", "name the operator in the certificate", "--operator needs a value"},
       {"--validator", "NAME", "name the person who validates the certificate", "--validator needs a value"},
       {"--asset", "NUMBER", "the drive's asset or property number", "--asset needs a value"},
       {"--organisation", "NAME", "the organisation the certificate is written for", "--organisation needs a value"},
       {"--location", "PLACE", "where the drive was erased", "--location needs a value"},
       {"--destination", "WHERE", "where the drive goes next: reuse, recycle or destroy",
        "--destination needs a value"},
       {"--signing-key", "FILE", "sign with this Ed25519 key (PEM) instead of the host's own",
        "--signing-key needs a file name"}});
  return options;
}

constexpr std::string_view kCertificateSynopsis =
    "[--certificate DIR] [--operator NAME] [--validator NAME] [--asset NUMBER]\n"
    "         [--organisation NAME] [--location PLACE] [--destination reuse|recycle|destroy] [--signing-key FILE]";

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
      CommandSpec{
          "format", "DEVICE",
          "DEVICE [--quick] [--yes] [--agree] [--serial S] [--verify none|sample|full] [--reveal-hidden]\n"
          "         " +
              std::string(kCertificateSynopsis),
          "Overwrite DEVICE with zeros from its first to its last byte. THIS DESTROYS ALL DATA ON IT.",
          WithCertificateOptions(
              {{"--quick", "", "clear only the first 10,240,000 bytes and the last MiB (the partition tables)"},
               {"--reveal-hidden", "",
                "first make an ATA drive's host protected area reachable until its next power cycle, so the run "
                "erases it too"},
               {"--yes", "", "run without the typed confirmation (needed when standard input is no terminal)"},
               {"--agree", "", "accept the licence agreement without showing it"},
               kSerial,
               {"--verify", "METHOD", "read the device back after a completed run: none (default), sample or full",
                "--verify needs a value"}}),
          "  0  the run completed without error lines\n"
          "  1  the run completed, but some blocks failed (see the error lines)\n"
          "  2  the run was cancelled (Ctrl+C, SIGTERM or SIGHUP)\n"
          "  3  the run was terminated (the device disappeared or is write-protected, or the final flush "
          "failed)\n"
          "  4  the run was refused (no confirmation, the running system's disk, another serial number, a "
          "row\n"
          "     number with --yes, device too small, or the device or one under it is in use)\n"
          "  5  usage error, or the device could not be opened\n"
          "  6  the run completed, but the verification failed\n"
          "  7  --reveal-hidden could not reveal the hidden sectors (nothing was written)\n"},
      CommandSpec{
          "sanitize", "DRIVE",
          "DRIVE --method M [--yes] [--agree] [--serial S] [--verify none|sample|full] [--allow-bridge]\n"
          "         " +
              std::string(kCertificateSynopsis) +
              "\n"
              "       vellumar-cli sanitize DRIVE --list-methods [--json] [--allow-bridge]",
          "Erase DRIVE with its own firmware command (ATA Security Erase or Sanitize, NVMe Format or Sanitize). "
          "THIS DESTROYS ALL DATA ON IT.",
          WithCertificateOptions(
              {{"--method", "M",
                "the drive's command: ata-secure-erase, ata-enhanced-secure-erase, ata-sanitize-crypto, "
                "ata-sanitize-block, ata-sanitize-overwrite, nvme-format, nvme-format-crypto, nvme-sanitize-crypto, "
                "nvme-sanitize-block or nvme-sanitize-overwrite",
                "--method needs a value"},
               {"--list-methods", "",
                "list each method with whether this drive supports it now, and its time estimate"},
               {"--json", "", "with --list-methods: print the list as one JSON document"},
               {"--allow-bridge", "",
                "send ATA firmware commands through a USB or other bridge (bridges often pass only half a command)"},
               {"--yes", "", "run without the typed confirmation (needed when standard input is no terminal)"},
               {"--agree", "", "accept the licence agreement without showing it"},
               kSerial,
               {"--verify", "METHOD",
                "read the drive back as zeros after the erase: none (default), sample or full; refused for crypto "
                "methods",
                "--verify needs a value"}}),
          "  0  the drive confirmed the erase (and the verification passed)\n"
          "  2  the verification was cancelled (the erase itself cannot be stopped)\n"
          "  4  the run was refused (no confirmation, the running system's disk, another serial number, a row\n"
          "     number with --yes, or the drive or one on it is in use)\n"
          "  5  usage error (an unknown method, --verify with a crypto method), or the drive could not be opened\n"
          "  6  the erase completed, but the verification failed\n"
          "  7  the drive does not support the method, or refuses it now (frozen, behind a bridge, a sanitize\n"
          "     in progress); nothing was sent\n"
          "  8  the firmware erase failed, or the drive's state afterwards did not confirm it\n"
          "  9  the firmware erase failed and the drive's security password could not be removed: it is printed\n"
          "     in the log\n"},
      CommandSpec{
          "verify", "DRIVE",
          "DRIVE [--sample|--full] [--seed N] [--serial S]\n"
          "         " +
              std::string(kCertificateSynopsis),
          "Check that DRIVE reads back as zeros: every byte (default) or a sample. Read-only.",
          WithCertificateOptions(
              {{"--sample", "", "read about 10 % of the drive at pseudorandom places, and its first and last MiB"},
               {"--full", "", "read every byte (the default)"},
               {"--seed", "N", "read the sample of seed N again (implies --sample)", "--seed needs a value"},
               {"--serial", "S", "refuse the drive unless it reports exactly the serial number S",
                "--serial needs a value"}}),
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
      CommandSpec{"certificate verify",
                  "FILE.json",
                  "FILE.json [--key PUBLIC_KEY_FILE]",
                  "Check a certificate's signature (FILE.json.sig): was FILE.json signed by the key, and is it "
                  "unchanged?",
                  {{"--key", "PUBLIC_KEY_FILE",
                    "check against this public key (what 'certificate key' prints, or PEM) instead of the host's",
                    "--key needs a file name"}},
                  "  0  the signature is valid: the key signed the file, and it is unchanged\n"
                  "  5  usage error, or the file or the key could not be read\n"
                  "  6  the signature is missing or not valid: the file was changed, or another key signed it\n"},
      CommandSpec{"certificate key",
                  "",
                  "[--signing-key FILE]",
                  "Print the public half of the key this host signs certificates with, and its fingerprint.",
                  {{"--signing-key", "FILE", "print the public half of this key (PEM) instead",
                    "--signing-key needs a file name"}},
                  "  0  the key was printed (the host's key is made when there is none yet)\n"
                  "  5  usage error, or the key could not be read or made\n"},
      CommandSpec{
          "unattended",
          "",
          "[--cmdline FILE] [--dry-run]",
          "Erase the drives the kernel command line names by serial number (vellumar.erase=), "
          "without a prompt. THIS DESTROYS ALL DATA ON THEM.",
          {{"--cmdline", "FILE", "read the options from FILE instead of /proc/cmdline", "--cmdline needs a file name"},
           {"--dry-run", "", "only say which drives would be erased and which serial numbers are refused"}},
          "  0  every drive named was erased (or nothing was asked for)\n"
          "  1  a run completed, but some blocks failed\n"
          "  3  a run was terminated\n"
          "  4  a serial number was refused (no such drive, two drives, the boot medium or the running\n"
          "     system), or the certificate stick is not mounted\n"
          "  5  the options are wrong (nothing was erased), or a drive could not be opened\n"
          "  6  a run completed, but its check failed\n"},
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
