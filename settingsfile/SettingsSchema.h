#pragma once
// The JSON Schema (draft 2020-12) of settings files, built from the key table
// so that a new setting reaches it through SettingKey's switch. It describes
// what the reader takes (keys, kinds, forms, which keys go together), not the
// logger's ranges: `korvel-cli check` judges those. Values a logger may hold
// without a name (a code, a list of byte values) are described too, so that
// whatever `read --json` prints is valid.

#include "settingsfile/JsonTree.h"

#include <string_view>

namespace korvel::settingsfile {

// Where the package installs the schema, and the "$id" it carries.
inline constexpr std::string_view kSchemaInstallPath =
    "/usr/share/korvel/korvel-settings.schema.json";

Node SettingsSchema();

} // namespace korvel::settingsfile
