// Placeholders until the location publisher is written: the recorder
// publishes nothing and claims no overlay text block. This file is replaced by
// the real one.
#include "app/location/location_publisher.h"

namespace vistrel {

void OpenLocationPublisher() {}

void ClaimOsdTextBlock() {}

void PollLocationSensor() {}

void CloseLocationPublisher() {}

}  // namespace vistrel
