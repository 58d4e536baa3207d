// Moves the settings record to and from the instance's registry key. Nothing
// else in the program touches the registry.
#pragma once

namespace vistrel {

// Once at start-up, after the instance number is settled.
void LoadRegistrySettings();
// True when the load found no key of this instance and made it: a first
// start, whose defaults the program may still choose.
bool SettingsKeyWasNew();
// At exit and when the settings dialog closes: every value of the table.
void SaveRegistrySettings();

}  // namespace vistrel
