// Moves the settings record to and from the instance's registry key. Nothing
// else in the program touches the registry.
#pragma once

namespace vistrel {

// Once at start-up, after the instance number is settled.
void LoadRegistrySettings();
// At exit and when the settings dialog closes: all fourteen values.
void SaveRegistrySettings();

}  // namespace vistrel
