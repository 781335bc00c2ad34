// A S.M.A.R.T. data sector and a thresholds sector (the second 512 bytes, or the same bytes when
// the input is shorter), through the decoders, the report's table and the JSON document.
#include "devices/ata/ata_health.h"
#include "devices/ata/smart_decoder.h"
#include "devices/reports/report_json.h"
#include "devices/reports/smart_report.h"
#include "fuzz_support.h"

using namespace vellumar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const AtaSector sector = fuzz::Chunk<kAtaSectorBytes>(data, size);
  const AtaSector thresholdSector =
      size > kAtaSectorBytes ? fuzz::Chunk<kAtaSectorBytes>(data, size, kAtaSectorBytes) : sector;

  AtaSmartFacts facts;
  facts.Available = true;
  facts.Attributes = DecodeSmartAttributes(sector);
  facts.Thresholds = DecodeSmartThresholds(thresholdSector);
  facts.Verdict = DecodeSmartReturnStatus(thresholdSector[0], thresholdSector[1]);
  for (const SmartAttribute& attribute : facts.Attributes) {
    (void)ThresholdFor(*facts.Thresholds, attribute.Id);
  }
  (void)DecodeStandardValues(facts.Attributes);
  for (const std::string& line : SmartTableLines(facts.Attributes)) {
    fuzz::RequireClean(line);
  }
  fuzz::RequireJson(AtaSmartJson(FileSourceJson("smart.bin"), facts));
  fuzz::RequireJson(AtaSmartSectorJson("smart.bin", sector));
  return 0;
}
