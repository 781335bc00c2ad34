// The same bytes read as Identify Controller, Identify Namespace and the SMART / Health log, then
// written as both reports' lines and JSON documents.
#include "devices/nvme/nvme_decoder.h"
#include "devices/reports/nvme_report.h"
#include "devices/reports/report_json.h"
#include "fuzz_support.h"

using namespace vellumar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto page = fuzz::Chunk<kNvmeIdentifyBytes>(data, size);
  const auto log = fuzz::Chunk<kNvmeHealthLogBytes>(data, size);
  const NvmeController controller = DecodeNvmeController(page);
  const NvmeNamespace ns = DecodeNvmeNamespace(page);
  const NvmeHealth health = DecodeNvmeHealth(log);
  const auto namespaceId = static_cast<std::uint32_t>(size);
  const std::optional<bool> writeCache = size % 3 == 0 ? std::nullopt : std::optional<bool>(size % 3 == 1);

  for (const std::string& line : NvmeDetailsLines(controller, namespaceId, ns, writeCache)) {
    fuzz::RequireClean(line);
  }
  for (const std::string& line : NvmeSmartLines(health)) {
    fuzz::RequireClean(line);
  }
  const Json source = FileSourceJson("nvme.bin");
  fuzz::RequireJson(NvmeDetailsJson(source, controller, namespaceId, ns, writeCache));
  fuzz::RequireJson(NvmeSmartJson(source, health));
  return 0;
}
