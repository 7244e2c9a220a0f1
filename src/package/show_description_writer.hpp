// The show description of a package plan, written out: what `vistel-pack
// demo --media-dir` leaves beside the media, so that the demo can be read,
// changed and built again with `vistel-pack build`.
#pragma once

#include <string>
#include <string_view>

#include "base/error.hpp"
#include "package/writer.hpp"

namespace vistel {

// The JSON text of a show description that ParseShowDescription reads back
// into the same records and media (with baseFolder as the description's
// folder). Only fields that differ from the defaults a description implies
// are written; media paths under baseFolder are written relative to it.
// Fails for a text that cannot be written (a CaptionText with a lone CR), and
// for a plan whose media ranges are given by hand rather than by files.
Result<std::string> WriteShowDescription(const PackagePlan& plan, std::string_view baseFolder);

}  // namespace vistel
