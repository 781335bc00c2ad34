#include "devices/base/json_writer.h"

namespace vellumar {

std::string JsonText(const Json& document) {
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace vellumar
