// Prints the JSON Schema of settings files, built from the key table:
//   korvel-settings-schema > schema/korvel-settings.schema.json
// settingsfile_tests fails when the file kept in schema/ differs.
#include "settingsfile/SettingsSchema.h"

#include <iostream>

int main() {
    std::cout << korvel::settingsfile::PrettyText(korvel::settingsfile::SettingsSchema());
    return std::cout.good() ? 0 : 1;
}
