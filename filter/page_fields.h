// What the overlay property page shows for a settings record, and how the
// controls' contents go back into one. Portable: the page's window code only
// moves these values in and out of its controls.
#pragma once

#include <cstdint>
#include <string>

#include "filter/overlay_settings.h"

namespace orvant {

struct PageFields {
    // Entry index in each corner slot's list (entries are the items in
    // number order); -1 for no selection.
    int modeSelection[telemetry::kCornerSlots] = {};
    bool flip = false;
    bool mirror = false;
    bool automatic = false;
    // Red, green, blue: the track bar positions and the value fields beside
    // them. The stored colour comes from the value fields.
    uint8_t colour[3] = {};
    std::string colourText[3];
    std::string fontWidth;
    std::string fontHeight;
    std::string custom;
    // The face to select when filling; the selected face when reading, or
    // no face at all when nothing is selected.
    std::string font;
    bool fontSelected = false;
};

// The controls' contents for a record.
PageFields FieldsFromSettings(const OverlaySettings& settings);

// Writes the page's fields into the record: modes, colour, font, font size,
// custom text and the three switches (every other flag bit cleared). The
// frame size, text lines and block handshake bytes are left as they are.
void ApplyFields(const PageFields& fields, OverlaySettings& settings);

// The telemetry status: "GPS <fix>\r\nOBD-II <link>", each part "Unavailable"
// for a block that is not attached, at most 127 characters.
std::string StatusText(bool hasGps, uint8_t fixState, bool hasObd, uint8_t linkState);

// A value field's number: decimal digits only, blanks around them allowed;
// anything else gives 0, as the platform's unsigned dialog-item read does.
uint32_t ParseUnsignedField(const std::string& text);
// An edit's decimal number as the C library reads one: leading blanks, a
// sign, digits up to the first other character; no digits give 0. Values
// beyond 32 bits saturate rather than overflow.
int32_t ParseDecimalField(const std::string& text);

}  // namespace orvant
