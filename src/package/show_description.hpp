// The show description (SHOW.json): the authoring side's source of a package.
// It names the [GLOBAL] settings, the tracks and the screens by the record
// field names, and the media by file paths; docs/show-format.md describes it
// with its defaults. Reading it yields a PackagePlan for WritePackage.
#pragma once

#include <string>
#include <string_view>

#include "base/error.hpp"
#include "package/records.hpp"
#include "package/writer.hpp"

namespace vistel {

// Defaults of fields a description leaves out (a background, an image or a
// video in the description also decides BackgroundKind and ScreenKind).
ScreenSettings DefaultScreenSettings();

// Parses the JSON text of a show description. Relative media paths are taken
// from baseFolder (the description's own folder). Texts are converted from
// UTF-8 to Windows-1252. Every error names the place in the description
// ("screens[2].EffectCode: ...") and the first one found is returned; unknown
// or repeated keys are errors, so that a misspelt field never vanishes.
Result<PackagePlan> ParseShowDescription(std::string_view json, std::string_view baseFolder);

}  // namespace vistel
