#include "platform/regional_settings.hpp"

namespace kestrix::platform {

Regional regionalSettings() {
  return regionalFromLocale();
}

}  // namespace kestrix::platform
