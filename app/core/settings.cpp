#include "app/core/settings.h"

namespace vistrel {

RecorderSettings gSettings;
uint32_t& gVidFlags = gSettings.vidFlags;

}  // namespace vistrel
