// The causes the glyph tools add to an error, shared with the window.
#pragma once

#include "render/ErrorCauses.h"

namespace glyphtint::tools {

using glyphtint::render::DescribeEntryCause;
using glyphtint::render::DescribeEntryError;
using glyphtint::render::DescribeError;
using glyphtint::render::UnsupportedMethodCause;

} // namespace glyphtint::tools
